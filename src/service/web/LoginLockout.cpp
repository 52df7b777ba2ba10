#include "service/web/LoginLockout.h"

namespace registrator::web {

namespace {

// Addresses kept before the quiet ones are dropped: failures come no faster than passwords are checked.
constexpr std::size_t kKeptAddresses = 1024;

} // namespace

int LoginLockout::SecondsBlocked(const std::string& address) {
    const auto found = addresses_.find(address);
    if (found == addresses_.end())
        return 0;
    const auto left = found->second.BlockedUntil - now_();
    if (left <= Time::duration::zero())
        return 0;
    return static_cast<int>(std::chrono::ceil<std::chrono::seconds>(left).count());
}

bool LoginLockout::Failed(const std::string& address) {
    const Time now = now_();
    if (addresses_.size() >= kKeptAddresses)
        ForgetQuiet(now);
    Record& record = addresses_[address];
    if (record.BlockedUntil > now)
        return true; // a check that ended after the block began
    while (!record.Failures.empty() && now - record.Failures.front() >= kWindow)
        record.Failures.pop_front();
    record.Failures.push_back(now);
    if (static_cast<int>(record.Failures.size()) < kFailures)
        return false;
    // The failures that blocked it are spent: after the block, five more are needed.
    record.Failures.clear();
    record.BlockedUntil = now + kBlock;
    return true;
}

void LoginLockout::ForgetQuiet(Time now) {
    std::erase_if(addresses_, [now](const auto& entry) {
        const Record& record = entry.second;
        return record.BlockedUntil <= now &&
               (record.Failures.empty() || now - record.Failures.back() >= kWindow);
    });
}

} // namespace registrator::web

#include "common/Clock.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>

namespace registrator::common {

std::int64_t Clock::UnixSeconds() const {
    const TDateTime now = Now();
    const CalendarDate date = DecodeDate(now);
    const long long seconds =
        std::clamp<long long>(std::llround(TimePart(now) * kMsPerDay), 0, 86'399'999) / 1000;
    std::tm local{};
    local.tm_year = date.Year - 1900;
    local.tm_mon = date.Month - 1;
    local.tm_mday = date.Day;
    local.tm_hour = static_cast<int>(seconds / 3600);
    local.tm_min = static_cast<int>(seconds / 60 % 60);
    local.tm_sec = static_cast<int>(seconds % 60);
    // Whether summer time is in force then is for the zone rules to say.
    local.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&local));
}

TDateTime SystemClock::Now() const {
    const auto now = std::chrono::system_clock::now();
    const auto sinceEpoch = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch());
    const std::time_t seconds = static_cast<std::time_t>(sinceEpoch.count() / 1000);
    const int ms = static_cast<int>(sinceEpoch.count() % 1000);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    // A leap second shows as the last second of its minute.
    const int second = local.tm_sec > 59 ? 59 : local.tm_sec;
    return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
           EncodeTime(local.tm_hour, local.tm_min, second, ms);
}

std::int64_t SystemClock::UnixSeconds() const {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace registrator::common

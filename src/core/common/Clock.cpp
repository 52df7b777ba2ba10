#include "common/Clock.h"

#include <chrono>
#include <ctime>

namespace registrator::common {

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

} // namespace registrator::common

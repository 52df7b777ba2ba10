// Dates and times of stored values: any double, as an archive record may hold, decodes to a real
// calendar date and time of day, and formats under any regional pattern without harm.
#include "FuzzCheck.h"
#include "common/DateTime.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

using namespace registrator::common;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < sizeof(double))
        return 0;
    TDateTime value = 0;
    std::memcpy(&value, data, sizeof value);
    const std::string pattern(reinterpret_cast<const char*>(data) + sizeof value, size - sizeof value);

    FormatDate(value, pattern);
    FormatTime(value, pattern);

    const TimeOfDay time = DecodeTime(value);
    FUZZ_CHECK(time.Hour >= 0 && time.Hour <= 23 && time.Minute >= 0 && time.Minute <= 59);
    FUZZ_CHECK(time.Second >= 0 && time.Second <= 59 && time.Millisecond >= 0 && time.Millisecond <= 999);
    const TDateTime timePart = TimePart(value);
    FUZZ_CHECK(timePart >= 0 && timePart < 1);

    if (!std::isfinite(value) || std::fabs(value) > 3.0e6)
        return 0;
    // Within the years the program can meet, the parts give the value back to the millisecond.
    const CalendarDate date = DecodeDate(value);
    FUZZ_CHECK(date.Month >= 1 && date.Month <= 12 && date.Day >= 1 && date.Day <= 31);
    if (date.Year < 1 || date.Year > 9999)
        return 0;
    FUZZ_CHECK(EncodeDate(date.Year, date.Month, date.Day) == DatePart(value));
    const TDateTime back = EncodeDate(date.Year, date.Month, date.Day) +
                           EncodeTime(time.Hour, time.Minute, time.Second, time.Millisecond);
    FUZZ_CHECK(std::fabs(back - value) <= 1.0 / kMsPerDay);
    const std::string name = ArchiveDateText(value);
    FUZZ_CHECK(date.Year < 1000 || name.size() == 10);
    return 0;
}

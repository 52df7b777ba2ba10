#pragma once

#include "archive/RecordFiles.h"
#include "channels/ChannelData.h"
#include "common/DateTime.h"
#include "support/TempFolder.h"

#include <cmath>
#include <string>
#include <vector>

namespace registrator::history::test {

constexpr double kSecond = 1.0 / 86400;

inline const common::TDateTime kDay1 = common::EncodeDate(2026, 3, 9);

// Channel n reads a slow wave of its own around 300 A, crossing 10, 100 and 150 A now and then, with
// readings exactly on those thresholds and implausible ones sprinkled in.
inline double Reading(int n, std::int64_t second) {
    if (n == 3 && second % 97 == 0)
        return std::nan("");
    if (n == 3 && second % 89 == 0)
        return -1;
    if (n == 4 && second % 50 == 0)
        return 100; // on the nominal current
    if (n == 4 && second % 77 == 0)
        return 150; // on the critical current
    return 80 + 75 * std::sin(static_cast<double>(second) / (60 + 7 * n)) + (second * n % 13);
}

// Records at each second from `from` for `count` seconds.
inline std::vector<archive::TArhivRec> Seconds(std::int64_t from, std::int64_t count) {
    std::vector<archive::TArhivRec> records(static_cast<std::size_t>(count));
    for (std::int64_t i = 0; i < count; ++i) {
        auto& r = records[static_cast<std::size_t>(i)];
        r.Time = static_cast<double>(from + i) * kSecond;
        for (int n = 1; n <= 72; ++n)
            r.Tok[n - 1] = Reading(n, from + i);
    }
    return records;
}

inline void Append(std::vector<archive::TArhivRec>& to, const std::vector<archive::TArhivRec>& more) {
    to.insert(to.end(), more.begin(), more.end());
}

inline void WriteDay(const std::string& path, const std::vector<archive::TArhivRec>& records) {
    support::WriteFileBytes(path, std::string(reinterpret_cast<const char*>(records.data()),
                                              records.size() * sizeof(archive::TArhivRec)));
}

// Present settings: off at or below 10 A, nominal 100 A, critical 150 A.
inline channels::UstavkiTable Present() {
    channels::UstavkiTable table;
    for (int n = 1; n <= 72; ++n) {
        table[n] = channels::DefaultUstavka(n);
        table[n].Oborot = 10;
        table[n].T_Nom = 100;
        table[n].T_Max = 150;
    }
    return table;
}

} // namespace registrator::history::test

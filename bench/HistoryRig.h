#pragma once

// 30 full days (86,400 records each, about 1.5 GB) in a month folder, and a year folder of 365 days as
// links to them and to their digests, as the period benchmarks share them; and a plain reader of the
// month writing the CSV of one channel, the baseline the period exports are held against.
#include "history/DigestStore.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace registrator::bench {

constexpr std::size_t kDayRecords = 86400;
constexpr int kDays = 30;
inline const common::TDateTime kFirst = common::EncodeDate(2026, 1, 1);
inline const common::TDateTime kYearFirst = common::EncodeDate(2027, 1, 1);

inline channels::UstavkiTable HistoryPresent() {
    channels::UstavkiTable table;
    for (int n = 1; n <= 72; ++n) {
        table[n] = channels::DefaultUstavka(n);
        table[n].Oborot = 10;
        table[n].T_Nom = 100 + n;
        table[n].T_Max = 150 + n;
    }
    return table;
}

// Motors as a station has them: each runs near its own load with a little noise, stops for a while a few
// times a day, and now and then runs above its nominal current; whole amperes, as the recorder stores them.
inline std::vector<archive::TArhivRec> MakeHistoryDay() {
    std::vector<archive::TArhivRec> day(kDayRecords);
    std::uint32_t seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    double load[72];
    int left[72] = {};
    for (int c = 0; c < 72; ++c)
        load[c] = 40 + c;
    for (std::size_t i = 0; i < kDayRecords; ++i) {
        day[i].Time = static_cast<double>(i) / kDayRecords;
        for (int c = 0; c < 72; ++c) {
            if (--left[c] <= 0) {
                const std::uint32_t pick = next() % 10;
                load[c] = pick < 2 ? 0 : pick < 3 ? 130 + c : 40 + c + static_cast<double>(next() % 30);
                left[c] = 600 + static_cast<int>(next() % 7200);
            }
            day[i].Tok[c] = load[c] == 0 ? 0.0 : load[c] + static_cast<double>(next() % 3);
        }
    }
    return day;
}

struct HistoryFiles {
    HistoryFiles() {
        namespace fs = std::filesystem;
        fs::create_directories(Month);
        fs::create_directories(Year);
        std::vector<archive::TArhivRec> day = MakeHistoryDay();
        for (int d = 0; d < kDays; ++d) {
            day[0].Tok[0] = d; // each day a file of its own
            const int fd = ::open(MonthDay(d).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const auto bytes = static_cast<ssize_t>(day.size() * sizeof(archive::TArhivRec));
            if (fd < 0 || ::write(fd, day.data(), static_cast<std::size_t>(bytes)) != bytes)
                std::abort();
            ::close(fd);
        }
        // The year: each day a link to one of the month's files and, once made, to its digest.
        const history::ArchiveHistory month(Month.string(), HistoryPresent());
        month.BuildAll();
        const history::ArchiveHistory year(Year.string(), HistoryPresent());
        fs::create_directories(year.DigestFolder());
        for (int d = 0; d < 365; ++d) {
            const common::TDateTime from = kFirst + d % kDays;
            fs::create_hard_link(month.DayPath(from), year.DayPath(kYearFirst + d));
            fs::create_hard_link(month.DigestPath(from), year.DigestPath(kYearFirst + d));
        }
        // The newest day would be read as a growing one; the year ends with a day of its own.
        fs::remove(year.DigestPath(kYearFirst + 364));
        year.BuildAll();
    }
    ~HistoryFiles() {
        std::error_code ignored;
        std::filesystem::remove_all(Root, ignored);
    }
    std::string MonthDay(int d) const {
        return (Month / (common::ArchiveDateText(kFirst + d) + ".txt")).string();
    }

    std::filesystem::path Root = std::filesystem::temp_directory_path() /
                                 ("registrator-bench-history-" + std::to_string(std::random_device{}()));
    std::filesystem::path Month = Root / "month";
    std::filesystem::path Year = Root / "year";
};

inline const HistoryFiles& Files() {
    static const HistoryFiles files;
    return files;
}

// The month's CSV of one channel (0-based `index`) from a reader of the benchmark's own: blocks of
// records, a date, the time and one number a row. Returns the bytes written.
inline std::size_t PlainMonthCsv(const HistoryFiles& files, int index) {
    std::vector<archive::TArhivRec> block(4096);
    std::string text;
    std::size_t bytes = 0;
    for (int d = 0; d < kDays; ++d) {
        const std::string date = common::ArchiveDateText(kFirst + d) + ",";
        const int fd = ::open(files.MonthDay(d).c_str(), O_RDONLY);
        for (ssize_t got; (got = ::read(fd, block.data(), block.size() * sizeof(archive::TArhivRec))) > 0;) {
            for (std::size_t i = 0; i < static_cast<std::size_t>(got) / sizeof(archive::TArhivRec); ++i) {
                const auto ms = std::llround(block[i].Time * 86400000.0);
                char row[96];
                char* p = row;
                for (const int part : {static_cast<int>(ms / 3600000), static_cast<int>(ms / 60000 % 60),
                                       static_cast<int>(ms / 1000 % 60)}) {
                    *p++ = static_cast<char>('0' + part / 10);
                    *p++ = static_cast<char>('0' + part % 10);
                    *p++ = ':';
                }
                p[-1] = '.';
                const int milli = static_cast<int>(ms % 1000);
                *p++ = static_cast<char>('0' + milli / 100);
                *p++ = static_cast<char>('0' + milli / 10 % 10);
                *p++ = static_cast<char>('0' + milli % 10);
                *p++ = ',';
                p = std::to_chars(p, row + sizeof row, block[i].Tok[index], std::chars_format::general, 15)
                        .ptr;
                *p++ = '\r';
                *p++ = '\n';
                text += date;
                text.append(row, static_cast<std::size_t>(p - row));
            }
            bytes += text.size();
            text.clear();
        }
        ::close(fd);
    }
    return bytes;
}

} // namespace registrator::bench

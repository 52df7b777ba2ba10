#include "history/DigestFormat.h"

#include "archive/ArchiveRecords.h"
#include "monitor/DaySummary.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace registrator::history {

namespace {

constexpr char kMagic[8] = {'R', 'G', 'D', 'I', 'G', 'E', 'S', 'T'};
// A channel never spends more than a day above anything; a clock set back could only add minutes
// twice, never this much.
constexpr std::uint32_t kMostMs = 2 * 86400000u;
constexpr std::size_t kM = kMinutesPerDay;

std::uint64_t Mix(std::uint64_t h, std::uint64_t word) {
    h ^= word;
    h *= 0x9E3779B97F4A7C15ull;
    return h ^ (h >> 29);
}

bool EntryHolds(const DigestEntry& e, std::uint64_t records) {
    if (e.MsAboveOff > kMostMs || e.MsAboveNominal > kMostMs || e.MsAboveCritical > kMostMs)
        return false;
    if (e.Records > records)
        return false;
    if (e.Records == 0)
        return true;
    return monitor::IsPlausibleReading(e.Min) && monitor::IsPlausibleReading(e.Max) && e.Min <= e.Mean &&
           e.Mean <= e.Max;
}

std::uint64_t HourRecords(const DigestHeader& h, int hour) {
    std::uint64_t records = 0;
    for (int m = hour * 60; m < hour * 60 + 60; ++m)
        records += h.MinuteRecords[m];
    return records;
}

template <typename T> T Load(const char* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// The band of `records` readings whose sum, lowest and highest a compact block holds; none when they
// contradict one another.
bool CompactBand(double sum, std::uint32_t min, std::uint32_t max, std::uint64_t records, DigestEntry& e) {
    e.Records = static_cast<std::uint32_t>(records);
    if (records == 0)
        return true;
    if (min > max)
        return false;
    e.Min = min;
    e.Max = max;
    e.Mean = std::clamp(sum / static_cast<double>(records), e.Min, e.Max);
    return true;
}

// Nonzero unless `whole` is `value` to the bit: a whole number, and not -0.
std::uint64_t Misfit(double value, double whole) {
    return std::bit_cast<std::uint64_t>(value) ^ std::bit_cast<std::uint64_t>(whole);
}

// A minute's whole milliseconds as the wide form holds them.
std::uint32_t MsField(double ms) {
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(ms));
}

template <typename T> void Put(char* at, T value) {
    std::memcpy(at, &value, sizeof value);
}

bool ReadCompactHours(const DigestHeader& h, std::string_view bytes, std::span<DigestEntry> out) {
    for (int hour = 0; hour < kHoursPerDay; ++hour) {
        const char* at = bytes.data() + static_cast<std::size_t>(hour) * kCompactHourBytes;
        const auto sum = Load<std::uint64_t>(at);
        const auto missing = Load<std::uint32_t>(at + 12);
        const std::uint64_t held = HourRecords(h, hour);
        DigestEntry& e = out[static_cast<std::size_t>(hour)];
        e = DigestEntry{};
        if (missing > held || sum > (std::uint64_t{1} << 53) ||
            !CompactBand(static_cast<double>(sum), Load<std::uint16_t>(at + 8), Load<std::uint16_t>(at + 10),
                         held - missing, e))
            return false;
    }
    return true;
}

bool ReadCompactMinutes(const DigestHeader& h, std::string_view bytes, std::span<DigestEntry> out) {
    const char* sum = bytes.data();
    const char* fields[5];
    for (std::size_t k = 0; k < 5; ++k)
        fields[k] = sum + kM * 4 + k * kM * 2;
    const auto listed = Load<std::uint32_t>(sum + kCompactMinutesBytes - 4);
    if (listed > kM || bytes.size() != kCompactMinutesBytes + std::size_t{listed} * 4)
        return false;
    std::uint32_t missing[kMinutesPerDay] = {};
    for (std::size_t i = 0; i < listed; ++i) {
        const char* at = sum + kCompactMinutesBytes + i * 4;
        const auto minute = Load<std::uint16_t>(at);
        if (minute >= kM || missing[minute] != 0)
            return false;
        missing[minute] = Load<std::uint16_t>(at + 2);
    }
    for (std::size_t m = 0; m < kM; ++m) {
        DigestEntry& e = out[m];
        e = DigestEntry{};
        e.MsAboveOff = Load<std::uint16_t>(fields[2] + m * 2);
        e.MsAboveNominal = Load<std::uint16_t>(fields[3] + m * 2);
        e.MsAboveCritical = Load<std::uint16_t>(fields[4] + m * 2);
        if (missing[m] > h.MinuteRecords[m] ||
            !CompactBand(Load<std::uint32_t>(sum + m * 4), Load<std::uint16_t>(fields[0] + m * 2),
                         Load<std::uint16_t>(fields[1] + m * 2), h.MinuteRecords[m] - missing[m], e))
            return false;
    }
    return true;
}

// Channel n's block in the wide form, its hours from its minutes.
void WriteWideBlock(DayDigest& digest, int channel, const MinuteRows& rows) {
    DigestHeader& h = digest.Header;
    std::string& out = digest.Bytes;
    const auto c = static_cast<std::size_t>(channel - 1);
    h.Blocks[c] =
        DigestBlock{static_cast<std::uint32_t>(out.size()), static_cast<std::uint32_t>(BlockForm::Wide),
                    static_cast<std::uint32_t>(kWideMinutesBytes)};
    DigestEntry minutes[kM];
    DigestEntry hours[kHoursPerDay] = {};
    double hourSums[kHoursPerDay] = {};
    for (std::size_t m = 0; m < kM; ++m) {
        const double* row = rows.Band + m * 3 * kChannels + c;
        const double* ms = rows.Ms + m * 3 * kChannels + c;
        DigestEntry& e = minutes[m];
        e = DigestEntry{
            0, 0, 0, rows.Records[c][m], MsField(ms[0]), MsField(ms[kChannels]), MsField(ms[2 * kChannels])};
        if (e.Records == 0)
            continue;
        e.Min = row[0];
        e.Max = row[kChannels];
        e.Mean = std::clamp(row[2 * kChannels] / e.Records, e.Min, e.Max);
        DigestEntry& hour = hours[m / 60];
        hour.Min = hour.Records == 0 ? e.Min : std::min(hour.Min, e.Min);
        hour.Max = hour.Records == 0 ? e.Max : std::max(hour.Max, e.Max);
        hour.Records += e.Records;
        hourSums[m / 60] += row[2 * kChannels];
    }
    for (int hour = 0; hour < kHoursPerDay; ++hour) {
        DigestEntry& e = hours[hour];
        if (e.Records > 0)
            e.Mean = std::clamp(hourSums[hour] / e.Records, e.Min, e.Max);
    }
    out.append(reinterpret_cast<const char*>(hours), sizeof hours);
    out.append(reinterpret_cast<const char*>(minutes), sizeof minutes);
}

// Every channel's minutes in the compact fields, in one pass over the rows; a minute without records
// gets the greatest lowest and the least highest, which no hour takes. Nonzero where a figure does not
// fit; with `misfit`, which channel's. Plausible readings are within the range of the conversions even
// where they do not fit.
std::uint64_t WriteCompactMinutes(const MinuteRows& rows, const DigestHeader& h, char* const* minutes,
                                  std::uint64_t* misfit) {
    std::uint64_t any = 0;
    for (std::size_t m = 0; m < kM; ++m) {
        const double* lo = rows.Band + m * 3 * kChannels;
        const double* hi = lo + kChannels;
        const double* sum = hi + kChannels;
        const double* ms = rows.Ms + m * 3 * kChannels;
        const bool held = h.MinuteRecords[m] > 0;
        for (std::size_t c = 0; c < kChannels; ++c) {
            char* p = minutes[c];
            std::uint64_t bad = 0;
            std::int64_t s64 = 0;
            std::int32_t lo32 = 0xFFFF;
            std::int32_t hi32 = 0;
            if (held && rows.Records[c][m] > 0) {
                s64 = static_cast<std::int64_t>(sum[c]);
                lo32 = static_cast<std::int32_t>(lo[c]);
                hi32 = static_cast<std::int32_t>(hi[c]);
                bad = Misfit(sum[c], static_cast<double>(s64)) | Misfit(lo[c], lo32) | Misfit(hi[c], hi32) |
                      static_cast<std::uint64_t>(s64 >> 32) | static_cast<std::uint64_t>(hi32 >> 16);
            }
            // Whole milliseconds already.
            const std::uint32_t off = MsField(ms[c]);
            const std::uint32_t nominal = MsField(ms[kChannels + c]);
            const std::uint32_t critical = MsField(ms[2 * kChannels + c]);
            bad |= (off | nominal | critical) >> 16;
            any |= bad;
            if (misfit)
                misfit[c] |= bad;
            Put(p + m * 4, static_cast<std::uint32_t>(s64));
            Put(p + kM * 4 + m * 2, static_cast<std::uint16_t>(lo32));
            Put(p + kM * 6 + m * 2, static_cast<std::uint16_t>(hi32));
            Put(p + kM * 8 + m * 2, static_cast<std::uint16_t>(off));
            Put(p + kM * 10 + m * 2, static_cast<std::uint16_t>(nominal));
            Put(p + kM * 12 + m * 2, static_cast<std::uint16_t>(critical));
        }
    }
    return any;
}

// Every channel's block compact, in one pass over the rows straight into the file's bytes. Where some
// figure of a channel does not fit, its `misfit` is nonzero and its block meaningless.
void WriteCompactBlocks(DayDigest& digest, const MinuteRows& rows, std::uint64_t* misfit) {
    DigestHeader& h = digest.Header;
    std::string& out = digest.Bytes;
    // Every byte is written below: a digest that keeps the size of the last one costs no clearing.
    std::size_t end = sizeof(DigestHeader);
    std::uint32_t listed[kChannels] = {};
    char* minutes[kChannels];
    std::uint64_t any = 0;
    for (std::size_t c = 0; c < kChannels; ++c) {
        misfit[c] = 0;
        // Most channels have every reading plausible: the minute's records are theirs.
        for (std::size_t m = 0; m < kM && rows.Records[c] != h.MinuteRecords; ++m) {
            const std::uint32_t held = h.MinuteRecords[m];
            const std::uint32_t r = rows.Records[c][m];
            misfit[c] |= r > held || held - r > 65535 ? 1 : 0;
            listed[c] += r != held ? 1 : 0;
        }
        any |= misfit[c];
        DigestBlock& b = h.Blocks[c];
        b = DigestBlock{static_cast<std::uint32_t>(end), static_cast<std::uint32_t>(BlockForm::Compact),
                        static_cast<std::uint32_t>(kCompactMinutesBytes + listed[c] * 4)};
        end += kCompactHoursBytes + b.MinutesBytes;
    }
    out.resize(end);
    for (std::size_t c = 0; c < kChannels; ++c)
        minutes[c] = out.data() + h.Blocks[c].Offset + kCompactHoursBytes;

    // Seldom again, to tell which channels do not fit.
    if (WriteCompactMinutes(rows, h, minutes, nullptr) != 0 || any != 0)
        WriteCompactMinutes(rows, h, minutes, misfit);

    for (std::size_t c = 0; c < kChannels; ++c) {
        char* p = minutes[c];
        // The hours from the minutes as written.
        for (int hour = 0; hour < kHoursPerDay; ++hour) {
            std::uint64_t sum = 0;
            std::uint32_t lowest = 0xFFFF;
            std::uint32_t highest = 0;
            std::uint64_t records = 0;
            for (std::size_t m = static_cast<std::size_t>(hour) * 60;
                 m < static_cast<std::size_t>(hour + 1) * 60; ++m) {
                sum += Load<std::uint32_t>(p + m * 4);
                lowest = std::min<std::uint32_t>(lowest, Load<std::uint16_t>(p + kM * 4 + m * 2));
                highest = std::max<std::uint32_t>(highest, Load<std::uint16_t>(p + kM * 6 + m * 2));
                records += rows.Records[c][m];
            }
            char* to = p - kCompactHoursBytes + static_cast<std::size_t>(hour) * kCompactHourBytes;
            Put(to, sum);
            Put(to + 8, static_cast<std::uint16_t>(records > 0 ? lowest : 0));
            Put(to + 10, static_cast<std::uint16_t>(highest));
            Put(to + 12, static_cast<std::uint32_t>(HourRecords(h, hour) - records));
        }
        p += kCompactMinutesBytes - 4;
        Put(p, listed[c]);
        for (std::size_t m = 0; m < kM && listed[c] > 0; ++m)
            if (rows.Records[c][m] != h.MinuteRecords[m]) {
                p += 4;
                Put(p, static_cast<std::uint16_t>(m));
                Put(p + 2, static_cast<std::uint16_t>(h.MinuteRecords[m] - rows.Records[c][m]));
            }
    }
}

} // namespace

DigestThresholds ThresholdsOf(const channels::TUstavka& motor) {
    return {static_cast<double>(motor.Oborot), motor.T_Nom, motor.T_Max};
}

std::uint64_t Checksum(const void* data, std::size_t bytes) {
    const auto* p = static_cast<const unsigned char*>(data);
    // Four lanes, so the multiplications overlap.
    std::uint64_t lane[4] = {1, 2, 3, 4};
    std::size_t i = 0;
    for (; i + 32 <= bytes; i += 32)
        for (int k = 0; k < 4; ++k) {
            std::uint64_t word;
            std::memcpy(&word, p + i + 8 * k, 8);
            lane[k] = Mix(lane[k], word);
        }
    for (; i < bytes; ++i)
        lane[0] = Mix(lane[0], p[i]);
    return Mix(Mix(Mix(Mix(bytes, lane[0]), lane[1]), lane[2]), lane[3]);
}

BlockPart HoursPart(const DigestHeader& h, int channel) {
    const DigestBlock& b = h.Blocks[channel - 1];
    return {b.Offset,
            b.Form == static_cast<std::uint32_t>(BlockForm::Compact) ? kCompactHoursBytes : kWideHoursBytes};
}

BlockPart MinutesPart(const DigestHeader& h, int channel) {
    const BlockPart hours = HoursPart(h, channel);
    return {hours.Offset + hours.Bytes, h.Blocks[channel - 1].MinutesBytes};
}

void SealDigest(DayDigest& digest) {
    DigestHeader& h = digest.Header;
    std::memcpy(h.Magic, kMagic, sizeof kMagic);
    h.Version = kDigestVersion;
    h.FileBytes = digest.Bytes.size();
    std::memcpy(digest.Bytes.data(), &h, sizeof h);
    ResealDigestBytes(digest.Bytes);
    std::memcpy(&h, digest.Bytes.data(), sizeof h);
}

void WriteBlocks(DayDigest& digest, const MinuteRows& rows) {
    std::uint64_t misfit[kChannels];
    WriteCompactBlocks(digest, rows, misfit);
    if (std::all_of(std::begin(misfit), std::end(misfit), [](std::uint64_t m) { return m == 0; }))
        return;
    // The channels that fit keep their compact blocks, moved along; the others are written wide.
    DigestHeader& h = digest.Header;
    const std::string compact = digest.Bytes;
    digest.Bytes.resize(sizeof(DigestHeader));
    for (int n = 1; n <= kChannels; ++n) {
        DigestBlock& b = h.Blocks[n - 1];
        if (misfit[n - 1] != 0) {
            WriteWideBlock(digest, n, rows);
            continue;
        }
        const std::size_t from = b.Offset;
        b.Offset = static_cast<std::uint32_t>(digest.Bytes.size());
        digest.Bytes.append(compact, from, kCompactHoursBytes + b.MinutesBytes);
    }
}

void ResealDigestBytes(std::string& bytes) {
    DigestHeader h;
    if (bytes.size() < sizeof h)
        return;
    std::memcpy(&h, bytes.data(), sizeof h);
    for (int n = 1; n <= kChannels; ++n) {
        DigestBlock& b = h.Blocks[n - 1];
        const BlockPart hours = HoursPart(h, n);
        const BlockPart minutes = MinutesPart(h, n);
        if (hours.Offset + hours.Bytes <= bytes.size())
            b.HoursSum = Checksum(bytes.data() + hours.Offset, hours.Bytes);
        if (minutes.Offset + minutes.Bytes <= bytes.size())
            b.MinutesSum = Checksum(bytes.data() + minutes.Offset, minutes.Bytes);
    }
    h.HeaderSum = Checksum(&h, offsetof(DigestHeader, HeaderSum));
    std::memcpy(bytes.data(), &h, sizeof h);
}

bool HeaderHolds(const DigestHeader& h) {
    if (std::memcmp(h.Magic, kMagic, sizeof kMagic) != 0 || h.Version != kDigestVersion ||
        h.HeaderSum != Checksum(&h, offsetof(DigestHeader, HeaderSum)))
        return false;
    if (h.Kind > static_cast<std::uint32_t>(DigestKind::FinishedMinutes) || h.CoveredRecords == 0 ||
        h.SourceBytes < h.CoveredRecords * sizeof(archive::TArhivRec) || !(h.Period > 0 && h.Period <= 1) ||
        h.RunCount > kMaxRuns)
        return false;
    std::uint64_t held = 0;
    for (const std::uint32_t records : h.MinuteRecords)
        held += records;
    for (std::uint32_t r = 0; r < h.RunCount; ++r)
        if (h.RunStarts[r] >= h.CoveredRecords || (r > 0 && h.RunStarts[r] <= h.RunStarts[r - 1]))
            return false;
    std::uint64_t end = sizeof(DigestHeader);
    for (int n = 1; n <= kChannels; ++n) {
        const std::uint32_t form = h.Blocks[n - 1].Form;
        const std::uint32_t bytes = h.Blocks[n - 1].MinutesBytes;
        const bool sized =
            form == static_cast<std::uint32_t>(BlockForm::Compact)
                ? bytes >= kCompactMinutesBytes && (bytes - kCompactMinutesBytes) % 4 == 0
                : form == static_cast<std::uint32_t>(BlockForm::Wide) && bytes == kWideMinutesBytes;
        if (!sized || h.Blocks[n - 1].Offset != end)
            return false;
        end = MinutesPart(h, n).Offset + bytes;
    }
    return end == h.FileBytes && held <= h.CoveredRecords && (h.RunCount == 0 || h.RunStarts[0] == 0) &&
           std::all_of(std::begin(h.LastLevel), std::end(h.LastLevel), [](std::uint8_t l) { return l <= 4; });
}

bool ReadHours(const DigestHeader& h, int channel, std::string_view bytes, std::span<DigestEntry> out) {
    const DigestBlock& b = h.Blocks[channel - 1];
    if (out.size() != kHoursPerDay || bytes.size() != HoursPart(h, channel).Bytes ||
        Checksum(bytes.data(), bytes.size()) != b.HoursSum)
        return false;
    if (b.Form == static_cast<std::uint32_t>(BlockForm::Compact)) {
        if (!ReadCompactHours(h, bytes, out))
            return false;
    } else {
        std::memcpy(out.data(), bytes.data(), bytes.size());
    }
    for (int hour = 0; hour < kHoursPerDay; ++hour)
        if (!EntryHolds(out[static_cast<std::size_t>(hour)], HourRecords(h, hour)))
            return false;
    return true;
}

bool ReadMinutes(const DigestHeader& h, int channel, std::string_view bytes, std::span<DigestEntry> out) {
    const DigestBlock& b = h.Blocks[channel - 1];
    if (out.size() != kM || bytes.size() != b.MinutesBytes ||
        Checksum(bytes.data(), bytes.size()) != b.MinutesSum)
        return false;
    if (b.Form == static_cast<std::uint32_t>(BlockForm::Compact)) {
        if (!ReadCompactMinutes(h, bytes, out))
            return false;
    } else {
        std::memcpy(out.data(), bytes.data(), bytes.size());
    }
    for (std::size_t m = 0; m < kM; ++m)
        if (!EntryHolds(out[m], h.MinuteRecords[m]))
            return false;
    return true;
}

void Merge(DigestEntry& into, const DigestEntry& add) {
    into.MsAboveOff += add.MsAboveOff;
    into.MsAboveNominal += add.MsAboveNominal;
    into.MsAboveCritical += add.MsAboveCritical;
    if (add.Records == 0)
        return;
    if (into.Records == 0) {
        into.Min = add.Min;
        into.Max = add.Max;
        into.Mean = add.Mean;
    } else {
        const double total = static_cast<double>(into.Records) + add.Records;
        into.Mean = std::clamp((into.Mean * into.Records + add.Mean * add.Records) / total,
                               std::min(into.Min, add.Min), std::max(into.Max, add.Max));
        into.Min = std::min(into.Min, add.Min);
        into.Max = std::max(into.Max, add.Max);
    }
    into.Records += add.Records;
}

} // namespace registrator::history

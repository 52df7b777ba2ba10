#include "history/DigestFormat.h"

#include "archive/ArchiveRecords.h"
#include "monitor/DaySummary.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace registrator::history {

namespace {

constexpr char kMagic[8] = {'R', 'G', 'D', 'I', 'G', 'E', 'S', 'T'};
// A channel never spends more than a day above anything; a clock set back could only add minutes
// twice, never this much.
constexpr std::uint32_t kMostMs = 2 * 86400000u;

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

std::span<const DigestEntry> DayDigest::Hours(int channel) const {
    return {File->Entries + static_cast<std::size_t>(channel - 1) * kBlockEntries, kHoursPerDay};
}

std::span<const DigestEntry> DayDigest::Minutes(int channel) const {
    return {File->Entries + static_cast<std::size_t>(channel - 1) * kBlockEntries + kHoursPerDay,
            kMinutesPerDay};
}

std::span<DigestEntry> DayDigest::Block(int channel) {
    return {File->Entries + static_cast<std::size_t>(channel - 1) * kBlockEntries, kBlockEntries};
}

void SealDigest(DayDigest& digest) {
    DigestHeader& h = digest.Header();
    std::memcpy(h.Magic, kMagic, sizeof kMagic);
    h.Version = kDigestVersion;
    for (int n = 1; n <= kChannels; ++n) {
        const auto hours = digest.Hours(n);
        const auto minutes = digest.Minutes(n);
        h.BlockSums[n - 1][0] = Checksum(hours.data(), hours.size_bytes());
        h.BlockSums[n - 1][1] = Checksum(minutes.data(), minutes.size_bytes());
    }
    h.HeaderSum = Checksum(&h, offsetof(DigestHeader, HeaderSum));
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
    return held <= h.CoveredRecords && (h.RunCount == 0 || h.RunStarts[0] == 0) &&
           std::all_of(std::begin(h.LastLevel), std::end(h.LastLevel), [](std::uint8_t l) { return l <= 4; });
}

bool HoursHold(const DigestHeader& h, int channel, std::span<const DigestEntry> hours) {
    if (hours.size() != kHoursPerDay ||
        Checksum(hours.data(), hours.size_bytes()) != h.BlockSums[channel - 1][0])
        return false;
    for (int hour = 0; hour < kHoursPerDay; ++hour) {
        std::uint64_t records = 0;
        for (int m = hour * 60; m < hour * 60 + 60; ++m)
            records += h.MinuteRecords[m];
        if (!EntryHolds(hours[static_cast<std::size_t>(hour)], records))
            return false;
    }
    return true;
}

bool MinutesHold(const DigestHeader& h, int channel, std::span<const DigestEntry> minutes) {
    if (minutes.size() != kMinutesPerDay ||
        Checksum(minutes.data(), minutes.size_bytes()) != h.BlockSums[channel - 1][1])
        return false;
    for (std::size_t m = 0; m < kMinutesPerDay; ++m)
        if (!EntryHolds(minutes[m], h.MinuteRecords[m]))
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

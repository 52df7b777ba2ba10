#pragma once

#include "channels/ChannelData.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace registrator::history {

constexpr int kChannels = channels::kChannelCount;
constexpr int kMinutesPerDay = 1440;
constexpr int kHoursPerDay = 24;
// A growing day's digest is made again once this many records have come after it.
constexpr std::uint64_t kLongestTail = 3600;
// Runs of rising record times a digest keeps the starts of; a day with more is searched from its start.
constexpr std::size_t kMaxRuns = 32;

// One channel over one minute or hour: what a chart needs to draw it as a band, and for the reports
// the milliseconds the channel spent above its switch-off, nominal and critical currents (each
// includes the ones after it). Implausible readings are no records.
struct DigestEntry {
    double Min = 0;
    double Max = 0;
    double Mean = 0;
    std::uint32_t Records = 0;
    std::uint32_t MsAboveOff = 0;
    std::uint32_t MsAboveNominal = 0;
    std::uint32_t MsAboveCritical = 0;
};
static_assert(sizeof(DigestEntry) == 40);
static_assert(offsetof(DigestEntry, Records) == 24);

// Which part of the day file a digest was made from.
enum class DigestKind : std::uint32_t {
    WholeDay = 0, // every whole record; stale once the file changes size
    FinishedMinutes =
        1, // a growing day: the records before its last minute; later ones are read from the file
};

// The thresholds a channel's seconds were counted with.
struct DigestThresholds {
    double Oborot = 0;
    double T_Nom = 0;
    double T_Max = 0;
    bool operator==(const DigestThresholds&) const = default;
};

DigestThresholds ThresholdsOf(const channels::TUstavka& motor);

// The file starts with this header, little-endian, then one block per channel: its 24 hours, then its
// 1440 minutes, so that one channel is read without the other 71.
struct DigestHeader {
    char Magic[8] = {};
    std::uint32_t Version = 0;
    std::uint32_t Kind = 0;
    std::uint64_t SourceBytes = 0;    // the day file's size when the digest was made
    std::uint64_t CoveredRecords = 0; // records [0, CoveredRecords) of the day file
    std::uint64_t Identity = 0;       // of the first and last covered records
    double Period = 0;                // the typical period the seconds were counted with
    std::uint32_t RunCount = 0;       // 0: more runs than kept
    std::uint32_t Reserved = 0;
    std::uint64_t RunStarts[kMaxRuns] = {}; // record indexes where the time of day starts rising anew
    DigestThresholds Thresholds[kChannels] = {};
    std::uint8_t LastLevel[kChannels] = {};           // each channel's state after the last covered record
    std::uint32_t MinuteRecords[kMinutesPerDay] = {}; // records whose time falls in each minute
    std::uint64_t BlockSums[kChannels][2] = {};       // checksums of each channel's hours and minutes
    std::uint64_t HeaderSum = 0;                      // of everything before it
};
static_assert(sizeof(DigestHeader) == 9032);
static_assert(offsetof(DigestHeader, RunStarts) == 56);
static_assert(offsetof(DigestHeader, Thresholds) == 312);
static_assert(offsetof(DigestHeader, LastLevel) == 2040);
static_assert(offsetof(DigestHeader, MinuteRecords) == 2112);
static_assert(offsetof(DigestHeader, BlockSums) == 7872);
static_assert(offsetof(DigestHeader, HeaderSum) == 9024);

constexpr std::uint32_t kDigestVersion = 1;
constexpr std::size_t kBlockEntries = kHoursPerDay + kMinutesPerDay;
constexpr std::size_t kBlockBytes = kBlockEntries * sizeof(DigestEntry);
constexpr std::size_t kDigestBytes = sizeof(DigestHeader) + kChannels * kBlockBytes;

// Where channel n's block (n from 1) starts in the file.
constexpr std::size_t BlockOffset(int channel) {
    return sizeof(DigestHeader) + static_cast<std::size_t>(channel - 1) * kBlockBytes;
}

// A fast checksum of whole 8-byte words (the tail bytes too); not a defence against anyone, only
// against torn and flipped bytes.
std::uint64_t Checksum(const void* data, std::size_t bytes);

// The file as it lies on disk, header and blocks, with no padding between them.
struct DigestFile {
    DigestHeader Header;
    DigestEntry Entries[kChannels * kBlockEntries];
};
static_assert(sizeof(DigestFile) == kDigestBytes);

// A whole day's digest in memory, laid out as the file holds it, so that writing it copies nothing.
struct DayDigest {
    std::unique_ptr<DigestFile> File = std::make_unique<DigestFile>();

    DigestHeader& Header() { return File->Header; }
    const DigestHeader& Header() const { return File->Header; }
    std::span<const DigestEntry> Hours(int channel) const;
    std::span<const DigestEntry> Minutes(int channel) const;
    std::span<DigestEntry> Block(int channel);
    std::string_view Bytes() const { return {reinterpret_cast<const char*>(File.get()), sizeof(DigestFile)}; }
};

// Sets the magic, version and checksums.
void SealDigest(DayDigest& digest);

// Whether a header read from a file can be believed: magic, version, its checksum, and figures that
// fit a day.
bool HeaderHolds(const DigestHeader& header);

// Whether a channel's hours or minutes read from a file can be believed: their checksum, then each
// entry: finite, plausible, min <= mean <= max, no more records than the minute (or hour) held.
bool HoursHold(const DigestHeader& header, int channel, std::span<const DigestEntry> hours);
bool MinutesHold(const DigestHeader& header, int channel, std::span<const DigestEntry> minutes);

// Adds one entry into another: records, milliseconds, and the band.
void Merge(DigestEntry& into, const DigestEntry& add);

} // namespace registrator::history

#pragma once

#include "channels/ChannelData.h"

#include <cstddef>
#include <cstdint>
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
// includes the ones after it). Hours hold the band only; their milliseconds are 0. Implausible
// readings are no records.
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

// How a channel's block is written. Stations record whole amperes, so nearly every block is compact;
// readings of any other kind keep every figure exact in the wide form.
enum class BlockForm : std::uint32_t {
    // Each hour: its sum of readings (u64), lowest and highest (u16 each), implausible readings (u32).
    // The minutes, field by field: sums (u32), lowest, highest, then the milliseconds above the
    // switch-off, nominal and critical currents (u16 each); then how many minutes held implausible
    // readings (u32) and for each its minute and their count (u16 each). A minute's records are the
    // header's count less those; its mean is its sum shared among them.
    Compact = 0,
    // Each hour, then each minute, as a DigestEntry.
    Wide = 1,
};

// Where a channel's block lies in the file and its checksums.
struct DigestBlock {
    std::uint32_t Offset = 0; // from the file's start; its hours come first, then its minutes
    std::uint32_t Form = 0;   // BlockForm
    std::uint32_t MinutesBytes = 0;
    std::uint32_t Reserved = 0;
    std::uint64_t HoursSum = 0;
    std::uint64_t MinutesSum = 0;
};
static_assert(sizeof(DigestBlock) == 32);

constexpr std::size_t kCompactHourBytes = 16;
constexpr std::size_t kCompactMinuteBytes = 14;
constexpr std::size_t kCompactHoursBytes = kHoursPerDay * kCompactHourBytes;
// Without the list of minutes with implausible readings.
constexpr std::size_t kCompactMinutesBytes = kMinutesPerDay * kCompactMinuteBytes + 4;
constexpr std::size_t kWideHoursBytes = kHoursPerDay * sizeof(DigestEntry);
constexpr std::size_t kWideMinutesBytes = kMinutesPerDay * sizeof(DigestEntry);

// The file starts with this header, little-endian, then one block per channel in channel order, so
// that one channel is read without the other 71.
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
    DigestBlock Blocks[kChannels] = {};
    std::uint64_t FileBytes = 0; // where the last block ends
    std::uint64_t HeaderSum = 0; // of everything before it
};
static_assert(sizeof(DigestHeader) == 10192);
static_assert(offsetof(DigestHeader, RunStarts) == 56);
static_assert(offsetof(DigestHeader, Thresholds) == 312);
static_assert(offsetof(DigestHeader, LastLevel) == 2040);
static_assert(offsetof(DigestHeader, MinuteRecords) == 2112);
static_assert(offsetof(DigestHeader, Blocks) == 7872);
static_assert(offsetof(DigestHeader, HeaderSum) == 10184);

constexpr std::uint32_t kDigestVersion = 2;
constexpr std::size_t kBlockEntries = kHoursPerDay + kMinutesPerDay;

// Where a channel's hours and minutes lie in the file, by its block (n from 1).
struct BlockPart {
    std::size_t Offset = 0;
    std::size_t Bytes = 0;
};
BlockPart HoursPart(const DigestHeader& header, int channel);
BlockPart MinutesPart(const DigestHeader& header, int channel);

// A fast checksum of whole 8-byte words (the tail bytes too); not a defence against anyone, only
// against torn and flipped bytes.
std::uint64_t Checksum(const void* data, std::size_t bytes);

// A whole day's digest in memory, as its file holds it.
struct DayDigest {
    DigestHeader Header;
    std::string Bytes; // the header (once sealed), then the blocks
};

// Sets the magic, version, the file's size and the checksums, and puts the header in front of the blocks.
void SealDigest(DayDigest& digest);

// Makes the checksums of a digest file's bytes right again wherever its block table can be followed;
// for checking that a reader does not believe a digest that lies well.
void ResealDigestBytes(std::string& bytes);

// Whether a header read from a file can be believed: magic, version, its checksum, blocks that follow
// one another to the file's end, and figures that fit a day.
bool HeaderHolds(const DigestHeader& header);

// A channel's hours or minutes from their bytes (as HoursPart and MinutesPart say), when they can be
// believed: their checksum, then each entry: finite, plausible, min <= mean <= max, no more records
// than the minute (or hour) held.
bool ReadHours(const DigestHeader& header, int channel, std::string_view bytes, std::span<DigestEntry> out);
bool ReadMinutes(const DigestHeader& header, int channel, std::string_view bytes, std::span<DigestEntry> out);

// A day's figures per minute for all channels at once: row m holds for each k (0, 1, 2) one value per
// channel, [(m * 3 + k) * kChannels + channel - 1].
struct MinuteRows {
    // k: lowest, highest and sum of the channel's plausible readings; meaningless without records.
    const double* Band = nullptr;
    // k: whole milliseconds above the switch-off, nominal and critical currents.
    const double* Ms = nullptr;
    // [channel - 1][minute]: the channel's records in each minute; the header's minute counts
    // themselves for a channel whose every reading was plausible.
    const std::uint32_t* const* Records = nullptr;
};

// Writes every channel's block into digest.Bytes after room for the header (whose minute counts must
// be set), over what they held before: all compact in one pass over the rows when every figure fits,
// else each channel compact or wide on its own.
void WriteBlocks(DayDigest& digest, const MinuteRows& rows);

// Adds one entry into another: records, milliseconds, and the band.
void Merge(DigestEntry& into, const DigestEntry& add);

} // namespace registrator::history

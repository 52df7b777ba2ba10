#include "ScanReport.h"

#include "channels/ChannelData.h"
#include "common/NumberText.h"

#include <cstdint>

namespace registrator::tools {

namespace {

constexpr std::size_t kCellWidth = 6;
constexpr std::size_t kLabelWidth = 7;

// Terminal columns of a UTF-8 text: one per character.
std::size_t Columns(const std::string& text) {
    std::size_t columns = 0;
    for (const char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++columns;
    }
    return columns;
}

// Right-aligned in a cell, always at least one blank from its neighbour, even when too wide.
std::string Cell(const std::string& text) {
    const std::size_t columns = Columns(text);
    return std::string(columns + 1 < kCellWidth ? kCellWidth - columns : 1, ' ') + text;
}

std::string PadRight(const std::string& text, std::size_t width) {
    const std::size_t columns = Columns(text);
    return text + std::string(columns < width ? width - columns : 0, ' ');
}

std::string Amperes(double value) {
    return common::IntToText(static_cast<std::int64_t>(value));
}

std::string DateTimeText(common::TDateTime time) {
    return common::FormatDate(time, "yyyy-MM-dd") + ' ' + common::FormatTime(time, "HH:mm:ss.zzz");
}

} // namespace

std::string RoundTable(const ScanRound& round, const std::string& source, int avg) {
    std::string text = "registrator-scan: " + source + "\n";
    text += "average of " + std::to_string(avg) + " scans, " + DateTimeText(round.Time) + "\n";
    text += PadRight("motor", kLabelWidth);
    for (int motor = 1; motor <= channels::kChannelsPerSection; ++motor)
        text += Cell(std::to_string(motor));
    text += '\n';
    for (int section = 1; section <= channels::kSectionCount; ++section) {
        const int first = channels::FirstChannelOfSection(section);
        text += std::to_string(section) + ' ' + std::string(channels::SectionName(section)) + " (channels " +
                std::to_string(first) + "-" + std::to_string(first + channels::kChannelsPerSection - 1) +
                ")\n";
        text += PadRight("  count", kLabelWidth);
        for (int channel = first; channel < first + channels::kChannelsPerSection; ++channel)
            text += Cell(std::to_string(round.Counts[static_cast<std::size_t>(channel - 1)]));
        text += '\n';
        if (round.Amperes) {
            text += PadRight("  A", kLabelWidth);
            for (int channel = first; channel < first + channels::kChannelsPerSection; ++channel)
                text += Cell(Amperes((*round.Amperes)[static_cast<std::size_t>(channel - 1)]));
            text += '\n';
        }
    }
    return text;
}

std::string CsvHeader(bool withAmperes) {
    std::string text = "time";
    for (int channel = 1; channel <= kScanChannels; ++channel)
        text += ",count" + std::to_string(channel);
    if (withAmperes) {
        for (int channel = 1; channel <= kScanChannels; ++channel)
            text += ",amps" + std::to_string(channel);
    }
    return text + '\n';
}

std::string CsvLine(const ScanRound& round) {
    std::string text = DateTimeText(round.Time);
    for (const int count : round.Counts)
        text += ',' + std::to_string(count);
    if (round.Amperes) {
        for (const double value : *round.Amperes)
            text += ',' + Amperes(value);
    }
    return text + '\n';
}

} // namespace registrator::tools

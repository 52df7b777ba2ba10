#include "events/JournalEntry.h"

#include "common/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace registrator::events {

namespace {

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (std::size_t at = 0;;) {
        const std::size_t end = line.find(';', at);
        fields.push_back(line.substr(at, end - at));
        if (end == std::string_view::npos)
            return fields;
        at = end + 1;
    }
}

// "dd.MM.yyyy HH:mm:ss".
std::optional<common::TDateTime> TimeOf(std::string_view text) {
    const auto day = common::ArchiveDateValue(text.substr(0, 10));
    if (!day || text.size() != 19 || text[10] != ' ' || text[13] != ':' || text[16] != ':')
        return std::nullopt;
    int parts[3] = {};
    for (int p = 0; p < 3; ++p) {
        const std::string_view digits = text.substr(11 + 3 * p, 2);
        if (std::from_chars(digits.data(), digits.data() + 2, parts[p]).ptr != digits.data() + 2)
            return std::nullopt;
    }
    try {
        return *day + common::EncodeTime(parts[0], parts[1], parts[2], 0);
    } catch (const std::invalid_argument&) {
        return std::nullopt;
    }
}

std::optional<EventKind> KindOf(std::string_view text) {
    for (int k = 0; k < kEventKindCount; ++k)
        if (text == EventKindText(static_cast<EventKind>(k)))
            return static_cast<EventKind>(k);
    return std::nullopt;
}

std::optional<int> ChannelOf(std::string_view text) {
    int channel = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), channel);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() || channel < 1 ||
        channel > channels::kChannelCount)
        return std::nullopt;
    return channel;
}

} // namespace

std::string JournalEntry::KindText() const {
    return Kind ? EventKindText(*Kind) : OtherKind;
}

JournalEntry ReadJournalLine(std::string_view line) {
    std::vector<std::string_view> fields = SplitFields(line);
    fields.resize(std::max<std::size_t>(fields.size(), 9));
    JournalEntry entry;
    entry.Time = TimeOf(fields[0]);
    entry.Kind = KindOf(fields[1]);
    if (!entry.Kind)
        entry.OtherKind = fields[1];
    entry.Channel = ChannelOf(fields[2]);
    entry.Section = fields[3];
    entry.Motor = fields[4];
    entry.Peak = common::ParseFloatAnySeparator(fields[5]);
    entry.Seconds = common::ParseFloatAnySeparator(fields[6]);
    entry.Alarm = fields[7] == kJournalAlarm;
    entry.Details = fields[8];
    for (std::size_t i = 9; i < fields.size(); ++i)
        (entry.Details += ';') += fields[i];
    return entry;
}

std::string JournalTimeText(common::TDateTime time) {
    return common::FormatDate(time, "dd.MM.yyyy") + ' ' + common::FormatTime(time, "HH:mm:ss");
}

std::string JournalFigureText(double value) {
    const long long tenths = std::llround(value * 10);
    std::string text = std::to_string(tenths / 10) + ',' + std::to_string(std::llabs(tenths % 10));
    if (tenths < 0 && tenths / 10 == 0)
        text.insert(0, "-");
    return text;
}

} // namespace registrator::events

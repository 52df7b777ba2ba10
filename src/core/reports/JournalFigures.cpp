#include "reports/JournalFigures.h"

#include <algorithm>

namespace registrator::reports {

namespace {

using events::EventKind;

constexpr double kSecond = 1.0 / 86400;

void Most(std::optional<double>& slot, const std::optional<double>& value) {
    if (value)
        slot = std::max(slot.value_or(*value), *value);
}

} // namespace

JournalDay FoldJournalDay(common::TDateTime day, const std::vector<events::JournalEntry>& lines,
                          common::TDateTime from, common::TDateTime to, bool keepStarts) {
    from = std::max(from, day);
    to = std::min(to, day + 1);
    JournalDay out;
    std::array<std::optional<common::TDateTime>, channels::kChannelCount + 1> open{};
    const auto overload = [&](int channel, common::TDateTime begin, common::TDateTime end, bool ended) {
        const double seconds = (std::min(end, to) - std::max(begin, from)) * 86400;
        if (seconds <= 0)
            return;
        JournalMotorFigures& motor = out.Motors[static_cast<std::size_t>(channel)];
        motor.OverloadSeconds += seconds;
        if (!ended)
            motor.UnendedOverloadSeconds += seconds;
    };
    const auto closeAll = [&](common::TDateTime at) {
        for (int n = 1; n <= channels::kChannelCount; ++n)
            if (auto& since = open[static_cast<std::size_t>(n)]) {
                overload(n, *since, at, false);
                since.reset();
            }
    };
    for (const events::JournalEntry& line : lines) {
        if (!line.Time || !line.Kind)
            continue;
        const common::TDateTime t = *line.Time;
        const bool in = t >= from && t < to;
        const int channel = line.Channel.value_or(0);
        JournalMotorFigures* motor = channel > 0 ? &out.Motors[static_cast<std::size_t>(channel)] : nullptr;
        if (in && line.Alarm)
            out.Alarms.push_back(
                {t, line.KindText(), line.Channel, line.Section, line.Motor, line.Peak, line.Details, {}});
        switch (*line.Kind) {
        case EventKind::StartBegan:
            if (in && motor)
                ++motor->Starts;
            break;
        case EventKind::LongStart:
        case EventKind::StartEnded:
            if (!in || !motor)
                break;
            motor->LongStarts += *line.Kind == EventKind::LongStart;
            Most(motor->LongestStartSeconds, line.Seconds);
            Most(motor->HighestStartPeak, line.Peak);
            if (keepStarts) {
                motor->StartSeconds.push_back(static_cast<float>(line.Seconds.value_or(0)));
                motor->StartPeaks.push_back(static_cast<float>(line.Peak.value_or(0)));
            }
            break;
        case EventKind::OverloadBegan:
            if (!motor)
                break;
            motor->Overloads += in;
            open[static_cast<std::size_t>(channel)] = t;
            break;
        case EventKind::OverloadEnded:
            if (!motor)
                break;
            // The line's duration is finer than its time, which the journal keeps to the second.
            if (line.Seconds)
                overload(channel, t - *line.Seconds * kSecond, t, true);
            else if (const auto since = open[static_cast<std::size_t>(channel)])
                overload(channel, *since, t, true);
            open[static_cast<std::size_t>(channel)].reset();
            break;
        case EventKind::ProgramStarted:
        case EventKind::ProgramEnded:
            closeAll(t);
            break;
        case EventKind::Acknowledged:
            if (in)
                out.Acknowledgements.push_back({t, line.Channel, line.Details});
            break;
        case EventKind::CalibrationChanged:
            if (in)
                out.Calibrations.push_back({t, line.Channel, line.Motor, CalibrationFields(line.Details)});
            break;
        default:
            break;
        }
    }
    closeAll(day + 1);
    return out;
}

void MatchAcknowledgements(std::vector<AlarmLine>& alarms, const std::vector<Acknowledgement>& acks) {
    for (const Acknowledgement& ack : acks) {
        // The newest alarm before it that it names and that waits for it.
        for (auto it = alarms.rbegin(); it != alarms.rend(); ++it) {
            if (it->Time > ack.Time || it->Acknowledged || it->Channel != ack.Channel)
                continue;
            if (ack.Details == it->Kind + " с " + common::FormatTime(it->Time, "HH:mm:ss")) {
                it->Acknowledged = ack.Time;
                break;
            }
        }
    }
}

std::vector<CalibrationField> CalibrationFields(const std::string& details) {
    static constexpr std::string_view kArrow = " → ";
    static constexpr std::string_view kOpen = "«";
    static constexpr std::string_view kClose = "»";
    const std::string_view text = details;
    std::vector<CalibrationField> fields;
    // A value in «» (a name) runs to its closing mark; any other to the next separator.
    const auto valueEnd = [&](std::size_t at, std::string_view stop) {
        if (text.substr(at, kOpen.size()) == kOpen) {
            const std::size_t close = text.find(kClose, at + kOpen.size());
            return close == std::string_view::npos ? close : close + kClose.size();
        }
        return std::min(text.find(stop, at), text.size());
    };
    std::size_t at = 0;
    while (true) {
        while (at < text.size() && (text[at] == ' ' || text[at] == ';'))
            ++at;
        if (at == text.size())
            break;
        const std::size_t colon = text.find(": ", at);
        if (colon == std::string_view::npos)
            return {{details, {}, {}}};
        const std::size_t oldAt = colon + 2;
        const std::size_t oldEnd = valueEnd(oldAt, kArrow);
        if (oldEnd == std::string_view::npos || text.substr(oldEnd, kArrow.size()) != kArrow)
            return {{details, {}, {}}};
        const std::size_t newAt = oldEnd + kArrow.size();
        std::size_t newEnd = valueEnd(newAt, "  ");
        if (newEnd == std::string_view::npos)
            return {{details, {}, {}}};
        newEnd = std::min(newEnd, text.find("; ", newAt));
        fields.push_back({std::string(text.substr(at, colon - at)),
                          std::string(text.substr(oldAt, oldEnd - oldAt)),
                          std::string(text.substr(newAt, newEnd - newAt))});
        at = newEnd;
    }
    return fields;
}

} // namespace registrator::reports

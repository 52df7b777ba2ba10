#include "monitor/JournalTally.h"

#include <algorithm>

namespace registrator::monitor {

JournalTally TallyJournal(const std::vector<events::JournalEntry>& lines) {
    using events::EventKind;
    // The journal leaves a figure of zero empty.
    const auto most = [](std::optional<double>& slot, std::optional<double> value) {
        slot = std::max(slot.value_or(0), value.value_or(0));
    };
    JournalTally motors{};
    for (const events::JournalEntry& line : lines) {
        if (!line.Channel || !line.Kind)
            continue;
        JournalMotor& motor = motors[static_cast<std::size_t>(*line.Channel)];
        switch (*line.Kind) {
        case EventKind::StartBegan:
            ++motor.Starts;
            break;
        case EventKind::LongStart:
            ++motor.LongStarts;
            [[fallthrough]];
        case EventKind::StartEnded:
            most(motor.StartPeak, line.Peak);
            most(motor.LongestStart, line.Seconds);
            break;
        case EventKind::OverloadBegan:
            ++motor.Overloads;
            break;
        case EventKind::OverloadEnded:
            most(motor.LongestOverload, line.Seconds);
            break;
        default:
            break;
        }
    }
    return motors;
}

MoreSummaryColumns JournalSummaryColumns(const JournalTally* tally) {
    MoreSummaryColumns columns;
    columns.Titles = {
        "journal_starts",      "journal_start_peak_current", "journal_longest_start_seconds",
        "journal_long_starts", "journal_overloads",          "journal_longest_overload_seconds"};
    columns.Fields = [tally](int channel, archive::CsvRow& row) {
        if (!tally) {
            for (int i = 0; i < 6; ++i)
                row.Field("");
            return;
        }
        const JournalMotor& motor = (*tally)[static_cast<std::size_t>(channel)];
        const auto figure = [&row](const std::optional<double>& value) {
            if (value)
                row.Number(*value);
            else
                row.Field("");
        };
        row.Field(std::to_string(motor.Starts));
        figure(motor.StartPeak);
        figure(motor.LongestStart);
        row.Field(std::to_string(motor.LongStarts));
        row.Field(std::to_string(motor.Overloads));
        figure(motor.LongestOverload);
    };
    return columns;
}

} // namespace registrator::monitor

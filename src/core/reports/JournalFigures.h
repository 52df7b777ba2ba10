#pragma once

#include "channels/ChannelData.h"
#include "common/DateTime.h"
#include "events/JournalEntry.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace registrator::reports {

// What the journal says of one motor over a stretch of time: the events the program told apart as it
// recorded, which the readings alone cannot (a start's inrush is no overload).
struct JournalMotorFigures {
    int Starts = 0;     // "пуск" lines
    int LongStarts = 0; // "затянутый пуск" lines
    std::optional<double> LongestStartSeconds;
    std::optional<double> HighestStartPeak;
    int Overloads = 0; // "перегрузка" lines: overloads outside starts that began in the stretch
    double OverloadSeconds = 0;        // the time of any overload that lies in the stretch
    double UnendedOverloadSeconds = 0; // the part of it from overloads without an end line
    // Each start's duration and peak, from its "пуск завершён" or "затянутый пуск" line, when asked for.
    std::vector<float> StartSeconds;
    std::vector<float> StartPeaks;
};

// An alarm raised in the period, and when the operator acknowledged it.
struct AlarmLine {
    common::TDateTime Time = 0;
    std::string Kind; // the journal's text ("перегрузка")
    std::optional<int> Channel;
    std::string Section;
    std::string Motor;
    std::optional<double> Peak;
    std::string Details;
    std::optional<common::TDateTime> Acknowledged; // within the period
};

// One field a calibration apply changed, by the calibration window's caption.
struct CalibrationField {
    std::string Caption;
    std::string Old;
    std::string New;
};

struct CalibrationLine {
    common::TDateTime Time = 0;
    std::optional<int> Channel;
    std::string Motor;
    std::vector<CalibrationField> Fields;
};

struct Acknowledgement {
    common::TDateTime Time = 0;
    std::optional<int> Channel;
    std::string Details; // "перегрузка с 10:15:02"
};

// One day's journal folded over the part [From, To) of that day.
struct JournalDay {
    std::array<JournalMotorFigures, channels::kChannelCount + 1> Motors{};
    std::vector<AlarmLine> Alarms;
    std::vector<Acknowledgement> Acknowledgements;
    std::vector<CalibrationLine> Calibrations;
};

// An overload counts the part of its time within the stretch, from its end line's duration; one whose end
// line the day does not hold (still on at midnight, or cut off by the program's end or a power cut) runs
// to the program's next start or end line, else to the day's end, and counts as unended.
JournalDay FoldJournalDay(common::TDateTime day, const std::vector<events::JournalEntry>& lines,
                          common::TDateTime from, common::TDateTime to, bool keepStarts);

// Marks each alarm with the first acknowledgement after it that names it (its kind, channel and time of
// day, as the journal's "квитирование" line gives them).
void MatchAcknowledgements(std::vector<AlarmLine>& alarms, const std::vector<Acknowledgement>& acks);

// The fields of a calibration line's details, "Ток ном.: 100 → 120  k: 1 → 1,25" (the journal turns the
// window's ';' into a blank); details it cannot take apart become one field with empty values.
std::vector<CalibrationField> CalibrationFields(const std::string& details);

} // namespace registrator::reports

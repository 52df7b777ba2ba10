#pragma once

#include "channels/SettingsFile.h"
#include "history/DigestStore.h"
#include "reports/JournalFigures.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace registrator::reports {

// A motor's figures over a period, or a section's or the plant's sums of them. Times in seconds.
struct MotorFigures {
    double RunSeconds = 0; // above the switch-off current
    int Starts = 0;        // the journal's starts
    int LongStarts = 0;    // starts still above nominal when their window ran out
    std::optional<double> LongestStartSeconds;
    std::optional<double> HighestStartPeak;
    int Overloads = 0;              // above critical outside starts, begun in the period
    double OverloadSeconds = 0;     // the time of overloads within the period
    double AboveNominalSeconds = 0; // above nominal, starts and overloads included
    std::optional<double> HighestCurrent;
    std::optional<double> MeanRunningCurrent;
    // No record, or none with a plausible reading of the motor; for a section and the plant, no record.
    double NoRecordSeconds = 0;
    double EnergyKwh = 0;            // sqrt(3) U I cos(phi) over the running time
    double RunningAmpereSeconds = 0; // the running current summed over the running time
};

struct FiguresRequest {
    common::TDateTime From = 0; // [From, To), each taken to its whole minute (From down, To up)
    common::TDateTime To = 0;
    std::array<channels::MotorSupply, channels::kChannelCount + 1> Supplies{}; // [channel]
    // Someone is waiting: missing digests are made on a second thread too. Left off for the reports
    // written in the background, which leave the other core to the panel.
    bool MakeDigestsAhead = false;
};

struct PeriodFigures {
    common::TDateTime From = 0;
    common::TDateTime To = 0;
    std::array<MotorFigures, channels::kChannelCount + 1> Motors{};   // [channel]
    std::array<MotorFigures, channels::kSectionCount + 1> Sections{}; // [section]
    MotorFigures Plant;
    std::array<std::string, channels::kChannelCount + 1> Names{}; // UTF-8, as the period's last day has them
    std::vector<AlarmLine> Alarms;                                // raised in the period, in time order
    std::vector<CalibrationLine> Calibrations;                    // in time order
    std::vector<common::TDateTime> DaysWithoutJournal;            // days with records and no journal
    std::vector<std::string> Troubles;                            // "DD.MM.YYYY.txt: reason"
    bool Stopped = false;
};

// The figures of each motor, section and the plant over the period, from each day's digest (made on
// first need, with `progress`) and its journal: the one function every report takes them from.
PeriodFigures CountPeriod(const history::ArchiveHistory& history, const FiguresRequest& request,
                          history::Workspace& work, const history::ProgressCallback& progress = {});

// kWh of a three-phase motor drawing `ampereSeconds` at its supply.
double EnergyKwh(double ampereSeconds, const channels::MotorSupply& supply);

} // namespace registrator::reports

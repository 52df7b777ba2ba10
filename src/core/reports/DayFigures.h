#pragma once

#include "history/DigestStore.h"
#include "reports/JournalFigures.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace registrator::reports {

// One motor over some minutes of a day, from the day's digest.
struct DigestMotorFigures {
    double RunMs = 0;           // above the switch-off current
    double AboveNominalMs = 0;  // above nominal, a start's inrush included
    double AboveCriticalMs = 0; // likewise above critical
    double NoRecordMs = 0;      // no record, or none with a plausible reading of the motor
    // The running current summed over the running time (A x ms), for the mean and the energy.
    double RunningAmpereMs = 0;
    std::optional<double> Highest;
};

struct DayPartRequest {
    common::TDateTime Day = 0;
    int FromMinute = 0; // [FromMinute, ToMinute) of the day
    int ToMinute = 1440;
    bool HasFile = true;  // the day file is there
    bool Growing = false; // the newest day, which the recorder may still be writing
    bool KeepStarts = false;
};

// A part of one day: the digest's figures and the journal's.
struct DayPart {
    std::array<DigestMotorFigures, channels::kChannelCount + 1> Motors{};
    double PlantNoRecordMs = 0; // without any record
    JournalDay Journal;
    bool JournalThere = false;
    std::string Trouble; // why the day file or its journal could not be read
    bool Stopped = false;
};

// The day's digest (made where missing or stale, asking `stop` meanwhile) and its journal. A minute's
// running time and time above nominal are the digest's own, counted against the 1 s records with the
// day's thresholds. The time a minute's records stand for is that of a motor that ran through all of
// its records (exact), else its records times the typical period. Overloads the journal does not see
// end count at most the motor's time above critical that day.
DayPart FigureDayPart(const history::ArchiveHistory& history, const DayPartRequest& request,
                      history::Workspace& work, const history::StopCheck& stop = {});

// The day's journal file beside its day file.
std::string JournalPathOf(const history::ArchiveHistory& history, common::TDateTime day);

} // namespace registrator::reports

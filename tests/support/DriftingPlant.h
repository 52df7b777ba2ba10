#pragma once

#include "common/DateTime.h"

#include <string>

namespace registrator::support {

// Sixty days of a plant of 72 motors recorded once a minute, each stopped from midnight to one and started
// a few times a day, with the journal's start lines: every motor with its ordinary scatter, but one whose
// starts lengthen and one whose running current creeps up, each by 1 % a day from day 20.
struct DriftingPlant {
    static constexpr int kDays = 60;
    static constexpr int kLongerStarts = 7;
    static constexpr int kMoreCurrent = 30; // in the section whose load rises, which is no fault of any
    static constexpr int kDriftFrom = 20;

    common::TDateTime FirstDay = 0;
    // Motor n runs at about Base + n amperes; the settings the archive is read with switch off below 10 A.
    double Base = 40;

    // 1 before the drift, then 1 % more a day.
    static double Drift(int day);
    // Every section's load wavers a little; the third's rises by 30 % from day 30 to day 45.
    static double Load(int section, int day);
    // Day files and journals into the archive folder (with its trailing separator). False when a journal
    // line could not be written.
    bool Write(const std::string& folder) const;
};

} // namespace registrator::support

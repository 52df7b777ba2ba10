#pragma once

#include "service/reportfiles/ReportFiles.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

// What the printed report and the workbook share: the columns, their captions and how a figure is told.
namespace registrator::reportfiles::layout {

enum class Unit {
    Hours,    // seconds shown as decimal hours
    Duration, // seconds shown as hours, minutes and seconds
    Count,
    Seconds,
    Amperes,
    Kwh,
};

struct FigureColumn {
    const char* Caption;
    Unit Kind;
    std::optional<double> (*Value)(const reports::MotorFigures&); // in seconds for the two times
};
std::span<const FigureColumn> FigureColumns();

// Decimal places a unit is shown with.
int Decimals(Unit unit);
// "1234,57", "12:05:09", "3": as the printed report shows a figure.
std::string FigureText(Unit unit, double value);
// "12,5": a decimal comma whatever the C locale says.
std::string NumberText(double value, int decimals);
// Seconds rounded to the millisecond, so that the same records always give the same cell.
double SteadySeconds(double seconds);

std::string TimeText(common::TDateTime time); // "09.12.2026 08:00:05"
// "Секция 2. Формовка А"
std::string SectionTitle(int section);
// The motor's name from the period, or "канал N" for one without a name.
std::string MotorName(const reports::PeriodFigures& figures, int channel);

const std::vector<const char*>& AlarmCaptions();
std::vector<std::string> AlarmCells(const reports::AlarmLine& alarm); // all texts but the peak (index 5)
const std::vector<const char*>& CalibrationCaptions();

// The health section: per drift, the recent and the past figure.
struct DriftColumn {
    const char* Caption;
    const char* Flag; // what a flagged one says
    int DecimalPlaces;
    reports::Drift reports::MotorDrift::*Member;
};
std::span<const DriftColumn> DriftColumns();
std::string HealthPeriodText(const reports::MotorHealth& health, const reports::HealthRules& rules = {});
// The flags of one motor, "пуски дольше; ток в работе выше", or "—" for none.
std::string FlagsText(const reports::MotorDrift& drift);
bool HasHealthData(const reports::MotorDrift& drift);

// The remarks under the report: days without a journal, unreadable files, an interrupted count.
std::vector<std::string> Remarks(const reports::PeriodFigures& figures);

} // namespace registrator::reportfiles::layout

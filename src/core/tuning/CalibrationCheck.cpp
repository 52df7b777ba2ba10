#include "tuning/CalibrationCheck.h"

#include "acquisition/Averaging.h"
#include "common/NumberText.h"
#include "monitor/PanelState.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace registrator::tuning {

namespace {

using monitor::PanelState;

// The converters give 10-bit counts; the averaged count is rounded to a whole one.
constexpr int kTopCount = 1023;

constexpr std::array<PanelState, 4> kColours = {PanelState::Overloaded, PanelState::AboveNominal,
                                                PanelState::Running, PanelState::Off};

std::string ColourName(PanelState state) {
    switch (state) {
    case PanelState::Overloaded:
        return "красной (перегрузка)";
    case PanelState::AboveNominal:
        return "жёлтой (выше номинала)";
    case PanelState::Running:
        return "зелёной (работает)";
    case PanelState::Off:
    case PanelState::Unchanged:
        break;
    }
    return "серой (отключён)";
}

std::string ColourList(const std::vector<PanelState>& states) {
    std::string out;
    for (std::size_t i = 0; i < states.size(); ++i) {
        if (i > 0)
            out += i + 1 == states.size() ? " и " : ", ";
        out += ColourName(states[i]);
    }
    return out;
}

// Whether some current of 0 A or more gets this colour from the panel rule with these thresholds.
bool ThresholdsAllow(PanelState state, const channels::TUstavka& u) {
    const double off = u.Oborot;
    switch (state) {
    case PanelState::AboveNominal:
        return u.T_Max > 0 && u.T_Nom < u.T_Max;
    case PanelState::Running:
        return off < 0 ? u.T_Nom > 0 && u.T_Max >= 0 : off < u.T_Nom && off < u.T_Max;
    case PanelState::Off:
        return u.T_Max >= 0 && u.T_Nom > 0 && off >= 0;
    case PanelState::Overloaded:
    case PanelState::Unchanged:
        break;
    }
    return true;
}

std::string ThresholdWarning(const channels::TUstavka& u) {
    std::vector<std::string> faults;
    if (u.T_Nom >= u.T_Max)
        faults.push_back("ток ном. не ниже тока крит.");
    if (u.T_Max <= 0)
        faults.push_back("ток крит. не больше нуля");
    if (u.T_Nom <= 0)
        faults.push_back("ток ном. не больше нуля");
    if (u.Oborot < 0)
        faults.push_back("ток откл. меньше нуля");
    if (u.Oborot >= u.T_Nom)
        faults.push_back("ток откл. не ниже тока ном.");
    std::vector<PanelState> never;
    for (PanelState state : kColours)
        if (!ThresholdsAllow(state, u))
            never.push_back(state);
    if (faults.empty())
        return {};
    std::string text = "Пороги: ";
    for (std::size_t i = 0; i < faults.size(); ++i)
        text += (i > 0 ? ", " : "") + faults[i];
    if (!never.empty())
        text += " — панель никогда не станет " + ColourList(never);
    return text + ".";
}

} // namespace

std::vector<std::string> CalibrationWarnings(const CalibrationEntries& entries, char decimalSeparator) {
    const std::optional<double> k = common::ParseFloat(entries.Koof_K, decimalSeparator);
    const std::optional<double> b = common::ParseFloat(entries.Koof_B, decimalSeparator);
    const std::optional<double> nominal = common::ParseFloat(entries.T_Nom, decimalSeparator);
    const std::optional<double> critical = common::ParseFloat(entries.T_Max, decimalSeparator);
    const std::optional<std::int32_t> off = ParseDigitEntry(entries.Oborot);
    const bool thresholds = nominal && critical && off;
    const bool conversion = k && b;
    channels::TUstavka u;
    u.Koof_K = k.value_or(0);
    u.Koof_B = b.value_or(0);
    u.T_Nom = nominal.value_or(0);
    u.T_Max = critical.value_or(0);
    u.Oborot = off.value_or(0);
    const auto text = [decimalSeparator](double value) {
        return common::FloatToText(value, decimalSeparator);
    };

    std::vector<std::string> warnings;
    if (thresholds) {
        if (std::string warning = ThresholdWarning(u); !warning.empty())
            warnings.push_back(std::move(warning));
    }
    if (k && *k < 0)
        warnings.push_back("k меньше нуля: ток падает, когда отсчёт растёт.");
    else if (k && *k == 0)
        warnings.push_back("k равен нулю: ток не зависит от отсчёта.");
    if (!conversion)
        return warnings;

    // What a stopped motor reads: the converter gives 0.
    const double stopped = acquisition::ConvertCount(0, u);
    const PanelState stoppedState = thresholds ? monitor::ClassifyReading(stopped, u) : PanelState::Off;
    const bool stoppedColoured = stoppedState != PanelState::Off && stoppedState != PanelState::Unchanged;
    if (stopped > 0 || stoppedColoured) {
        std::string warning = "При x = 0 (двигатель стоит) ток " + text(stopped) + " А";
        if (stopped > 0)
            warning += ", а не 0";
        if (stoppedColoured)
            warning += ": панель стоящего двигателя будет " + ColourName(stoppedState);
        warnings.push_back(warning + ".");
    }
    if (!thresholds)
        return warnings;

    std::array<bool, kColours.size()> reached{};
    double lowest = stopped;
    double highest = stopped;
    for (int count = 0; count <= kTopCount; ++count) {
        const double current = acquisition::ConvertCount(count, u);
        lowest = std::min(lowest, current);
        highest = std::max(highest, current);
        const PanelState state = monitor::ClassifyReading(current, u);
        for (std::size_t i = 0; i < kColours.size(); ++i)
            reached[i] = reached[i] || state == kColours[i];
    }
    // Only what the thresholds would allow: the threshold warning has already named the rest.
    std::vector<PanelState> never;
    for (std::size_t i = 0; i < kColours.size(); ++i)
        if (!reached[i] && ThresholdsAllow(kColours[i], u))
            never.push_back(kColours[i]);
    if (!never.empty())
        warnings.push_back("По этой формуле ток от " + text(lowest) + " до " + text(highest) + " А (" +
                           text(std::abs(*k)) + " А на отсчёт, x от 0 до " + std::to_string(kTopCount) +
                           "): панель никогда не станет " + ColourList(never) + ".");
    return warnings;
}

} // namespace registrator::tuning

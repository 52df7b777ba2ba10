#include "monitor/PanelState.h"

#include "common/NumberText.h"
#include "common/Rounding.h"

namespace registrator::monitor {

PanelState ClassifyReading(double value, const channels::TUstavka& settings) {
    const double oborot = settings.Oborot;
    if (value > settings.T_Max)
        return PanelState::Overloaded;
    if (settings.T_Nom < value && value < settings.T_Max)
        return PanelState::AboveNominal;
    if (oborot < value && value < settings.T_Nom)
        return PanelState::Running;
    if (value < settings.T_Nom)
        return PanelState::Off;
    return PanelState::Unchanged;
}

std::uint32_t PanelRgb(PanelState state) {
    switch (state) {
    case PanelState::Overloaded:
        return 0xFF0000;
    case PanelState::AboveNominal:
        return 0xFFFF00;
    case PanelState::Running:
        return 0x00FF00;
    case PanelState::Off:
    case PanelState::Unchanged:
        break;
    }
    return 0x969696;
}

std::string CurrentLabelText(double value) {
    const double whole = common::RoundHalfEven(value);
    // Readings are converted and clamped before they are shown; anything else is shown as 0 rather than as
    // garbage.
    if (!(whole >= -9.2e18 && whole <= 9.2e18))
        return "0";
    return common::IntToText(static_cast<std::int64_t>(whole));
}

} // namespace registrator::monitor

#include "events/CalibrationAudit.h"

#include "common/NumberText.h"

namespace registrator::events {

namespace {

void Note(std::string& text, const char* caption, const std::string& before, const std::string& after) {
    if (before == after)
        return;
    if (!text.empty())
        text += "; ";
    text += std::string(caption) + ": " + before + " → " + after;
}

std::string Number(double value) {
    return common::FloatToText(value, ',');
}

} // namespace

std::optional<Event> CalibrationChange(common::TDateTime now, int channel, const channels::TUstavka& before,
                                       const channels::TUstavka& after) {
    std::string text;
    Note(text, "название", "«" + before.Name.Utf8() + "»", "«" + after.Name.Utf8() + "»");
    Note(text, "k", Number(before.Koof_K), Number(after.Koof_K));
    Note(text, "b", Number(before.Koof_B), Number(after.Koof_B));
    Note(text, "Ток ном.", Number(before.T_Nom), Number(after.T_Nom));
    Note(text, "Ток крит.", Number(before.T_Max), Number(after.T_Max));
    Note(text, "Мощность", std::to_string(before.Moshn), std::to_string(after.Moshn));
    Note(text, "Ток откл.", std::to_string(before.Oborot), std::to_string(after.Oborot));
    if (text.empty())
        return std::nullopt;
    Event event;
    event.Time = now;
    event.Kind = EventKind::CalibrationChanged;
    event.Channel = channel;
    event.Text = std::move(text);
    return event;
}

} // namespace registrator::events

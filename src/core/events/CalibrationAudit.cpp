#include "events/CalibrationAudit.h"

#include "common/NumberText.h"

namespace registrator::events {

namespace {

void Note(std::string& text, const char* caption, const std::string& before, const std::string& after,
          const char* separator = "; ") {
    if (before == after)
        return;
    if (!text.empty())
        text += separator;
    text += std::string(caption) + ": " + before + " → " + after;
}

std::string Number(double value) {
    return common::FloatToText(value, ',');
}

// A line only for an apply that changed something.
std::optional<Event> ChangeLine(common::TDateTime now, EventKind kind, int channel, std::string text) {
    if (text.empty())
        return std::nullopt;
    Event event;
    event.Time = now;
    event.Kind = kind;
    event.Channel = channel;
    event.Text = std::move(text);
    return event;
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
    return ChangeLine(now, EventKind::CalibrationChanged, channel, std::move(text));
}

std::optional<Event> ScanTimingChange(common::TDateTime now, const ScanTiming& before,
                                      const ScanTiming& after) {
    std::string text;
    const auto ms = [](int value) { return std::to_string(value) + " мс"; };
    // Whole numbers only, so a comma parts them, and the journal keeps it (it blanks a ';').
    Note(text, "скорость записи", ms(before.SlowMs), ms(after.SlowMs), ", ");
    Note(text, "скорость сканирования", ms(before.FastMs), ms(after.FastMs), ", ");
    Note(text, "среднее арифметическое", std::to_string(before.AvgCount), std::to_string(after.AvgCount),
         ", ");
    return ChangeLine(now, EventKind::ScanTimingChanged, 0, std::move(text));
}

} // namespace registrator::events

#include "tuning/Calibration.h"

#include "common/NumberText.h"

namespace registrator::tuning {

namespace {

enum class Step { Stored, Empty, Bad };

Step StoreFloat(const std::string& text, double& field, char separator, bool emptyStops) {
    if (emptyStops && text.empty())
        return Step::Empty;
    const std::optional<double> value = common::ParseFloat(text, separator);
    if (!value)
        return Step::Bad;
    field = *value;
    return Step::Stored;
}

Step StoreInt(const std::string& text, std::int32_t& field) {
    if (text.empty())
        return Step::Empty;
    const std::optional<std::int32_t> value = ParseDigitEntry(text);
    if (!value)
        return Step::Bad;
    field = *value;
    return Step::Stored;
}

} // namespace

CalibrationEntries EntriesOf(const channels::TUstavka& settings, char decimalSeparator) {
    return {settings.Name.Utf8(),
            common::FloatToText(settings.Koof_K, decimalSeparator),
            common::FloatToText(settings.Koof_B, decimalSeparator),
            common::FloatToText(settings.T_Nom, decimalSeparator),
            common::FloatToText(settings.T_Max, decimalSeparator),
            common::IntToText(settings.Moshn),
            common::IntToText(settings.Oborot)};
}

std::optional<std::int32_t> ParseDigitEntry(const std::string& text) {
    std::string digits = text;
    std::erase(digits, ' ');
    return common::ParseInt(digits);
}

std::string BadNumberMessage(const std::string& text) {
    return "Ошибочная запись числа: " + text;
}

CalibrationOutcome ApplyCalibration(const CalibrationEntries& entries, channels::UstavkiTable& ustavki,
                                    int channel, channels::SettingsFile& file,
                                    const common::RegionalSettings& regional,
                                    common::OperatorMessages& messages) {
    channels::TUstavka& settings = ustavki[channel];
    const char separator = regional.DecimalSeparator;
    CalibrationOutcome outcome;
    const auto stopped = [&](Step step, CalibrationField field, const std::string& text) {
        if (step == Step::Bad) {
            messages.Show(BadNumberMessage(text));
            outcome.BadField = field;
        }
        return step != Step::Stored;
    };

    if (stopped(StoreFloat(entries.Koof_K, settings.Koof_K, separator, false), CalibrationField::Koof_K,
                entries.Koof_K) ||
        stopped(StoreFloat(entries.Koof_B, settings.Koof_B, separator, false), CalibrationField::Koof_B,
                entries.Koof_B) ||
        stopped(StoreFloat(entries.T_Nom, settings.T_Nom, separator, true), CalibrationField::T_Nom,
                entries.T_Nom) ||
        stopped(StoreFloat(entries.T_Max, settings.T_Max, separator, true), CalibrationField::T_Max,
                entries.T_Max))
        return outcome;
    settings.Name.AssignUtf8(entries.Name);
    if (stopped(StoreInt(entries.Moshn, settings.Moshn), CalibrationField::Moshn, entries.Moshn) ||
        stopped(StoreInt(entries.Oborot, settings.Oborot), CalibrationField::Oborot, entries.Oborot))
        return outcome;

    file.WriteChannel(ustavki, channel);
    outcome.Saved = true;
    return outcome;
}

} // namespace registrator::tuning

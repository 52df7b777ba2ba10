#include "service/reportfiles/ReportLayout.h"

#include "events/JournalEntry.h"

#include <array>
#include <charconv>
#include <cmath>

namespace registrator::reportfiles::layout {

namespace {

std::optional<double> Some(double value) {
    return value;
}

} // namespace

std::span<const FigureColumn> FigureColumns() {
    using F = reports::MotorFigures;
    static const std::array<FigureColumn, 12> columns = {{
        {"Наработка, ч", Unit::Hours, [](const F& f) { return Some(f.RunSeconds); }},
        {"Пуски", Unit::Count, [](const F& f) { return Some(f.Starts); }},
        {"Затянутые пуски", Unit::Count, [](const F& f) { return Some(f.LongStarts); }},
        {"Самый долгий пуск, с", Unit::Seconds, [](const F& f) { return f.LongestStartSeconds; }},
        {"Макс. пусковой ток, А", Unit::Amperes, [](const F& f) { return f.HighestStartPeak; }},
        {"Перегрузки", Unit::Count, [](const F& f) { return Some(f.Overloads); }},
        {"Время перегрузок", Unit::Duration, [](const F& f) { return Some(f.OverloadSeconds); }},
        {"Выше номинала", Unit::Duration, [](const F& f) { return Some(f.AboveNominalSeconds); }},
        {"Макс. ток, А", Unit::Amperes, [](const F& f) { return f.HighestCurrent; }},
        {"Средний ток в работе, А", Unit::Amperes, [](const F& f) { return f.MeanRunningCurrent; }},
        {"Без записей", Unit::Duration, [](const F& f) { return Some(f.NoRecordSeconds); }},
        {"Энергия, кВт·ч", Unit::Kwh, [](const F& f) { return Some(f.EnergyKwh); }},
    }};
    return columns;
}

int Decimals(Unit unit) {
    switch (unit) {
    case Unit::Hours:
        return 2;
    case Unit::Seconds:
    case Unit::Amperes:
    case Unit::Kwh:
        return 1;
    case Unit::Duration:
    case Unit::Count:
        return 0;
    }
    return 0;
}

double SteadySeconds(double seconds) {
    return std::round(seconds * 1000) / 1000;
}

namespace {

std::string Fixed(double value, int decimals) {
    char buffer[64];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals).ptr;
    std::string text(buffer, end);
    if (const auto dot = text.find('.'); dot != std::string::npos)
        text[dot] = ',';
    if (text.find_first_not_of("-0,") == std::string::npos && text[0] == '-')
        text.erase(0, 1); // no "-0,0"
    return text;
}

std::string TwoDigits(long long value) {
    std::string text = std::to_string(value);
    if (text.size() < 2)
        text.insert(text.begin(), '0');
    return text;
}

} // namespace

std::string NumberText(double value, int decimals) {
    return Fixed(value, decimals);
}

std::string FigureText(Unit unit, double value) {
    switch (unit) {
    case Unit::Hours:
        return Fixed(SteadySeconds(value) / 3600, Decimals(unit));
    case Unit::Duration: {
        const long long seconds = std::llround(value);
        return std::to_string(seconds / 3600) + ':' + TwoDigits(seconds / 60 % 60) + ':' +
               TwoDigits(seconds % 60);
    }
    default:
        return Fixed(value, Decimals(unit));
    }
}

std::string TimeText(common::TDateTime time) {
    return events::JournalTimeText(time);
}

std::string SectionTitle(int section) {
    return "Секция " + std::to_string(section) + ". " + std::string(channels::SectionName(section));
}

std::string MotorName(const reports::PeriodFigures& figures, int channel) {
    const std::string& name = figures.Names.at(static_cast<std::size_t>(channel));
    return name.find_first_not_of(' ') == std::string::npos ? "канал " + std::to_string(channel) : name;
}

const std::vector<const char*>& AlarmCaptions() {
    static const std::vector<const char*> captions = {"Время",     "Событие", "Канал",       "Секция",
                                                      "Двигатель", "Ток, А",  "Подробности", "Квитировано"};
    return captions;
}

std::vector<std::string> AlarmCells(const reports::AlarmLine& alarm) {
    return {TimeText(alarm.Time),
            alarm.Kind,
            alarm.Channel ? std::to_string(*alarm.Channel) : std::string(),
            alarm.Section,
            alarm.Motor,
            alarm.Peak ? Fixed(*alarm.Peak, 1) : std::string(),
            alarm.Details,
            alarm.Acknowledged ? TimeText(*alarm.Acknowledged) : std::string("нет")};
}

const std::vector<const char*>& CalibrationCaptions() {
    static const std::vector<const char*> captions = {"Время",    "Канал", "Двигатель",
                                                      "Параметр", "Было",  "Стало"};
    return captions;
}

std::span<const DriftColumn> DriftColumns() {
    using D = reports::MotorDrift;
    static const std::array<DriftColumn, 4> columns = {{
        {"Длительность пуска, с", "пуски дольше", 1, &D::StartSeconds},
        {"Пусковой ток, А", "пусковой ток выше", 1, &D::StartPeak},
        {"Пусков в сутки", "пусков больше", 1, &D::StartsPerDay},
        {"Ток в работе к нагрузке секции", "ток в работе выше", 3, &D::RunningCurrent},
    }};
    return columns;
}

std::string HealthPeriodText(const reports::MotorHealth&, const reports::HealthRules& rules) {
    return "Последние " + std::to_string(rules.RecentDays) + " сут. против " +
           std::to_string(rules.PastDays) + " сут. до них; отмечено, где медиана выросла больше чем на " +
           std::to_string(std::lround(rules.Margin * 100)) + " % (число пусков — больше чем в " +
           Fixed(rules.StartsFactor, 0) + " раза)";
}

std::string FlagsText(const reports::MotorDrift& drift) {
    std::string text;
    for (const DriftColumn& column : DriftColumns())
        if ((drift.*column.Member).Flagged)
            text.append(text.empty() ? "" : "; ").append(column.Flag);
    return text.empty() ? "—" : text;
}

bool HasHealthData(const reports::MotorDrift& drift) {
    for (const DriftColumn& column : DriftColumns())
        if ((drift.*column.Member).Recent || (drift.*column.Member).Past)
            return true;
    return false;
}

std::vector<std::string> Remarks(const reports::PeriodFigures& figures) {
    std::vector<std::string> remarks;
    for (const common::TDateTime day : figures.DaysWithoutJournal)
        remarks.push_back(common::ArchiveDateText(day) +
                          ": нет журнала событий; пуски, перегрузки и тревоги этих суток не учтены");
    for (const std::string& trouble : figures.Troubles)
        remarks.push_back(trouble);
    if (figures.Stopped)
        remarks.push_back("Подсчёт прерван: цифры неполные");
    return remarks;
}

} // namespace registrator::reportfiles::layout

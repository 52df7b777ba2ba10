#include "service/web/MotorHealthData.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace registrator::web {

namespace {

QJsonValue Number(const std::optional<double>& value) {
    return value ? QJsonValue(*value) : QJsonValue();
}

QJsonObject DriftJson(const reports::Drift& drift) {
    return {{"recent", Number(drift.Recent)}, {"past", Number(drift.Past)}, {"flagged", drift.Flagged}};
}

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

std::string MotorHealthJson(const reports::MotorHealth& health, const channels::UstavkiTable& names,
                            common::TDateTime lastDay, const reports::HealthRules& rules) {
    QJsonArray motors;
    QJsonArray days;
    for (int n = 1; n <= channels::kChannelCount; ++n) {
        const reports::MotorTrend trend = reports::TrendOf(health.Days, n, lastDay, kHealthTrendDays, rules);
        if (days.isEmpty())
            for (const common::TDateTime day : trend.Days)
                days.append(QString::fromStdString(common::ArchiveDateText(day)));
        QJsonObject daily;
        for (std::size_t f = 0; f < reports::kHealthFigureCount; ++f) {
            QJsonArray values;
            for (const auto& value : trend.Figures[f].Values)
                values.append(Number(value));
            daily.insert(Utf8(reports::TextOf(reports::kHealthFigures[f]).Key), values);
        }
        const reports::MotorDrift& drift = health.Drifts[static_cast<std::size_t>(n)];
        motors.append(QJsonObject{{"channel", n},
                                  {"section", Utf8(channels::SectionName(channels::SectionOfChannel(n)))},
                                  {"name", QString::fromStdString(names[n].Name.Utf8()).trimmed()},
                                  {"flagged", drift.Any()},
                                  {"flags", QJsonObject{{"startSeconds", DriftJson(drift.StartSeconds)},
                                                        {"startPeak", DriftJson(drift.StartPeak)},
                                                        {"startsPerDay", DriftJson(drift.StartsPerDay)},
                                                        {"runningCurrent", DriftJson(drift.RunningCurrent)}}},
                                  {"daily", daily}});
    }
    QJsonArray troubles;
    for (const std::string& trouble : health.Troubles)
        troubles.append(QString::fromStdString(trouble));
    const QJsonObject answer{{"day", QString::fromStdString(common::ArchiveDateText(lastDay))},
                             {"margin", qRound(rules.Margin * 100)},
                             {"recentDays", rules.RecentDays},
                             {"pastDays", rules.PastDays},
                             {"days", days},
                             {"motors", motors},
                             {"troubles", troubles}};
    return QJsonDocument(answer).toJson(QJsonDocument::Compact).toStdString();
}

MotorHealthData::MotorHealthData(std::shared_ptr<reports::HealthArchive> archive,
                                 const channels::UstavkiTable& names, common::TDateTime lastDay,
                                 reports::HealthRules rules)
    : archive_(std::move(archive)), names_(names), lastDay_(lastDay), rules_(rules) {}

bool MotorHealthData::Next(std::string& out, const std::function<bool()>& stop) {
    history::Workspace work;
    const reports::MotorHealth health =
        reports::ReadMotorHealth(archive_->Days(), lastDay_, kHealthTrendDays, rules_, work,
                                 [&stop](const history::Progress&) { return !stop(); });
    if (health.Stopped)
        error_ = "stopped";
    else
        out = MotorHealthJson(health, names_, lastDay_, rules_);
    return false;
}

} // namespace registrator::web

#include "ui/archive/DaySummaryPanel.h"

#include "common/DateTime.h"
#include "common/NumberText.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>
#include <cmath>

namespace registrator::ui {

DaySummaryPanel::DaySummaryPanel(const common::RegionalSettings& regional, QWidget* parent)
    : QGroupBox(QStringLiteral("Итоги дня"), parent), regional_(regional) {
    setObjectName(QStringLiteral("DaySummary"));
    states_ = new QLabel(this);
    states_->setObjectName(QStringLiteral("SummaryStates"));
    states_->setTextFormat(Qt::PlainText);
    figures_ = new QLabel(this);
    figures_->setObjectName(QStringLiteral("SummaryFigures"));
    figures_->setTextFormat(Qt::PlainText);
    auto* caption = new QLabel(QStringLiteral("Выше критического (выбор — на графике):"), this);
    episodes_ = new QListWidget(this);
    episodes_->setObjectName(QStringLiteral("SummaryEpisodes"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 6);
    layout->setSpacing(3);
    layout->addWidget(states_);
    layout->addWidget(figures_);
    layout->addWidget(caption);
    layout->addWidget(episodes_, 1);
    connect(episodes_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { emit episodeChosen(episodes_->row(item)); });
    connect(episodes_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { emit episodeChosen(episodes_->row(item)); });
    Clear();
}

QString DurationText(double seconds) {
    // Never a figure like "-2562047788015215:-30:-8" for a sum that could not be made.
    if (!std::isfinite(seconds) || seconds < 0 || seconds > 1e9)
        return QStringLiteral("—");
    const auto whole = static_cast<long long>(std::llround(seconds));
    return QStringLiteral("%1:%2:%3")
        .arg(whole / 3600)
        .arg(whole / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(whole % 60, 2, 10, QLatin1Char('0'));
}

QString DaySummaryPanel::Time(double time) const {
    return QString::fromStdString(common::TimeText(time, regional_));
}

void DaySummaryPanel::Show(const monitor::MotorDaySummary& summary, const QString& thresholds) {
    summary_ = summary;
    QString states =
        QStringLiteral("Отключён: %1\nВ работе: %2\nВыше номинального: %3\nВыше критического: %4")
            .arg(DurationText(summary.OffSeconds), DurationText(summary.RunningSeconds),
                 DurationText(summary.AboveNominalSeconds), DurationText(summary.OverloadedSeconds));
    if (summary.NoDataSeconds > 0.5)
        states += QStringLiteral("\nНет записей: %1").arg(DurationText(summary.NoDataSeconds));
    states_->setText(states);
    QString figures = QStringLiteral("Пусков: %1").arg(summary.Starts);
    if (summary.PeakSeen)
        figures +=
            QStringLiteral("\nПик: %1 А в %2")
                .arg(QString::fromStdString(common::FloatToText(summary.Peak, regional_.DecimalSeparator)),
                     Time(summary.PeakTime));
    if (!thresholds.isEmpty())
        figures += QLatin1Char('\n') + thresholds;
    figures_->setText(figures);
    episodes_->clear();
    for (const monitor::OverloadEpisode& episode : summary.Overloads)
        episodes_->addItem(
            QStringLiteral("%1 – %2, пик %3 А")
                .arg(Time(episode.Start), Time(episode.End),
                     QString::fromStdString(common::FloatToText(episode.Peak, regional_.DecimalSeparator))));
}

void DaySummaryPanel::Clear() {
    Show({});
}

QStringList DaySummaryPanel::Lines() const {
    QStringList lines = states_->text().split(QLatin1Char('\n'));
    lines += figures_->text().split(QLatin1Char('\n'));
    for (int i = 0; i < episodes_->count(); ++i)
        lines << episodes_->item(i)->text();
    return lines;
}

} // namespace registrator::ui

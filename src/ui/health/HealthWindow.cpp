#include "ui/health/HealthWindow.h"

#include "channels/SettingsFile.h"
#include "ui/health/DailyChart.h"
#include "ui/health/HealthTableModel.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>
#include <atomic>
#include <mutex>
#include <thread>

namespace registrator::ui {

// One reading of the days on a thread of its own. The window lets it go at any time (closed, or read
// again); from then on the thread touches nothing of the window's and ends at its next day.
struct HealthWindow::Task {
    std::mutex Mutex;
    QObject* Context = nullptr;
    std::atomic<bool> LetGo = false;

    template <typename Call> void Post(Call call) {
        const std::lock_guard<std::mutex> lock(Mutex);
        if (Context)
            QMetaObject::invokeMethod(Context, std::move(call), Qt::QueuedConnection);
    }
    void Release() {
        const std::lock_guard<std::mutex> lock(Mutex);
        Context = nullptr;
        LetGo = true;
    }
};

HealthWindow::HealthWindow(Services services, QWidget* parent)
    : QWidget(parent, Qt::Window), services_(std::move(services)) {
    setObjectName(QStringLiteral("HealthForm"));
    setWindowTitle(QStringLiteral("Состояние двигателей"));

    margin_ = new QSpinBox(this);
    margin_->setObjectName(QStringLiteral("MarginEdit"));
    margin_->setRange(channels::HealthMargin::kLeastPercent, channels::HealthMargin::kMostPercent);
    margin_->setSuffix(QStringLiteral(" %"));
    saveMargin_ = new QPushButton(QStringLiteral("Сохранить"), this);
    saveMargin_->setObjectName(QStringLiteral("SaveMarginButton"));
    connect(saveMargin_, &QPushButton::clicked, this,
            [this] { services_.Guard([this] { SaveMarginClick(); }); });
    marginNote_ = new QLabel(this);
    marginNote_->setObjectName(QStringLiteral("MarginNote"));
    QPalette warning = marginNote_->palette();
    warning.setColor(QPalette::WindowText, QColor(176, 0, 0));
    marginNote_->setPalette(warning);
    marginNote_->setWordWrap(true);
    auto* marginRow = new QHBoxLayout;
    marginRow->addWidget(
        new QLabel(QStringLiteral("Отклонение от своего прошлого, при котором двигатель отмечается:"), this));
    marginRow->addWidget(margin_);
    marginRow->addWidget(saveMargin_);
    marginRow->addWidget(marginNote_, 1);

    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("HealthProgress"));
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("HealthStatus"));
    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(status_, 1);
    statusRow->addWidget(progress_);

    model_ = new HealthTableModel(services_.Regional.DecimalSeparator, this);
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("HealthTable"));
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // The longest section's name would push the flags out of sight; it is whole in its tooltip.
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Interactive);
    table_->setColumnWidth(0,
                           table_->fontMetrics().horizontalAdvance(QStringLiteral("Массоподготовка")) + 12);
    table_->setTextElideMode(Qt::ElideRight);
    // A flagged cell keeps its text readable in the chosen row.
    QPalette selection = table_->palette();
    selection.setColor(QPalette::Highlight, QColor(190, 215, 250));
    selection.setColor(QPalette::HighlightedText, Qt::black);
    table_->setPalette(selection);
    model_->Show(services_.Data.Ustavki, nullptr);
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    ShowMotor(HealthTableModel::ChannelOfRow(current.row()));
            });
    auto* note = new QLabel(QStringLiteral("Последние 7 суток против 60 суток до них. "
                                           "* ток в работе приведён к загрузке участка."),
                            this);
    note->setWordWrap(true);
    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(table_, 1);
    leftLayout->addWidget(note);

    auto* right = new QWidget(this);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    motorTitle_ = new QLabel(this);
    motorTitle_->setObjectName(QStringLiteral("MotorTitle"));
    QFont titleFont = motorTitle_->font();
    titleFont.setBold(true);
    motorTitle_->setFont(titleFont);
    rightLayout->addWidget(motorTitle_);
    auto* grid = new QGridLayout;
    for (std::size_t f = 0; f < reports::kHealthFigureCount; ++f) {
        const reports::HealthFigureText text = reports::TextOf(reports::kHealthFigures[f]);
        auto* chart = new DailyChart(right);
        chart->setObjectName(QStringLiteral("HealthChart%1").arg(f + 1));
        QString title = QString::fromUtf8(text.Title.data(), static_cast<qsizetype>(text.Title.size()));
        if (!text.Unit.empty())
            title += QStringLiteral(", ") +
                     QString::fromUtf8(text.Unit.data(), static_cast<qsizetype>(text.Unit.size()));
        chart->SetTitle(title);
        charts_[f] = chart;
        grid->addWidget(chart, static_cast<int>(f / 2), static_cast<int>(f % 2));
    }
    rightLayout->addLayout(grid, 1);
    auto* legend =
        new QLabel(QStringLiteral("Точки — сутки; пунктир — медиана 60 суток до последних 7."), this);
    rightLayout->addWidget(legend);

    auto* splitter = new QSplitter(this);
    splitter->addWidget(left);
    splitter->addWidget(right);
    splitter->setSizes({800, 480});

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(marginRow);
    layout->addLayout(statusRow);
    layout->addWidget(splitter, 1);
    resize(1280, 760);
}

HealthWindow::~HealthWindow() {
    Cancel();
}

void HealthWindow::ShowModeless() {
    model_->Show(services_.Data.Ustavki, health_ ? &health_->Drifts : nullptr);
    ReadMargin();
    show();
    raise();
    activateWindow();
    Count();
}

void HealthWindow::closeEvent(QCloseEvent* event) {
    Cancel();
    progress_->hide();
    status_->setText(QStringLiteral("Подсчёт прерван"));
    QWidget::closeEvent(event);
}

void HealthWindow::Cancel() {
    if (task_)
        task_->Release();
    task_.reset();
}

reports::HealthRules HealthWindow::Rules() const {
    reports::HealthRules rules;
    rules.Margin = margin_->value() / 100.0;
    return rules;
}

void HealthWindow::ReadMargin() {
    const channels::HealthMargin margin =
        channels::SettingsFile(services_.SettingsPath(), services_.Regional).ReadHealthMargin();
    margin_->setValue(margin.Percent);
    if (margin.Refused)
        marginNote_->setText(
            QStringLiteral("В файле настроек [Health] Margin=%1 — нужно целое число от %2 до %3; "
                           "взято %4 %.")
                .arg(QString::fromStdString(*margin.Refused))
                .arg(channels::HealthMargin::kLeastPercent)
                .arg(channels::HealthMargin::kMostPercent)
                .arg(channels::HealthMargin::kDefaultPercent));
    else
        marginNote_->clear();
}

void HealthWindow::SaveMarginClick() {
    channels::SettingsFile(services_.SettingsPath(), services_.Regional).WriteHealthMargin(margin_->value());
    marginNote_->clear();
    if (health_ && !task_) {
        health_->Drifts = reports::FindDrift(health_->Days, lastDay_, Rules());
        ShowDrifts();
    }
}

void HealthWindow::Count() {
    Cancel();
    const channels::UstavkiTable& present = services_.Data.Ustavki;
    if (!archive_ || !archive_->ReadWith(present))
        archive_ = std::make_shared<reports::HealthArchive>(
            history::ArchiveHistory(services_.Archive.Folder(), present));
    auto task = std::make_shared<Task>();
    task->Context = this;
    task_ = task;
    lastDay_ = services_.Clock.Today();
    progress_->setRange(0, 0);
    progress_->show();
    status_->setText(QStringLiteral("Чтение архива…"));
    std::thread([this, task, archive = archive_, lastDay = lastDay_, rules = Rules()] {
        history::Workspace work;
        std::size_t shown = static_cast<std::size_t>(-1);
        auto health = std::make_shared<reports::MotorHealth>(reports::ReadMotorHealth(
            archive->Days(), lastDay, kTrendDays, rules, work, [&](const history::Progress& step) {
                if (step.Done != shown) {
                    shown = step.Done;
                    // `this` is used only on the GUI thread, and only while the window still holds the task.
                    task->Post([this, task, step] { ShowProgress(task, step.Done, step.Total, step.Day); });
                }
                return !task->LetGo;
            }));
        task->Post([this, task, health] { ShowCounted(task, health); });
    }).detach();
}

void HealthWindow::ShowProgress(const std::shared_ptr<Task>& task, std::size_t done, std::size_t total,
                                common::TDateTime day) {
    if (task != task_)
        return;
    progress_->setRange(0, static_cast<int>(total));
    progress_->setValue(static_cast<int>(done));
    status_->setText(
        QStringLiteral("Чтение архива: %1").arg(QString::fromStdString(common::ArchiveDateText(day))));
}

void HealthWindow::ShowCounted(const std::shared_ptr<Task>& task,
                               std::shared_ptr<reports::MotorHealth> health) {
    if (task != task_ || health->Stopped)
        return;
    task_.reset();
    health_ = std::move(health);
    progress_->hide();
    // The margin may have been changed while the days were read.
    health_->Drifts = reports::FindDrift(health_->Days, lastDay_, Rules());
    ShowDrifts();
    emit counted();
}

void HealthWindow::ShowDrifts() {
    model_->Show(services_.Data.Ustavki, &health_->Drifts);
    int flagged = 0;
    for (int n = 1; n <= channels::kChannelCount; ++n)
        flagged += health_->Drifts[static_cast<std::size_t>(n)].Any() ? 1 : 0;
    QString text = QStringLiteral("На %1: отмечено двигателей — %2 из %3.")
                       .arg(QString::fromStdString(common::ArchiveDateText(lastDay_)))
                       .arg(flagged)
                       .arg(channels::kChannelCount);
    if (!health_->Troubles.empty())
        text += QStringLiteral(" Не прочитано суток: %1 (%2).")
                    .arg(health_->Troubles.size())
                    .arg(QString::fromStdString(health_->Troubles.front()));
    status_->setText(text);
    ShowMotor(shownChannel_);
}

void HealthWindow::ShowMotor(int channel) {
    shownChannel_ = channel;
    const QString name = QString::fromStdString(services_.Data.Ustavki[channel].Name.Utf8()).trimmed();
    motorTitle_->setText(QStringLiteral("Двигатель %1. %2").arg(channel).arg(name));
    if (table_->currentIndex().row() != channel - 1)
        table_->selectRow(channel - 1);
    if (!health_)
        return;
    const reports::MotorTrend trend = reports::TrendOf(health_->Days, channel, lastDay_, kTrendDays, Rules());
    for (std::size_t f = 0; f < reports::kHealthFigureCount; ++f)
        charts_[f]->Show(trend.Days, trend.Figures[f].Values, trend.Figures[f].PastMedian);
}

} // namespace registrator::ui

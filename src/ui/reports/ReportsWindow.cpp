#include "ui/reports/ReportsWindow.h"

#include "channels/SettingsFile.h"
#include "common/Utf8Path.h"
#include "common/Version.h"
#include "service/reportfiles/ReportDocument.h"
#include "service/reportfiles/ReportTitles.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPageLayout>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QThread>
#include <QVBoxLayout>
#include <cmath>
#include <filesystem>

namespace registrator::ui {

namespace {

QDate DateOf(common::TDateTime day) {
    const common::CalendarDate date = common::DecodeDate(day);
    return {date.Year, date.Month, date.Day};
}

common::TDateTime DayOf(const QDate& date) {
    return common::EncodeDate(date.year(), date.month(), date.day());
}

common::TDateTime TimeOf(const QDateTime& time) {
    return DayOf(time.date()) + time.time().msecsSinceStartOfDay() / 86400000.0;
}

QString MinuteOfDay(int minutes) {
    return QStringLiteral("%1:%2")
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

// One count: what it reads, what it makes, and the stop the window sets when it no longer wants it.
struct ReportsWindow::Job {
    std::string Folder;
    channels::UstavkiTable Present;
    reports::FiguresRequest Request;
    reports::ReportPeriod Period;
    bool Month = false;
    double HealthMargin = channels::HealthMargin{}.Share();
    std::atomic<bool> Stop{false};
    reportfiles::ReportContent Content;
};

ReportsWindow::ReportsWindow(Services services, QWidget* parent)
    : QWidget(parent, Qt::Window), s_(std::move(services)),
      printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    setObjectName(QStringLiteral("ReportsWindow"));
    setWindowTitle(QStringLiteral("Отчёты"));
    printer_->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                        QMarginsF(3, 3, 3, 3), QPageLayout::Millimeter));

    kind_ = new QComboBox(this);
    kind_->addItems({QStringLiteral("смена"), QStringLiteral("сутки"), QStringLiteral("месяц"),
                     QStringLiteral("период")});
    day_ = new QDateEdit(this);
    day_->setCalendarPopup(true);
    shiftLabel_ = new QLabel(QStringLiteral("смена:"), this);
    shift_ = new QComboBox(this);
    from_ = new QDateTimeEdit(this);
    from_->setDisplayFormat(QStringLiteral("dd.MM.yyyy HH:mm"));
    from_->setCalendarPopup(true);
    toLabel_ = new QLabel(QStringLiteral("по"), this);
    to_ = new QDateTimeEdit(this);
    to_->setDisplayFormat(QStringLiteral("dd.MM.yyyy HH:mm"));
    to_->setCalendarPopup(true);
    make_ = new QPushButton(QStringLiteral("Составить"), this);
    auto* choice = new QHBoxLayout;
    choice->addWidget(new QLabel(QStringLiteral("Отчёт за"), this));
    for (QWidget* widget :
         std::initializer_list<QWidget*>{kind_, day_, shiftLabel_, shift_, from_, toLabel_, to_, make_})
        choice->addWidget(widget);
    choice->addStretch();

    progress_ = new QProgressBar(this);
    progress_->setMaximumWidth(260);
    progress_->hide();
    status_ = new QLabel(this);
    auto* progressLine = new QHBoxLayout;
    progressLine->addWidget(progress_);
    progressLine->addWidget(status_, 1);

    preview_ = new QPrintPreviewWidget(printer_.get(), this);
    preview_->setZoomMode(QPrintPreviewWidget::FitToWidth);
    connect(preview_, &QPrintPreviewWidget::paintRequested, this, [this](QPrinter* printer) {
        if (content_)
            reportfiles::PrintReport(*content_, *printer);
    });

    print_ = new QPushButton(QStringLiteral("Печать"), this);
    pdf_ = new QPushButton(QStringLiteral("Сохранить PDF"), this);
    xlsx_ = new QPushButton(QStringLiteral("Сохранить XLSX"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {print_, pdf_, xlsx_})
        buttons->addWidget(button);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(choice);
    layout->addLayout(progressLine);
    layout->addWidget(preview_, 1);
    layout->addLayout(buttons);
    resize(1100, 760);

    connect(kind_, &QComboBox::currentIndexChanged, this, &ReportsWindow::ShowKind);
    connect(make_, &QPushButton::clicked, this, &ReportsWindow::MakeReport);
    connect(print_, &QPushButton::clicked, this, [this] {
        QPrintDialog dialog(printer_.get(), this);
        if (content_ && dialog.exec() == QDialog::Accepted)
            reportfiles::PrintReport(*content_, *printer_);
    });
    const auto save = [this](const QString& filter, const QString& suffix,
                             bool (ReportsWindow::*write)(const QString&)) {
        QSettings remembered;
        const QString folder = remembered.value(QStringLiteral("reports/folder")).toString();
        QString path = QFileDialog::getSaveFileName(
            this, QStringLiteral("Сохранить отчёт"),
            (folder.isEmpty() ? QString() : folder + QLatin1Char('/')) + SuggestedName() + suffix, filter);
        if (path.isEmpty())
            return;
        if (!path.endsWith(suffix, Qt::CaseInsensitive))
            path += suffix;
        remembered.setValue(QStringLiteral("reports/folder"), QFileInfo(path).absolutePath());
        (this->*write)(path);
    };
    connect(pdf_, &QPushButton::clicked, this,
            [save] { save(QStringLiteral("PDF (*.pdf)"), QStringLiteral(".pdf"), &ReportsWindow::SavePdf); });
    connect(xlsx_, &QPushButton::clicked, this, [save] {
        save(QStringLiteral("Книга Excel (*.xlsx)"), QStringLiteral(".xlsx"), &ReportsWindow::SaveXlsx);
    });

    const QDate today = DateOf(s_.Clock.Today());
    day_->setDate(today);
    from_->setDateTime(QDateTime(today.addDays(-1), QTime(8, 0)));
    to_->setDateTime(QDateTime(today, QTime(8, 0)));
    FillShifts();
    ShowKind();
    EnableButtons();
}

ReportsWindow::~ReportsWindow() {
    // The count holds references to nothing of the window's, but reports to it: it ends first.
    if (job_)
        job_->Stop = true;
    if (worker_) {
        worker_->wait();
        delete worker_;
    }
}

void ReportsWindow::ShowModeless() {
    FillShifts();
    show();
    raise();
    activateWindow();
}

void ReportsWindow::FillShifts() {
    shifts_.assign(channels::kDefaultShiftStarts.begin(), channels::kDefaultShiftStarts.end());
    const std::string path = s_.SettingsPath ? s_.SettingsPath() : std::string();
    std::error_code ignored;
    if (!path.empty() && std::filesystem::exists(common::PathFromUtf8(path), ignored))
        shifts_ = channels::SettingsFile(path, common::RegionalSettings::Russian()).ReadShiftStarts();
    const int chosen = shift_->currentIndex();
    shift_->clear();
    for (std::size_t i = 0; i < shifts_.size(); ++i)
        shift_->addItem(QStringLiteral("%1 (%2–%3)")
                            .arg(i + 1)
                            .arg(MinuteOfDay(shifts_[i]), MinuteOfDay(shifts_[(i + 1) % shifts_.size()])));
    shift_->setCurrentIndex(std::max(0, std::min(chosen, shift_->count() - 1)));
}

void ReportsWindow::ShowKind() {
    const int kind = kind_->currentIndex();
    day_->setVisible(kind != Range);
    day_->setDisplayFormat(kind == Month ? QStringLiteral("MM.yyyy") : QStringLiteral("dd.MM.yyyy"));
    shiftLabel_->setVisible(kind == Shift);
    shift_->setVisible(kind == Shift);
    for (QWidget* widget : std::initializer_list<QWidget*>{from_, toLabel_, to_})
        widget->setVisible(kind == Range);
}

void ReportsWindow::MakeReport() {
    const common::TDateTime day = DayOf(day_->date());
    reports::ReportPeriod period;
    std::string title;
    switch (kind_->currentIndex()) {
    case Shift: {
        const int shift = shift_->currentIndex() + 1;
        period = reports::ShiftPeriod(day, shift, shifts_).value_or(reports::DayPeriod(day));
        title = reportfiles::ShiftTitle(shift, period);
        break;
    }
    case Day:
        period = reports::DayPeriod(day);
        title = reportfiles::DayTitle(day);
        break;
    case Month:
        period = reports::MonthPeriod(day);
        title = reportfiles::MonthTitle(day);
        break;
    default:
        period = {TimeOf(from_->dateTime()), TimeOf(to_->dateTime())};
        if (period.To <= period.From) {
            s_.Messages.Show("Конец периода должен быть позже его начала");
            return;
        }
        title = reportfiles::RangeTitle(period);
        break;
    }
    StopCounting();

    auto job = std::make_shared<Job>();
    job->Folder = s_.ArchiveFolder;
    job->Present = s_.Data.Ustavki;
    job->Period = period;
    job->Month = kind_->currentIndex() == Month;
    const common::TDateTime madeAt = s_.Clock.Now();
    // What has not happened yet is no time without records.
    job->Request.From = period.From;
    job->Request.To = std::min(period.To, std::ceil(madeAt * 1440) / 1440);
    job->Request.MakeDigestsAhead = true; // the operator is waiting
    const std::string settings = s_.SettingsPath ? s_.SettingsPath() : std::string();
    std::error_code ignored;
    if (!settings.empty() && std::filesystem::exists(common::PathFromUtf8(settings), ignored)) {
        const channels::SettingsFile file(settings, common::RegionalSettings::Russian());
        job->Request.Supplies = file.ReadSupplies();
        job->HealthMargin = file.ReadHealthMargin().Share();
    }
    job->Content.Title = {s_.Station, title, common::ProgramVersion(), madeAt};
    job_ = job;

    progress_->setRange(0, 0);
    progress_->show();
    status_->setText(QStringLiteral("Идёт подсчёт…"));
    // The counting thread reports through queued calls; the window outlives it (its destructor waits).
    const auto report = [this, job](const history::Progress& step) {
        if (job->Stop)
            return false;
        QMetaObject::invokeMethod(
            this,
            [this, job, step] {
                if (job != job_ || step.Total == 0)
                    return;
                progress_->setRange(0, static_cast<int>(step.Total));
                progress_->setValue(static_cast<int>(step.Done));
                status_->setText(QStringLiteral("Идёт подсчёт: %1%2")
                                     .arg(QString::fromStdString(common::ArchiveDateText(step.Day)),
                                          step.Building ? QStringLiteral(", сводка дня") : QString()));
            },
            Qt::QueuedConnection);
        return true;
    };
    worker_ = QThread::create([job, report] {
        const history::ArchiveHistory history(job->Folder, job->Present);
        history::Workspace work;
        job->Content.Figures = reports::CountPeriod(history, job->Request, work, report);
        if (job->Month && !job->Stop) {
            reports::HealthDays cache(history);
            job->Content.Health =
                reportfiles::MonthHealth(cache, job->Period, job->HealthMargin, work, report);
        }
    });
    connect(worker_, &QThread::finished, this, [this, job] { Finish(job); });
    worker_->start();
    EnableButtons();
}

void ReportsWindow::Finish(std::shared_ptr<Job> job) {
    if (job != job_)
        return; // one given up for another; StopCounting ended its thread
    worker_->deleteLater();
    worker_ = nullptr;
    progress_->hide();
    if (job->Stop || job->Content.Figures.Stopped) {
        status_->setText(QStringLiteral("Подсчёт прерван"));
        job_.reset();
        EnableButtons();
        return;
    }
    content_ = std::make_unique<reportfiles::ReportContent>(std::move(job->Content));
    job_.reset();
    status_->setText(QString::fromStdString(content_->Title.Period));
    preview_->updatePreview();
    EnableButtons();
    emit reportReady();
}

void ReportsWindow::StopCounting() {
    if (!worker_)
        return;
    job_->Stop = true;
    worker_->wait();
    delete worker_;
    worker_ = nullptr;
    job_.reset();
}

void ReportsWindow::closeEvent(QCloseEvent* event) {
    // The count stops at its next step; its thread is let go when it has.
    if (job_)
        job_->Stop = true;
    QWidget::closeEvent(event);
}

void ReportsWindow::EnableButtons() {
    const bool ready = content_ && !worker_;
    for (QPushButton* button : {print_, pdf_, xlsx_})
        button->setEnabled(ready);
}

QString ReportsWindow::SuggestedName() const {
    QString name = QStringLiteral("Отчёт ") + QString::fromStdString(content_ ? content_->Title.Period : "");
    for (const QChar bad : {QLatin1Char(':'), QLatin1Char('/'), QLatin1Char(','), QLatin1Char('\\')})
        name.replace(bad, bad == QLatin1Char(':') ? QLatin1Char('-') : QLatin1Char(' '));
    return name.simplified();
}

bool ReportsWindow::SavePdf(const QString& path) {
    std::string error;
    if (!content_ ||
        !reportfiles::WriteReportPdf(*content_, common::PathFromUtf8(path.toStdString()), error)) {
        s_.Messages.Show("Отчёт не сохранён: " + error);
        return false;
    }
    return true;
}

bool ReportsWindow::SaveXlsx(const QString& path) {
    std::string error;
    if (!content_ ||
        !reportfiles::WriteReportXlsx(*content_, common::PathFromUtf8(path.toStdString()), error)) {
        s_.Messages.Show("Отчёт не сохранён: " + error);
        return false;
    }
    return true;
}

} // namespace registrator::ui

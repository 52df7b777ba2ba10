#include "service/schedule/ReportScheduler.h"

#include "common/AtomicFile.h"
#include "common/Utf8Path.h"
#include "reports/FiguresCsv.h"
#include "service/schedule/WorkerPriority.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <system_error>

namespace registrator::schedule {

namespace {

// A period's last record is written a moment after its end: a check looks this far behind the clock.
constexpr double kSettleSeconds = 5;

std::string Reason(const std::error_code& error) {
    return error ? error.message() : "не записан";
}

} // namespace

ReportScheduler::ReportScheduler(const common::Clock& clock, const channels::ChannelData& data,
                                 ScheduleSettings settings, QObject* parent)
    : QObject(parent), clock_(clock), data_(data), settings_(std::move(settings)), extensions_{".csv"} {
    if (settings_.Writer)
        extensions_.insert(extensions_.end(), settings_.WriterExtensions.begin(),
                           settings_.WriterExtensions.end());
    timer_.setSingleShot(true);
    // Aligned to the boundary: a coarse timer may be late by a twentieth of its wait.
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &ReportScheduler::TimerFired);
}

ReportScheduler::~ReportScheduler() {
    Stop();
}

void ReportScheduler::Start() {
    if (stop_ || worker_)
        return;
    // A QThread, not a std::thread: Qt's PDF writer starts timers on the thread it draws on.
    worker_.reset(QThread::create([this] { Work(); }));
    worker_->start();
    RequestCheck();
}

void ReportScheduler::Stop() {
    timer_.stop();
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (worker_)
        worker_->wait();
}

common::TDateTime ReportScheduler::SettledNow() const {
    return clock_.Now() - kSettleSeconds / 86400;
}

void ReportScheduler::RequestCheck() {
    const common::TDateTime now = SettledNow();
    lastCheck_ = now;
    boundary_ = reports::NextReportBoundary(settings_.ShiftStarts, now);
    {
        // The thresholds copied here: the GUI thread may change them while the worker counts.
        std::lock_guard lock(mutex_);
        pending_ = Check{now, data_.Ustavki};
    }
    wake_.notify_all();
    ArmTimer();
}

void ReportScheduler::ArmTimer() {
    const double untilBoundary = (boundary_ - SettledNow()) * common::kMsPerDay;
    const double longest = static_cast<double>(settings_.LongestWait.count());
    timer_.start(static_cast<int>(std::clamp(std::ceil(untilBoundary), 0.0, longest)));
}

void ReportScheduler::TimerFired() {
    const common::TDateTime now = SettledNow();
    // Past the boundary, by waiting or by the clock set forward; or the clock set back, whose next
    // boundary may come sooner than the one waited for.
    if (now >= boundary_ || now < lastCheck_)
        RequestCheck();
    else
        ArmTimer();
}

void ReportScheduler::Post(std::function<void()> signal) {
    QMetaObject::invokeMethod(this, std::move(signal), Qt::QueuedConnection);
}

void ReportScheduler::Work() {
    LowerThisThreadPriority();
    while (true) {
        Check check;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || pending_; });
            if (stop_)
                return;
            check = std::move(*pending_);
            pending_.reset();
        }
        RunCheck(check);
        Post([this] { emit checked(); });
    }
}

void ReportScheduler::RunCheck(const Check& check) {
    const history::ArchiveHistory history(settings_.ArchiveFolder, check.Present);
    const std::vector<reports::ScheduledReport> due = reports::DueReports(
        settings_.ShiftStarts, check.Now, reports::FirstRecordTime(history),
        reports::ReportNames(reports::ListReportFolder(settings_.ReportsFolder)), extensions_);
    if (due.empty())
        return;
    std::error_code error;
    std::filesystem::create_directories(common::PathFromUtf8(settings_.ReportsFolder), error);
    if (error) {
        const std::string text = settings_.ReportsFolder + ": " + error.message();
        Post([this, text] { emit reportFailed(QString::fromStdString(text)); });
        return;
    }
    // Kept from one report to the next: a month reads the digests its days' reports just made.
    history::Workspace work;
    for (const reports::ScheduledReport& report : due)
        if (stop_ || !WriteReport(report, history, work))
            return;
}

bool ReportScheduler::WriteReport(const reports::ScheduledReport& report,
                                  const history::ArchiveHistory& history, history::Workspace& work) {
    reports::FiguresRequest request;
    request.From = report.Period.From;
    request.To = report.Period.To;
    request.Supplies = settings_.Supplies;
    const reports::PeriodFigures figures =
        reports::CountPeriod(history, request, work, [this](const history::Progress&) { return !stop_; });
    if (figures.Stopped)
        return false;
    const std::filesystem::path stem = common::PathFromUtf8(settings_.ReportsFolder + report.Stem);
    std::string csv;
    reports::WriteFiguresCsv(csv, figures, request, archive::CsvForm::Plain);
    std::error_code why;
    std::string failure;
    std::filesystem::path csvPath = stem;
    csvPath += ".csv";
    if (common::ReplaceFileAtomically(csvPath, csv, {}, &why) != common::ReplaceResult::Replaced)
        failure = Reason(why);
    else if (settings_.Writer && !settings_.Writer({figures, report.Title,
                                                    report.Kind == reports::ReportKind::Month, history, work},
                                                   stem, failure))
        failure = failure.empty() ? "не записан" : failure;
    const QString stemText = QString::fromStdString(report.Stem);
    if (failure.empty()) {
        Post([this, stemText] { emit reportWritten(stemText); });
    } else {
        std::fprintf(stderr, "Registrator: report %s not written: %s\n", report.Stem.c_str(),
                     failure.c_str());
        const QString text = stemText + QStringLiteral(": ") + QString::fromStdString(failure);
        Post([this, text] { emit reportFailed(text); });
    }
    return true;
}

} // namespace registrator::schedule

#pragma once

#include "channels/ChannelData.h"
#include "channels/SettingsFile.h"
#include "common/Clock.h"
#include "reports/PeriodFigures.h"
#include "reports/ReportSchedule.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <QTimer>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace registrator::schedule {

// A report the schedule has counted, as its other forms are written from it. The history and workspace
// are the scheduler's, for what a month's report reads beside its figures (its motors' health).
struct CountedReport {
    const reports::PeriodFigures& Figures;
    const std::string& PeriodTitle;
    bool MonthReport = false;
    const history::ArchiveHistory& History;
    history::Workspace& Work;
};

// Writes a report's other forms (PDF, XLSX) beside `stem` (the path without its extension), on the
// scheduler's thread; false and `error` on failure, leaving no half-written file.
using ReportFileWriter =
    std::function<bool(const CountedReport& report, const std::filesystem::path& stem, std::string& error)>;

struct ScheduleSettings {
    std::string ArchiveFolder; // "Data/"
    std::string ReportsFolder; // "Reports/"
    std::vector<int> ShiftStarts{channels::kDefaultShiftStarts.begin(), channels::kDefaultShiftStarts.end()};
    std::array<channels::MotorSupply, channels::kChannelCount + 1> Supplies{};
    ReportFileWriter Writer;                                    // none: the CSV alone
    std::vector<std::string> WriterExtensions{".pdf", ".xlsx"}; // what Writer makes of a stem
    // How long the timer waits at most, so that a clock set forward across a boundary is seen that soon.
    std::chrono::milliseconds LongestWait{60000};
};

// The scheduled reports: at start and after each shift, day and month ends, every report due
// (reports::DueReports) is counted and written into Reports/, the newest first, on a thread of its own at
// low priority, one at a time, so that the tick never waits for one. The files in Reports/ are the record
// of what was written; one that fails is said through reportFailed and tried again at the next check.
class ReportScheduler : public QObject {
    Q_OBJECT
public:
    ReportScheduler(const common::Clock& clock, const channels::ChannelData& data, ScheduleSettings settings,
                    QObject* parent = nullptr);
    ~ReportScheduler() override;

    // The first check, now; then one after every boundary.
    void Start();
    // An orderly end: the report in hand is finished (its files written) or abandoned before any is
    // written while it is still being counted; none after it. Runs once; the scheduler stays stopped.
    void Stop();

    const ScheduleSettings& Settings() const { return settings_; }
    // The extensions a written report has all of.
    const std::vector<std::string>& Extensions() const { return extensions_; }

signals:
    // A report's files are all written (the stem without folder or extension).
    void reportWritten(const QString& stem);
    // A report, or Reports/ itself, could not be written: the journal's words ("2026-12-09 смена 1:
    // reason").
    void reportFailed(const QString& text);
    // A check went through every report it found due (or was stopped).
    void checked();

private:
    struct Check {
        common::TDateTime Now = 0;
        channels::UstavkiTable Present;
    };

    void RequestCheck();
    void ArmTimer();
    void TimerFired();
    common::TDateTime SettledNow() const;
    void Work();
    void RunCheck(const Check& check);
    // False when stopped while counting: nothing of it was written.
    bool WriteReport(const reports::ScheduledReport& report, const history::ArchiveHistory& history,
                     history::Workspace& work);
    void Post(std::function<void()> signal);

    const common::Clock& clock_;
    const channels::ChannelData& data_;
    const ScheduleSettings settings_;
    std::vector<std::string> extensions_;
    QTimer timer_;
    common::TDateTime boundary_ = 0;  // the next boundary after the last check
    common::TDateTime lastCheck_ = 0; // for a clock set back

    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<Check> pending_;
    std::atomic<bool> stop_ = false;
    std::unique_ptr<QThread> worker_;
};

} // namespace registrator::schedule

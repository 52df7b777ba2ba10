#pragma once

#include "archive/Archive.h"
#include "archive/CsvExport.h"
#include "channels/ChannelData.h"
#include "common/Clock.h"
#include "common/OperatorMessages.h"
#include "common/RegionalSettings.h"
#include "history/PeriodCsv.h"
#include "service/recorder/HandlerGuard.h"
#include "ui/period/PeriodPlot.h"
#include "ui/period/PeriodSpan.h"

#include <QTimer>
#include <QWidget>
#include <atomic>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace registrator::ui {

class HistoryWorker;
class PeriodTrendChart;

// "тренд за период": up to 8 motors over a day, a week, a month or any range, from the digests of the
// day files and, zoomed in far enough, from their records. Every read runs on a worker thread: the
// window only asks and draws, so it never holds the recorder up; it follows the records as they come
// while its period holds the present.
class PeriodWindow : public QWidget {
    Q_OBJECT
public:
    struct Services {
        const archive::Archive& Archive;
        const channels::ChannelData& Data;
        const common::Clock& Clock;
        common::RegionalSettings Regional;
        common::OperatorMessages& Messages;
        service::HandlerGuard& Guard;
    };
    static constexpr std::size_t kMostMotors = history::kMaxSeries;

    explicit PeriodWindow(Services services, QWidget* parent = nullptr);
    ~PeriodWindow() override;

    void ShowModeless();
    // The day `day` ("сутки") with `channel` among the motors and its thresholds drawn.
    void ShowDay(common::TDateTime day, int channel);
    // At most kMostMotors of them, each once.
    void SetMotors(const std::vector<int>& channels);
    void SetPeriod(const PeriodSpan& span);
    // The chart zoomed to [from, to), as the operator's wheel and drag would.
    void ShowRange(common::TDateTime from, common::TDateTime to);
    // The shown range into a CSV file on the worker thread; `exported` says how it went.
    void ExportShown(const QString& path, history::CsvRows rows, archive::CsvForm form);

    const PeriodSpan& Period() const { return span_; }
    const std::vector<int>& Motors() const { return motors_; }
    // The answers drawn.
    const PeriodPlot& Plot() const { return plot_; }
    // Answers asked for and not yet drawn.
    bool Waiting() const { return waiting_ > 0; }

    PeriodTrendChart* Chart() const { return chart_; }
    QComboBox* SectionBox() const { return sectionBox_; }
    QComboBox* MotorBox() const { return motorBox_; }
    QPushButton* AddButton() const { return addButton_; }
    QPushButton* RemoveButton() const { return removeButton_; }
    QListWidget* MotorList() const { return motorList_; }
    QComboBox* LinesBox() const { return linesBox_; }
    QComboBox* KindBox() const { return kindBox_; }
    QDateTimeEdit* FromEdit() const { return fromEdit_; }
    QDateTimeEdit* ToEdit() const { return toEdit_; }
    QPushButton* BackButton() const { return backButton_; }
    QPushButton* ForwardButton() const { return forwardButton_; }
    QPushButton* TodayButton() const { return todayButton_; }
    QCheckBox* EarlierBox() const { return earlierBox_; }
    QPushButton* ExportButton() const { return exportButton_; }
    QProgressBar* Progress() const { return progress_; }
    QPushButton* StopButton() const { return stopButton_; }
    QLabel* StatusLine() const { return statusLine_; }

public slots:
    // The recorder wrote a record: the part in view that holds the present is brought up to it, as often
    // as a pixel of it can change.
    void FollowRecord();

    void SectionChange();
    void AddClick();
    void RemoveClick();
    void LinesChange();
    void KindChange();
    void RangeEdited();
    void BackClick();
    void ForwardClick();
    void TodayClick();
    void EarlierClick();
    void ExportClick();
    void StopClick();

signals:
    // An answer was drawn, or came back stopped or stale.
    void answered();
    void exported(bool written);

protected:
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Query {
        PlotPart Part;
        history::SeriesRequest Request;
    };
    struct Reply;

    QWidget* BuildMotorPanel();
    QWidget* BuildPeriodPanel();
    QWidget* BuildProgressPanel();
    // "17. Дробилка", or "17" for a motor named by its number alone.
    QString MotorText(int channel) const;
    void ShowPicks();
    void ShowSpan();
    // Everything asked again for the period and the motors as they are; the view back to all of it.
    void Requery();
    // The detail for the range in view, or none when all of the period is in view.
    void QueryView();
    void QueryTail();
    // Lines: each motor's thresholds too.
    void Post(std::vector<Query> queries, bool tail, bool lines);
    void Apply(const Reply& reply);
    void Redraw();
    std::uint64_t DrawnFingerprint() const;
    void ShowStatus();
    void ShowProgress(const history::Progress& step, const QString& what);
    void EndProgress();
    history::ProgressCallback ProgressOf(std::shared_ptr<std::atomic<bool>> stop, bool always);
    // Pixels across the plot: the most points a series needs.
    std::size_t PointsWide() const;
    // The earlier span starts this many days before the period.
    double EarlierShift() const;
    common::TDateTime Now() const { return s_.Clock.Now(); }

    Services s_;
    PeriodSpan span_;
    std::vector<int> motors_;
    int linesMotor_ = 0; // index into motors_
    std::vector<history::MotorLines> lines_;
    PeriodPlot plot_;
    std::optional<history::SeriesRequest> detailAsked_;
    std::uint64_t generation_ = 0; // a new period or new motors
    std::uint64_t detailId_ = 0;   // a new view zoomed in
    std::shared_ptr<std::atomic<bool>> stop_;
    std::shared_ptr<std::atomic<bool>> exportStop_;
    int waiting_ = 0;
    bool tailWaiting_ = false;
    common::TDateTime lastTail_ = 0; // when the last record was followed
    bool tailAgain_ = false;
    bool settingView_ = false;
    bool shownOnce_ = false;
    std::size_t askedWide_ = 0;
    std::uint64_t drawn_ = 0;
    QTimer viewTimer_;
    QTimer resizeTimer_;
    QTimer rangeTimer_;
    std::unique_ptr<HistoryWorker> worker_;

    PeriodTrendChart* chart_ = nullptr;
    QComboBox* sectionBox_ = nullptr;
    QComboBox* motorBox_ = nullptr;
    QPushButton* addButton_ = nullptr;
    QPushButton* removeButton_ = nullptr;
    QListWidget* motorList_ = nullptr;
    QComboBox* linesBox_ = nullptr;
    QComboBox* kindBox_ = nullptr;
    QDateTimeEdit* fromEdit_ = nullptr;
    QDateTimeEdit* toEdit_ = nullptr;
    QPushButton* backButton_ = nullptr;
    QPushButton* forwardButton_ = nullptr;
    QPushButton* todayButton_ = nullptr;
    QCheckBox* earlierBox_ = nullptr;
    QPushButton* exportButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    QLabel* progressText_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QLabel* statusLine_ = nullptr;
};

} // namespace registrator::ui

#pragma once

#include "archive/Archive.h"
#include "channels/ChannelData.h"
#include "common/Clock.h"
#include "common/RegionalSettings.h"
#include "reports/HealthTrend.h"
#include "service/recorder/HandlerGuard.h"

#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableView;

namespace registrator::ui {

class DailyChart;
class HealthTableModel;

// "состояние двигателей": each motor's flags against its own past, and the selected motor's daily figures
// over the last 90 days. The days are read off the GUI thread; the margin is the settings file's.
class HealthWindow : public QWidget {
    Q_OBJECT
public:
    struct Services {
        const channels::ChannelData& Data;
        const archive::Archive& Archive;
        const common::Clock& Clock;
        const common::RegionalSettings& Regional;
        std::function<std::string()> SettingsPath;
        service::HandlerGuard& Guard;
    };
    static constexpr int kTrendDays = 90;

    explicit HealthWindow(Services services, QWidget* parent = nullptr);
    ~HealthWindow() override;

    // The main window's menu item: shown, and the days read again (those read before come from the cache).
    void ShowModeless();

    bool Counting() const { return task_ != nullptr; }
    const reports::MotorHealth* Health() const { return health_.get(); }
    QTableView* Table() const { return table_; }
    QSpinBox* MarginBox() const { return margin_; }
    QLabel* MarginNote() const { return marginNote_; }
    QLabel* Status() const { return status_; }
    DailyChart* Chart(reports::HealthFigure figure) const {
        return charts_[static_cast<std::size_t>(figure)];
    }
    int ShownChannel() const { return shownChannel_; }
    void ShowMotor(int channel);

signals:
    // The days are read and the table shows them.
    void counted();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Task;
    void Count();
    void Cancel();
    void ShowProgress(const std::shared_ptr<Task>& task, std::size_t done, std::size_t total,
                      common::TDateTime day);
    void ShowCounted(const std::shared_ptr<Task>& task, std::shared_ptr<reports::MotorHealth> health);
    void ReadMargin();
    // The operator saved another margin: written to the settings file, the flags counted again.
    void SaveMarginClick();
    reports::HealthRules Rules() const;
    void ShowDrifts();

    Services services_;
    std::shared_ptr<reports::HealthArchive> archive_;
    std::shared_ptr<Task> task_;
    std::shared_ptr<reports::MotorHealth> health_;
    common::TDateTime lastDay_ = 0;
    int shownChannel_ = 1;
    HealthTableModel* model_;
    QTableView* table_;
    QSpinBox* margin_;
    QPushButton* saveMargin_;
    QLabel* marginNote_;
    QProgressBar* progress_;
    QLabel* status_;
    QLabel* motorTitle_;
    std::array<DailyChart*, reports::kHealthFigureCount> charts_{};
};

} // namespace registrator::ui

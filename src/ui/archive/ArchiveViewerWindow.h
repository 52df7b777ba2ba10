#pragma once

#include "archive/Archive.h"
#include "archive/CsvExport.h"
#include "channels/ChannelData.h"
#include "common/Clock.h"
#include "common/OperatorMessages.h"
#include "common/RegionalSettings.h"
#include "monitor/DaySummary.h"
#include "service/recorder/HandlerGuard.h"

#include <QWidget>

class QDateEdit;
class QLabel;
class QPushButton;
class QTabBar;
class QTableView;

namespace registrator::ui {

class ArhivGridModel;
class DaySummaryPanel;
class MotorTrendChart;
class TrendChart;

// TF_arhiv: one motor's archived day as a chart and a table, with its thresholds and power from the
// day's snapshot. It shows the archive's loaded tables as the last refresh left them.
class ArchiveViewerWindow : public QWidget {
    Q_OBJECT
public:
    struct Services {
        archive::Archive& Archive;
        channels::ChannelData& Data;
        const common::Clock& Clock;
        common::RegionalSettings Regional;
        common::OperatorMessages& Messages;
        service::HandlerGuard& Guard;
    };

    explicit ArchiveViewerWindow(Services services, QWidget* parent = nullptr);
    ~ArchiveViewerWindow() override;

    void ShowModeless();
    void RefreshArhiv();
    void ShowChannel(int channel);
    void ShowSectionTabs(int section);
    // The channel the tabs select.
    int SelectedChannel() const;
    // The day as last loaded: every record, all 72 channels or the shown one. False when the file
    // could not be written, after telling the operator.
    bool ExportShownDay(const QString& path, bool allChannels, archive::CsvForm form);
    // Zooms the chart to the records of the shown day summary's episode.
    void ShowEpisode(int index);

    QTabBar* TabControl1() const { return tabControl1_; }
    QTabBar* TabControl2() const { return tabControl2_; }
    QLabel* Lb_tok_nom() const { return lbTokNom_; }
    QLabel* Lb_tok_max() const { return lbTokMax_; }
    QLabel* Lb_moshn() const { return lbMoshn_; }
    QTableView* StringGrid1() const { return stringGrid1_; }
    ArhivGridModel* Grid() const { return gridModel_; }
    TrendChart* Chart1() const;
    DaySummaryPanel* Summary() const { return summary_; }
    QPushButton* BitBtn1() const { return bitBtn1_; }
    QPushButton* Button4() const { return button4_; }
    QPushButton* Button2() const { return button2_; }
    QPushButton* Button3() const { return button3_; }
    QPushButton* ExportButton() const { return exportButton_; }
    QPushButton* TodayButton() const { return todayButton_; }
    QPushButton* PeriodButton() const { return periodButton_; }
    QDateEdit* DateTimePicker1() const { return dateTimePicker1_; }
    // Which day the tables hold: "показан: 08.12.2026, 86 400 записей".
    QLabel* ShownDay() const { return shownDay_; }

public slots:
    void TabControl1Change();
    void TabControl2Change();
    void BitBtn1Click();
    void Button4Click();
    void Button2Click();
    void Button3Click();
    void ExportClick();
    void TodayClick();
    void PeriodClick();

signals:
    // "путь": the archive folder window.
    void folderWindowRequested();
    // "тренд за период": that window on the shown day ("DD.MM.YYYY") and motor.
    void periodRequested(common::TDateTime day, int channel);

private:
    QWidget* BuildSettingsPanel();
    QWidget* BuildButtonPanel();
    void BuildGrid();
    void ShowWhichDay();
    // The shown day's motors by the one rule: its own snapshot where it holds them, else the settings
    // in force.
    monitor::DayMotors ShownDayMotors() const;

    Services s_;
    QTabBar* tabControl1_ = nullptr;
    QTabBar* tabControl2_ = nullptr;
    QLabel* lbTokNom_ = nullptr;
    QLabel* lbTokMax_ = nullptr;
    QLabel* lbMoshn_ = nullptr;
    QTableView* stringGrid1_ = nullptr;
    ArhivGridModel* gridModel_ = nullptr;
    MotorTrendChart* chart1_ = nullptr;
    DaySummaryPanel* summary_ = nullptr;
    QPushButton* bitBtn1_ = nullptr;
    QPushButton* button4_ = nullptr;
    QPushButton* button2_ = nullptr;
    QPushButton* button3_ = nullptr;
    QPushButton* exportButton_ = nullptr;
    QPushButton* todayButton_ = nullptr;
    QPushButton* periodButton_ = nullptr;
    QDateEdit* dateTimePicker1_ = nullptr;
    QLabel* shownDay_ = nullptr;
};

} // namespace registrator::ui

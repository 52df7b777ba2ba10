#pragma once

#include "channels/ChannelData.h"
#include "common/RegionalSettings.h"
#include "service/recorder/HandlerGuard.h"

#include <QWidget>

class QGroupBox;
class QLabel;
class QPushButton;
class QTabBar;
class QTableView;

namespace registrator::ui {

class MotorTrendChart;
class TokGridModel;
class TrendChart;

// TF_grafik: one section at a time, a tab per motor; for the motor of the selected tab its settings,
// the trend of the whole history ring with its nominal and critical lines, and the slots written
// since the ring last wrapped. Chart and grid are snapshots taken at the last refresh.
class SectionWindow : public QWidget {
    Q_OBJECT
public:
    SectionWindow(channels::ChannelData& data, const common::RegionalSettings& regional,
                  service::HandlerGuard& guard, QWidget* parent = nullptr);
    ~SectionWindow() override;

    void ShowModeless();

    // The section SelSection names: tab texts from the motor names and the section's caption; what
    // the window shows of a motor stays until the next refresh.
    void OpenSection(int section);
    // The section window's share of SelectChannel.
    void ShowChannelFields(int channel);
    void RefreshMotor();
    void PlotChannel(int channel);

    QTabBar* TabControl1() const { return tabControl1_; }
    TrendChart* Chart1() const;
    TokGridModel* Grid() const { return gridModel_; }
    QTableView* StringGrid1() const { return stringGrid1_; }
    QGroupBox* GroupBox1() const { return groupBox1_; }
    QLabel* Lb_tok_nom() const { return lbTokNom_; }
    QLabel* Lb_tok_max() const { return lbTokMax_; }
    QLabel* Lb_moshn() const { return lbMoshn_; }
    QPushButton* BitBtn1() const { return bitBtn1_; }
    QPushButton* Button1() const { return button1_; }

public slots:
    void TabControl1Change();
    void BitBtn1Click();
    void Button1Click();

signals:
    // SelectChannel of the main window, which fills this window's fields among others.
    void selectChannelRequested(int channel);

private:
    void BuildSettingsFrame();
    void BuildGrid();
    void BuildMotorFrame();

    channels::ChannelData& data_;
    common::RegionalSettings regional_;
    service::HandlerGuard& guard_;
    QLabel* lbTokNom_ = nullptr;
    QLabel* lbTokMax_ = nullptr;
    QLabel* lbMoshn_ = nullptr;
    QTableView* stringGrid1_ = nullptr;
    TokGridModel* gridModel_ = nullptr;
    QPushButton* bitBtn1_ = nullptr;
    QPushButton* button1_ = nullptr;
    QGroupBox* groupBox1_ = nullptr;
    QTabBar* tabControl1_ = nullptr;
    MotorTrendChart* chart1_ = nullptr;
};

} // namespace registrator::ui

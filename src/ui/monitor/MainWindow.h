#pragma once

#include "channels/ChannelData.h"
#include "monitor/PanelState.h"
#include "service/recorder/HandlerGuard.h"
#include "service/recorder/Recorder.h"

#include <QMainWindow>
#include <array>

class QAction;
class QLabel;

namespace registrator::ui {

class AlarmLine;
class MotorPanel;
class SectionFrame;

// The panel colour of each motor state; the switched-off grey stands apart from the other three.
QColor PanelColour(monitor::PanelState state);

// TForm1, the mimic panel: 72 motor panels in six section frames, each with its current label, and
// the archive line; it shows the recorder's cycles and opens the other windows from its menu.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // `guard` runs the menu's and the panels' handlers.
    MainWindow(service::Recorder& recorder, service::HandlerGuard& guard, const QString& caption);
    ~MainWindow() override;

    // Fills the selected channel's fields in the windows that show them, then sets SelChannel.
    void SelectChannel(int channel);

    // Label texts and panel colours from the current slot; touches only what changed.
    void RefreshDisplay();

    // The archive line under the mimic, from the counters the archive keeps.
    void RefreshArchiveStatus();
    QLabel* ArchiveInfo() const { return archiveInfo_; }
    QLabel* ArchiveWarning() const { return archiveWarning_; }
    // A server that did not start (the web view, Modbus: a port taken), kept in the strip for as long as
    // the program runs.
    void ShowServiceProblem(const QString& text);
    QLabel* WebWarning() const { return webWarning_; }
    // The MQTT broker's state, changing as the connection does.
    void ShowBrokerLine(const QString& text);
    QLabel* BrokerLine() const { return brokerLine_; }
    // Above the status strip while an alarm waits for the operator.
    AlarmLine* Alarms() const { return alarmLine_; }
    // The newest alarm not acknowledged in the line's short form and whole, how many more, and until
    // when the tone is silenced ("" when it is not); an empty line takes the line away.
    void ShowAlarm(const QString& line, const QString& whole, int more, const QString& silencedUntil);

    MotorPanel* Panel(int channel) const { return panels_.at(static_cast<std::size_t>(channel - 1)); }
    QLabel* CurrentLabel(int channel) const { return labels_.at(static_cast<std::size_t>(channel - 1)); }
    SectionFrame* Frame(int section) const { return frames_.at(static_cast<std::size_t>(section - 1)); }

public slots:
    void Pan1Click(int tag);
    void GroupBox1Click(int tag);
    void N1Click();
    void N2Click();
    void N3Click();
    void N4Click();
    void N5Click();
    void N6Click();
    void N7Click();

signals:
    // Emitted inside SelectChannel before SelChannel changes, so the other windows fill their fields.
    void channelFieldsRequested(int channel);
    // A motor panel was clicked: the calibration window comes up before the channel is selected.
    void calibrationRequested();
    void scanTimingRequested();
    void coefficientCalculationRequested();
    void archiveViewerRequested();
    void journalRequested();
    void periodTrendRequested();
    void healthRequested();
    void reportsRequested();
    void sectionRequested(int section);
    void closing();
    // The labels and colours now show the current slot.
    void displayRefreshed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMimic(QWidget* panel);
    void BuildArchiveStrip();

    service::Recorder& recorder_;
    service::HandlerGuard& guard_;
    std::array<MotorPanel*, channels::kChannelCount> panels_{};
    std::array<QLabel*, channels::kChannelCount> labels_{};
    std::array<SectionFrame*, channels::kSectionCount> frames_{};
    std::array<double, channels::kChannelCount> shownValues_{};
    std::array<bool, channels::kChannelCount> valueShown_{};
    std::array<QColor, channels::kChannelCount> shownColours_{};
    QLabel* archiveInfo_ = nullptr;
    QLabel* archiveWarning_ = nullptr;
    QLabel* webWarning_ = nullptr;
    QLabel* brokerLine_ = nullptr;
    AlarmLine* alarmLine_ = nullptr;
    QWidget* alarmBar_ = nullptr;
    std::string archiveFolderShown_;
};

} // namespace registrator::ui

#pragma once

#include "acquisition/ScanProtocol.h"
#include "archive/Archive.h"
#include "channels/ChannelData.h"
#include "common/Clock.h"
#include "common/RegionalSettings.h"
#include "service/recorder/DeferredBoxes.h"
#include "service/recorder/HandlerGuard.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <string>

namespace registrator::service {

// What start-up and shutdown show while the settings file is read or written: the progress window
// when there are windows, nothing without.
class SettingsProgress {
public:
    virtual ~SettingsProgress() = default;
    virtual void Begin(const QString& caption) = 0;
    virtual void ChannelDone(int channel) = 0;
    virtual void End() = 0;
};

class NoProgress final : public SettingsProgress {
public:
    void Begin(const QString&) override {}
    void ChannelDone(int) override {}
    void End() override {}
};

// The settings file of the running program and the number texts it is read and written with.
struct SettingsPlace {
    std::string Path;
    common::RegionalSettings Regional;
};

// The acquisition and the archive as time drives them: the fast timer's scan cycle, the slow timer's
// history step, the start-up that sets them going and the shutdown that stops them. The main window
// shows it and drives it; without windows nothing else is needed. One thread: the one whose event
// loop runs the timers.
class Recorder : public QObject {
    Q_OBJECT
public:
    struct Services {
        channels::ChannelData& Data;
        acquisition::ScanProtocol& Protocol;
        archive::Archive& Archive;
        const common::Clock& Clock;
        // Where the timers' boxes go once their handler has returned.
        DialogPresenter& Dialogs;
    };

    explicit Recorder(Services services, QObject* parent = nullptr);

    QTimer& Timer1() { return timer1_; }
    QTimer& Timer2() { return timer2_; }
    const QTimer& Timer1() const { return timer1_; }
    const QTimer& Timer2() const { return timer2_; }
    channels::ChannelData& Data() { return services_.Data; }
    const archive::Archive& Archive() const { return services_.Archive; }

    // The timers start at 10 ms and 1 s, the day and the slot start over, the settings file is read
    // channel by channel (one that holds no text is set aside, with a box), the converters are put in
    // word mode and the day's snapshot is made sure of.
    void StartUp(const SettingsPlace& settings, SettingsProgress& progress);
    // The timers stop, so no tick runs inside a box shown while the program ends.
    void StopTimers();
    // Writes every channel's settings back, channel by channel.
    void SaveSettings(const SettingsPlace& settings, SettingsProgress& progress);

    // How long the last scan cycle took, in seconds.
    double LastScanSeconds() const { return lastScanSeconds_; }

public slots:
    void Timer1Timer();
    void Timer2Timer();

signals:
    // A scan cycle converted a slot: the labels, colours and everything served follow it.
    void scanned();
    // The slow tick archived the current slot.
    void historyStepped();
    // The averaging was put back to 5, so the scan timing window's field follows.
    void avgCountReset();

private:
    Services services_;
    QTimer timer1_;
    QTimer timer2_;
    DeferredBoxes timer1Boxes_;
    DeferredBoxes timer2Boxes_;
    HandlerGuard timer1Guard_;
    HandlerGuard timer2Guard_;
    double lastScanSeconds_ = 0;
};

} // namespace registrator::service

#include "service/recorder/Recorder.h"

#include "channels/SettingsFile.h"
#include "monitor/ScanCycle.h"

#include <QElapsedTimer>

namespace registrator::service {

Recorder::Recorder(Services services, QObject* parent)
    : QObject(parent), services_(services), timer1Boxes_(services.Dialogs), timer2Boxes_(services.Dialogs),
      timer1Guard_(timer1Boxes_), timer2Guard_(timer2Boxes_) {
    timer1_.setObjectName(QStringLiteral("Timer1"));
    timer2_.setObjectName(QStringLiteral("Timer2"));
    connect(&timer1_, &QTimer::timeout, this, &Recorder::Timer1Timer);
    connect(&timer2_, &QTimer::timeout, this, &Recorder::Timer2Timer);
}

void Recorder::StartUp(const SettingsPlace& settings, SettingsProgress& progress) {
    timer1_.setInterval(10);
    timer2_.setInterval(1000);
    timer1_.start();
    timer2_.start();
    auto& data = services_.Data;
    data.CurDay = services_.Clock.Today();
    services_.Protocol.ResetState();
    data.TokIndex = 0;
    data.AvgCount = 5;

    progress.Begin(QStringLiteral("ИДЕТ ЗАГРУЗКА"));
    channels::SettingsFile file(settings.Path, settings.Regional);
    const channels::SettingsLoad found =
        file.LoadAll(data.Ustavki, [&](int channel) { progress.ChannelDone(channel); });
    progress.End();
    // Defaults in silence, and our sections appended to the unreadable bytes at exit, otherwise.
    if (found == channels::SettingsLoad::NotText)
        services_.Dialogs.ShowOperatorMessage(QString::fromStdString(
            channels::NotTextMessage(settings.Path, file.SetAside(services_.Clock.Now()))));

    services_.Protocol.WritePpiMode(acquisition::kPpiModeWord);
    // A day's snapshot is otherwise written only when midnight passes while the program runs; a
    // station switched on every morning would keep no record of the settings in force.
    services_.Archive.EnsureUst(data.Ustavki);
    services_.Archive.ReadUst("no");
}

void Recorder::StopTimers() {
    timer1_.stop();
    timer2_.stop();
}

void Recorder::SaveSettings(const SettingsPlace& settings, SettingsProgress& progress) {
    progress.Begin(QStringLiteral("ИДЕТ СОХРАНЕНИЕ"));
    channels::SettingsFile(settings.Path, settings.Regional)
        .SaveAll(services_.Data.Ustavki, [&](int channel) { progress.ChannelDone(channel); });
    progress.End();
}

void Recorder::Timer1Timer() {
    timer1Guard_([&] {
        QElapsedTimer cycle;
        cycle.start();
        const bool ran = monitor::RunScanCycle(services_.Protocol, services_.Data, services_.Clock,
                                               timer1Boxes_, [this] { emit avgCountReset(); });
        lastScanSeconds_ = static_cast<double>(cycle.nsecsElapsed()) / 1e9;
        if (ran)
            emit scanned();
    });
}

void Recorder::Timer2Timer() {
    timer2Guard_([&] {
        monitor::RunHistoryStep(services_.Archive, services_.Data, services_.Clock);
        emit historyStepped();
    });
}

} // namespace registrator::service

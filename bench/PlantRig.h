#pragma once

// The simulated plant, its scan protocol and an archive with default settings, as the ui benchmarks
// share them; and the real main window over it.
#include "RatioReporter.h"
#include "SilentDialogs.h"
#include "acquisition/PortFactory.h"
#include "acquisition/ScanProtocol.h"
#include "archive/Archive.h"
#include "service/recorder/Recorder.h"
#include "ui/app/ErrorBoxes.h"
#include "ui/app/Program.h"
#include "ui/monitor/MainWindow.h"

#include <QApplication>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>

namespace registrator::bench {

inline std::string BenchFolder(const char* name) {
    const auto folder = std::filesystem::temp_directory_path() / name;
    std::filesystem::create_directories(folder);
    return folder.string() + "/";
}

struct PlantRig {
    explicit PlantRig(const std::string& archiveFolder)
        : messages(dialogs), guard(dialogs), archive(archiveFolder, clock, messages) {
        for (int n = 1; n <= channels::kChannelCount; ++n)
            data.Ustavki[n] = channels::DefaultUstavka(n);
        data.AvgCount = 5;
        acquisition::PortOptions options;
        options.Simulate = true;
        port = acquisition::MakePort(options, data.Ustavki, clock);
        protocol = std::make_unique<acquisition::ScanProtocol>(*port);
        recorder = std::make_unique<service::Recorder>(
            service::Recorder::Services{data, *protocol, archive, clock, dialogs});
    }
    // Moves the plant on by one fast interval so the currents (and so labels and colours) change.
    void Step() { clock.AdvanceMs(10); }

    common::SettableClock clock{common::EncodeDate(2026, 12, 6) + common::EncodeTime(9, 0, 0, 0)};
    SilentDialogs dialogs;
    service::PresenterMessages messages;
    service::HandlerGuard guard;
    channels::ChannelData data;
    archive::Archive archive;
    std::unique_ptr<acquisition::PortAccess> port;
    std::unique_ptr<acquisition::ScanProtocol> protocol;
    std::unique_ptr<service::Recorder> recorder;
};

// The real main window over the rig, shown and painted once, so that a tick repaints only what it changes.
inline std::unique_ptr<ui::MainWindow> ShownMainWindow(PlantRig& rig) {
    auto window = std::make_unique<ui::MainWindow>(*rig.recorder, rig.guard, QStringLiteral("Регистратор"));
    window->show();
    QCoreApplication::processEvents();
    return window;
}

// One fast tick of the window, with whatever it sets off on the event loop.
inline void Tick(PlantRig& rig) {
    rig.Step();
    rig.recorder->Timer1Timer();
    QCoreApplication::processEvents();
}

// The benchmarks on the offscreen platform unless another is asked for, with their ratios.
inline int RunOffscreenWithRatios(int argc, char** argv, RatioPairs pairs, double minSeconds = 0.5) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    return RunBenchmarksWithRatios(argc, argv, std::move(pairs), minSeconds);
}

} // namespace registrator::bench

#include "acquisition/PortFactory.h"
#include "ui/app/CommandLine.h"
#include "ui/app/Program.h"
#include "ui/app/SignalWatcher.h"
#include "ui/app/SystemRegionalSettings.h"
#include "ui/monitor/MainWindow.h"

#include <QApplication>
#include <QLocale>
#include <csignal>
#include <cstdio>

using namespace registrator;

int main(int argc, char* argv[]) {
#ifdef SIGXFSZ
    // Past a file-size limit a write then fails like any other, instead of killing the program.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);

    const ui::CommandLineOptions options = ui::ParseCommandLine(QCoreApplication::arguments());
    if (options.ShowHelp || !options.Error.isEmpty()) {
        if (!options.Error.isEmpty())
            std::fprintf(stderr, "Registrator: %s\n\n", qPrintable(options.Error));
        std::fputs(qPrintable(ui::CommandLineHelp()), options.Error.isEmpty() ? stdout : stderr);
        return options.Error.isEmpty() ? 0 : 2;
    }

    common::SystemClock clock;
    const std::string executable = QCoreApplication::applicationFilePath().toStdString();
    ui::MessageBoxPresenter dialogs(QString::fromStdString(channels::ProgramTitle(executable)));

    acquisition::PortOptions portOptions;
    portOptions.Simulate = options.Simulate;
    portOptions.Device = options.PortDevice.toStdString();
    portOptions.ProgramFolder = channels::FolderOf(executable);

    ui::Program program(
        ui::ProgramEnvironment{clock, dialogs, ui::RegionalSettingsOf(QLocale::system()), executable, "Data/",
                               [&](const channels::UstavkiTable& ustavki, const common::Clock& portClock) {
                                   return acquisition::MakePort(portOptions, ustavki, portClock);
                               }});
    program.ServeWeb(options.WebAddress, options.WebPort);

    ui::SignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &ui::SignalWatcher::endRequested, &app, [&] { program.RequestEnd(); });

    // The session is ending (Windows end of session, X11 logout): save now, the process may not get
    // back to the event loop.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app, [&] {
        program.Shutdown();
        QCoreApplication::quit();
    });

    program.Start();
    app.exec();
    program.Shutdown();
    return 0;
}

#include "acquisition/PortFactory.h"
#include "common/ExecutablePath.h"
#include "ui/app/CommandLine.h"
#include "ui/app/ProcessStart.h"
#include "ui/app/Program.h"
#include "ui/app/QtTranslations.h"
#include "ui/app/SignalWatcher.h"
#include "ui/app/SystemRegionalSettings.h"
#include "ui/monitor/MainWindow.h"

#include <QApplication>
#include <QLocale>
#include <cstdio>

using namespace registrator;

int main(int argc, char* argv[]) {
    ui::PrepareProcess();
    std::string executable = common::ExecutablePath();
    if (executable.empty() && argc > 0)
        executable = argv[0];
    {
        // Before the application object, which needs a display: help and a wrong command line are
        // answered on a terminal without one.
        QStringList arguments;
        for (int i = 0; i < argc; ++i)
            arguments << QString::fromLocal8Bit(argv[i]);
        const ui::CommandLineOptions early = ui::ParseCommandLine(arguments);
        if (early.ShowHelp || !early.Error.isEmpty()) {
            if (!early.Error.isEmpty())
                std::fprintf(stderr, "Registrator: %s\n\n", qPrintable(early.Error));
            const QString settings = QString::fromStdString(channels::FolderOf(executable) +
                                                            channels::ProgramTitle(executable) + ".INI");
            std::fputs(qPrintable(ui::CommandLineHelp(settings)), early.Error.isEmpty() ? stdout : stderr);
            return early.Error.isEmpty() ? ui::kExitOrderly : ui::kExitBadCommandLine;
        }
    }

    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    QCoreApplication::setOrganizationName(QStringLiteral("registrator"));
    ui::InstallQtTranslations(QLocale::system(), ui::QtTranslationFolders());
    // Again from Qt's own arguments, which keep a Windows command line's characters.
    const ui::CommandLineOptions options = ui::ParseCommandLine(QCoreApplication::arguments());

    common::SystemClock clock;
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
    program.NamePort(acquisition::PortName(portOptions));
    program.ServeWeb(options.WebAddress, options.WebPort);
    program.ServeModbus(options.ModbusAddress, options.ModbusPort, options.ModbusUnit,
                        options.ModbusLowWordFirst ? integration::WordOrder::LowFirst
                                                   : integration::WordOrder::HighFirst);

    ui::SignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &ui::SignalWatcher::endRequested, &app, [&] { program.RequestEnd(); });

    // The session is ending (Windows end of session, X11 logout): save now, the process may not get
    // back to the event loop.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app, [&] {
        program.Shutdown();
        QCoreApplication::quit();
    });

    if (!program.Start())
        return ui::kExitAlreadyRunning;
    app.exec();
    program.Shutdown();
    return program.Status();
}

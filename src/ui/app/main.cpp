#include "acquisition/PortFactory.h"
#include "channels/SettingsFile.h"
#include "common/ExecutablePath.h"
#include "common/Version.h"
#include "service/recorder/Headless.h"
#include "service/reportfiles/ScheduledReportFiles.h"
#include "ui/app/CommandLine.h"
#include "ui/app/ProcessStart.h"
#include "ui/app/Program.h"
#include "ui/app/QtTranslations.h"
#include "ui/app/SignalWatcher.h"
#include "ui/app/SystemRegionalSettings.h"
#include "ui/app/WebUserCommand.h"
#include "ui/app/WindowsService.h"
#include "ui/monitor/MainWindow.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QSysInfo>
#include <cstdio>
#include <cstring>
#include <memory>

using namespace registrator;

namespace {

// Before any application object: whether it may open a display. A service has none.
bool HeadlessAsked(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--headless") == 0 || std::strncmp(argv[i], "--service", 9) == 0)
            return true;
    return false;
}

// Passes every message on but Qt's warning that XDG_RUNTIME_DIR is not set.
QtMessageHandler gPassOn = nullptr;
void QuietRuntimeDir(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    if (gPassOn)
        gPassOn(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

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
        if (early.ShowVersion && !early.ShowHelp && early.Error.isEmpty()) {
            std::printf("Registrator %s\n", common::ProgramVersion());
            return service::kExitOrderly;
        }
        if (early.ShowHelp || !early.Error.isEmpty()) {
            if (!early.Error.isEmpty())
                std::fprintf(stderr, "Registrator: %s\n\n", qPrintable(early.Error));
            QString settings = QString::fromStdString(channels::FolderOf(executable) +
                                                      channels::ProgramTitle(executable) + ".INI");
            // An installed program keeps the file elsewhere through a link beside it: say where.
            if (const QFileInfo link(settings); link.isSymLink())
                settings = link.symLinkTarget() + QStringLiteral("\nthrough the link ") + settings;
            std::fputs(qPrintable(ui::CommandLineHelp(settings)), early.Error.isEmpty() ? stdout : stderr);
            return early.Error.isEmpty() ? service::kExitOrderly : service::kExitBadCommandLine;
        }
        if (!early.WebUser.isEmpty())
            return ui::RunWebUserCommand(early.WebUser, early.WebUsers, executable);
        if (!early.Service.isEmpty() && early.Service != QLatin1String("run"))
            return ui::RunServiceCommand(early.Service, arguments, QString::fromStdString(executable));
    }

    // No display is opened without windows: a service or a station without a screen runs the same recorder,
    // on Qt's offscreen platform, which still draws the reports' pages.
    const bool headless = HeadlessAsked(argc, argv);
    if (headless && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The Windows release keeps the fonts offscreen drawing needs beside the program (elsewhere the
    // system's).
    const std::string fonts = channels::FolderOf(executable) + "fonts";
    if (headless && qEnvironmentVariableIsEmpty("QT_QPA_FONTDIR") &&
        QFileInfo(QString::fromStdString(fonts)).isDir())
        qputenv("QT_QPA_FONTDIR", QByteArray::fromStdString(fonts));
    // A service has no XDG_RUNTIME_DIR; Qt's word about it while the platform starts (it takes a folder of
    // its own) would be a line in the system journal at every start.
    if (headless)
        gPassOn = qInstallMessageHandler(QuietRuntimeDir);
    std::unique_ptr<QCoreApplication> app =
        headless ? std::make_unique<QGuiApplication>(argc, argv) : std::make_unique<QApplication>(argc, argv);
    if (headless)
        qInstallMessageHandler(gPassOn);
    QCoreApplication::setOrganizationName(QStringLiteral("registrator"));
    ui::InstallQtTranslations(QLocale::system(), ui::QtTranslationFolders());
    // Again from Qt's own arguments, which keep a Windows command line's characters.
    const ui::CommandLineOptions options = ui::ParseCommandLine(QCoreApplication::arguments());

    common::SystemClock clock;
    acquisition::PortOptions portOptions;
    portOptions.Simulate = options.Simulate;
    portOptions.Device = options.PortDevice.toStdString();
    portOptions.ProgramFolder = channels::FolderOf(executable);
    const QString stationName =
        options.MqttStation.isEmpty() ? QSysInfo::machineHostName() : options.MqttStation;
    const auto configure = [&](auto& target) {
        target.NamePort(acquisition::PortName(portOptions));
        target.WriteReportsWith(
            reportfiles::ScheduledReportFiles(stationName.toStdString(), target.SettingsPath()));
        target.ServeWeb(options.WebAddress, options.WebPort);
        target.GuardWeb({options.WebUsers.toStdString(), options.WebOpenMetrics, options.WebAllowPlainLogin});
        target.ServeWebEncrypted(options.WebCertificate, options.WebKey);
        target.ServeModbus(options.ModbusAddress, options.ModbusPort, options.ModbusUnit,
                           options.ModbusLowWordFirst ? integration::WordOrder::LowFirst
                                                      : integration::WordOrder::HighFirst,
                           options.ModbusAllowed);
        target.ServeMqtt({options.MqttUrl.toStdString(), stationName.toStdString(),
                          options.MqttCredentials.toStdString(), options.MqttRate});
    };
    const auto environment = [&](service::DialogPresenter& dialogs) {
        return service::StationEnvironment{
            clock,
            dialogs,
            ui::RegionalSettingsOf(QLocale::system()),
            executable,
            "Data/",
            [&](const channels::UstavkiTable& ustavki, const common::Clock& portClock) {
                return acquisition::MakePort(portOptions, ustavki, portClock);
            }};
    };
    ui::SignalWatcher signalWatcher;

    if (options.Headless || !options.Service.isEmpty()) {
        // Started by the Windows service control manager: its stop and shutdown end the recorder as
        // SIGTERM does.
        std::unique_ptr<ui::ServiceSession> session;
        if (!options.Service.isEmpty()) {
            session = std::make_unique<ui::ServiceSession>();
            if (!session->Connect())
                return service::kExitBadCommandLine;
        }
        int status = service::kExitOrderly;
        {
            service::StandardErrorPresenter dialogs;
            service::Station station(environment(dialogs));
            configure(station);
            const auto end = [&] {
                station.MarkEnding();
                QCoreApplication::quit();
            };
            QObject::connect(&signalWatcher, &ui::SignalWatcher::endRequested, app.get(), end);
            service::NoProgress noProgress;
            if (session) {
                QObject::connect(session.get(), &ui::ServiceSession::endRequested, app.get(), end);
                status = service::RunHeadless(station, *session, [&] { session->ReportRunning(); });
            } else {
                status = service::RunHeadless(station, noProgress);
            }
        }
        if (session)
            session->ReportStopped(status);
        return status;
    }

    static_cast<QApplication*>(app.get())->setQuitOnLastWindowClosed(false);
    ui::MessageBoxPresenter dialogs(QString::fromStdString(channels::ProgramTitle(executable)));
    ui::Program program(environment(dialogs));
    configure(program);
    QObject::connect(&signalWatcher, &ui::SignalWatcher::endRequested, app.get(),
                     [&] { program.RequestEnd(); });

    // The session is ending (Windows end of session, X11 logout): save now, the process may not get
    // back to the event loop.
    QObject::connect(static_cast<QGuiApplication*>(app.get()), &QGuiApplication::commitDataRequest, app.get(),
                     [&] {
                         program.Shutdown();
                         QCoreApplication::quit();
                     });

    if (!program.Start())
        return service::kExitAlreadyRunning;
    QCoreApplication::exec();
    program.Shutdown();
    return program.Status();
}

#include "ui/app/CommandLine.h"

#include <QHostAddress>

namespace registrator::ui {

namespace {

const char* const kWebUsage = "--web needs ADDRESS:PORT, for example --web 127.0.0.1:8080";

// "127.0.0.1:8080", "0.0.0.0:8080" or "[::1]:8080": a numeric address, so nothing is looked up.
bool ParseWebEndpoint(const QString& text, CommandLineOptions& options) {
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok);
    if (!ok || port == 0 || port > 65535 || QHostAddress(host).isNull())
        return false;
    options.WebAddress = host;
    options.WebPort = static_cast<quint16>(port);
    return true;
}

} // namespace

CommandLineOptions ParseCommandLine(const QStringList& arguments) {
    CommandLineOptions options;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QLatin1String("--simulate")) {
            options.Simulate = true;
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            options.ShowHelp = true;
        } else if (arg == QLatin1String("--port")) {
            if (i + 1 >= arguments.size()) {
                options.Error = QStringLiteral("--port needs a device, for example --port /dev/parport0");
                return options;
            }
            options.PortDevice = arguments[++i];
        } else if (arg.startsWith(QLatin1String("--port="))) {
            options.PortDevice = arg.mid(7);
            if (options.PortDevice.isEmpty()) {
                options.Error = QStringLiteral("--port needs a device, for example --port /dev/parport0");
                return options;
            }
        } else if (arg == QLatin1String("--web") || arg.startsWith(QLatin1String("--web="))) {
            const bool separate = arg == QLatin1String("--web");
            if (separate && i + 1 >= arguments.size()) {
                options.Error = QString::fromLatin1(kWebUsage);
                return options;
            }
            const QString endpoint = separate ? arguments[++i] : arg.mid(6);
            if (!ParseWebEndpoint(endpoint, options)) {
                options.Error = QString::fromLatin1(kWebUsage) + QStringLiteral(" (got \"") + endpoint +
                                QStringLiteral("\")");
                return options;
            }
        } else {
            options.Error = QStringLiteral("unknown argument: ") + arg;
            return options;
        }
    }
    return options;
}

QString CommandLineHelp(const QString& settingsFile) {
    return QStringLiteral(
               "Usage: Registrator [--simulate] [--port DEVICE] [--web ADDRESS:PORT]\n"
               "\n"
               "Records and shows the currents of the plant's 72 motors.\n"
               "\n"
               "  --simulate      read a simulated plant instead of the parallel port; the caption says so\n"
               "  --port DEVICE   the parallel-port device on Linux (default /dev/parport0)\n"
               "  --web ADDRESS:PORT\n"
               "                  also serve a read-only web view of the panel, the motors' trends and the\n"
               "                  archive: 127.0.0.1:8080 for this computer only, 0.0.0.0:8080 for the "
               "network\n"
               "  --help          show this text\n"
               "\n"
               "Settings are kept in %1 beside the executable; the archive goes\n"
               "to Data/ under the working directory, which must exist for anything to be recorded.\n"
               "\n"
               "Exit status: 0 after an orderly end; 1 when the parallel port could not be opened; 2 when "
               "the\n"
               "command line is wrong; 3 when another running program has this settings file or archive "
               "folder.\n")
        .arg(settingsFile);
}

} // namespace registrator::ui

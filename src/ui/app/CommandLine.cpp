#include "ui/app/CommandLine.h"

#include <QHostAddress>
#include <QRegularExpression>

namespace registrator::ui {

namespace {

const char* const kWebUsage = "--web needs ADDRESS:PORT, for example --web 127.0.0.1:8080";
const char* const kWebUsersUsage =
    "--web-users needs a file, for example --web-users /etc/registrator/web-users";
const char* const kWebUserUsage = "--web-user needs a user's name, for example --web-user ivanov";
const char* const kCertificateUsage = "--web-certificate needs a PEM file or self, --web-key a PEM file";
const char* const kModbusUsage = "--modbus needs ADDRESS:PORT, for example --modbus 0.0.0.0:502";
const char* const kUnitUsage = "--modbus-unit needs a unit identifier from 1 to 247";
const char* const kOrderUsage = "--modbus-word-order needs high-first or low-first";
const char* const kAllowUsage =
    "--modbus-allow needs ADDRESS[/BITS][,...], for example --modbus-allow 10.0.0.0/8,192.168.1.20";
const char* const kMqttUsage = "--mqtt needs mqtt://HOST[:PORT] or mqtts://HOST[:PORT]";
const char* const kMqttValueUsage = "--mqtt-station and --mqtt-credentials need a value";
const char* const kRateUsage = "--mqtt-rate needs records a second, 0 for no limit";
const char* const kServiceUsage = "--service needs install, remove or status";
const char* const kPortUsage = "--port needs a device, for example --port /dev/parport0";

// "127.0.0.1:8080", "0.0.0.0:8080" or "[::1]:8080": a numeric address, so nothing is looked up.
bool ParseEndpoint(const QString& text, QString& address, quint16& port, bool ipv4Only) {
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    bool ok = false;
    const uint number = text.mid(colon + 1).toUInt(&ok);
    const QHostAddress parsed(host);
    if (!ok || number == 0 || number > 65535 || parsed.isNull() ||
        (ipv4Only && parsed.protocol() != QAbstractSocket::IPv4Protocol))
        return false;
    address = host;
    port = static_cast<quint16>(number);
    return true;
}

// "--name VALUE" or "--name=VALUE": true when `arg` is the option, with `value` set (empty when missing).
bool TakeValue(const QStringList& arguments, int& i, const char* name, QString& value) {
    const QString option = QString::fromLatin1(name);
    const QString& arg = arguments[i];
    if (arg == option) {
        value = i + 1 < arguments.size() ? arguments[++i] : QString();
        return true;
    }
    if (arg.startsWith(option + QLatin1Char('='))) {
        value = arg.mid(option.size() + 1);
        return true;
    }
    return false;
}

QString Refused(const char* usage, const QString& value) {
    QString text = QString::fromLatin1(usage);
    if (!value.isEmpty())
        text += QStringLiteral(" (got \"") + value + QStringLiteral("\")");
    return text;
}

} // namespace

CommandLineOptions ParseCommandLine(const QStringList& arguments) {
    CommandLineOptions options;
    qsizetype serviceWords = 0; // "--service ACTION" or "--service=ACTION"
    qsizetype webUserWords = 0; // of --web-user and --web-users
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        QString value;
        if (arg == QLatin1String("--simulate")) {
            options.Simulate = true;
        } else if (arg == QLatin1String("--headless")) {
            options.Headless = true;
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            options.ShowHelp = true;
        } else if (arg == QLatin1String("--version")) {
            options.ShowVersion = true;
        } else if (TakeValue(arguments, i, "--service", value)) {
            if (value != QLatin1String("install") && value != QLatin1String("remove") &&
                value != QLatin1String("status") && value != QLatin1String("run")) {
                options.Error = Refused(kServiceUsage, value);
                return options;
            }
            options.Service = value;
            serviceWords = arg.contains(QLatin1Char('=')) ? 1 : 2;
        } else if (TakeValue(arguments, i, "--port", value)) {
            if (value.isEmpty()) {
                options.Error = QString::fromLatin1(kPortUsage);
                return options;
            }
            options.PortDevice = value;
        } else if (TakeValue(arguments, i, "--web", value)) {
            if (!ParseEndpoint(value, options.WebAddress, options.WebPort, false)) {
                options.Error = Refused(kWebUsage, value);
                return options;
            }
        } else if (TakeValue(arguments, i, "--web-users", value) ||
                   TakeValue(arguments, i, "--web-user", value)) {
            const bool file = arg.startsWith(QLatin1String("--web-users"));
            if (value.isEmpty()) {
                options.Error = QString::fromLatin1(file ? kWebUsersUsage : kWebUserUsage);
                return options;
            }
            (file ? options.WebUsers : options.WebUser) = value;
            webUserWords += arg.contains(QLatin1Char('=')) ? 1 : 2;
        } else if (arg == QLatin1String("--web-open-metrics")) {
            options.WebOpenMetrics = true;
        } else if (arg == QLatin1String("--web-allow-plain-login")) {
            options.WebAllowPlainLogin = true;
        } else if (TakeValue(arguments, i, "--web-certificate", value) ||
                   TakeValue(arguments, i, "--web-key", value)) {
            if (value.isEmpty()) {
                options.Error = Refused(kCertificateUsage, value);
                return options;
            }
            (arg.startsWith(QLatin1String("--web-key")) ? options.WebKey : options.WebCertificate) = value;
        } else if (TakeValue(arguments, i, "--modbus", value)) {
            if (!ParseEndpoint(value, options.ModbusAddress, options.ModbusPort, true)) {
                options.Error = Refused(kModbusUsage, value);
                return options;
            }
        } else if (TakeValue(arguments, i, "--modbus-unit", value)) {
            bool ok = false;
            const int unit = value.toInt(&ok);
            if (!ok || unit < 1 || unit > 247) {
                options.Error = Refused(kUnitUsage, value);
                return options;
            }
            options.ModbusUnit = unit;
        } else if (TakeValue(arguments, i, "--modbus-word-order", value)) {
            if (value != QLatin1String("high-first") && value != QLatin1String("low-first")) {
                options.Error = Refused(kOrderUsage, value);
                return options;
            }
            options.ModbusLowWordFirst = value == QLatin1String("low-first");
        } else if (TakeValue(arguments, i, "--modbus-allow", value)) {
            std::string bad;
            if (!integration::ParseAllowedAddresses(value.toStdString(), options.ModbusAllowed, bad)) {
                options.Error = QString::fromLatin1(kAllowUsage) + QStringLiteral(" (\"") +
                                QString::fromStdString(bad) + QStringLiteral("\" is no address or network)");
                return options;
            }
        } else if (TakeValue(arguments, i, "--mqtt", value)) {
            if (!(value.startsWith(QLatin1String("mqtt://")) ||
                  value.startsWith(QLatin1String("mqtts://"))) ||
                value.size() <= 8) {
                options.Error = Refused(kMqttUsage, value);
                return options;
            }
            options.MqttUrl = value;
        } else if (TakeValue(arguments, i, "--mqtt-station", value) ||
                   TakeValue(arguments, i, "--mqtt-credentials", value)) {
            if (value.isEmpty() || (arg.startsWith(QLatin1String("--mqtt-station")) &&
                                    value.contains(QRegularExpression(QStringLiteral("[/#+\\s]"))))) {
                options.Error = Refused(kMqttValueUsage, value);
                return options;
            }
            (arg.startsWith(QLatin1String("--mqtt-station")) ? options.MqttStation
                                                             : options.MqttCredentials) = value;
        } else if (TakeValue(arguments, i, "--mqtt-rate", value)) {
            bool ok = false;
            const double rate = value.toDouble(&ok);
            if (!ok || rate < 0 || rate > 1e6) {
                options.Error = Refused(kRateUsage, value);
                return options;
            }
            options.MqttRate = rate;
        } else {
            options.Error = QStringLiteral("unknown argument: ") + arg;
            return options;
        }
    }
    // Options that would do nothing are a mistake to be told of, not passed over.
    if (!options.WebUser.isEmpty() && arguments.size() - 1 > webUserWords)
        options.Error = QStringLiteral("--web-user takes no other option but --web-users");
    else if ((options.WebOpenMetrics || options.WebAllowPlainLogin) && options.WebUsers.isEmpty())
        options.Error = QStringLiteral("--web-open-metrics and --web-allow-plain-login go with --web-users");
    else if (!options.WebUsers.isEmpty() && options.WebUser.isEmpty() && options.WebAddress.isEmpty())
        options.Error = QStringLiteral("--web-users goes with --web");
    else if (!options.WebCertificate.isEmpty() || !options.WebKey.isEmpty()) {
        const bool own = options.WebCertificate == QLatin1String("self");
        if (options.WebAddress.isEmpty())
            options.Error = QStringLiteral("--web-certificate and --web-key go with --web ADDRESS:PORT");
        else if (own && !options.WebKey.isEmpty())
            options.Error = QStringLiteral("--web-certificate self makes its own key: leave out --web-key");
        else if (!own && (options.WebCertificate.isEmpty() || options.WebKey.isEmpty()))
            options.Error = QStringLiteral("--web-certificate FILE needs --web-key FILE (or give "
                                           "--web-certificate self)");
    }
    if (!options.Error.isEmpty())
        return options;
    // Only an install takes the recorder's options, which its service is then started with.
    if ((options.Service == QLatin1String("remove") || options.Service == QLatin1String("status")) &&
        arguments.size() - 1 > serviceWords)
        options.Error =
            QStringLiteral("--service ") + options.Service + QStringLiteral(" takes no other option");
    return options;
}

QString CommandLineHelp(const QString& settingsFile) {
    return QStringLiteral(
               "Usage: Registrator [--headless] [--simulate] [--port DEVICE] [--web ADDRESS:PORT] [--modbus "
               "ADDRESS:PORT]\n"
               "                   [--mqtt URL] [--service install|remove|status]\n"
               "       Registrator --web-user NAME [--web-users FILE]\n"
               "\n"
               "Records and shows the currents of the plant's 72 motors.\n"
               "\n"
               "  --headless      record without any window or display, as a service does; what a box would\n"
               "                  say goes to standard error and to the status the servers give; SIGTERM "
               "ends it\n"
               "  --simulate      read a simulated plant instead of the parallel port; the caption says so\n"
               "  --port DEVICE   the parallel-port device on Linux (default /dev/parport0)\n"
               "  --web ADDRESS:PORT\n"
               "                  also serve a read-only web view of the panel, the motors' trends and the\n"
               "                  archive: 127.0.0.1:8080 for this computer only, 0.0.0.0:8080 for the "
               "network\n"
               "  --web-users FILE  only the users of this file may see the web view (HTTP Basic log-in "
               "over\n"
               "                  HTTPS); /health stays open. Without it the web view is open to all\n"
               "  --web-open-metrics  /metrics without a log-in too, for a scraper on a trusted network\n"
               "  --web-allow-plain-login  log-ins over plain HTTP too, where passwords cross the network\n"
               "                  readable by anyone on the way\n"
               "  --web-user NAME [--web-users FILE]\n"
               "                  ask twice for the user's password and write it into the users file\n"
               "                  (default: web-users beside the settings file), then end\n"
               "  --web-certificate FILE|self\n"
               "                  serve the web view over HTTPS only (TLS 1.2 and newer) with this PEM "
               "certificate\n"
               "                  and --web-key; self: the station's own, made on first start beside the "
               "settings\n"
               "                  file, its fingerprint on standard error. Linux only for now\n"
               "  --web-key FILE  the certificate's PEM private key, unencrypted, readable by its owner "
               "only\n"
               "  --modbus ADDRESS:PORT\n"
               "                  also serve the currents, raw counts, states and status read-only over "
               "Modbus\n"
               "                  TCP: 0.0.0.0:502 for the plant network (a port below 1024 needs the "
               "right)\n"
               "  --modbus-unit N the unit identifier answered (default 1)\n"
               "  --modbus-word-order high-first|low-first\n"
               "                  how 32-bit values lie in two registers (default high-first)\n"
               "  --modbus-allow ADDRESS[/BITS][,...]\n"
               "                  serve only Modbus clients from these IPv4 or IPv6 addresses and networks,\n"
               "                  10.0.0.0/8,192.168.1.20 for example; others are closed unanswered and "
               "counted\n"
               "  --mqtt URL      also publish every record to an MQTT broker, mqtt://HOST[:PORT] or\n"
               "                  mqtts://HOST[:PORT]; what the broker has not acknowledged is sent when it "
               "is back\n"
               "  --mqtt-station NAME  the station's name in the topics (default: this computer's name)\n"
               "  --mqtt-credentials FILE  a file holding user:password, readable by its owner only\n"
               "  --mqtt-rate N   records a second at most while catching up (default 200, 0: no limit)\n"
               "  --service install|remove|status\n"
               "                  Windows: register this program as the service \"Registrator\" (automatic "
               "start,\n"
               "                  restarted when it fails), recording without windows in this folder with "
               "the\n"
               "                  other options given here; remove it; say whether it runs (status 0 when "
               "it\n"
               "                  does, 1 when not). Installing and removing need an administrator\n"
               "  --help          show this text\n"
               "  --version       show the program's version\n"
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

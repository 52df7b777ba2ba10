#pragma once

#include "integration/AllowedAddresses.h"

#include <QString>
#include <QStringList>

namespace registrator::ui {

struct CommandLineOptions {
    bool Simulate = false;
    bool Headless = false; // no windows, no display: a QCoreApplication
    QString PortDevice;
    bool ShowHelp = false;
    bool ShowVersion = false;
    // --service install|remove|status, or run when the Windows service control manager starts it.
    QString Service;
    // --web ADDRESS:PORT; an empty address leaves the web view off.
    QString WebAddress;
    quint16 WebPort = 0;
    // --web-users FILE and its companions: who may log in to the web view; empty leaves it open.
    QString WebUsers;
    bool WebOpenMetrics = false;
    bool WebAllowPlainLogin = false;
    // --web-user NAME: set that user's password in the users file, and end.
    QString WebUser;
    // --web-certificate FILE|self and --web-key FILE: HTTPS only; empty for plain HTTP.
    QString WebCertificate;
    QString WebKey;
    // --modbus ADDRESS:PORT (IPv4); an empty address leaves the Modbus server off.
    QString ModbusAddress;
    quint16 ModbusPort = 0;
    int ModbusUnit = 1;
    bool ModbusLowWordFirst = false;
    integration::AllowedAddresses ModbusAllowed; // --modbus-allow; no networks: every client
    // --mqtt URL and its companions; an empty URL leaves the publisher off.
    QString MqttUrl;
    QString MqttStation; // empty: the computer's name
    QString MqttCredentials;
    double MqttRate = 200;
    QString Error; // not empty when the arguments could not be understood
};

// `Registrator [--headless] [--simulate] [--port DEVICE] [--web ADDRESS:PORT [--web-certificate FILE|self
// [--web-key FILE]] [--web-users FILE [--web-open-metrics] [--web-allow-plain-login]]] [--web-user NAME
// [--web-users FILE]] [--modbus ADDRESS:PORT [--modbus-unit N] [--modbus-word-order high-first|low-first]
// [--modbus-allow ADDRESS[/BITS][,...]]] [--mqtt URL [--mqtt-station NAME] [--mqtt-credentials FILE]
// [--mqtt-rate N]] [--service install|remove|status] [--help] [--version]`; arguments[0] is the program.
CommandLineOptions ParseCommandLine(const QStringList& arguments);
// `settingsFile`: the settings file's full path, which the help names.
QString CommandLineHelp(const QString& settingsFile);

} // namespace registrator::ui

#pragma once

#include <QString>
#include <QStringList>

namespace registrator::ui {

struct CommandLineOptions {
    bool Simulate = false;
    QString PortDevice;
    bool ShowHelp = false;
    QString Error; // not empty when the arguments could not be understood
};

// `Registrator [--simulate] [--port DEVICE] [--help]`; arguments[0] is the program.
CommandLineOptions ParseCommandLine(const QStringList& arguments);
QString CommandLineHelp();

} // namespace registrator::ui

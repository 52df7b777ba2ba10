#include "ui/app/CommandLine.h"

namespace registrator::ui {

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
        } else {
            options.Error = QStringLiteral("unknown argument: ") + arg;
            return options;
        }
    }
    return options;
}

QString CommandLineHelp() {
    return QStringLiteral(
        "Usage: Registrator [--simulate] [--port DEVICE]\n"
        "\n"
        "Records and shows the currents of the plant's 72 motors.\n"
        "\n"
        "  --simulate      read a simulated plant instead of the parallel port; the caption says so\n"
        "  --port DEVICE   the parallel-port device on Linux (default /dev/parport0)\n"
        "  --help          show this text\n"
        "\n"
        "Settings are kept in <Title>.INI beside the executable; the archive goes to Data/ under the\n"
        "working directory, which must exist for anything to be recorded.\n");
}

} // namespace registrator::ui

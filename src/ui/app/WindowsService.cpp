#include "ui/app/WindowsService.h"

#include <QRegularExpression>

namespace registrator::ui {

QString QuoteWindowsArgument(const QString& argument) {
    if (!argument.isEmpty() && !argument.contains(QRegularExpression(QStringLiteral("[ \t\"]"))))
        return argument;
    QString quoted = QStringLiteral("\"");
    qsizetype backslashes = 0;
    for (const QChar c : argument) {
        if (c == QLatin1Char('\\')) {
            ++backslashes;
            continue;
        }
        // Backslashes are literal unless a quote follows them.
        quoted += QString(c == QLatin1Char('"') ? backslashes * 2 + 1 : backslashes, QLatin1Char('\\'));
        quoted += c;
        backslashes = 0;
    }
    // Those before the closing quote are doubled, so that it stays a closing quote.
    quoted += QString(backslashes * 2, QLatin1Char('\\'));
    quoted += QLatin1Char('"');
    return quoted;
}

QString ServiceCommandLine(const QString& executable, const QStringList& arguments) {
    QString line = QLatin1Char('"') + executable + QStringLiteral("\" --service run");
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QLatin1String("--service")) {
            ++i; // and its action
            continue;
        }
        // A service never has windows: --service run is headless of itself.
        if (arg.startsWith(QLatin1String("--service=")) || arg == QLatin1String("--headless"))
            continue;
        line += QLatin1Char(' ') + QuoteWindowsArgument(arg);
    }
    return line;
}

} // namespace registrator::ui

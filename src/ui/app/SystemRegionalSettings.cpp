#include "ui/app/SystemRegionalSettings.h"

#include <QRegularExpression>

namespace registrator::ui {

common::RegionalSettings RegionalSettingsOf(const QLocale& locale) {
    common::RegionalSettings settings;
    const QString point = locale.decimalPoint();
    settings.DecimalSeparator = point.size() == 1 && point[0].unicode() < 0x80 ? point[0].toLatin1() : '.';

    settings.ShortDateFormat = locale.dateFormat(QLocale::ShortFormat).toStdString();

    QString time = locale.timeFormat(QLocale::LongFormat);
    time.remove(QRegularExpression(QStringLiteral("\\s*(t+|[aA][pP]?)\\s*")));
    time.replace(QLatin1Char('h'), QLatin1Char('H'));
    settings.LongTimeFormat = time.trimmed().toStdString();
    if (settings.LongTimeFormat.empty())
        settings.LongTimeFormat = "H:mm:ss";
    return settings;
}

} // namespace registrator::ui

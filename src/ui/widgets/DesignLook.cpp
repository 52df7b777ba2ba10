#include "ui/widgets/DesignLook.h"

#include <QTabBar>

namespace registrator::ui {

QFont PixelFont(int pixels, bool bold, bool italic) {
    QFont font;
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

QString LiteralCaption(const QString& name) {
    QString literal = name;
    return literal.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QTabBar* MakeDesignTabBar(const QFont& font, QWidget* parent) {
    auto* tabs = new QTabBar(parent);
    tabs->setFont(font);
    tabs->setExpanding(false);
    tabs->setUsesScrollButtons(true);
    tabs->setElideMode(Qt::ElideNone);
    return tabs;
}

} // namespace registrator::ui

#pragma once

#include <QFont>
#include <QString>

class QTabBar;
class QWidget;

namespace registrator::ui {

// The system's font at a size in pixels, as the design gives every size.
QFont PixelFont(int pixels, bool bold, bool italic = false);

// A motor's name for a tab or a frame caption, where Qt takes '&' for a shortcut mark: shown as it is
// ("Насос 1&2", not "Насос 12").
QString LiteralCaption(const QString& name);

// A row of tabs that keeps every caption whole and scrolls when they do not fit, as the design's tab
// controls do.
QTabBar* MakeDesignTabBar(const QFont& font, QWidget* parent);

} // namespace registrator::ui

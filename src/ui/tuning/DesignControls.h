#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <Qt>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace registrator::ui {

// A tool window with only the system menu and the close box.
constexpr Qt::WindowFlags kToolWindowFlags = Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                             Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

// Times New Roman where the system has it, else its nearest serif.
QFont SerifFont(int pixels, bool bold);
QFont SansFont(int pixels, bool bold);

// A label sized to its text at (x, y); an invalid colour keeps the palette's.
QLabel* DesignLabel(QWidget* parent, const char* name, const QString& text, int x, int y, const QFont& font,
                    const QColor& colour = {});
QLineEdit* DesignEdit(QWidget* parent, const char* name, const QString& text, int x, int y, int width,
                      int height);
QPushButton* DesignButton(QWidget* parent, const char* name, const QString& text, int x, int y, int width,
                          int height);

// Smaller type, never a cut text, where the system's font runs a label into the control at `right`.
void FitBefore(QLabel& label, int right);

// Shows a hidden or covered window without making it modal.
void ShowModeless(QWidget& window);

} // namespace registrator::ui

#pragma once

#include <QColor>
#include <QFont>
#include <QSize>
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

// Smaller type where the button's text would run into its frame (a wide font, a style's margins).
void FitButtonText(QPushButton& button);

// Where a text that does not fit may break into lines: sentences at any size, a number only once
// the type is as small as it may get.
enum class LineBreaks { AnySize, SmallestOnly };

// `text` in the label at its place, as large as it fits `room` (width and height from the label's
// left top), from `font` down to `smallest` pixels; lines break at blanks, a word wider than the room
// anywhere. At `smallest` nothing shrinks further: the label takes more lines, growing downwards, so
// that no character is ever cut.
void FitWithin(QLabel& label, const QString& text, const QFont& font, QSize room, int smallest,
               LineBreaks breaks);

// Shows a hidden or covered window without making it modal.
void ShowModeless(QWidget& window);

} // namespace registrator::ui

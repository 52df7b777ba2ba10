#include "ui/tuning/DesignControls.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

namespace registrator::ui {

QFont SerifFont(int pixels, bool bold) {
    QFont font;
    // Times New Roman is narrow; where it is missing, the look-alikes and then a condensed serif keep
    // the designed texts clear of the controls beside them.
    font.setFamilies({QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"),
                      QStringLiteral("Tinos"), QStringLiteral("DejaVu Serif Condensed")});
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QFont SansFont(int pixels, bool bold) {
    QFont font;
    // Windows' own sans-serif of the designed sizes; elsewhere the common one (a family list skips
    // fontconfig's "Sans Serif" alias, so it is named).
    font.setFamilies({QStringLiteral("Microsoft Sans Serif"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QLabel* DesignLabel(QWidget* parent, const char* name, const QString& text, int x, int y, const QFont& font,
                    const QColor& colour) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(font);
    if (colour.isValid()) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, colour);
        label->setPalette(palette);
    }
    label->adjustSize();
    label->move(x, y);
    return label;
}

QLineEdit* DesignEdit(QWidget* parent, const char* name, const QString& text, int x, int y, int width,
                      int height) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(x, y, width, height);
    return edit;
}

QPushButton* DesignButton(QWidget* parent, const char* name, const QString& text, int x, int y, int width,
                          int height) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(x, y, width, height);
    return button;
}

void FitBefore(QLabel& label, int right) {
    while (label.x() + label.width() > right && label.font().pixelSize() > 8) {
        QFont smaller = label.font();
        smaller.setPixelSize(smaller.pixelSize() - 1);
        label.setFont(smaller);
        label.adjustSize();
    }
}

void FitButtonText(QPushButton& button) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    const int room =
        button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button).width() - 4;
    while (button.fontMetrics().horizontalAdvance(button.text()) > room && button.font().pixelSize() > 8) {
        QFont smaller = button.font();
        smaller.setPixelSize(smaller.pixelSize() - 1);
        button.setFont(smaller);
    }
}

namespace {

QStringList BrokenLines(const QString& text, const QFontMetrics& metrics, int width) {
    QStringList lines;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        if (metrics.horizontalAdvance(paragraph) <= width) {
            lines << paragraph;
            continue;
        }
        QString line;
        for (const QString& word : paragraph.split(QLatin1Char(' '))) {
            const QString joined = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
            if (metrics.horizontalAdvance(joined) <= width) {
                line = joined;
                continue;
            }
            if (!line.isEmpty())
                lines << line;
            line.clear();
            for (const QChar c : word) {
                if (!line.isEmpty() && metrics.horizontalAdvance(line + c) > width) {
                    lines << line;
                    line.clear();
                }
                line += c;
            }
        }
        lines << line;
    }
    return lines;
}

} // namespace

void FitWithin(QLabel& label, const QString& text, const QFont& font, QSize room, int smallest,
               LineBreaks breaks) {
    QFont sized = font;
    for (int pixels = font.pixelSize();; --pixels) {
        sized.setPixelSize(pixels);
        label.setFont(sized);
        const bool last = pixels <= smallest;
        label.setText(last || breaks == LineBreaks::AnySize
                          ? BrokenLines(text, QFontMetrics(sized), room.width()).join(QLatin1Char('\n'))
                          : text);
        label.adjustSize();
        if (last || (label.width() <= room.width() && label.height() <= room.height()))
            return;
    }
}

void ShowModeless(QWidget& window) {
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace registrator::ui

#include "ui/tuning/ScanTimingWindow.h"

#include "monitor/AvgCountText.h"
#include "ui/tuning/DesignControls.h"
#include "ui/widgets/ScreenPlacement.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QTimer>

namespace registrator::ui {

namespace {

// The design's bold serif: Windows' own, else the common one (a family list skips fontconfig's
// "Serif" alias, so it is named).
QFont BoldSerif(int pixels) {
    QFont font;
    font.setFamilies({QStringLiteral("Times New Roman"), QStringLiteral("DejaVu Serif")});
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(pixels);
    font.setBold(true);
    return font;
}

QGroupBox* Group(QWidget* parent, const char* name, const QString& title, int x, int y) {
    auto* group = new QGroupBox(title, parent);
    group->setObjectName(QString::fromLatin1(name));
    group->setFont(SansFont(13, true));
    group->setGeometry(x, y, 257, 65);
    return group;
}

QLabel* Label(QWidget* parent, const char* name, const QString& text, int x, int y, const QFont& font) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(font);
    label->adjustSize();
    label->move(x, y);
    return label;
}

QSpinBox* Spin(QWidget* parent, const char* name, int minimum, int maximum, int position) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(QString::fromLatin1(name));
    spin->setRange(minimum, maximum);
    spin->setValue(position);
    spin->setFont(SansFont(11, false));
    spin->setGeometry(16, 24, 57 + 16, 24);
    return spin;
}

void SetIntervalIfChanged(QTimer& timer, int ms) {
    // A timer keeps its running interval undisturbed unless the value really changes.
    if (timer.interval() != ms)
        timer.setInterval(ms);
}

} // namespace

ScanTimingWindow::ScanTimingWindow(channels::ChannelData& data, QTimer& timer1, QTimer& timer2,
                                   common::OperatorMessages& messages, service::HandlerGuard& guard,
                                   QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      data_(data), timer1_(timer1), timer2_(timer2), messages_(messages), guard_(guard) {
    setObjectName(QStringLiteral("skorost"));
    setWindowTitle(QStringLiteral("скорость"));
    setFont(SansFont(11, false));
    setFixedSize(282, 278);
    MoveToDesignPosition(*this, QPoint(374, 317));
    const QFont labelFont = SansFont(13, true);

    auto* group8 = Group(this, "GroupBox8", QStringLiteral("скорость записи"), 8, 8);
    upDown1_ = Spin(group8, "UpDown1", 100, 30000, 100);
    Label(group8, "Label3", QStringLiteral("*10"), 96, 32, labelFont);
    Label(group8, "Label1", QStringLiteral("Милисек."), 128, 32, labelFont);

    auto* group1 = Group(this, "GroupBox1", QStringLiteral("скорость сканирования"), 12, 84);
    upDown2_ = Spin(group1, "UpDown2", 1, 5000, 10);
    Label(group1, "Label2", QStringLiteral("Милисек."), 96, 32, labelFont);

    auto* group2 = Group(this, "GroupBox2", QStringLiteral("среднее арифметическое"), 12, 160);
    QLabel* formula = Label(group2, "Label17", QStringLiteral("(n1+n2+nn)/n"), 12, 27, BoldSerif(19));
    // The design's serif is narrower than most; the formula must end before the "n" beside it.
    FitBefore(*formula, 148);
    Label(group2, "Label19", QStringLiteral("n"), 152, 18, BoldSerif(27));
    Label(group2, "Label18", QStringLiteral("-"), 176, 18, BoldSerif(27));
    maskEdit7_ = new QLineEdit(QStringLiteral("  5"), group2);
    maskEdit7_->setObjectName(QStringLiteral("MaskEdit7"));
    maskEdit7_->setFont(SansFont(15, true));
    maskEdit7_->setGeometry(201, 25, 36, 24);
    maskEdit7_->setMaxLength(3);
    maskEdit7_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9 ]{0,3}")), maskEdit7_));

    auto* apply = new QPushButton(QStringLiteral("применить"), this);
    apply->setObjectName(QStringLiteral("BitBtn3"));
    apply->setFont(SansFont(12, true));
    apply->setGeometry(40, 240, 75, 25);
    FitButtonText(*apply);
    connect(apply, &QPushButton::clicked, this, &ScanTimingWindow::BitBtn3Click);

    auto* close = new QPushButton(QStringLiteral("закрыть"), this);
    close->setObjectName(QStringLiteral("BitBtn1"));
    close->setFont(SansFont(12, true));
    close->setGeometry(164, 240, 75, 25);
    FitButtonText(*close);
    connect(close, &QPushButton::clicked, this, &ScanTimingWindow::BitBtn1Click);
}

void ScanTimingWindow::ShowModeless() {
    show();
    raise();
    activateWindow();
}

void ScanTimingWindow::ResetAvgCountField() {
    maskEdit7_->setText(QStringLiteral("5"));
}

void ScanTimingWindow::BitBtn3Click() {
    guard_([&] {
        const events::ScanTiming before = InForce();
        Apply();
        emit applied(before, InForce());
    });
}

events::ScanTiming ScanTimingWindow::InForce() const {
    return {timer1_.interval(), timer2_.interval(), data_.AvgCount};
}

void ScanTimingWindow::BitBtn1Click() {
    guard_([&] { hide(); });
}

void ScanTimingWindow::Apply() {
    SetIntervalIfChanged(timer1_, upDown2_->value());
    SetIntervalIfChanged(timer2_, upDown1_->value() * 10);

    const QString text = maskEdit7_->text();
    // Only a truly empty field is passed over; blanks alone are a bad number like any other.
    if (text.isEmpty())
        return;
    const auto count = monitor::ParseAvgCount(text.toStdString());
    if (!count) {
        messages_.Show("Ошибочная запись числа или деление на ноль: " + text.toStdString());
        maskEdit7_->setText(QString::number(data_.AvgCount));
        maskEdit7_->selectAll();
        maskEdit7_->setFocus();
        return;
    }
    data_.AvgCount = *count;
}

} // namespace registrator::ui

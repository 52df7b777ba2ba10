#include "ui/monitor/SectionWindow.h"

#include "common/NumberText.h"
#include "ui/monitor/MotorPicture.h"
#include "ui/monitor/TokGridModel.h"
#include "ui/widgets/DesignLook.h"
#include "ui/widgets/MotorTrendChart.h"
#include "ui/widgets/StringGrid.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QVBoxLayout>
#include <utility>

namespace registrator::ui {

namespace {

const QColor kCaptionGreen(0, 128, 0);

QLabel* Panel(QWidget* parent, const QString& text, const QRect& geometry) {
    auto* panel = new QLabel(text, parent);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setAlignment(Qt::AlignCenter);
    panel->setFont(PixelFont(13, true));
    QPalette palette = panel->palette();
    palette.setColor(QPalette::WindowText, kCaptionGreen);
    panel->setPalette(palette);
    panel->setGeometry(geometry);
    return panel;
}

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

SectionWindow::SectionWindow(channels::ChannelData& data, const common::RegionalSettings& regional,
                             service::HandlerGuard& guard, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      data_(data), regional_(regional), guard_(guard) {
    setObjectName(QStringLiteral("F_grafik"));
    setWindowTitle(QStringLiteral("ГРАФИК"));
    setFixedSize(862, 530);

    BuildSettingsFrame();
    BuildGrid();

    auto* picture = new MotorPicture(this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setGeometry(560, 6, 117, 97);
    bitBtn1_ = new QPushButton(QStringLiteral("обновить"), this);
    bitBtn1_->setObjectName(QStringLiteral("BitBtn1"));
    bitBtn1_->setGeometry(540, 114, 75, 25);
    button1_ = new QPushButton(QStringLiteral("закрыть"), this);
    button1_->setObjectName(QStringLiteral("Button1"));
    button1_->setGeometry(622, 114, 75, 25);
    connect(bitBtn1_, &QPushButton::clicked, this, &SectionWindow::BitBtn1Click);
    connect(button1_, &QPushButton::clicked, this, &SectionWindow::Button1Click);

    BuildMotorFrame();
}

SectionWindow::~SectionWindow() = default;

TrendChart* SectionWindow::Chart1() const {
    return chart1_;
}

void SectionWindow::BuildSettingsFrame() {
    auto* frame = new QGroupBox(QStringLiteral("Уставки"), this);
    frame->setObjectName(QStringLiteral("GroupBox2"));
    frame->setGeometry(4, 4, 297, 141);
    const QString captions[] = {QStringLiteral("Ток номинальный (А)"), QStringLiteral("Ток критический (А)"),
                                QStringLiteral("Мощность (кВт)")};
    const char* names[] = {"Lb_tok_nom", "Lb_tok_max", "Lb_moshn"};
    QLabel* values[3] = {};
    for (int i = 0; i < 3; ++i) {
        const int top = 22 + 38 * i;
        Panel(frame, captions[i], QRect(8, top, 196, 33))
            ->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        values[i] = Panel(frame, QStringLiteral("00000"), QRect(210, top, 79, 33));
        values[i]->setObjectName(QString::fromLatin1(names[i]));
    }
    lbTokNom_ = values[0];
    lbTokMax_ = values[1];
    lbMoshn_ = values[2];
}

void SectionWindow::BuildGrid() {
    gridModel_ = new TokGridModel(regional_, this);
    stringGrid1_ = MakeStringGrid(gridModel_, 64, this);
    stringGrid1_->setGeometry(308, 8, 217, 133);
    stringGrid1_->setSelectionMode(QAbstractItemView::NoSelection);
    stringGrid1_->setFocusPolicy(Qt::NoFocus);
}

void SectionWindow::BuildMotorFrame() {
    groupBox1_ = new QGroupBox(QStringLiteral("Двигатель"), this);
    groupBox1_->setObjectName(QStringLiteral("GroupBox1"));
    groupBox1_->setFont(PixelFont(16, true));
    groupBox1_->setGeometry(4, 156, 853, 369);

    tabControl1_ = MakeDesignTabBar(PixelFont(12, false), groupBox1_);
    tabControl1_->setObjectName(QStringLiteral("TabControl1"));
    for (int i = 1; i <= channels::kChannelsPerSection; ++i)
        tabControl1_->addTab(QString::number(i));
    tabControl1_->setCurrentIndex(0);

    chart1_ = new MotorTrendChart(regional_, MotorTrendChart::Look::Live, groupBox1_);
    chart1_->setObjectName(QStringLiteral("Chart1"));

    auto* layout = new QVBoxLayout(groupBox1_);
    layout->setContentsMargins(6, 4, 6, 6);
    layout->setSpacing(0);
    layout->addWidget(tabControl1_);
    layout->addWidget(chart1_, 1);
    // Connected only now: building the tabs selects the first one, which is no operator's choice.
    connect(tabControl1_, &QTabBar::currentChanged, this, &SectionWindow::TabControl1Change);
}

void SectionWindow::ShowModeless() {
    show();
    raise();
    activateWindow();
}

void SectionWindow::OpenSection(int section) {
    if (section < 1 || section > channels::kSectionCount)
        return;
    ShowModeless();
    gridModel_->SetHeaders(QStringLiteral("ток"), QStringLiteral("превыш."));
    const int first = channels::FirstChannelOfSection(section);
    for (int i = 0; i < channels::kChannelsPerSection; ++i)
        tabControl1_->setTabText(
            i, LiteralCaption(QString::fromStdString(data_.Ustavki[first + i].Name.Utf8())));
    setWindowTitle(Utf8(channels::SectionName(section)));
}

void SectionWindow::ShowChannelFields(int channel) {
    const channels::TUstavka& ustavka = data_.Ustavki[channel];
    const QString name = QString::fromStdString(ustavka.Name.Utf8());
    chart1_->SetTitle(name);
    groupBox1_->setTitle(LiteralCaption(name));
    lbTokNom_->setText(
        QString::fromStdString(common::FloatToText(ustavka.T_Nom, regional_.DecimalSeparator)));
    lbTokMax_->setText(
        QString::fromStdString(common::FloatToText(ustavka.T_Max, regional_.DecimalSeparator)));
    lbMoshn_->setText(QString::fromStdString(common::IntToText(ustavka.Moshn)));
}

void SectionWindow::RefreshMotor() {
    const int section = data_.SelSection;
    if (section < 1 || section > channels::kSectionCount)
        return;
    const int channel = channels::FirstChannelOfSection(section) + tabControl1_->currentIndex();
    emit selectChannelRequested(channel);
    PlotChannel(channel);
    gridModel_->ShowSlots(data_.TokHistory, channel, data_.TokIndex);
}

void SectionWindow::PlotChannel(int channel) {
    if (channel < 1 || channel > channels::kChannelCount)
        return;
    ShowModeless();
    const channels::TTokSlot* ring = data_.TokHistory.Ring(channel);
    const channels::TUstavka& ustavka = data_.Ustavki[channel];
    // Point 1 is the current slot, points 2..3000 run from the oldest slot to the last completed one.
    chart1_->ShowMotor(channels::kRingSize, ustavka.T_Nom, ustavka.T_Max, [&](qsizetype i) {
        const channels::TTokSlot& slot = ring[(data_.TokIndex + i) % channels::kRingSize];
        return std::pair<double, double>(slot.Value, slot.Time);
    });
}

// The operator picked another motor's tab.
void SectionWindow::TabControl1Change() {
    guard_([&] { RefreshMotor(); });
}

// The operator pressed "обновить".
void SectionWindow::BitBtn1Click() {
    guard_([&] { RefreshMotor(); });
}

// The operator pressed "закрыть".
void SectionWindow::Button1Click() {
    hide();
}

} // namespace registrator::ui

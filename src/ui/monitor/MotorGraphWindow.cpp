#include "ui/monitor/MotorGraphWindow.h"

#include "common/NumberText.h"
#include "ui/monitor/MotorPicture.h"
#include "ui/widgets/DesignLook.h"
#include "ui/widgets/MotorTrendChart.h"

#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace registrator::ui {

namespace {

QLabel* Panel(QWidget* parent, const char* name, const QString& text, const QRect& geometry) {
    auto* panel = new QLabel(text, parent);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setAlignment(Qt::AlignCenter);
    panel->setFont(PixelFont(14, true));
    panel->setGeometry(geometry);
    return panel;
}

} // namespace

MotorGraphWindow::MotorGraphWindow(const channels::ChannelData& data,
                                   const common::RegionalSettings& regional, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      data_(data), regional_(regional) {
    setObjectName(QStringLiteral("F_GRAF"));
    setWindowTitle(QStringLiteral("график"));
    setFixedSize(870, 432);

    auto* motor = new QGroupBox(QStringLiteral("Дробилка грубого помола"), this);
    motor->setObjectName(QStringLiteral("Name_Dvig"));
    motor->setGeometry(8, 4, 854, 121);
    motor->setAutoFillBackground(true);
    QPalette silver = motor->palette();
    silver.setColor(QPalette::Window, QColor(192, 192, 192));
    silver.setColor(QPalette::WindowText, QColor(0, 128, 0));
    motor->setPalette(silver);
    motor->setFont(PixelFont(16, true, true));

    Panel(motor, "Panel1", QStringLiteral("Мощность"), QRect(16, 32, 120, 33));
    plMoshnost_ = Panel(motor, "Pl_moshnost", QStringLiteral("4"), QRect(140, 32, 72, 33));
    Panel(motor, "Panel2", QStringLiteral("Ток ном."), QRect(16, 72, 120, 33));
    plNom_ = Panel(motor, "Pl_nom", QStringLiteral("9,2"), QRect(140, 72, 72, 33));
    auto* picture = new MotorPicture(motor);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setGeometry(720, 18, 117, 97);

    auto* graph = new QGroupBox(QStringLiteral("график"), this);
    graph->setObjectName(QStringLiteral("GroupBox1"));
    graph->setGeometry(8, 130, 854, 296);
    chart_ = new MotorTrendChart(regional_, MotorTrendChart::Look::Live, graph);
    chart_->setObjectName(QStringLiteral("Chart1"));
    chart_->SetTitle(QStringLiteral("ток"));
    auto* layout = new QVBoxLayout(graph);
    layout->setContentsMargins(6, 4, 6, 6);
    layout->addWidget(chart_);
}

void MotorGraphWindow::ShowChannelFields(int channel) {
    plNom_->setText(QString::fromStdString(
        common::FloatToText(data_.Ustavki[channel].T_Nom, regional_.DecimalSeparator)));
}

} // namespace registrator::ui

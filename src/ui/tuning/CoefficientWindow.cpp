#include "ui/tuning/CoefficientWindow.h"

#include "common/NumberText.h"
#include "tuning/Calibration.h"
#include "tuning/Coefficients.h"
#include "ui/tuning/DesignControls.h"
#include "ui/widgets/ScreenPlacement.h"

#include <QAction>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <algorithm>

namespace registrator::ui {

namespace {

constexpr QSize kClientSize(656, 370);
// Each result ends before what stands to its right: Label6 before "B=", Label7 before "Расчёт";
// down to the prompts' smallest type on one line, then on more.
constexpr int kResultTop = 308;
constexpr QSize kLabel6Room(232 - 4 - 96, 26);
constexpr QSize kLabel7Room(376 - 4 - 280, 26);
// The check line ends above the result row.
constexpr QSize kCheckRoom(640, 306 - 268);

QString Shown(double value, char separator) {
    return QString::fromStdString(common::FloatToTextFourDecimals(value, separator));
}

} // namespace

CoefficientWindow::CoefficientWindow(common::RegionalSettings regional, common::OperatorMessages& messages,
                                     service::HandlerGuard& guard, QWidget* parent)
    : QMainWindow(parent, kToolWindowFlags), regional_(std::move(regional)), messages_(messages),
      guard_(guard) {
    setObjectName(QStringLiteral("F_razchet"));
    setWindowTitle(QStringLiteral("Расчёт коэффициентов"));
    setFont(SansFont(11, false));

    QAction* about = menuBar()->addAction(QStringLiteral("о программе"));
    about->setObjectName(QStringLiteral("N1"));
    connect(about, &QAction::triggered, this, &CoefficientWindow::N1Click);

    client_ = new QWidget(this);
    QWidget* client = client_;
    client->setFixedSize(kClientSize);
    setCentralWidget(client);
    const QFont title = SerifFont(19, true);
    const QFont prompt = SansFont(13, true);

    // The prompts end before the controls to their right, whatever the system's font.
    const auto text = [&](const char* name, const QString& text, int x, int y, const QFont& font, int right) {
        FitBefore(*DesignLabel(client, name, text, x, y, font), right);
    };
    text("Label5", QStringLiteral("Расчёт коэффициентов уравнения  y=k*x-b"), 120, 12, title, 654);
    text("Label1", QStringLiteral("Введите значение первой точки X1 (А)"), 8, 64, prompt, 320);
    edits_[0] = DesignEdit(client, "Edit1", QString(), 92, 88, 121, 21);
    text("Label2", QStringLiteral("Введите значение тока первой точки  Y1(А)"), 324, 64, prompt, 654);
    edits_[1] = DesignEdit(client, "Edit2", QString(), 324, 88, 121, 21);
    text("Label3", QStringLiteral("Введите значение второй точки  X2(А)"), 8, 184, prompt, 320);
    edits_[2] = DesignEdit(client, "Edit3", QString(), 92, 224, 121, 21);
    text("Label4", QStringLiteral("Введите значение тока второй точки  Y2(А)"), 324, 184, prompt, 654);
    edits_[3] = DesignEdit(client, "Edit4", QString(), 324, 224, 121, 21);

    // Not a designed control: both points put back through the line as shown, to check it at a glance.
    checkLine_ = DesignLabel(client, "CheckLine", QString(), 8, 268, SansFont(12, false));

    DesignLabel(client, "Label8", QStringLiteral("K="), 44, kResultTop, title);
    label6_ = DesignLabel(client, "Label6", QStringLiteral("0000"), 96, kResultTop, title);
    DesignLabel(client, "Label9", QStringLiteral("B="), 232, kResultTop, title);
    label7_ = DesignLabel(client, "Label7", QStringLiteral("0000"), 280, kResultTop, title);

    QPushButton* calculate = DesignButton(client, "Button1", QStringLiteral("Расчёт"), 376, 312, 75, 25);
    QPushButton* close = DesignButton(client, "BitBtn1", QStringLiteral("Закрыть"), 504, 312, 75, 25);
    FitButtonText(*calculate);
    FitButtonText(*close);
    connect(calculate, &QPushButton::clicked, this, &CoefficientWindow::Button1Click);
    connect(close, &QPushButton::clicked, this, &CoefficientWindow::BitBtn1Click);

    QWidget* order[] = {calculate, edits_[0], edits_[1], edits_[2], edits_[3], close};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    FitToClient();
    MoveToDesignPosition(*this, QPoint(706, 270));
}

void CoefficientWindow::FitToClient() {
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    adjustSize();
    setFixedSize(size());
}

void CoefficientWindow::ShowResult(QLabel& label, double value, QSize room) {
    const QFont title = SerifFont(19, true);
    FitWithin(label, Shown(value, regional_.DecimalSeparator), title, room, 8, LineBreaks::SmallestOnly);
    // Smaller type on the line of "K=" and "B=", not raised above it.
    label.move(label.x(), kResultTop + QFontMetrics(title).ascent() - QFontMetrics(label.font()).ascent());
}

void CoefficientWindow::ShowCheck(const QString& text, const QColor& colour) {
    QPalette palette = checkLine_->palette();
    palette.setColor(QPalette::WindowText, colour);
    checkLine_->setPalette(palette);
    FitWithin(*checkLine_, text, SansFont(12, false), kCheckRoom, 8, LineBreaks::AnySize);
    // Only points far beyond any calibration get here: the line keeps clear of the results, and the
    // whole of it is in the tooltip.
    const bool cut = checkLine_->height() > kCheckRoom.height();
    if (cut)
        checkLine_->resize(checkLine_->width(), kCheckRoom.height());
    checkLine_->setToolTip(cut ? text : QString());
}

void CoefficientWindow::ShowModeless() {
    ui::ShowModeless(*this);
}

void CoefficientWindow::Button1Click() {
    guard_([&] { Calculate(); });
}

void CoefficientWindow::BitBtn1Click() {
    guard_([&] { hide(); });
}

void CoefficientWindow::N1Click() {
    guard_([&] { emit aboutRequested(); });
}

void CoefficientWindow::Calculate() {
    const char separator = regional_.DecimalSeparator;
    // Until this calculation succeeds the line must not vouch for K and B with points no longer typed.
    ShowCheck(calculated_ ? QStringLiteral("Расчёт не выполнен: K и B остались от прежнего расчёта.")
                          : QString(),
              QColor(160, 0, 0));
    std::array<double, 4> points{};
    for (std::size_t i = 0; i < edits_.size(); ++i) {
        const std::string text = edits_[i]->text().toStdString();
        const std::optional<double> value = common::ParseFloat(text, separator);
        if (!value) {
            messages_.Show(tuning::BadNumberMessage(text));
            edits_[i]->selectAll();
            edits_[i]->setFocus();
            return;
        }
        points[i] = *value;
    }
    // Throws before anything changes, so the previous results stay on screen.
    const tuning::LineCoefficients line =
        tuning::CoefficientsThrough(points[0], points[1], points[2], points[3]);
    points_ = points;
    k_ = line.K;
    b_ = line.B;
    calculated_ = true;
    ShowResult(*label6_, k_, kLabel6Room);
    ShowResult(*label7_, b_, kLabel7Room);

    const tuning::LineCoefficients shown = tuning::AsShown(line, separator);
    ShowCheck(QStringLiteral("Проверка по показанным K и B: k·X1−b = %1 (Y1 = %2),  k·X2−b = %3 (Y2 = %4)")
                  .arg(Shown(shown.K * points_[0] - shown.B, separator), Shown(points_[1], separator),
                       Shown(shown.K * points_[2] - shown.B, separator), Shown(points_[3], separator)),
              QColor(0, 0, 128));

    // A result too long for its row even in small type runs onto more lines: the client grows to hold them.
    const int bottom = std::max(label6_->geometry().bottom(), label7_->geometry().bottom()) + 8;
    const int height = std::max(kClientSize.height(), bottom);
    if (client_->height() != height) {
        client_->setFixedHeight(height);
        FitToClient();
    }
}

} // namespace registrator::ui

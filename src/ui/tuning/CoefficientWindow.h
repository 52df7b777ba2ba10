#pragma once

#include "common/OperatorMessages.h"
#include "common/RegionalSettings.h"
#include "service/recorder/HandlerGuard.h"

#include <QMainWindow>
#include <array>

class QColor;
class QLabel;
class QLineEdit;

namespace registrator::ui {

// TF_razchet: k and b of y = k*x - b from two measured points. It only shows them; the operator
// types them into the calibration window. Entries and results stay between openings.
class CoefficientWindow : public QMainWindow {
    Q_OBJECT
public:
    CoefficientWindow(common::RegionalSettings regional, common::OperatorMessages& messages,
                      service::HandlerGuard& guard, QWidget* parent = nullptr);

    QLineEdit* Edit(int number) const { return edits_.at(static_cast<std::size_t>(number - 1)); }
    QLabel* Label6() const { return label6_; }
    QLabel* Label7() const { return label7_; }
    QLabel* CheckLine() const { return checkLine_; }

public slots:
    void ShowModeless();
    // The operator pressed "Расчёт".
    void Button1Click();
    // The operator pressed "Закрыть".
    void BitBtn1Click();
    // The operator chose "о программе".
    void N1Click();

signals:
    void aboutRequested();

private:
    void Calculate();
    void ShowResult(QLabel& label, double value, QSize room);
    void ShowCheck(const QString& text, const QColor& colour);
    void FitToClient();

    common::RegionalSettings regional_;
    common::OperatorMessages& messages_;
    service::HandlerGuard& guard_;
    // X1, Y1, X2, Y2, as the entries were last read.
    std::array<double, 4> points_{};
    double k_ = 0;
    double b_ = 0;
    bool calculated_ = false;
    QWidget* client_;
    std::array<QLineEdit*, 4> edits_{};
    QLabel* label6_;
    QLabel* label7_;
    QLabel* checkLine_;
};

} // namespace registrator::ui

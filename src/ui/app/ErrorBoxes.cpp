#include "ui/app/ErrorBoxes.h"

#include <QApplication>
#include <QMessageBox>

namespace registrator::ui {

std::unique_ptr<QMessageBox> MakeGeneralErrorBox(const QString& programTitle, const QString& message) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::Critical, programTitle,
                                             service::GeneralErrorText(message), QMessageBox::Ok);
    return box;
}

std::unique_ptr<QMessageBox> MakePortErrorBox(std::uint32_t errorCode) {
    return std::make_unique<QMessageBox>(QMessageBox::Critical, QStringLiteral("ERROR"),
                                         service::PortErrorText(errorCode), QMessageBox::Ok);
}

std::unique_ptr<QMessageBox> MakeOperatorMessageBox(const QString& programTitle, const QString& text) {
    return std::make_unique<QMessageBox>(QMessageBox::NoIcon, programTitle, text, QMessageBox::Ok);
}

void MessageBoxPresenter::ShowGeneralError(const QString& message) {
    MakeGeneralErrorBox(programTitle_, message)->exec();
}

void MessageBoxPresenter::ShowPortError(std::uint32_t errorCode) {
    MakePortErrorBox(errorCode)->exec();
}

void MessageBoxPresenter::ShowOperatorMessage(const QString& text) {
    MakeOperatorMessageBox(programTitle_, text)->exec();
}

void CloseOpenBoxes() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
            box->done(QMessageBox::Ok);
}

} // namespace registrator::ui

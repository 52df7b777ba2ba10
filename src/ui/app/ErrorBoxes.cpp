#include "ui/app/ErrorBoxes.h"

#include <QMessageBox>

namespace registrator::ui {

QString GeneralErrorText(const QString& message) {
    if (!message.isEmpty() && message.back() > QChar('.'))
        return message + QChar('.');
    return message;
}

std::unique_ptr<QMessageBox> MakeGeneralErrorBox(const QString& programTitle, const QString& message) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::Critical, programTitle, GeneralErrorText(message),
                                             QMessageBox::Ok);
    return box;
}

QString PortErrorText(std::uint32_t errorCode) {
    return QStringLiteral("Ошибка при создании объекта Lpt,  драйвер ERROR,  код = ") +
           QString::number(errorCode);
}

std::unique_ptr<QMessageBox> MakePortErrorBox(std::uint32_t errorCode) {
    return std::make_unique<QMessageBox>(QMessageBox::NoIcon, QStringLiteral("ERROR"),
                                         PortErrorText(errorCode), QMessageBox::Ok);
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

} // namespace registrator::ui

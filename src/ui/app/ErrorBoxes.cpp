#include "ui/app/ErrorBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

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
    return std::make_unique<QMessageBox>(QMessageBox::Critical, QStringLiteral("ERROR"),
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

namespace {
void ToStandardError(const QString& text) {
    std::fprintf(stderr, "%s\n", qPrintable(text));
}
} // namespace

void EndAwarePresenter::ShowGeneralError(const QString& message) {
    if (ending_)
        ToStandardError(GeneralErrorText(message));
    else
        inner_.ShowGeneralError(message);
}

void EndAwarePresenter::ShowPortError(std::uint32_t errorCode) {
    if (ending_)
        ToStandardError(PortErrorText(errorCode));
    else
        inner_.ShowPortError(errorCode);
}

void EndAwarePresenter::ShowOperatorMessage(const QString& text) {
    if (ending_)
        ToStandardError(text);
    else
        inner_.ShowOperatorMessage(text);
}

void CloseOpenBoxes() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
            box->done(QMessageBox::Ok);
}

} // namespace registrator::ui

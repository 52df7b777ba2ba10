#include "service/recorder/OperatorBoxes.h"

#include <cstdio>

namespace registrator::service {

QString GeneralErrorText(const QString& message) {
    if (!message.isEmpty() && message.back() > QChar('.'))
        return message + QChar('.');
    return message;
}

QString PortErrorText(std::uint32_t errorCode) {
    return QStringLiteral("Ошибка при создании объекта Lpt,  драйвер ERROR,  код = ") +
           QString::number(errorCode);
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

} // namespace registrator::service

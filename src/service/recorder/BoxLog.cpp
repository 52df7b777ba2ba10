#include "service/recorder/BoxLog.h"

#include <cstdio>

namespace registrator::service {

void BoxLog::Note(const QString& text) {
    ++count_;
    last_ = text;
}

// Counted before they are shown: a modal box returns only once the operator has closed it.
void BoxLog::ShowGeneralError(const QString& message) {
    Note(GeneralErrorText(message));
    inner_.ShowGeneralError(message);
}

void BoxLog::ShowPortError(std::uint32_t errorCode) {
    Note(PortErrorText(errorCode));
    inner_.ShowPortError(errorCode);
}

void BoxLog::ShowOperatorMessage(const QString& text) {
    Note(text);
    inner_.ShowOperatorMessage(text);
}

namespace {
void OneLine(const QString& text) {
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String(" ")).replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fprintf(stderr, "Registrator: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}
} // namespace

void StandardErrorPresenter::ShowGeneralError(const QString& message) {
    OneLine(GeneralErrorText(message));
}

void StandardErrorPresenter::ShowPortError(std::uint32_t errorCode) {
    OneLine(PortErrorText(errorCode));
}

void StandardErrorPresenter::ShowOperatorMessage(const QString& text) {
    OneLine(text);
}

} // namespace registrator::service

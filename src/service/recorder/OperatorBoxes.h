#pragma once

#include "common/OperatorMessages.h"

#include <QString>
#include <cstdint>

namespace registrator::service {

// The general error box's text: the failure's message, with a full stop appended when its last
// character sorts after '.'.
QString GeneralErrorText(const QString& message);

// "Ошибка при создании объекта Lpt,  драйвер ERROR,  код = " and the unsigned error code.
QString PortErrorText(std::uint32_t errorCode);

// How the program shows its boxes: modal boxes with windows, lines on standard error without;
// tests record them instead of waiting for a click.
class DialogPresenter {
public:
    virtual ~DialogPresenter() = default;
    virtual void ShowGeneralError(const QString& message) = 0;
    virtual void ShowPortError(std::uint32_t errorCode) = 0;
    virtual void ShowOperatorMessage(const QString& text) = 0;
    // The boxes are lines on standard error already, so nothing need be said there twice.
    virtual bool OnStandardError() const { return false; }
};

// Once the end of the program has been asked for from outside (a signal, the session ending), nobody
// may be there to click OK: the boxes go to standard error instead of waiting.
class EndAwarePresenter final : public DialogPresenter {
public:
    EndAwarePresenter(DialogPresenter& inner, const bool& ending) : inner_(inner), ending_(ending) {}
    void ShowGeneralError(const QString& message) override;
    void ShowPortError(std::uint32_t errorCode) override;
    void ShowOperatorMessage(const QString& text) override;

private:
    DialogPresenter& inner_;
    const bool& ending_;
};

// Operator messages go to the plain message box of the program.
class PresenterMessages final : public common::OperatorMessages {
public:
    explicit PresenterMessages(DialogPresenter& dialogs) : dialogs_(dialogs) {}
    void Show(const std::string& text) override {
        dialogs_.ShowOperatorMessage(QString::fromStdString(text));
    }

private:
    DialogPresenter& dialogs_;
};

} // namespace registrator::service

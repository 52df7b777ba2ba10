#pragma once

#include <QString>
#include <cstdint>
#include <memory>

class QMessageBox;

namespace registrator::ui {

// The general error box's text: the failure's message, with a full stop appended when its last
// character sorts after '.'.
QString GeneralErrorText(const QString& message);
std::unique_ptr<QMessageBox> MakeGeneralErrorBox(const QString& programTitle, const QString& message);

// "Ошибка при создании объекта Lpt,  драйвер ERROR,  код = " and the unsigned error code.
QString PortErrorText(std::uint32_t errorCode);
std::unique_ptr<QMessageBox> MakePortErrorBox(std::uint32_t errorCode);

// A plain operator message: titled with the program title, no icon, one OK button.
std::unique_ptr<QMessageBox> MakeOperatorMessageBox(const QString& programTitle, const QString& text);

// How the program shows its boxes; tests record them instead of waiting for a click.
class DialogPresenter {
public:
    virtual ~DialogPresenter() = default;
    virtual void ShowGeneralError(const QString& message) = 0;
    virtual void ShowPortError(std::uint32_t errorCode) = 0;
    virtual void ShowOperatorMessage(const QString& text) = 0;
};

// The real boxes, modal; timers keep ticking under them.
class MessageBoxPresenter final : public DialogPresenter {
public:
    explicit MessageBoxPresenter(QString programTitle) : programTitle_(std::move(programTitle)) {}
    void ShowGeneralError(const QString& message) override;
    void ShowPortError(std::uint32_t errorCode) override;
    void ShowOperatorMessage(const QString& text) override;

private:
    QString programTitle_;
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

// Closes the modal boxes now open, so the handlers waiting in them go on.
void CloseOpenBoxes();

} // namespace registrator::ui

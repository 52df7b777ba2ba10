#pragma once

#include "service/recorder/OperatorBoxes.h"

#include <QString>
#include <cstdint>
#include <memory>

class QMessageBox;

namespace registrator::ui {

std::unique_ptr<QMessageBox> MakeGeneralErrorBox(const QString& programTitle, const QString& message);
std::unique_ptr<QMessageBox> MakePortErrorBox(std::uint32_t errorCode);

// A plain operator message: titled with the program title, no icon, one OK button.
std::unique_ptr<QMessageBox> MakeOperatorMessageBox(const QString& programTitle, const QString& text);

// The real boxes, modal; timers keep ticking under them.
class MessageBoxPresenter final : public service::DialogPresenter {
public:
    explicit MessageBoxPresenter(QString programTitle) : programTitle_(std::move(programTitle)) {}
    void ShowGeneralError(const QString& message) override;
    void ShowPortError(std::uint32_t errorCode) override;
    void ShowOperatorMessage(const QString& text) override;

private:
    QString programTitle_;
};

// Closes the modal boxes now open, so the handlers waiting in them go on.
void CloseOpenBoxes();

} // namespace registrator::ui

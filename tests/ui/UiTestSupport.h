#pragma once

#include "acquisition/PortAccess.h"
#include "support/TempFolder.h"
#include "ui/app/ErrorBoxes.h"
#include "ui/app/Program.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace registrator::ui::testing {

// Records the boxes the program would show instead of waiting for a click.
class RecordingDialogs final : public service::DialogPresenter {
public:
    void ShowGeneralError(const QString& message) override { Boxes << QStringLiteral("error: ") + message; }
    void ShowPortError(std::uint32_t code) override {
        Boxes << QStringLiteral("port: ") + service::PortErrorText(code);
    }
    void ShowOperatorMessage(const QString& text) override {
        Boxes << QStringLiteral("message: ") + text;
        if (OnMessage)
            OnMessage();
    }
    QStringList Boxes;
    std::function<void()> OnMessage;
};

// A port whose status lines always show the same byte; writes go nowhere.
class FixedStatusPort final : public acquisition::PortAccess {
public:
    FixedStatusPort(bool ready, std::uint32_t error, std::uint8_t status = 0x00)
        : ready_(ready), error_(error), status_(status) {}
    bool IsReady() const override { return ready_; }
    std::uint8_t ReadRegister(std::uint8_t, std::uint8_t reg) override {
        return reg == acquisition::kStatusRegister ? status_ : 0;
    }
    void WriteRegister(std::uint8_t, std::uint8_t, std::uint8_t) override {}
    std::uint32_t LastError() const override { return error_; }
    void SetStatus(std::uint8_t status) { status_ = status; }

private:
    bool ready_;
    std::uint32_t error_;
    std::uint8_t status_;
};

// A program over a test folder: its executable in bin/, its archive in Data/; a ready port unless told.
inline ProgramEnvironment FolderEnvironment(
    const common::Clock& clock, service::DialogPresenter& dialogs, const support::TempFolder& folder,
    std::function<std::unique_ptr<acquisition::PortAccess>(const channels::UstavkiTable&,
                                                           const common::Clock&)>
        makePort = [](const channels::UstavkiTable&, const common::Clock&) {
            return std::make_unique<FixedStatusPort>(true, 0);
        }) {
    return ProgramEnvironment{clock,
                              dialogs,
                              common::RegionalSettings::Russian(),
                              (folder.Path() / "bin" / "REGISTRATOR.EXE").string(),
                              folder.Slash() + "Data/",
                              std::move(makePort)};
}

} // namespace registrator::ui::testing

#pragma once

#include "acquisition/PortAccess.h"
#include "service/recorder/Station.h"
#include "support/TempFolder.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace registrator::support {

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

using PortMaker = std::function<std::unique_ptr<acquisition::PortAccess>(const channels::UstavkiTable&,
                                                                         const common::Clock&)>;

// A station over a test folder: its executable in bin/, its archive in Data/; a ready port unless told.
inline service::StationEnvironment FolderEnvironment(
    const common::Clock& clock, service::DialogPresenter& dialogs, const TempFolder& folder,
    PortMaker makePort = [](const channels::UstavkiTable&, const common::Clock&) {
        return std::make_unique<FixedStatusPort>(true, 0);
    }) {
    return service::StationEnvironment{clock,
                                       dialogs,
                                       common::RegionalSettings::Russian(),
                                       (folder.Path() / "bin" / "REGISTRATOR.EXE").string(),
                                       folder.Slash() + "Data/",
                                       std::move(makePort)};
}

// As the program starts a station without windows (RunHeadless), short of its event loop: false when
// another running program holds its files.
inline bool StartStation(service::Station& station) {
    if (!station.Acquire())
        return false;
    station.StartServers();
    service::NoProgress progress;
    station.StartUp(progress);
    return true;
}

inline void EndStation(service::Station& station) {
    service::NoProgress progress;
    station.Shutdown(progress);
}

} // namespace registrator::support

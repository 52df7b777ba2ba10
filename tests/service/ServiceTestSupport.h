#pragma once

#include "service/recorder/Station.h"
#include "support/StationFakes.h"
#include "support/TempFolder.h"

#ifndef _WIN32
#include "support/Browser.h"
#include "support/RunningPlant.h"
#include "support/WebClient.h"

#include <filesystem>
#include <memory>
#include <string>

namespace registrator::web::testing {

// The station without windows, as the headless program runs it; from the settings file's text when given.
class RunningStation final : public RunningPlant {
public:
    explicit RunningStation(quint16 webPort = 0, const std::filesystem::path& dataElsewhere = {},
                            const std::string& settings = {}, web::LoginOptions login = {});
    ~RunningStation() override;

private:
    std::unique_ptr<service::Station> station_;
};

} // namespace registrator::web::testing
#endif

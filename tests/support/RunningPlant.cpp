#include "support/RunningPlant.h"

#include "acquisition/PortFactory.h"
#include "archive/ArchiveRecords.h"
#include "common/DateTime.h"
#include "service/web/WebView.h"

#include <fstream>

namespace registrator::web::testing {

RunningPlant::RunningPlant(const std::filesystem::path& dataElsewhere, const std::string& settings) {
    std::filesystem::create_directories(folder_.Path() / "bin");
    if (!settings.empty())
        std::ofstream(folder_.Path() / "bin" / "Registrator.INI", std::ios::binary) << settings;
    if (dataElsewhere.empty())
        std::filesystem::create_directories(folder_.Path() / "Data");
    else
        std::filesystem::create_directory_symlink(dataElsewhere, folder_.Path() / "Data");
}

service::StationEnvironment RunningPlant::Environment() {
    return service::StationEnvironment{clock_,
                                       dialogs_,
                                       common::RegionalSettings::Russian(),
                                       (folder_.Path() / "bin" / "Registrator").string(),
                                       folder_.Slash() + "Data/",
                                       [](const channels::UstavkiTable& ustavki, const common::Clock& clock) {
                                           acquisition::PortOptions options;
                                           options.Simulate = true;
                                           return acquisition::MakePort(options, ustavki, clock);
                                       }};
}

void RunningPlant::Started(service::Station& station) {
    station_ = &station;
    if (Web())
        port_ = Web()->Port();
}

std::string RunningPlant::TodayReadingsPath() const {
    return station_->Archive().ReadingsPath(common::ArchiveDateText(clock_.Today()));
}

std::uint64_t RunningPlant::RecordsToday() const {
    std::error_code error;
    const auto size = std::filesystem::file_size(TodayReadingsPath(), error);
    return error ? 0 : size / sizeof(archive::TArhivRec);
}

std::filesystem::path RunningPlant::DataFolder() const {
    return folder_.Path() / "Data";
}

RecordingWatch::RecordingWatch(const RunningPlant& running)
    : running_(running), records_(running.RecordsToday()) {
    since_.start();
}

bool RecordingWatch::KeptUp() const {
    return running_.RecordsToday() + 1 - records_ >= static_cast<std::uint64_t>(since_.elapsed() / 1000);
}

} // namespace registrator::web::testing

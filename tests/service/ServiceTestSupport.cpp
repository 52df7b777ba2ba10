#include "ServiceTestSupport.h"

#include "support/QtTestApplication.h"

#include <QCoreApplication>

namespace {
// One QCoreApplication for the whole test program: nothing here may need a window.
[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(
    new registrator::support::QtTestApplication<QCoreApplication>("service_tests"));
} // namespace

#ifndef _WIN32
namespace registrator::web::testing {

RunningStation::RunningStation(quint16 webPort, const std::filesystem::path& dataElsewhere,
                               const std::string& settings, web::LoginOptions login)
    : RunningPlant(dataElsewhere, settings), station_(std::make_unique<service::Station>(Environment())) {
    station_->ServeWeb(QStringLiteral("127.0.0.1"), webPort);
    station_->GuardWeb(std::move(login));
    support::StartStation(*station_);
    Started(*station_);
}

RunningStation::~RunningStation() {
    support::EndStation(*station_);
}

} // namespace registrator::web::testing
#endif

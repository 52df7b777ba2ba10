#include "service/recorder/Headless.h"

#include <QCoreApplication>
#include <cstdio>

namespace registrator::service {

int RunHeadless(Station& station, SettingsProgress& progress, const std::function<void()>& recording) {
    if (!station.Acquire())
        return kExitAlreadyRunning;
    station.StartServers();
    station.StartUp(progress);
    if (!station.PortRefused())
        std::fprintf(stderr, "Registrator: recording%s; settings %s, archive in %s\n",
                     station.Simulated() ? " a simulated plant" : "", station.SettingsPath().c_str(),
                     station.Environment().ArchiveFolder.c_str());
    // An end asked for during start-up, before the loop could take it, or a port that is not there.
    if (station.PortRefused() || station.Ending())
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    if (recording)
        recording();
    QCoreApplication::exec();
    station.Shutdown(progress);
    return station.Status();
}

} // namespace registrator::service

// --modbus-allow through real sockets: a client from another address is closed unanswered, counted in
// /health and /metrics, and takes no allowed client's place.
#ifndef _WIN32 // a second client address on loopback: Linux routes all of 127/8 to lo

#include "ServiceTestSupport.h"
#include "service/modbus/ModbusServer.h"
#include "service/web/WebView.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

namespace registrator::service {
namespace {

using namespace web::testing;

// Reads holding register 0 on `fd`: the answer, or "closed" when the server closed the connection instead.
std::string AskRegister(int fd) {
    const timeval limit{30, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    char got[11] = {};
    const bool sent = SendAll(fd, std::string_view("\0\7\0\0\0\6\1\3\0\0\0\1", 12));
    const ssize_t n = sent ? ::recv(fd, got, sizeof got, MSG_WAITALL) : -1;
    ::close(fd);
    return n == 0 || (n < 0 && errno != EAGAIN) ? "closed"
                                                : std::string(got, static_cast<std::size_t>(n > 0 ? n : 0));
}

TEST(ModbusAllow, AClientFromAnotherAddressIsClosedUnansweredCountedAndDisplacesNoOne) {
    support::TempFolder folder;
    for (const char* made : {"bin", "Data"})
        std::filesystem::create_directories(folder.Path() / made);
    common::SystemClock clock;
    support::RecordingDialogs dialogs;
    Station station(support::FolderEnvironment(clock, dialogs, folder));
    integration::AllowedAddresses allowed;
    std::string bad;
    ASSERT_TRUE(integration::ParseAllowedAddresses("127.0.0.1", allowed, bad));
    station.ServeModbus(QStringLiteral("127.0.0.1"), 0, 1, integration::WordOrder::HighFirst, allowed);
    station.ServeWeb(QStringLiteral("127.0.0.1"), 0);
    ASSERT_TRUE(support::StartStation(station));
    const quint16 port = station.Outlets().Modbus()->Port();

    // A full server, then an outsider: were it let in, the client silent longest would make room.
    std::vector<int> inside;
    for (int i = 0; i < ModbusServer::Limits{}.MaxClients; ++i)
        inside.push_back(Connect(port, "127.0.0.1"));
    EXPECT_EQ(AskRegister(Connect(port, "127.0.0.2")), "closed") << "no answer outside the list";
    for (const int fd : inside)
        EXPECT_EQ(AskRegister(fd).substr(0, 9), std::string("\0\7\0\0\0\5\1\3\2", 9));

    const quint16 web = station.Outlets().Web()->Port();
    std::string health;
    std::string metrics;
    RunBeside(
        [&] {
            health = Send(web, Get("/health")).Body;
            metrics = Send(web, Get("/metrics")).Body;
        },
        std::chrono::seconds(60));
    const QJsonObject modbus =
        QJsonDocument::fromJson(QByteArray::fromStdString(health))["modbus"].toObject();
    EXPECT_TRUE(modbus["allowList"].toBool()) << health;
    EXPECT_EQ(modbus["refused"].toInt(), 1);
    EXPECT_NE(metrics.find("\nregistrator_modbus_refused_connections_total 1\n"), std::string::npos);
    support::EndStation(station);
}

} // namespace
} // namespace registrator::service

#endif

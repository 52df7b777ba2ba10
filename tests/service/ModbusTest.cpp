// The Modbus TCP server against an independent client from Debian (pymodbus) and hostile ones.
#ifndef _WIN32 // the clients are Linux programs

#include "ServiceTestSupport.h"
#include "acquisition/SimulatedPort.h"
#include "archive/ArchiveRecords.h"
#include "common/DateTime.h"
#include "service/modbus/ModbusServer.h"
#include "support/ClientProcess.h"
#include "support/TempFolder.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>

namespace registrator::service {
namespace {

using support::RecordingDialogs;
using support::RunClient;
using support::TempFolder;

TEST(Modbus, AnIndependentClientGetsReadsOfTheMapAndNothingElse) {
    channels::ChannelData data;
    for (int n = 1; n <= channels::kChannelCount; ++n) {
        data.Current(n).Value = n == 5 ? 70000 : 10.0 * n;
        data.RawCounts[static_cast<std::size_t>(n - 1)] = 3 * n;
        data.Ustavki[n].T_Nom = 300;
        data.Ustavki[n].T_Max = 600;
        data.Ustavki[n].Oborot = 15;
    }
    monitor::ShownPanelStates states;
    states.Follow(data);
    integration::ModbusImage image;
    image.Update(data, states, integration::StationStatus{}, integration::WordOrder::LowFirst);
    ModbusServer server;
    std::string error;
    ASSERT_TRUE(server.Listen("127.0.0.1", 0, 3, error)) << error;
    server.Publish(image);

    const QString script = QStringLiteral(REGISTRATOR_TEST_DATA "/../modbus/modbus_client.py");
    const QJsonObject got = QJsonDocument::fromJson(RunClient(QStringLiteral("/usr/bin/python3"),
                                                              {script, QString::number(server.Port()), "3"})
                                                        .toUtf8())
                                .object();
    ASSERT_FALSE(got.isEmpty());
    const QJsonArray holding = got["holding"].toArray();
    ASSERT_EQ(holding.size(), 72);
    for (int n = 1; n <= channels::kChannelCount; ++n) {
        const auto i = static_cast<qsizetype>(n - 1);
        EXPECT_EQ(holding[i].toInt(), n == 5 ? 65535 : 10 * n) << "channel " << n;
        EXPECT_EQ(got["input"].toArray()[i].toInt(), holding[i].toInt());
        EXPECT_EQ(got["raw"].toArray()[i].toInt(), 3 * n);
        EXPECT_EQ(got["floats_low_first"].toArray()[i].toDouble(), n == 5 ? 70000 : 10.0 * n);
        // 300 A and 600 A lie on a threshold: those two keep the state the mimic starts with, running.
        const int state = n == 5 || n > 60 ? 3 : n > 30 && n < 60 ? 2 : n > 1 ? 1 : 0;
        EXPECT_EQ(got["states"].toArray()[i].toInt(), state) << "channel " << n;
        EXPECT_EQ(got["above_critical"].toArray()[i].toInt(), state == 3 ? 1 : 0);
        EXPECT_EQ(got["running"].toArray()[i].toInt(), state >= 1 ? 1 : 0);
    }
    const QJsonObject exceptions = got["exceptions"].toObject();
    EXPECT_EQ(exceptions["126 registers"].toInt(), 3);
    EXPECT_EQ(exceptions["past the currents"].toInt(), 2);
    EXPECT_EQ(exceptions["past the status"].toInt(), 2);
    EXPECT_EQ(exceptions["coils"].toInt(), 2);
    for (const char* write : {"write register", "write registers", "write coil", "write coils"})
        EXPECT_EQ(exceptions[write].toInt(), 1) << write;
    EXPECT_EQ(exceptions["another unit"].toInt(), 11);
    EXPECT_EQ(got["after_writes"].toArray(), holding) << "nothing from the network changes a register";
    EXPECT_TRUE(got["two_clients_agree"].toBool());
    EXPECT_TRUE(got["malformed_closed"].toBool());
    EXPECT_TRUE(got["still_serving"].toBool()) << "a silent client and a torn frame hold up no one";
}

// The fault each guards against: one slow client held the only worker (the poller starved), a wrong
// header was answered as a read or threw the stream out of step, a function of 128 and above got a
// malformed reply, and 16 silent connections locked every other client out.
TEST(Modbus, HostileClientsAreClosedOrAnsweredAndHoldUpNeitherOthersNorTheRecords) {
    TempFolder folder;
    std::filesystem::create_directories(folder.Path() / "bin");
    std::filesystem::create_directories(folder.Path() / "Data");
    common::SystemClock clock;
    RecordingDialogs dialogs;
    Station station(support::FolderEnvironment(
        clock, dialogs, folder, [](const channels::UstavkiTable& ustavki, const common::Clock& plantClock) {
            return std::make_unique<acquisition::SimulatedPort>(ustavki, plantClock, 7);
        }));
    station.ServeModbus(QStringLiteral("127.0.0.1"), 0, 1, integration::WordOrder::HighFirst);
    ASSERT_TRUE(support::StartStation(station));
    ASSERT_NE(station.Outlets().Modbus(), nullptr);
    const std::string readings = station.Archive().ReadingsPath(common::ArchiveDateText(clock.Today()));
    const auto records = [&] {
        std::error_code error;
        const auto size = std::filesystem::file_size(readings, error);
        return error ? 0 : static_cast<double>(size / sizeof(archive::TArhivRec));
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return records() > 0; }, 10000)) << "past start-up";
    const double recordsBefore = records();
    QElapsedTimer elapsed;
    elapsed.start();

    QProcess clients;
    clients.start(QStringLiteral("/usr/bin/python3"),
                  {QStringLiteral(REGISTRATOR_TEST_DATA "/../modbus/hostile_clients.py"),
                   QString::number(station.Outlets().Modbus()->Port()), QStringLiteral("1")});
    // The program's event loop runs meanwhile: its timers are what is watched.
    ASSERT_TRUE(QTest::qWaitFor([&] { return clients.state() == QProcess::NotRunning; }, 120000));
    EXPECT_GE(records() - recordsBefore + 1, elapsed.elapsed() / 1000) << "one record a second throughout";
    ASSERT_EQ(clients.exitCode(), 0) << clients.readAllStandardError().toStdString();
    const QJsonObject got = QJsonDocument::fromJson(clients.readAllStandardOutput()).object();
    ASSERT_FALSE(got.isEmpty());

    const QJsonObject wrong = got["wrong"].toObject();
    EXPECT_EQ(wrong.size(), 9);
    for (auto it = wrong.begin(); it != wrong.end(); ++it)
        EXPECT_EQ(it.value().toString().toStdString(), "closed") << it.key().toStdString();
    const QJsonObject high = got["high functions"].toObject();
    EXPECT_EQ(high["128"].toString().toStdString(), "00 07 00 00 00 03 01 80 01");
    EXPECT_EQ(high["131"].toString().toStdString(), "00 07 00 00 00 03 01 83 01");
    EXPECT_EQ(high["255"].toString().toStdString(), "00 07 00 00 00 03 01 ff 01");
    EXPECT_EQ(got["read after them"].toInt(), 153);

    const QJsonArray drips = got["drips closed after"].toArray();
    EXPECT_FALSE(drips.isEmpty());
    for (const auto& bytes : drips)
        EXPECT_TRUE(bytes.isDouble() && bytes.toInt() < 213)
            << "a dripped frame is cut off before it is whole";
    EXPECT_EQ(got["polls answered in a second"].toInt(), 10) << "each poll beside the drips";

    EXPECT_EQ(got["newcomer read"].toInt(), 153);
    EXPECT_TRUE(got["longest idle closed"].toBool());
    support::EndStation(station);
}

} // namespace
} // namespace registrator::service

#endif

// The Modbus TCP server against independent clients from Debian (mbpoll and pymodbus) and hostile ones.
#ifndef _WIN32 // the clients are Linux programs

#include "UiTestSupport.h"
#include "acquisition/SimulatedPort.h"
#include "archive/ArchiveRecords.h"
#include "common/DateTime.h"
#include "service/modbus/ModbusServer.h"
#include "support/TempFolder.h"
#include "ui/app/Program.h"
#include "ui/monitor/MainWindow.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>

namespace registrator::ui {
namespace {

using support::TempFolder;
using testing::RecordingDialogs;

QString RunClient(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForFinished(60000)) << program.toStdString();
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

// mbpoll's "[reference]: value" lines, by reference.
std::map<int, QString> MbpollValues(const QString& output) {
    std::map<int, QString> values;
    static const QRegularExpression line(QStringLiteral(R"(^\[(\d+)\]:\s+(\S+))"),
                                         QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(output); it.hasNext();) {
        const auto match = it.next();
        values[match.captured(1).toInt()] = match.captured(2);
    }
    return values;
}

QStringList Mbpoll(quint16 port, int reference, int count, const char* type) {
    return {QStringLiteral("-m"),      QStringLiteral("tcp"),  QStringLiteral("-a"),
            QStringLiteral("1"),       QStringLiteral("-r"),   QString::number(reference),
            QStringLiteral("-c"),      QString::number(count), QStringLiteral("-t"),
            QString::fromLatin1(type), QStringLiteral("-1"),   QStringLiteral("127.0.0.1"),
            QStringLiteral("-p"),      QString::number(port)};
}

// The whole program over the simulated plant, its archive in `folder`.
ProgramEnvironment SimulatedPlant(const TempFolder& folder, const common::Clock& clock,
                                  RecordingDialogs& dialogs) {
    std::filesystem::create_directories(folder.Path() / "Data");
    return ProgramEnvironment{clock,
                              dialogs,
                              common::RegionalSettings::Russian(),
                              (folder.Path() / "REGISTRATOR.EXE").string(),
                              folder.Slash() + "Data/",
                              [](const channels::UstavkiTable& ustavki, const common::Clock& clock) {
                                  return std::make_unique<acquisition::SimulatedPort>(ustavki, clock, 7);
                              }};
}

TEST(Modbus, MbpollReadsWhatTheMainWindowShowsAtTheSameCycle) {
    TempFolder folder;
    common::SettableClock clock{common::EncodeDate(2026, 12, 9) + common::EncodeTime(10, 0, 0, 0)};
    RecordingDialogs dialogs;
    Program program(SimulatedPlant(folder, clock, dialogs));
    program.ServeModbus(QStringLiteral("127.0.0.1"), 0, 1, integration::WordOrder::HighFirst);
    ASSERT_TRUE(program.Start());
    ASSERT_NE(program.Modbus(), nullptr);
    // Thresholds that give every state somewhere on the simulated plant.
    for (int n = 1; n <= channels::kChannelCount; ++n) {
        auto& settings = program.Data().Ustavki[n];
        settings.Koof_K = 0.5;
        settings.Koof_B = 2;
        settings.T_Nom = 100;
        settings.T_Max = 150;
        settings.Oborot = 10;
    }
    QTest::qWait(600);
    program.Recorder().Timer1().stop();
    program.Recorder().Timer2().stop();
    const quint16 port = program.Modbus()->Port();

    const auto currents = MbpollValues(RunClient(QStringLiteral("mbpoll"), Mbpoll(port, 1, 72, "3")));
    const auto raw = MbpollValues(RunClient(QStringLiteral("mbpoll"), Mbpoll(port, 101, 72, "4")));
    // 36 floats a request: 72 registers, within a request's 125.
    auto floats = MbpollValues(RunClient(QStringLiteral("mbpoll"), Mbpoll(port, 301, 36, "4:float") << "-B"));
    floats.merge(MbpollValues(RunClient(QStringLiteral("mbpoll"), Mbpoll(port, 373, 36, "4:float") << "-B")));
    const auto states = MbpollValues(RunClient(QStringLiteral("mbpoll"), Mbpoll(port, 201, 72, "3")));
    ASSERT_EQ(currents.size(), 72u);
    ASSERT_EQ(raw.size(), 72u);
    ASSERT_EQ(floats.size(), 72u);
    std::map<QString, int> seen;
    for (int n = 1; n <= channels::kChannelCount; ++n) {
        const QString label = program.Main().CurrentLabel(n)->text();
        EXPECT_EQ(currents.at(n), label) << "channel " << n;
        EXPECT_EQ(floats.at(301 + 2 * (n - 1)).toDouble(), label.toDouble()) << "channel " << n;
        EXPECT_EQ(raw.at(100 + n).toDouble(), program.Data().RawCount(n)) << "channel " << n;
        ++seen[states.at(200 + n)];
    }
    EXPECT_GE(seen.size(), 3u) << "the simulated plant shows several states";

    const auto status = MbpollValues(RunClient(QStringLiteral("mbpoll"), Mbpoll(port, 1001, 15, "4")));
    EXPECT_EQ(status.at(1007), QStringLiteral("1")) << "simulated port";
    EXPECT_EQ(status.at(1009), QStringLiteral("5")) << "AvgCount";
    EXPECT_EQ(status.at(1010), QString::number(program.Recorder().Timer1().interval()));
    EXPECT_EQ(status.at(1011), QString::number(program.Recorder().Timer2().interval()));
    EXPECT_EQ(status.at(1012), QStringLiteral("0")) << "no box raised";
    EXPECT_EQ(status.at(1013), QStringLiteral("0")) << "no MQTT asked for";
    EXPECT_GT(status.at(1006).toInt(), 10) << "scan cycles counted";
    program.Shutdown();
}

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
    image.Update(data, states, integration::RecorderStatus{}, integration::WordOrder::LowFirst);
    service::ModbusServer server;
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
    common::SystemClock clock;
    RecordingDialogs dialogs;
    Program program(SimulatedPlant(folder, clock, dialogs));
    program.ServeModbus(QStringLiteral("127.0.0.1"), 0, 1, integration::WordOrder::HighFirst);
    ASSERT_TRUE(program.Start());
    ASSERT_NE(program.Modbus(), nullptr);
    const std::string readings = program.Archive().ReadingsPath(common::ArchiveDateText(clock.Today()));
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
                   QString::number(program.Modbus()->Port()), QStringLiteral("1")});
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
    program.Shutdown();
}

} // namespace
} // namespace registrator::ui

#endif

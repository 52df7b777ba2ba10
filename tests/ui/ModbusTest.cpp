// The Modbus TCP server held against the main window: mbpoll, an independent client from Debian, reads
// what the window shows.
#ifndef _WIN32 // the client is a Linux program

#include "UiTestSupport.h"
#include "acquisition/SimulatedPort.h"
#include "common/DateTime.h"
#include "service/modbus/ModbusServer.h"
#include "support/ClientProcess.h"
#include "support/TempFolder.h"
#include "ui/app/Program.h"
#include "ui/monitor/MainWindow.h"

#include <QLabel>
#include <QRegularExpression>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>

namespace registrator::ui {
namespace {

using support::RunClient;
using support::TempFolder;
using testing::RecordingDialogs;

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

std::unique_ptr<acquisition::PortAccess> SimulatedPlant(const channels::UstavkiTable& ustavki,
                                                        const common::Clock& clock) {
    return std::make_unique<acquisition::SimulatedPort>(ustavki, clock, 7);
}

TEST(Modbus, MbpollReadsWhatTheMainWindowShowsAtTheSameCycle) {
    TempFolder folder;
    std::filesystem::create_directories(folder.Path() / "bin");
    std::filesystem::create_directories(folder.Path() / "Data");
    common::SettableClock clock{common::EncodeDate(2026, 12, 9) + common::EncodeTime(10, 0, 0, 0)};
    RecordingDialogs dialogs;
    Program program(testing::FolderEnvironment(clock, dialogs, folder, SimulatedPlant));
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

} // namespace
} // namespace registrator::ui

#endif

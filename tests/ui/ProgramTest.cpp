#include "ui/app/Program.h"

#include "UiTestSupport.h"
#include "acquisition/SimulatedPort.h"
#include "archive/RecordFiles.h"
#include "support/RecordingPort.h"
#include "support/TempFolder.h"
#include "ui/app/SignalWatcher.h"
#include "ui/monitor/MainWindow.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <utility>

namespace registrator::ui {
namespace {

using support::ReadFileBytes;
using support::TempFolder;
using support::WriteFileBytes;
using testing::FixedStatusPort;
using testing::RecordingDialogs;

class ProgramTest : public ::testing::Test {
protected:
    ProgramEnvironment Environment(bool portReady, std::uint32_t error = 0) {
        return ProgramEnvironment{clock,
                                  dialogs,
                                  common::RegionalSettings::Russian(),
                                  (folder.Path() / "bin" / "REGISTRATOR.EXE").string(),
                                  folder.Slash() + "Data/",
                                  [=](const channels::UstavkiTable&, const common::Clock&) {
                                      return std::make_unique<FixedStatusPort>(portReady, error);
                                  }};
    }
    void SetUp() override {
        std::filesystem::create_directories(folder.Path() / "bin");
        std::filesystem::create_directories(folder.Path() / "Data");
    }
    // Runs the event loop until the program asks to end, at most `ms` milliseconds.
    static bool RunUntilQuit(int ms) {
        bool timedOut = false;
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, [&] {
            timedOut = true;
            QCoreApplication::quit();
        });
        limit.start(ms);
        QCoreApplication::exec();
        return !timedOut;
    }
    std::filesystem::path SettingsFile() const { return folder.Path() / "bin" / "Registrator.INI"; }

    TempFolder folder;
    common::SettableClock clock{common::EncodeDate(2026, 12, 6) + common::EncodeTime(8, 30, 0, 0)};
    RecordingDialogs dialogs;
};

TEST_F(ProgramTest, FirstStartLoadsDefaultsArmsTimersAndWritesTheDaysSnapshot) {
    Program program(Environment(true));
    program.Start();
    EXPECT_EQ(program.Title(), QStringLiteral("Registrator"));
    EXPECT_EQ(program.Main().windowTitle(), QStringLiteral("Регистратор"));
    EXPECT_EQ(program.Data().BaseFolder, (folder.Path() / "bin" / "").string());
    EXPECT_EQ(program.Data().CurDay, common::EncodeDate(2026, 12, 6));
    EXPECT_EQ(program.Data().TokIndex, 0);
    EXPECT_EQ(program.Data().AvgCount, 5);
    EXPECT_EQ(program.Data().Ustavki[72].Name.Utf8(), "72");
    EXPECT_EQ(program.Data().Ustavki[1].T_Nom, 560);
    EXPECT_EQ(program.Recorder().Timer1().interval(), 10);
    EXPECT_EQ(program.Recorder().Timer2().interval(), 1000);
    EXPECT_TRUE(program.Recorder().Timer1().isActive());
    EXPECT_TRUE(program.Recorder().Timer2().isActive());
    EXPECT_TRUE(dialogs.Boxes.isEmpty()) << dialogs.Boxes.join(QLatin1Char('|')).toStdString();

    program.Main().close();
    EXPECT_TRUE(RunUntilQuit(5000));
    program.Shutdown();
    const std::string ini = ReadFileBytes(SettingsFile());
    EXPECT_EQ(
        ini.rfind("[Ustavki1]\r\nName=1\r\nKoof_K=50\r\nKoof_B=1\r\nT_Nom=560\r\nT_Max=540\r\nMoshn=200\r\n"
                  "Oborot=320\r\n[Ustavki2]\r\n",
                  0),
        0u);
    EXPECT_NE(ini.find("[Ustavki72]\r\nName=72\r\n"), std::string::npos);
}

// Without Data/ no snapshot can be written, so the snapshot read still says so, last of all.
TEST_F(ProgramTest, StartUpAndShutdownRunTheirStepsInOrder) {
    std::filesystem::remove(folder.Path() / "Data");
    WriteFileBytes(SettingsFile(), "[Ustavki3]\r\nKoof_K=0,25\r\n");
    std::vector<std::string> steps;
    support::RecordingPort* port = nullptr;
    auto env = Environment(true);
    env.MakePort = [&](const channels::UstavkiTable&, const common::Clock&) {
        auto made = std::make_unique<support::RecordingPort>();
        port = made.get();
        return made;
    };
    Program program(std::move(env));
    const auto timers = [&] {
        const int running = program.Recorder().Timer1().isActive() + program.Recorder().Timer2().isActive();
        return running == 2 ? "timers running" : running == 0 ? "timers stopped" : "one timer running";
    };
    // The snapshot is read last: after the settings it shows beside, with the timers already
    // started and the 8255 just set to its mode.
    dialogs.OnMessage = [&] {
        const std::size_t accesses = port ? port->Log.size() : 0;
        steps.push_back(
            dialogs.Boxes.back().toStdString() + " | " +
            (program.Data().Ustavki[3].Koof_K == 0.25 ? "settings loaded" : "settings not loaded") + " | " +
            timers() + " | after " + (accesses >= 4 ? port->Trace(accesses - 4) : "-"));
    };
    program.Start();
    ASSERT_NE(port, nullptr);
    program.Data().Ustavki[3].Koof_K = 0.5;
    // The port goes last: the timers stopped first, so no tick can reach it, and the settings saved.
    port->OnRelease = [&] {
        const bool saved = ReadFileBytes(SettingsFile()).find("Koof_K=0,5\r\n") != std::string::npos;
        steps.push_back(std::string("port released | ") + timers() + " | " +
                        (saved ? "settings saved" : "settings not saved"));
    };
    program.Main().close();
    EXPECT_TRUE(RunUntilQuit(5000));
    program.Shutdown();
    EXPECT_EQ(steps, (std::vector<std::string>{
                         "message: Ошибка открытия файла БД. | settings loaded | timers running | after "
                         "D80 C05 C07 C05",
                         "port released | timers stopped | settings saved",
                     }));
}

TEST_F(ProgramTest, UnavailablePortShowsTheCodeThenEndsSavingTheSettings) {
    Program program(Environment(false, 4294967295u));
    program.Start();
    ASSERT_FALSE(dialogs.Boxes.isEmpty());
    EXPECT_EQ(dialogs.Boxes.front(),
              QStringLiteral("port: Ошибка при создании объекта Lpt,  драйвер ERROR,  код = 4294967295"));
    // Start-up still completes, so the end is an orderly one.
    EXPECT_EQ(program.Data().AvgCount, 5);
    EXPECT_TRUE(program.Main().isVisible());

    EXPECT_TRUE(RunUntilQuit(5000));
    program.Shutdown();
    EXPECT_TRUE(std::filesystem::exists(SettingsFile()));
    EXPECT_FALSE(program.Recorder().Timer1().isActive());
    EXPECT_FALSE(program.Recorder().Timer2().isActive());
}

TEST_F(ProgramTest, SimulatedPortSaysSoInTheCaption) {
    class Simulated final : public acquisition::PortAccess {
    public:
        bool IsReady() const override { return true; }
        std::uint8_t ReadRegister(std::uint8_t, std::uint8_t) override { return 0; }
        void WriteRegister(std::uint8_t, std::uint8_t, std::uint8_t) override {}
        std::uint32_t LastError() const override { return 0; }
        std::string SimulationNote() const override { return "simulated plant"; }
    };
    auto env = Environment(true);
    env.MakePort = [](const channels::UstavkiTable&, const common::Clock&) {
        return std::make_unique<Simulated>();
    };
    Program program(std::move(env));
    program.Start();
    EXPECT_EQ(program.Main().windowTitle(), QStringLiteral("Регистратор — имитация"));
    program.Shutdown();
}

#ifndef _WIN32 // POSIX signals; Windows asks through its console handler and the session's end
TEST_F(ProgramTest, SigtermEndsInOrderWithTheSettingsSaved) {
    {
        std::ofstream ini(SettingsFile(), std::ios::binary);
        ini << "[Ustavki3]\r\nKoof_K=0,25\r\n";
    }
    Program program(Environment(true));
    SignalWatcher watcher;
    QObject::connect(&watcher, &SignalWatcher::endRequested, [&] { program.RequestEnd(); });
    program.Start();
    EXPECT_EQ(program.Data().Ustavki[3].Koof_K, 0.25);
    program.Data().Ustavki[3].Koof_K = 0.5;
    QTimer signalSoon;
    signalSoon.setSingleShot(true);
    QObject::connect(&signalSoon, &QTimer::timeout, [] { std::raise(SIGTERM); });
    signalSoon.start(50);
    EXPECT_TRUE(RunUntilQuit(5000));
    program.Shutdown();
    const std::string ini = ReadFileBytes(SettingsFile());
    EXPECT_NE(ini.find("[Ustavki3]\r\nKoof_K=0,5\r\n"), std::string::npos);
    EXPECT_NE(ini.find("[Ustavki72]"), std::string::npos);
}

// Shows real modal boxes, as the program does, and records what they said.
class ModalDialogs final : public service::DialogPresenter {
public:
    void ShowGeneralError(const QString& message) override { Boxes << message; }
    void ShowPortError(std::uint32_t code) override { Boxes << service::PortErrorText(code); }
    void ShowOperatorMessage(const QString& text) override {
        Boxes << text;
        MakeOperatorMessageBox(QStringLiteral("Registrator"), text)->exec();
    }
    QStringList Boxes;
};

TEST_F(ProgramTest, SigtermWhileAStartUpBoxWaitsStillEndsInOrder) {
    std::filesystem::remove(folder.Path() / "Data"); // so the snapshot read has its box
    ModalDialogs modal;
    auto env = Environment(true);
    ProgramEnvironment withBoxes{env.Clock,         modal,       env.Regional, env.ExecutablePath,
                                 env.ArchiveFolder, env.MakePort};
    Program program(std::move(withBoxes));
    SignalWatcher watcher;
    QObject::connect(&watcher, &SignalWatcher::endRequested, [&] { program.RequestEnd(); });
    QTimer signalSoon;
    signalSoon.setSingleShot(true);
    QObject::connect(&signalSoon, &QTimer::timeout, [] { std::raise(SIGTERM); });
    signalSoon.start(100);

    program.Start(); // waits in the box about today's unreadable snapshot until the signal comes
    EXPECT_EQ(modal.Boxes, QStringList{QStringLiteral("Ошибка открытия файла БД.")});
    EXPECT_TRUE(RunUntilQuit(5000));
    program.Shutdown();
    EXPECT_NE(ReadFileBytes(SettingsFile()).find("[Ustavki72]"), std::string::npos);
    EXPECT_EQ(modal.Boxes.size(), 1);
}

#endif

TEST_F(ProgramTest, TicksRunFromTheEventLoopAndArchiveEverySlowTick) {
    Program program(Environment(true));
    program.Start();
    program.Recorder().Timer2().setInterval(20);
    // Ends after the third slow tick rather than after a while: a loaded machine may tick less often.
    bool closed = false;
    QObject::connect(&program.Recorder().Timer2(), &QTimer::timeout, [&] {
        if (program.Data().TokIndex >= 3 && !std::exchange(closed, true))
            program.Main().close();
    });
    EXPECT_TRUE(RunUntilQuit(5000));
    program.Shutdown();
    const auto readings = folder.Path() / "Data" / "06.12.2026.txt";
    ASSERT_TRUE(std::filesystem::exists(readings));
    const auto size = std::filesystem::file_size(readings);
    EXPECT_EQ(size % 584, 0u);
    EXPECT_GE(size / 584, 3u);
    EXPECT_EQ(program.Data().TokIndex, size / 584);
}

TEST_F(ProgramTest, TimersKeepTickingWhileAMessageBoxWaits) {
    Program program(Environment(true));
    program.Start();
    program.Recorder().Timer2().setInterval(20);
    int indexWhenShown = -1;
    int indexWhenClosed = -1;
    dialogs.OnMessage = [&] {
        // Stands in for the operator reading the box: its nested loop runs until three slow ticks
        // have run under it, or gives up. Waiting for the ticks, not for a time, keeps a loaded
        // machine from failing the test.
        indexWhenShown = program.Data().TokIndex;
        // The count checked below says whether they came.
        static_cast<void>(
            QTest::qWaitFor([&] { return program.Data().TokIndex - indexWhenShown >= 3; }, 3000));
        indexWhenClosed = program.Data().TokIndex;
        program.Main().close();
    };
    program.Data().AvgCount = 0; // the next scan cycle fails its averaging and says so
    EXPECT_TRUE(RunUntilQuit(5000));
    program.Shutdown();
    ASSERT_GE(indexWhenShown, 0);
    EXPECT_GE(indexWhenClosed - indexWhenShown, 3) << "slow ticks stopped under the box";
    EXPECT_EQ(program.Data().AvgCount, 5);
    EXPECT_EQ(dialogs.Boxes.count(QStringLiteral("message: Ошибка деление на ноль: ")), 1);
}

TEST_F(ProgramTest, ScansGoOnUnderTheAveragingBoxAndArchiveRealReadings) {
    // The box used to open inside the fast timer's handler, which stopped that timer: every record
    // appended while it stayed open held time 0 and 72 zeros.
    ProgramEnvironment environment = Environment(true);
    environment.MakePort = [](const channels::UstavkiTable& ustavki, const common::Clock& plantClock) {
        return std::make_unique<acquisition::SimulatedPort>(ustavki, plantClock, 1);
    };
    Program program(std::move(environment));
    program.Start();
    program.Recorder().Timer2().setInterval(40);
    int firstSlotUnderBox = -1;
    int lastSlotUnderBox = -1;
    int avgCountUnderBox = -1;
    dialogs.OnMessage = [&] {
        firstSlotUnderBox = program.Data().TokIndex;
        // The same fault again under the box must not open a second one.
        program.Data().AvgCount = 0;
        // The operator reads the box for eight slow periods; a loaded machine may take longer.
        EXPECT_TRUE(QTest::qWaitFor([&] { return program.Data().TokIndex >= firstSlotUnderBox + 8; }, 5000))
            << "slow ticks stopped under the box";
        avgCountUnderBox = program.Data().AvgCount;
        lastSlotUnderBox = program.Data().TokIndex;
        QTimer::singleShot(0, &program.Main(), [&] { program.Main().close(); });
    };
    program.Data().AvgCount = 0;
    EXPECT_TRUE(RunUntilQuit(10000));
    program.Shutdown();

    EXPECT_EQ(dialogs.Boxes.count(QStringLiteral("message: Ошибка деление на ноль: ")), 1);
    EXPECT_EQ(avgCountUnderBox, 5);
    ASSERT_GE(firstSlotUnderBox, 0);
    ASSERT_GE(lastSlotUnderBox - firstSlotUnderBox, 3) << "slow ticks stopped under the box";
    std::vector<archive::TArhivRec> records;
    const auto read =
        archive::ReadReadingsFile((folder.Path() / "Data" / "06.12.2026.txt").string(), records);
    ASSERT_GE(read.Records, static_cast<std::size_t>(lastSlotUnderBox));
    // A loaded machine may starve the fast timer for a slow period now and then; without the fix
    // no record under the box held a reading at all.
    int real = 0;
    int underBox = 0;
    for (int k = firstSlotUnderBox + 1; k < lastSlotUnderBox; ++k, ++underBox) {
        const archive::TArhivRec& record = records[static_cast<std::size_t>(k)];
        const bool stamped = std::abs(record.Time - common::EncodeTime(8, 30, 0, 0)) < 1e-6;
        if (stamped &&
            std::any_of(std::begin(record.Tok), std::end(record.Tok), [](double v) { return v > 0; }))
            ++real;
    }
    EXPECT_GE(real * 4, underBox * 3) << real << " of " << underBox << " records under the box hold readings";
}

} // namespace
} // namespace registrator::ui

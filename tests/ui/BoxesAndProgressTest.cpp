#include "UiTestSupport.h"
#include "channels/SettingsFile.h"
#include "service/recorder/HandlerGuard.h"
#include "support/TempFolder.h"
#include "ui/app/CommandLine.h"
#include "ui/app/ErrorBoxes.h"
#include "ui/app/QtTranslations.h"
#include "ui/app/WindowsService.h"
#include "ui/channels/ProgressWindow.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTranslator>
#include <gtest/gtest.h>
#include <stdexcept>

namespace registrator::ui {
namespace {

using support::TempFolder;
using testing::RecordingDialogs;

TEST(GeneralErrorBox, AppendsAFullStopOnlyAfterCharactersThatSortAfterIt) {
    EXPECT_EQ(service::GeneralErrorText(QStringLiteral("Unable to write to /x/Registrator.INI")),
              QStringLiteral("Unable to write to /x/Registrator.INI."));
    EXPECT_EQ(service::GeneralErrorText(QStringLiteral("Floating point division by zero")),
              QStringLiteral("Floating point division by zero."));
    EXPECT_EQ(service::GeneralErrorText(QStringLiteral("code 7")), QStringLiteral("code 7."));
    EXPECT_EQ(service::GeneralErrorText(QStringLiteral("Done.")), QStringLiteral("Done."));
    EXPECT_EQ(service::GeneralErrorText(QStringLiteral("really?")), QStringLiteral("really?."));
    EXPECT_EQ(service::GeneralErrorText(QStringLiteral("stop!")), QStringLiteral("stop!"));
    EXPECT_EQ(service::GeneralErrorText(QStringLiteral("(a)")), QStringLiteral("(a)"));
    EXPECT_EQ(service::GeneralErrorText(QStringLiteral("a-")), QStringLiteral("a-"));
    EXPECT_EQ(service::GeneralErrorText(QStringLiteral("path/")), QStringLiteral("path/."));
    EXPECT_EQ(service::GeneralErrorText(QString()), QString());
}

TEST(GeneralErrorBox, IsTitledWithTheProgramAndShowsTheErrorIcon) {
    auto box = MakeGeneralErrorBox(QStringLiteral("Registrator"), QStringLiteral("Unable to write to x"));
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Registrator"));
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_EQ(box->text(), QStringLiteral("Unable to write to x."));
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
}

TEST(PortErrorBox, KeepsItsDoubleBlanksAndShowsTheCodeUnsigned) {
    auto box = MakePortErrorBox(5);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("ERROR"));
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_EQ(box->text(), QStringLiteral("Ошибка при создании объекта Lpt,  драйвер ERROR,  код = 5"));
    EXPECT_EQ(service::PortErrorText(0xFFFFFFFEu),
              QStringLiteral("Ошибка при создании объекта Lpt,  драйвер ERROR,  код = 4294967294"));
    auto message = MakeOperatorMessageBox(QStringLiteral("Registrator"),
                                          QStringLiteral("В БД нет запрашиваемой информации."));
    EXPECT_EQ(message->icon(), QMessageBox::NoIcon);
    EXPECT_EQ(message->windowTitle(), QStringLiteral("Registrator"));
}

TEST(HandlerGuard, EndsTheHandlerAndReportsTheFailure) {
    RecordingDialogs dialogs;
    service::HandlerGuard guard(dialogs);
    int steps = 0;
    EXPECT_FALSE(guard([&] {
        ++steps;
        throw channels::SettingsWriteError("/opt/r/Registrator.INI");
        ++steps;
    }));
    EXPECT_EQ(steps, 1);
    EXPECT_EQ(dialogs.Boxes, QStringList{QStringLiteral("error: Unable to write to /opt/r/Registrator.INI")});
    EXPECT_FALSE(guard([] { throw 42; }));
    EXPECT_TRUE(guard([&] { ++steps; }));
    EXPECT_EQ(steps, 2);
    EXPECT_EQ(dialogs.Boxes.size(), 2);
}

TEST(ProgressWindow, GaugeAdvancesChannelByChannelWithoutLettingTimersTick) {
    TempFolder folder;
    channels::SettingsFile file(folder.Slash() + "Registrator.INI", common::RegionalSettings::Russian());
    channels::UstavkiTable table;
    for (int n = 1; n <= 72; ++n)
        table[n] = channels::DefaultUstavka(n);

    QTimer timer;
    int ticks = 0;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(0);

    ProgressWindow progress;
    progress.Begin(QStringLiteral("ИДЕТ СОХРАНЕНИЕ"));
    EXPECT_EQ(progress.windowTitle(), QStringLiteral("ИДЕТ СОХРАНЕНИЕ"));
    EXPECT_EQ(progress.Gauge1()->Progress(), 0);
    EXPECT_EQ(progress.Gauge1()->Maximum(), 72);
    std::vector<int> seen;
    file.SaveAll(table, [&](int channel) {
        progress.ShowChannelDone(channel);
        seen.push_back(progress.Gauge1()->Progress());
    });
    EXPECT_EQ(seen.size(), 72u);
    EXPECT_EQ(seen.front(), 1);
    EXPECT_EQ(seen.back(), 72);
    EXPECT_EQ(progress.Gauge1()->PercentDone(), 100);
    EXPECT_EQ(ticks, 0);

    // A fresh window starts from zero again.
    ProgressWindow next;
    next.Begin(QStringLiteral("ИДЕТ ЗАГРУЗКА"));
    EXPECT_EQ(next.Gauge1()->Progress(), 0);
    EXPECT_EQ(next.size(), QSize(148, 129));
    EXPECT_EQ(next.Gauge1()->geometry(), QRect(24, 16, 100, 100));
}

// Qt's file dialog and standard buttons spoke English to a Russian operator.
TEST(QtTranslations, AreLoadedForARussianLocaleOnly) {
    EXPECT_TRUE(InstallQtTranslations(QLocale(QLocale::English), QtTranslationFolders()).isEmpty());
    const QString loaded =
        InstallQtTranslations(QLocale(QLocale::Russian, QLocale::Russia), QtTranslationFolders());
    ASSERT_FALSE(loaded.isEmpty()) << "Qt's Russian translations are not installed";
    QMessageBox box(QMessageBox::NoIcon, QString(), QString(), QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("Отмена"));
    for (QTranslator* translator : QCoreApplication::instance()->findChildren<QTranslator*>())
        QCoreApplication::removeTranslator(translator);
}

TEST(CommandLine, UnderstandsSimulatePortAndHelp) {
    auto options = ParseCommandLine({"Registrator", "--simulate", "--port", "/dev/parport1"});
    EXPECT_TRUE(options.Simulate);
    EXPECT_EQ(options.PortDevice, QStringLiteral("/dev/parport1"));
    EXPECT_TRUE(options.Error.isEmpty());
    EXPECT_TRUE(ParseCommandLine({"Registrator", "--help"}).ShowHelp);
    EXPECT_FALSE(ParseCommandLine({"Registrator"}).Simulate);
    EXPECT_FALSE(ParseCommandLine({"Registrator", "--port"}).Error.isEmpty());
    EXPECT_FALSE(ParseCommandLine({"Registrator", "--simulated"}).Error.isEmpty());
}

TEST(CommandLine, TakesTheModbusServersAddressUnitAndWordOrder) {
    auto options = ParseCommandLine(
        {"Registrator", "--modbus", "0.0.0.0:502", "--modbus-unit=17", "--modbus-word-order", "low-first"});
    EXPECT_TRUE(options.Error.isEmpty()) << options.Error.toStdString();
    EXPECT_EQ(options.ModbusAddress, QStringLiteral("0.0.0.0"));
    EXPECT_EQ(options.ModbusPort, 502);
    EXPECT_EQ(options.ModbusUnit, 17);
    EXPECT_TRUE(options.ModbusLowWordFirst);
    // libmodbus serves IPv4 only; a unit outside 1..247 or an unknown order is refused, never guessed.
    for (const QStringList& wrong : {QStringList{"Registrator", "--modbus", "[::1]:502"},
                                     QStringList{"Registrator", "--modbus", "localhost:502"},
                                     QStringList{"Registrator", "--modbus-unit", "0"},
                                     QStringList{"Registrator", "--modbus-unit", "248"},
                                     QStringList{"Registrator", "--modbus-word-order", "big"}})
        EXPECT_FALSE(ParseCommandLine(wrong).Error.isEmpty()) << wrong.join(' ').toStdString();
}

TEST(CommandLine, RegistersTheServiceWithTheRecordersOptionsAsWindowsSplitsThem) {
    const QStringList install{"Registrator",
                              "--service",
                              "install",
                              "--web",
                              "0.0.0.0:8080",
                              "--mqtt",
                              "mqtt://broker",
                              "--mqtt-credentials",
                              "C:\\Station Files\\mqtt \"secret\".txt",
                              "--mqtt-station=",
                              "--port",
                              "C:\\Ports dir\\"};
    // A path with spaces stays one argument; backslashes are doubled only before a quote, the closing one
    // among them.
    EXPECT_EQ(ServiceCommandLine("C:\\Program Files\\Registrator\\Registrator.exe", install),
              QStringLiteral(
                  "\"C:\\Program Files\\Registrator\\Registrator.exe\" --service run --web 0.0.0.0:8080 "
                  "--mqtt mqtt://broker --mqtt-credentials \"C:\\Station Files\\mqtt \\\"secret\\\".txt\" "
                  "--mqtt-station= --port \"C:\\Ports dir\\\\\""));
    EXPECT_EQ(ServiceCommandLine("C:\\Registrator\\Registrator.exe",
                                 {"Registrator", "--service=install", "--headless"}),
              QStringLiteral("\"C:\\Registrator\\Registrator.exe\" --service run"));
    EXPECT_EQ(QuoteWindowsArgument(""), QStringLiteral("\"\""));

    const auto options = ParseCommandLine(install.mid(0, 5));
    EXPECT_EQ(options.Service, QStringLiteral("install"));
    EXPECT_EQ(options.WebPort, 8080);
    // Only an install takes options; an unknown action is refused, never guessed.
    EXPECT_FALSE(
        ParseCommandLine({"Registrator", "--service", "remove", "--web", "0.0.0.0:8080"}).Error.isEmpty());
    EXPECT_TRUE(ParseCommandLine({"Registrator", "--service=status"}).Error.isEmpty());
    EXPECT_FALSE(ParseCommandLine({"Registrator", "--service", "start"}).Error.isEmpty());
}

} // namespace
} // namespace registrator::ui

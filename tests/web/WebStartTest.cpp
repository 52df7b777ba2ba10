// How the web view is asked for on the command line, and what a taken port does to the program.
#include "WebTestSupport.h"
#include "ui/app/CommandLine.h"
#include "ui/monitor/MainWindow.h"

#include <QLabel>
#include <QTcpServer>
#include <QTest>
#include <gtest/gtest.h>

namespace registrator::web::testing {

TEST(WebCommandLine, TakesANumericAddressAndAPortAndRefusesTheRest) {
    const ui::CommandLineOptions local =
        ui::ParseCommandLine({"Registrator", "--simulate", "--web", "127.0.0.1:8080"});
    EXPECT_TRUE(local.Error.isEmpty());
    EXPECT_EQ(local.WebAddress, "127.0.0.1");
    EXPECT_EQ(local.WebPort, 8080);
    const ui::CommandLineOptions plant = ui::ParseCommandLine({"Registrator", "--web=0.0.0.0:80"});
    EXPECT_EQ(plant.WebAddress, "0.0.0.0");
    EXPECT_EQ(plant.WebPort, 80);
    EXPECT_EQ(ui::ParseCommandLine({"Registrator", "--web", "[::1]:8080"}).WebAddress, "::1");
    EXPECT_TRUE(ui::ParseCommandLine({"Registrator"}).WebAddress.isEmpty());
    for (const char* bad : {"8080", "127.0.0.1", "127.0.0.1:", "127.0.0.1:0", "127.0.0.1:65536",
                            "localhost:8080", "127.0.0.1:80x", "plant.example:8080"})
        EXPECT_FALSE(ui::ParseCommandLine({"Registrator", "--web", bad}).Error.isEmpty()) << bad;
    EXPECT_FALSE(ui::ParseCommandLine({"Registrator", "--web"}).Error.isEmpty());
}

TEST(WebStart, APortInUseIsShownInTheStripAndTheProgramRunsOnWithoutTheWebView) {
    QTcpServer squatter;
    ASSERT_TRUE(squatter.listen(QHostAddress::LocalHost, 0));
    RunningProgram running(squatter.serverPort());
    EXPECT_EQ(running.Program().Web(), nullptr);
    const QLabel* warning = running.Program().Main().WebWarning();
    ASSERT_NE(warning, nullptr);
    EXPECT_TRUE(warning->text().contains(QStringLiteral("Веб-просмотр не запущен")));
    EXPECT_TRUE(warning->text().contains(QString::number(squatter.serverPort())));
    EXPECT_TRUE(warning->text().contains(QStringLiteral("порт занят")));
    // No box stops the operator: the program goes on scanning and archiving.
    for (const QString& box : running.Boxes())
        EXPECT_FALSE(box.contains(QStringLiteral("Веб"))) << box.toStdString();
    const auto records = running.RecordsToday();
    QTest::qWait(2200);
    EXPECT_GE(running.RecordsToday(), records + 1);
}

} // namespace registrator::web::testing

// Loads the live page in headless Chromium beside the running program and holds it against the main window.
#include "WebTestSupport.h"
#include "common/DateTime.h"
#include "service/web/WebView.h"
#include "ui/monitor/MainWindow.h"
#include "ui/monitor/MimicWidgets.h"

#include <QJsonArray>
#include <QLabel>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>

namespace registrator::web::testing {

namespace {

QString Rgb(const QColor& colour) {
    return QStringLiteral("rgb(%1, %2, %3)").arg(colour.red()).arg(colour.green()).arg(colour.blue());
}

} // namespace

TEST(WebPage, ShowsTheMainWindowsTextsAndColoursLiveAtDesktopAndPhoneWidth) {
    RunningProgram running;
    ASSERT_NE(running.Port(), 0) << "the web view did not start";
    Browser browser;
    ASSERT_TRUE(browser.Ready()) << "headless Chromium did not come up: " << browser.Log().toStdString();

    browser.Open(QStringLiteral("http://127.0.0.1:%1/").arg(running.Port()));
    browser.Resize(1280, 900, false);
    // Live: at least two pushes after the page was drawn from its first answer.
    ASSERT_TRUE(browser.WaitFor("Number(document.body.dataset.updates) >= 2", 15000));
    const QString status = browser.Evaluate("document.getElementById('status').innerText").toString();
    EXPECT_TRUE(status.contains(QStringLiteral("имитация"))) << status.toStdString();
    EXPECT_TRUE(status.contains(QStringLiteral("данные на"))) << status.toStdString();
    // The day's archive is a click away.
    const QString today = QString::fromStdString(common::ArchiveDateText(common::SystemClock().Today()));
    EXPECT_TRUE(browser.Evaluate("document.getElementById('csv').href")
                    .toString()
                    .endsWith(QStringLiteral("/archive/") + today + QStringLiteral(".csv")));
    EXPECT_TRUE(browser.Evaluate("document.getElementById('summary').href")
                    .toString()
                    .endsWith(QStringLiteral("/archive/") + today + QStringLiteral("/summary.csv")));

    // Hold the plant still, let the window take one last refresh and the page receive it.
    ui::MainWindow& window = running.Program().Main();
    running.Program().Recorder().StopTimers();
    // Three motors in known states, whatever the plant is doing (all 72 alike was seen on a loaded
    // machine): overloaded, above nominal and switched off.
    channels::UstavkiTable& ustavki = running.Program().Data().Ustavki;
    ustavki[1].T_Max = -1;
    ustavki[2].T_Nom = -1;
    ustavki[2].T_Max = 1e9;
    ustavki[3].T_Max = 3e9;
    ustavki[3].T_Nom = 2e9;
    ustavki[3].Oborot = 1'000'000'000;
    QTest::qWait(300);
    const int before = browser.Evaluate("Number(document.body.dataset.updates)").toInt();
    emit running.Program().Recorder().scanned();
    ASSERT_TRUE(
        browser.WaitFor(QStringLiteral("Number(document.body.dataset.updates) > %1").arg(before), 5000));

    const QJsonArray texts =
        browser.Evaluate("[...document.querySelectorAll('.tok')].map(e => e.textContent)").toArray();
    const QJsonArray colours =
        browser
            .Evaluate("[...document.querySelectorAll('.cap')].map(e => getComputedStyle(e).backgroundColor)")
            .toArray();
    ASSERT_EQ(texts.size(), 72);
    ASSERT_EQ(colours.size(), 72);
    QSet<QString> coloursSeen;
    for (int n = 1; n <= 72; ++n) {
        EXPECT_EQ(texts[n - 1].toString(), window.CurrentLabel(n)->text()) << "channel " << n;
        EXPECT_EQ(colours[n - 1].toString(), Rgb(window.Panel(n)->Colour())) << "channel " << n;
        coloursSeen.insert(colours[n - 1].toString());
    }
    EXPECT_EQ(colours[0].toString(), Rgb(ui::PanelColour(monitor::PanelState::Overloaded)));
    EXPECT_EQ(colours[1].toString(), Rgb(ui::PanelColour(monitor::PanelState::AboveNominal)));
    EXPECT_EQ(colours[2].toString(), Rgb(ui::PanelColour(monitor::PanelState::Off)));
    EXPECT_GE(coloursSeen.size(), 3);

    SaveShot(browser.Screenshot(1280, false), QStringLiteral("web-desktop.png"));
    // On a phone the twelve motors of a section wrap onto rows of four.
    const QByteArray phone = browser.Screenshot(390, true);
    SaveShot(phone, QStringLiteral("web-phone.png"));
    EXPECT_GT(browser.Evaluate("document.getElementById('Pan5').getBoundingClientRect().top").toDouble(),
              browser.Evaluate("document.getElementById('Pan1').getBoundingClientRect().bottom").toDouble());
    EXPECT_LE(browser.Evaluate("document.documentElement.scrollWidth").toInt(), 390);
}

TEST(WebPage, MotorPageDrawsTheRingFromTheProgramItself) {
    RunningProgram running;
    ASSERT_NE(running.Port(), 0);
    QTest::qWait(2500); // a few slow ticks, so the ring holds more than one slot
    Browser browser;
    ASSERT_TRUE(browser.Ready()) << browser.Log().toStdString();
    browser.Open(QStringLiteral("http://127.0.0.1:%1/motor/37").arg(running.Port()));
    browser.Resize(1000, 700, false);
    ASSERT_TRUE(
        browser.WaitFor("document.getElementById('when').textContent.startsWith('данные на')", 15000));
    // Drawn: the canvas holds the trend's blue line somewhere (antialiased, so roughly its colour).
    EXPECT_TRUE(
        browser
            .Evaluate("(() => { const c = document.getElementById('chart'); "
                      "const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data; "
                      "for (let i = 0; i < d.length; i += 4) if (d[i+2] > 150 && d[i] < 90 && d[i+1] < 130) "
                      "return true; return false; })()")
            .toBool());
    // Nothing but the program itself was asked for.
    EXPECT_EQ(browser
                  .Evaluate("performance.getEntriesByType('resource').filter(r => !r.name.startsWith("
                            "location.origin)).length")
                  .toInt(),
              0);
    // The value axis steps by a round 1, 2 or 5 times a power of ten.
    const QStringList ticks =
        browser.Evaluate("document.getElementById('chart').dataset.ticks").toString().split(' ');
    ASSERT_GE(ticks.size(), 3);
    const double step = ticks[1].toDouble() - ticks[0].toDouble();
    const double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
    EXPECT_TRUE(std::abs(mantissa - 1) < 1e-9 || std::abs(mantissa - 2) < 1e-9 ||
                std::abs(mantissa - 5) < 1e-9)
        << ticks.join(' ').toStdString();
    // The present current and state, as the main window shows them once the plant stands still.
    ui::MainWindow& window = running.Program().Main();
    running.Program().Recorder().StopTimers();
    emit running.Program().Recorder().scanned();
    const QString expected = window.CurrentLabel(37)->text() + QStringLiteral(" А, ");
    EXPECT_TRUE(browser.WaitFor(
        QStringLiteral("document.getElementById('now').textContent.startsWith('%1')").arg(expected), 10000))
        << browser.Evaluate("document.getElementById('now').textContent").toString().toStdString();
    EXPECT_EQ(browser.Evaluate("getComputedStyle(document.getElementById('now')).backgroundColor").toString(),
              Rgb(window.Panel(37)->Colour()));
    SaveShot(browser.Screenshot(1000, false), QStringLiteral("web-motor.png"));
}

} // namespace registrator::web::testing

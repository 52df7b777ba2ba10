// Loads the live page in headless Chromium beside the running station: what it says when the program
// goes and comes back, and how it lists the alarms.
#ifndef _WIN32 // headless Chromium and raw POSIX sockets

#include "ServiceTestSupport.h"
#include "common/DateTime.h"
#include "events/ActiveAlarms.h"
#include "service/web/WebView.h"

#include <QTest>
#include <gtest/gtest.h>

namespace registrator::web::testing {

TEST(WebPage, SaysWhenItHasLostTheProgramAndPicksUpAgainWhenItComesBack) {
    auto running = std::make_unique<RunningStation>();
    const quint16 port = running->Port();
    ASSERT_NE(port, 0);
    Browser browser;
    ASSERT_TRUE(browser.Ready()) << browser.Log().toStdString();
    browser.Open(QStringLiteral("http://127.0.0.1:%1/").arg(port));
    ASSERT_TRUE(browser.WaitFor("Number(document.body.dataset.updates) >= 2", 15000));

    running.reset();
    ASSERT_TRUE(browser.WaitFor("document.getElementById('status').classList.contains('stale')", 10000));
    EXPECT_TRUE(browser.Evaluate("document.getElementById('when').textContent")
                    .toString()
                    .startsWith(QStringLiteral("нет связи с программой")));
    // Greyed out under the red line: the last colours must not pass for live ones.
    const QString sectionsGreyed =
        QStringLiteral("[...document.querySelectorAll('section')].every(s => getComputedStyle(s).filter === "
                       "'grayscale(1)' && Number(getComputedStyle(s).opacity) < 0.5)");
    EXPECT_TRUE(browser.Evaluate(sectionsGreyed).toBool());
    // The alarms too: without the fix their box stayed bright red.
    EXPECT_EQ(browser.Evaluate("getComputedStyle(document.getElementById('alarms')).filter").toString(),
              QStringLiteral("grayscale(1)"));
    SaveShot(browser.Screenshot(1280, false), QStringLiteral("web-lost.png"));

    running = std::make_unique<RunningStation>(port);
    ASSERT_EQ(running->Port(), port);
    const int before = browser.Evaluate("Number(document.body.dataset.updates)").toInt();
    EXPECT_TRUE(
        browser.WaitFor(QStringLiteral("Number(document.body.dataset.updates) > %1 && "
                                       "!document.getElementById('status').classList.contains('stale')")
                            .arg(before + 1),
                        15000));
    EXPECT_FALSE(browser.Evaluate(sectionsGreyed).toBool());
}

// Without the fix the alarm box grew with its alarms and moved the panels under the operator's click,
// listed 20 of 48 without saying so, and named motors by their panels' caption lines.
TEST(WebPage, TheAlarmBoxKeepsItsHeightSaysHowManyItLeavesOutAndNamesMotorsByTheirSettings) {
    RunningStation running;
    ASSERT_NE(running.Port(), 0);
    service::Station& station = running.Station();
    station.Data().Ustavki[5].Name = common::MotorName::FromUtf8("Конвейер подачи");
    events::ActiveAlarms many, none; // 48, motor 5's the newest; and none
    for (int n = 1; n <= 49; ++n)
        many.Follow({.Time = common::SystemClock().Now(),
                     .Kind = events::EventKind::OverloadBegan,
                     .Channel = n == 49 ? 5 : n,
                     .Alarm = n != 5,
                     .Text = {}});
    const auto journal = [&] { return station.Journal().PathFor(common::SystemClock().Today()); };
    running.Web()->SetEvents(&none, journal);
    Browser browser;
    ASSERT_TRUE(browser.Ready()) << browser.Log().toStdString();
    browser.Open(QStringLiteral("http://127.0.0.1:%1/").arg(running.Port()));
    browser.Resize(1280, 900, false);
    ASSERT_TRUE(browser.WaitFor("document.querySelector('#alarms b').textContent === 'Тревог нет'", 15000));
    const QString place = QStringLiteral("[document.getElementById('alarms').offsetHeight, "
                                         "document.getElementById('Pan1').getBoundingClientRect().top]");
    const QJsonValue empty = browser.Evaluate(place);

    running.Web()->SetEvents(&many, journal);
    ASSERT_TRUE(browser.WaitFor("document.querySelector('#alarms b').textContent === 'Тревоги: 48'", 10000));
    EXPECT_EQ(browser.Evaluate(place), empty);
    EXPECT_TRUE(browser
                    .Evaluate("(l => l.children.length === 20 && l.scrollHeight > l.clientHeight)("
                              "document.querySelector('#alarms ul'))")
                    .toBool());
    EXPECT_TRUE(browser.Evaluate("document.getElementById('unlisted').textContent")
                    .toString()
                    .contains(QStringLiteral("ещё 28 не показаны")));
    EXPECT_TRUE(
        browser.Evaluate("document.querySelector('#alarms li').textContent")
            .toString()
            .startsWith(QStringLiteral("перегрузка: Конвейер подачи (Массоподготовка, канал 5), с ")));
    SaveShot(browser.Screenshot(1280, false), QStringLiteral("web-48-alarms.png"));
    Exchange motor;
    RunBeside([&] { motor = Send(running.Port(), Get("/motor/5")); }, std::chrono::seconds(10));
    EXPECT_NE(motor.Body.find("канал 5 · Массоподготовка · <b>Конвейер подачи</b>"), std::string::npos);
}

} // namespace registrator::web::testing

#endif

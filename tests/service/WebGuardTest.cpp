// What the web view does to keep its pages from being turned against the browser: the headers every
// answer carries, and names that are markup, from the settings file, the journal and the reports folder,
// shown as text on every page in headless Chromium with no script of theirs run.
#ifndef _WIN32 // headless Chromium and raw POSIX sockets

#include "ServiceTestSupport.h"
#include "common/DateTime.h"
#include "events/ActiveAlarms.h"
#include "reports/ReportSchedule.h"
#include "service/web/WebView.h"

#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>
#include <regex>

namespace registrator::web::testing {

namespace {

const std::string kPolicy = "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; "
                            "base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

// Before the page's own scripts: alerts and the policy's refusals noted where the test can read them.
const QString kWatch =
    QStringLiteral("window.seen = {alerts: [], refused: []}; window.alert = m => seen.alerts.push(String(m));"
                   "document.addEventListener('securitypolicyviolation', e => seen.refused.push("
                   "e.violatedDirective + ' ' + e.blockedURI + ' ' + e.sourceFile + ':' + e.lineNumber));");

} // namespace

TEST(WebGuard, EveryAnswerCarriesThePolicyAndOnlyScriptsAndStylesMayBeKept) {
    RunningStation running;
    ASSERT_NE(running.Port(), 0);
    const std::string today = common::ArchiveDateText(common::SystemClock().Today());
    std::string page;
    RunBeside([&] { page = Send(running.Port(), Get("/")).Body; }, std::chrono::seconds(10));
    const QRegularExpression linked(QStringLiteral("(?:src|href)=\"(/static/[^\"]+)\""));
    std::vector<std::string> assets;
    for (const auto& match : linked.globalMatch(QString::fromStdString(page)))
        assets.push_back(match.captured(1).toStdString());
    ASSERT_EQ(assets.size(), 2u) << page;
    ASSERT_TRUE(QTest::qWaitFor([&] { return running.RecordsToday() > 0; }, 10000));

    std::vector<Exchange> answers;
    RunBeside(
        [&] {
            for (const std::string& request : std::vector<std::string>{
                     Get("/"), Get("/motor/3"), Get("/trend"), Get("/reports"), Get("/health"),
                     Get("/motor/3/data"), Get("/archive/" + today + ".csv"), "HEAD /stream HTTP/1.1\r\n\r\n",
                     Get("/nothing"), Get("/static/nothing.js"), "GET /\r\n\r\n", "POST / HTTP/1.1\r\n\r\n",
                     Get(assets[0]), Get(assets[1])})
                answers.push_back(Send(running.Port(), request, std::chrono::seconds(20)));
        },
        std::chrono::seconds(60));
    EXPECT_EQ(StatusesOf(answers),
              (std::vector<int>{200, 200, 200, 200, 200, 200, 200, 200, 404, 404, 400, 405, 200, 200}));
    for (std::size_t i = 0; i < answers.size(); ++i) {
        const Exchange& answer = answers[i];
        EXPECT_EQ(HeaderOf(answer, "Content-Security-Policy"), kPolicy) << answer.Head;
        EXPECT_EQ(HeaderOf(answer, "X-Content-Type-Options"), "nosniff") << answer.Head;
        EXPECT_EQ(HeaderOf(answer, "Referrer-Policy"), "no-referrer") << answer.Head;
        EXPECT_EQ(HeaderOf(answer, "X-Frame-Options"), "DENY") << answer.Head;
        const bool asset = i + 2 >= answers.size();
        EXPECT_EQ(HeaderOf(answer, "Cache-Control"),
                  asset ? "private, max-age=31536000, immutable" : "no-store")
            << answer.Head;
    }
    EXPECT_EQ(HeaderOf(answers[12], "Content-Type"), "text/css; charset=utf-8");
    EXPECT_EQ(HeaderOf(answers[13], "Content-Type"), "text/javascript; charset=utf-8");
    // No page holds a script or style of its own, nor a handler in its markup.
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_FALSE(std::regex_search(answers[i].Body, std::regex("<script>|<style|style=\"| on[a-z]+=")))
            << answers[i].Body;
}

// A motor named as markup was written into the panel page's data unescaped, where "</script>" ended
// the element and what followed ran as the page's own script.
TEST(WebGuard, MarkupInNamesShowsAsTextAndRunsNothingWhilstThePagesOwnScriptsWork) {
    const QString image = QStringLiteral("<img src=x onerror=alert(1)>");
    const QString script = QStringLiteral("</script><script>alert(2)</script>");
    const QString file = QStringLiteral("<img src=x onerror=alert(3)>.csv");
    RunningStation running(0, {},
                           "[Ustavki1]\r\nName=" + image.toStdString() +
                               "\r\n[Ustavki2]\r\nName=" + script.toStdString() + "\r\n");
    ASSERT_NE(running.Port(), 0);
    service::Station& station = running.Station();
    ASSERT_EQ(station.Data().Ustavki[1].Name.Utf8(), image.toStdString());
    events::ActiveAlarms alarms;
    for (const int n : {1, 2})
        alarms.Follow({.Time = common::SystemClock().Now(),
                       .Kind = events::EventKind::OverloadBegan,
                       .Channel = n,
                       .Alarm = true,
                       .Text = {}});
    running.Web()->SetEvents(&alarms,
                             [&] { return station.Journal().PathFor(common::SystemClock().Today()); });
    channels::TUstavka before = station.Data().Ustavki[1];
    before.T_Nom += 1;
    station.Journal().JournalCalibration(1, before, station.Data().Ustavki[1]);
    const std::string folder = reports::ReportsFolderOf(station.Archive().Folder());
    std::filesystem::create_directories(folder);
    support::WriteFileBytes(folder + file.toStdString(), "a\n");

    Browser browser;
    ASSERT_TRUE(browser.Ready()) << browser.Log().toStdString();
    // Loads the page until its own script has done `working`; what its texts say, once it is known that
    // nothing but its own elements are in it, no alert came and the policy refused nothing of it.
    const auto visit = [&](const QString& path, const QString& working) {
        browser.Open(QStringLiteral("http://127.0.0.1:%1%2").arg(running.Port()).arg(path), kWatch);
        EXPECT_TRUE(browser.WaitFor(working, 15000)) << path.toStdString();
        EXPECT_EQ(browser.Evaluate("document.querySelectorAll('img, script:not([src]):not([type])').length")
                      .toInt(),
                  0)
            << path.toStdString();
        EXPECT_EQ(browser.Evaluate("JSON.stringify(seen)").toString().toStdString(),
                  R"({"alerts":[],"refused":[]})")
            << path.toStdString();
        return browser
            .Evaluate("[...document.querySelectorAll('title, li, td, a, b, .pick')]"
                      ".map(e => e.textContent).join('\\n')")
            .toString()
            .split('\n');
    };

    const QStringList panel =
        visit(QStringLiteral("/"), QStringLiteral("Number(document.body.dataset.updates) >= 2 && "
                                                  "document.querySelectorAll('#alarms li').length === 2"));
    EXPECT_TRUE(panel.filter(image).size() == 1 && panel.filter(script).size() == 1)
        << panel.join('\n').toStdString();
    // The live colours, set from the script, and the linked style both hold under the policy.
    EXPECT_NE(
        browser.Evaluate("getComputedStyle(document.getElementById('Pan1')).backgroundColor").toString(),
        QStringLiteral("rgba(0, 0, 0, 0)"));
    EXPECT_EQ(browser.Evaluate("getComputedStyle(document.getElementById('status')).position").toString(),
              QStringLiteral("sticky"));
    SaveShot(browser.Screenshot(1280, false), QStringLiteral("web-names-as-markup.png"));

    for (const auto& [n, name] : {std::pair{1, image}, std::pair{2, script}}) {
        const QStringList motor =
            visit(QStringLiteral("/motor/%1").arg(n),
                  QStringLiteral("document.getElementById('when').textContent.startsWith('данные на')"));
        EXPECT_EQ(motor.count(name), 2) << motor.join('\n').toStdString(); // the title and the header
    }
    const QStringList trend =
        visit(QStringLiteral("/trend?channels=1,2&period=day"),
              QStringLiteral("document.querySelectorAll('#picked .pick').length === 2 && "
                             "document.getElementById('section').options.length === 6"));
    EXPECT_TRUE(trend.contains(image + QStringLiteral(" (канал 1)×")) &&
                trend.contains(script + QStringLiteral(" (канал 2)×")))
        << trend.join('\n').toStdString();
    EXPECT_TRUE(visit(QStringLiteral("/events"), QStringLiteral("Number(document.body.dataset.updates) >= 1"))
                    .contains(image));
    EXPECT_TRUE(
        visit(QStringLiteral("/reports"),
              QStringLiteral("getComputedStyle(document.querySelector('header')).position === 'sticky'"))
            .contains(file));
}

} // namespace registrator::web::testing

#endif

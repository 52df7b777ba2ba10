// What /trend/data answers over a real socket for days written as the recorder writes them, and the page
// that draws it.
#ifndef _WIN32 // raw POSIX sockets, headless Chromium

#include "ServiceTestSupport.h"
#include "archive/ArchiveRecords.h"
#include "common/DateTime.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <fstream>
#include <gtest/gtest.h>

namespace registrator::web::testing {

namespace {

// A record every 30 s all day: channel n reads 10 n to 10 n + 6 A, or `fixed` on every channel.
void WriteSparseDay(const std::filesystem::path& path, double fixed = -1) {
    std::ofstream file(path, std::ios::binary);
    archive::TArhivRec record{};
    for (int i = 0; i < 2880; ++i) {
        record.Time = i * 30 / 86400.0;
        for (int n = 1; n <= 72; ++n)
            record.Tok[n - 1] = fixed >= 0 ? fixed : 10 * n + i % 7;
        file.write(reinterpret_cast<const char*>(&record), sizeof record);
    }
}

QJsonObject JsonOf(const Exchange& answer) {
    EXPECT_EQ(answer.Status, 200) << answer.Body;
    EXPECT_NE(answer.Head.find("Content-Type: application/json"), std::string::npos) << answer.Head;
    return QJsonDocument::fromJson(QByteArray::fromStdString(answer.Body)).object();
}

// Milliseconds of a day and time of the station's clock, as the answer counts them.
double MsOf(int year, int month, int day, int hour = 0) {
    return (common::EncodeDate(year, month, day) - 25569) * 86400000.0 + hour * 3600000.0;
}

} // namespace

TEST(WebTrend, APeriodComesAsAtMostWidthPointsWithItsGapsAndNothingFromOutsideTheArchive) {
    RunningStation running;
    const quint16 port = running.Port();
    ASSERT_NE(port, 0);
    const std::filesystem::path data = running.DataFolder();
    for (const char* day : {"01.11.2025.txt", "02.11.2025.txt", "04.11.2025.txt"})
        WriteSparseDay(data / day);
    // A link under a day's name: what it points to is never read.
    const std::filesystem::path outside = data.parent_path() / "elsewhere.txt";
    WriteSparseDay(outside, 999);
    std::filesystem::create_symlink(outside, data / "05.11.2025.txt");

    std::vector<Exchange> answers;
    RunBeside(
        [&] {
            for (const char* path : {
                     "/trend/data?channels=1,5&from=2025-11-01&to=2025-11-06&width=40",
                     "/trend/data?channels=5&from=2025-01-01&to=2026-01-01",
                     "/trend/data?channels=5&from=2025-01-01&to=2026-01-01&width=300",
                     "/trend/data?channels=1&from=2025-11-02T12:00&to=2025-11-02T12:30:30",
                 })
                answers.push_back(Send(port, Get(path), std::chrono::seconds(30)));
        },
        std::chrono::seconds(120));
    ASSERT_EQ(answers.size(), 4u);

    // Five days in 40 points of 3 hours: three days whole, the missing one and the link a gap each.
    const QJsonObject days = JsonOf(answers[0]);
    ASSERT_EQ(days["series"].toArray().size(), 2);
    for (const QJsonValue& value : days["series"].toArray()) {
        const QJsonObject series = value.toObject();
        const int channel = series["channel"].toInt();
        const QJsonArray t = series["t"].toArray(), mean = series["mean"].toArray();
        const QJsonArray min = series["min"].toArray(), max = series["max"].toArray();
        EXPECT_LE(t.size(), 40);
        ASSERT_EQ(mean.size(), t.size());
        int drawn = 0;
        for (qsizetype i = 0; i < t.size(); ++i) {
            const double at = t[i].toDouble();
            const bool recorded =
                at < MsOf(2025, 11, 3) || (at >= MsOf(2025, 11, 4) && at < MsOf(2025, 11, 5));
            if (mean[i].isNull())
                continue;
            ++drawn;
            EXPECT_TRUE(recorded) << "a point at " << at << " where no day was read";
            EXPECT_EQ(min[i].toDouble(), 10 * channel);
            EXPECT_EQ(max[i].toDouble(), 10 * channel + 6);
            EXPECT_GT(mean[i].toDouble(), 10 * channel + 2.9);
            EXPECT_LT(mean[i].toDouble(), 10 * channel + 3.1);
        }
        EXPECT_EQ(drawn, 24); // eight points a day
        // Never bridged: the last point of 2 November and the first of 4 November have a gap between.
        qsizetype last = 0;
        while (last + 1 < t.size() && t[last + 1].toDouble() < MsOf(2025, 11, 3))
            ++last;
        ASSERT_LT(last + 1, t.size());
        EXPECT_TRUE(mean[last + 1].isNull());
    }
    ASSERT_EQ(days["troubles"].toArray().size(), 1);
    EXPECT_TRUE(days["troubles"][0].toString().startsWith(QStringLiteral("05.11.2025.txt: ")));
    EXPECT_FALSE(std::filesystem::exists(data / "digest" / "05.11.2025.digest"));

    // A year: as many points as the default width allows, and as the page asks.
    EXPECT_LE(JsonOf(answers[1])["series"][0]["t"].toArray().size(), 2000);
    const QJsonObject year = JsonOf(answers[2]);
    EXPECT_LE(year["series"][0]["t"].toArray().size(), 300);
    EXPECT_GE(year["series"][0]["t"].toArray().size(), 2);
    EXPECT_EQ(year["from"].toDouble(), MsOf(2025, 1, 1));

    // Half an hour: the records themselves, 30 s apart.
    const QJsonObject records = JsonOf(answers[3]);
    EXPECT_TRUE(records["records"].toBool());
    const QJsonArray t = records["series"][0]["t"].toArray();
    ASSERT_EQ(t.size(), 61);
    EXPECT_EQ(t[0].toDouble(), MsOf(2025, 11, 2, 12));
    EXPECT_EQ(t[1].toDouble() - t[0].toDouble(), 30000);
    EXPECT_EQ(records["series"][0]["mean"][0].toDouble(), 10 + 1440 % 7);
}

TEST(WebTrend, AQueryThatCannotBeMeantIsRefusedWithTheRule) {
    RunningStation running;
    ASSERT_NE(running.Port(), 0);
    const char* const bad[] = {
        "/trend/data",
        "/trend/data?channels=0&from=2025-11-01&to=2025-11-02",
        "/trend/data?channels=1,2,3,4,5,6,7,8,9&from=2025-11-01&to=2025-11-02",
        "/trend/data?channels=1,1&from=2025-11-01&to=2025-11-02",
        "/trend/data?channels=1&from=2025-11-02&to=2025-11-01",
        "/trend/data?channels=1&from=2025-11-31&to=2025-12-02",
        "/trend/data?channels=1&from=01.11.2025&to=2025-11-02",
        "/trend/data?channels=1&from=2025-11-01&to=2025-11-02&width=0",
        "/trend/data?channels=1&from=2025-11-01&to=2025-11-02&width=10001",
        "/trend/data?channels=1&from=2025-11-01&to=2025-11-02&width=2000&width=10",
        "/trend/data?channels=1&from=2025-11-01&to=2025-11-02&step=1",
    };
    std::vector<Exchange> answers;
    RunBeside(
        [&] {
            for (const char* path : bad)
                answers.push_back(Send(running.Port(), Get(path)));
            answers.push_back(Send(running.Port(), Get("/motor/5")));
            answers.push_back(Send(running.Port(), Get("/trend")));
        },
        std::chrono::seconds(60));
    ASSERT_EQ(answers.size(), std::size(bad) + 2);
    for (std::size_t i = 0; i < std::size(bad); ++i) {
        EXPECT_EQ(answers[i].Status, 400) << bad[i];
        // Said in words the operator reads, not just a status.
        EXPECT_GT(QString::fromStdString(answers[i].Body).size(), 20) << bad[i];
    }
    EXPECT_NE(answers[std::size(bad)].Body.find("href=\"/trend?channels=5&period=day\""), std::string::npos);
    EXPECT_EQ(answers.back().Status, 200);
}

TEST(WebTrend, ThePageDrawsThePickedMotorsFromItsOwnAddress) {
    RunningStation running;
    ASSERT_NE(running.Port(), 0);
    for (const char* day : {"01.11.2025.txt", "02.11.2025.txt", "04.11.2025.txt"})
        WriteSparseDay(running.DataFolder() / day);
    Browser browser;
    ASSERT_TRUE(browser.Ready()) << browser.Log().toStdString();
    browser.Open(QStringLiteral("http://127.0.0.1:%1/trend?channels=1,5,9&period=range&from=2025-10-31T12:00&"
                                "to=2025-11-05T00:00&lines=5")
                     .arg(running.Port()));
    browser.Resize(1200, 800, false);
    ASSERT_TRUE(browser.WaitFor("!!document.getElementById('chart').dataset.points", 20000));
    // Three series, each no more points than the chart is wide.
    const QStringList points =
        browser.Evaluate("document.getElementById('chart').dataset.points").toString().split(' ');
    const int width = browser.Evaluate("document.getElementById('chart').clientWidth").toInt();
    ASSERT_EQ(points.size(), 3);
    for (const QString& count : points)
        EXPECT_LE(count.toInt(), width);
    EXPECT_EQ(browser.Evaluate("document.querySelectorAll('.pick').length").toInt(), 3);
    EXPECT_EQ(browser.Evaluate("document.getElementById('state').textContent").toString(), QString());
    // Back a day: the period moves, and the address keeps it for a reload.
    browser.Evaluate("document.getElementById('back').click()");
    ASSERT_TRUE(browser.WaitFor("location.search.includes('from=2025-10-27T00:00')", 10000));
    EXPECT_EQ(browser
                  .Evaluate("performance.getEntriesByType('resource').filter(r => !r.name.startsWith("
                            "location.origin)).length")
                  .toInt(),
              0);
    browser.Evaluate("document.getElementById('forward').click()");
    ASSERT_TRUE(browser.WaitFor("location.search.includes('from=2025-10-31T12:00')", 10000));
    ASSERT_TRUE(browser.WaitFor("document.getElementById('state').textContent === ''", 20000));
    SaveShot(browser.Screenshot(1200, false), QStringLiteral("web-trend.png"));
}

} // namespace registrator::web::testing

#endif

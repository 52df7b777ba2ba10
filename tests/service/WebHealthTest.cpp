// What /health/motors answers over a real socket for sixty days of a plant in which two motors drift.
#ifndef _WIN32 // raw POSIX sockets

#include "ServiceTestSupport.h"
#include "channels/SettingsFile.h"
#include "support/DriftingPlant.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace registrator::web::testing {

namespace {

using Plant = support::DriftingPlant;

QJsonObject JsonOf(const Exchange& answer) {
    EXPECT_EQ(answer.Status, 200) << answer.Body.substr(0, 300);
    EXPECT_NE(answer.Head.find("Content-Type: application/json"), std::string::npos) << answer.Head;
    EXPECT_NE(answer.Head.find("Cache-Control: no-store"), std::string::npos) << answer.Head;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(answer.Body), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    return document.object();
}

} // namespace

TEST(WebHealth, EachMotorsFlagsAndDaysComeAsJsonWithTheMarginOfTheSettingsFile) {
    RunningStation running;
    const quint16 port = running.Port();
    ASSERT_NE(port, 0);
    const common::TDateTime today = common::SystemClock().Today();
    ASSERT_TRUE((Plant{today - Plant::kDays, 400}).Write(running.DataFolder().string() + "/"));
    // A name a JSON text must escape.
    const std::string odd = "Насос \"Б\" \\ 2\t/";
    running.Station().Data().Ustavki[12].Name.AssignUtf8(odd);

    std::vector<Exchange> answers;
    const auto ask = [&](const char* path) {
        RunBeside([&] { answers.push_back(Send(port, Get(path), std::chrono::seconds(200))); },
                  std::chrono::seconds(240));
    };
    ask("/health/motors");
    ASSERT_EQ(answers.size(), 1u);
    const QJsonObject health = JsonOf(answers[0]);
    EXPECT_EQ(health["margin"].toInt(), 25);
    EXPECT_EQ(health["troubles"].toArray().size(), 0);
    const QJsonArray days = health["days"].toArray();
    ASSERT_EQ(days.size(), 90);
    EXPECT_EQ(days.last().toString().toStdString(), common::ArchiveDateText(today));
    const QJsonArray motors = health["motors"].toArray();
    ASSERT_EQ(motors.size(), 72);

    const QJsonObject longer = motors[Plant::kLongerStarts - 1].toObject();
    EXPECT_EQ(longer["channel"].toInt(), Plant::kLongerStarts);
    EXPECT_TRUE(longer["flagged"].toBool());
    const QJsonObject seconds = longer["flags"]["startSeconds"].toObject();
    EXPECT_TRUE(seconds["flagged"].toBool());
    EXPECT_GT(seconds["recent"].toDouble(), 1.25 * seconds["past"].toDouble());
    EXPECT_FALSE(longer["flags"]["startPeak"]["flagged"].toBool());
    EXPECT_TRUE(motors[Plant::kMoreCurrent - 1]["flags"]["runningCurrent"]["flagged"].toBool());

    const QJsonObject healthy = motors[11].toObject();
    EXPECT_EQ(healthy["name"].toString().toStdString(), odd);
    EXPECT_EQ(healthy["section"].toString(), QStringLiteral("Массоподготовка"));
    EXPECT_FALSE(healthy["flagged"].toBool());
    for (const char* flag : {"startSeconds", "startPeak", "startsPerDay", "runningCurrent"}) {
        const QJsonObject drift = healthy["flags"][QLatin1String(flag)].toObject();
        EXPECT_FALSE(drift["flagged"].toBool()) << flag;
        EXPECT_GT(drift["past"].toDouble(), 0) << flag;
    }
    // Its days: none before the archive begins, then each day's figures.
    const QJsonObject daily = healthy["daily"].toObject();
    ASSERT_EQ(daily.size(), 6);
    const QJsonArray hours = daily["runHours"].toArray();
    ASSERT_EQ(hours.size(), 90);
    EXPECT_TRUE(hours[28].isNull());
    EXPECT_EQ(hours[29].toDouble(), 23) << "stopped from midnight to one";
    EXPECT_GE(daily["starts"][29].toDouble(), 3);
    EXPECT_NEAR(daily["runningCurrent"][29].toDouble(), 412 * Plant::Load(1, 0), 412 * 0.07);

    // The engineer widens the margin beyond both drifts: the next answer counts with it. /health is as it
    // was.
    channels::SettingsFile(running.Station().SettingsPath(), common::RegionalSettings::Russian())
        .WriteHealthMargin(60);
    ask("/health/motors");
    ask("/health");
    ASSERT_EQ(answers.size(), 3u);
    const QJsonObject wider = JsonOf(answers[1]);
    EXPECT_EQ(wider["margin"].toInt(), 60);
    for (const QJsonValue& motor : wider["motors"].toArray())
        EXPECT_FALSE(motor["flagged"].toBool()) << motor["channel"].toInt();
    const QJsonObject station = JsonOf(answers[2]);
    EXPECT_TRUE(station.contains(QStringLiteral("version")));
    EXPECT_EQ(station["webLogin"].toString(), QStringLiteral("open")) << "no --web-users: open to all";
    EXPECT_FALSE(station.contains(QStringLiteral("motors")));
}

} // namespace registrator::web::testing

#endif

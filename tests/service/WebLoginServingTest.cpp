// The web view behind its log-in, through real sockets: the users made by the program's own command,
// then pages, data, /health and /metrics asked with no credentials, a wrong password and the right one.
#ifndef _WIN32 // raw POSIX sockets

#include "ServiceTestSupport.h"
#include "events/EventJournal.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <algorithm>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

namespace registrator::web::testing {

namespace {

constexpr auto kLimit = std::chrono::seconds(60);
const char* const kChallenge = "WWW-Authenticate: Basic realm=\"Registrator\", charset=\"UTF-8\"\r\n";

// `Registrator --web-user NAME --web-users FILE` given `typed` on its standard input; its exit status.
int SetPassword(const std::string& file, const std::string& typed) {
    QProcess command;
    command.start(QStringLiteral(REGISTRATOR_EXECUTABLE),
                  {"--web-user", "ivanov", "--web-users", QString::fromStdString(file)});
    command.write(QByteArray::fromStdString(typed));
    command.closeWriteChannel();
    EXPECT_TRUE(command.waitForFinished(120000));
    return command.exitCode();
}

std::string As(const std::string& path, const std::string& password) {
    return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Basic " +
           QByteArray::fromStdString("ivanov:" + password).toBase64().toStdString() + "\r\n\r\n";
}

Exchange SendFrom(quint16 port, const char* from, const std::string& request) {
    const int fd = Connect(port, from);
    (void)SendAll(fd, request);
    std::vector<Exchange> answers = ReadAnswers(fd, 1, kLimit);
    ::close(fd);
    return answers.empty() ? Exchange{} : answers.front();
}

bool Has(const Exchange& answer, const std::string& text) {
    return answer.Head.find(text) != std::string::npos || answer.Body.find(text) != std::string::npos;
}

// Today's journal lines of that kind.
std::vector<std::string> Journalled(RunningStation& running, const char* kind) {
    std::vector<std::string> details;
    for (const events::JournalEntry& line :
         events::EventJournal::Read(running.Station().Journal().PathFor(common::SystemClock().Today())))
        if (line.KindText() == kind)
            details.push_back(line.Details);
    return details;
}

} // namespace

TEST(WebLogin, OverPlainHttpALogInIsRefusedAndOnlyHealthAndOpenedMetricsAnswer) {
    support::TempFolder folder;
    const std::string users = folder.File("web-users");
    ASSERT_EQ(SetPassword(users, "верный пароль\nверный пароль\n"), 0);
    RunningStation running(0, {}, {}, {users, true, false});
    ASSERT_NE(running.Port(), 0);
    std::vector<Exchange> answers;
    RunBeside(
        [&] {
            for (const char* path : {"/", "/motor/7/data", "/health", "/metrics"})
                answers.push_back(Send(running.Port(), As(path, "верный пароль"), kLimit));
        },
        std::chrono::seconds(240));
    ASSERT_EQ(answers.size(), 4u);
    EXPECT_EQ(StatusesOf(answers), (std::vector<int>{403, 403, 200, 200}));
    EXPECT_TRUE(Has(answers[0], "только по HTTPS")) << answers[0].Body;
    EXPECT_FALSE(Has(answers[0], "WWW-Authenticate")) << "a browser must not be asked for a password here";
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(answers[2].Body))["webLogin"].toString(),
              QStringLiteral("required"));
    EXPECT_TRUE(Has(answers[3], "registrator_records_today"));
    const auto refused = Journalled(running, "отказ во входе");
    ASSERT_EQ(refused.size(), 2u);
    EXPECT_EQ(refused[0], "пользователь ivanov, адрес 127.0.0.1, вход не по HTTPS");
}

TEST(WebLogin, EveryAddressButHealthNeedsTheRightPasswordAndTheSixthWrongOneIsBlocked) {
    support::TempFolder folder;
    const std::string users = folder.File("web-users");
    ASSERT_EQ(SetPassword(users, "первый\nпервый\n"), 0);
    EXPECT_EQ(std::filesystem::status(users).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    const std::string made = support::ReadFileBytes(users);
    EXPECT_EQ(made.rfind("ivanov:pbkdf2-sha256:200000:", 0), 0u) << made;
    // Two that differ, or none, change nothing.
    EXPECT_EQ(SetPassword(users, "первый\nпервыи\n"), 2);
    EXPECT_EQ(SetPassword(users, "\n\n"), 2);
    EXPECT_EQ(support::ReadFileBytes(users), made);

    RunningStation running(0, {}, {}, {users, false, true});
    const quint16 port = running.Port();
    ASSERT_NE(port, 0);
    RunBeside(
        [&] {
            for (const char* path : {"/", "/motor/7/data", "/events/data", "/trend", "/metrics"}) {
                const Exchange none = Send(port, Get(path), kLimit);
                EXPECT_EQ(none.Status, 401) << path;
                EXPECT_TRUE(Has(none, kChallenge)) << none.Head;
                EXPECT_EQ(Send(port, As(path, "первый"), kLimit).Status, 200) << path;
            }
            EXPECT_EQ(Send(port, As("/", "второй"), kLimit).Status, 401);
            EXPECT_EQ(Send(port, As("/motor/7/data", "первый "), kLimit).Status, 401);
            EXPECT_EQ(Send(port, Get("/health"), kLimit).Status, 200);

            // A password being checked holds up nobody else: without the worker, the check would have
            // answered before /health was even read.
            const int slow = Connect(port, "127.0.0.3");
            ASSERT_TRUE(SendAll(slow, As("/", "угадай")));
            EXPECT_EQ(SendFrom(port, "127.0.0.4", Get("/health")).Status, 200);
            char byte = 0;
            EXPECT_EQ(::recv(slow, &byte, 1, MSG_DONTWAIT), -1) << "the check ran on the GUI thread";
            const std::vector<Exchange> late = ReadAnswers(slow, 1, kLimit);
            ::close(slow);
            EXPECT_EQ(StatusesOf(late), std::vector<int>{401});

            // Five wrong passwords from one address within a minute: the sixth, and then the right one
            // too, get 429 there, while another address goes on.
            for (int guess = 1; guess <= 5; ++guess)
                EXPECT_EQ(SendFrom(port, "127.0.0.2", As("/", "guess" + std::to_string(guess))).Status, 401);
            const Exchange sixth = SendFrom(port, "127.0.0.2", As("/", "guess6"));
            EXPECT_EQ(sixth.Status, 429);
            EXPECT_TRUE(Has(sixth, "Retry-After: 60\r\n") || Has(sixth, "Retry-After: 59\r\n")) << sixth.Head;
            EXPECT_EQ(SendFrom(port, "127.0.0.2", As("/", "первый")).Status, 429);
            EXPECT_EQ(SendFrom(port, "127.0.0.2", Get("/health")).Status, 429);
            EXPECT_EQ(Send(port, As("/", "первый"), kLimit).Status, 200);

            // A new password: the old one, though found right before, is let in no more.
            EXPECT_EQ(SetPassword(users, "второй\nвторой\n"), 0);
            EXPECT_EQ(Send(port, As("/motor/7/data", "первый"), kLimit).Status, 401);
            EXPECT_EQ(Send(port, As("/motor/7/data", "второй"), kLimit).Status, 200);
        },
        std::chrono::seconds(280));

    // One line for the day's first log-in of the user, however many requests it made; one for each
    // refusal, the block said once.
    EXPECT_EQ(Journalled(running, "веб-просмотр: вход"),
              std::vector<std::string>{"пользователь ivanov, адрес 127.0.0.1"});
    const auto refused = Journalled(running, "отказ во входе");
    EXPECT_EQ(refused.size(), 9u);
    EXPECT_EQ(
        std::count(refused.begin(), refused.end(),
                   "пользователь ivanov, адрес 127.0.0.2, неверное имя или пароль, адрес заблокирован на "
                   "минуту"),
        1);
    EXPECT_EQ(refused.front(), "пользователь ivanov, адрес 127.0.0.1, неверное имя или пароль");
}

} // namespace registrator::web::testing

#endif

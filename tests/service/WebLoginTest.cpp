// The users file, the password check and the lock-out rule, without a network.
#include "service/web/WebLogin.h"

#include "service/web/LoginLockout.h"
#include "service/web/WebUsers.h"
#include "support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace registrator::web {

namespace {

namespace fs = std::filesystem;

// A user with a made-up hash: the file's form is checked without the slow derivation.
WebUser Listed(const std::string& name, char fill) {
    return {name, kMinPasswordIterations, QByteArray(kSaltBytes, fill), QByteArray(kHashBytes, fill)};
}

} // namespace

TEST(WebUsers, TheHashIsPbkdf2Sha256AndALineIsReadBackAsWritten) {
    // RFC 7914's test vector: another hash function or length would fail here.
    EXPECT_EQ(DerivePasswordHash("password", "salt", 1).toHex(),
              "120fb6cffcf8b32c43e7225256c4f837a86548c92ccc35480805987cb70be17b");
    const QByteArray salt(kSaltBytes, 's');
    const WebUser fast{"оператор", 2, salt, DerivePasswordHash("пароль", salt, 2)};
    EXPECT_TRUE(PasswordMatches(fast, "пароль"));
    EXPECT_FALSE(PasswordMatches(fast, "пароль "));
    EXPECT_FALSE(PasswordMatches(fast, ""));
    EXPECT_FALSE(SameBytes("abc", "abcd"));

    support::TempFolder folder;
    const std::string path = folder.File("web-users");
    std::string error;
    ASSERT_TRUE(WriteWebUser(path, Listed("ivanov", 'a'), error)) << error;
#ifndef _WIN32
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
#endif
    // A comment and a second user stay as they are when the first one's password changes.
    support::WriteFileBytes(path, support::ReadFileBytes(path) + "# the night shift\n");
    ASSERT_TRUE(WriteWebUser(path, Listed("петров", 'b'), error)) << error;
    ASSERT_TRUE(WriteWebUser(path, Listed("ivanov", 'c'), error)) << error;
    const std::string text = support::ReadFileBytes(path);
    EXPECT_EQ(text, UserLine(Listed("ivanov", 'c')) + "\n# the night shift\n" +
                        UserLine(Listed("петров", 'b')) + "\n");
    EXPECT_EQ(UserLine(Listed("ivanov", 'c')).substr(0, 29), "ivanov:pbkdf2-sha256:200000:Y");
    std::vector<WebUser> users;
    ASSERT_TRUE(ReadWebUsers(path, users, error)) << error;
    ASSERT_EQ(users.size(), 2u);
    EXPECT_EQ(users[1].Name, "петров");
    EXPECT_EQ(users[0].Salt, QByteArray(kSaltBytes, 'c'));
    EXPECT_EQ(users[0].Hash, QByteArray(kHashBytes, 'c'));
#ifndef _WIN32
    // Hashes others may read are guessed at leisure: refused, for reading and for writing alike.
    fs::permissions(path, fs::perms::others_read, fs::perm_options::add);
    EXPECT_FALSE(ReadWebUsers(path, users, error));
    EXPECT_NE(error.find("may be read by others"), std::string::npos) << error;
    EXPECT_FALSE(WriteWebUser(path, Listed("x", 'd'), error));
    EXPECT_EQ(support::ReadFileBytes(path), text);
#endif
}

TEST(WebUsers, AMalformedLineIsRefusedWithItsFileAndLine) {
    const std::string good = UserLine(Listed("ivanov", 'a'));
    const std::string salt = QByteArray(kSaltBytes, 'a').toBase64().toStdString();
    const std::string hash = QByteArray(kHashBytes, 'a').toBase64().toStdString();
    struct Case {
        std::string Line;
        const char* Says;
    };
    const Case cases[] = {
        {"ivanov:secret", "not name:pbkdf2-sha256"},
        {"ivanov:pbkdf2-sha1:200000:" + salt + ":" + hash, "not pbkdf2-sha256"},
        {"ivanov:pbkdf2-sha256:199999:" + salt + ":" + hash, "from 200000"},
        {"ivanov:pbkdf2-sha256:2e5:" + salt + ":" + hash, "not a number"},
        {"ivanov:pbkdf2-sha256:200000:" + salt + ":" + hash + "=", "the hash is not base64"},
        {"ivanov:pbkdf2-sha256:200000:c2hvcnQ=:" + hash, "the salt"},
        {"ivanov:pbkdf2-sha256:200000:" + salt + ":" + salt, "of 32 bytes"},
        {":pbkdf2-sha256:200000:" + salt + ":" + hash, "1 to 64 bytes"},
        {good, "a second line for the user ivanov"},
    };
    for (const Case& c : cases) {
        std::vector<WebUser> users;
        std::string error;
        EXPECT_FALSE(
            ParseWebUsers("# users\n" + good + "\r\n" + c.Line + "\n", "/etc/web-users", users, error));
        EXPECT_EQ(error.rfind("/etc/web-users:3: ", 0), 0u) << error;
        EXPECT_NE(error.find(c.Says), std::string::npos) << error;
        EXPECT_TRUE(users.empty());
    }
    support::TempFolder folder;
    support::WriteFileBytes(folder.Path() / "empty", "# nobody yet\n");
    fs::permissions(folder.Path() / "empty", fs::perms::owner_read | fs::perms::owner_write);
    std::vector<WebUser> users;
    std::string error;
    EXPECT_FALSE(ReadWebUsers(folder.File("empty"), users, error));
    EXPECT_NE(error.find("holds no user"), std::string::npos) << error;
}

TEST(WebLogin, BasicCredentialsAreTakenOnlyFromTheBasicScheme) {
    const auto given = BasicCredentials("basic " + QByteArray("ivanov:pa:ss").toBase64());
    ASSERT_TRUE(given);
    EXPECT_EQ(given->Name, "ivanov");
    EXPECT_EQ(given->Password, "pa:ss"); // only the first ':' ends the name
    EXPECT_FALSE(BasicCredentials("Bearer " + QByteArray("ivanov:x").toBase64()));
    EXPECT_FALSE(BasicCredentials("Basic " + QByteArray("ivanov").toBase64()));
    EXPECT_FALSE(BasicCredentials("Basic aXZhbm92Ong*"));
    EXPECT_FALSE(BasicCredentials(""));
}

TEST(LoginLockout, FiveFailuresWithinAMinuteBlockTheAddressForAMinute) {
    using namespace std::chrono_literals;
    auto now = std::chrono::steady_clock::time_point{} + 1h;
    LoginLockout lockout([&] { return now; });
    const auto at = [&, start = now](std::chrono::milliseconds since) { now = start + since; };

    // Four in under a minute, and one from elsewhere: nobody blocked.
    for (auto since : {0s, 10s, 20s, 30s}) {
        at(since);
        EXPECT_FALSE(lockout.Failed("10.0.0.5"));
    }
    EXPECT_FALSE(lockout.Failed("10.0.0.6"));
    EXPECT_EQ(lockout.SecondsBlocked("10.0.0.5"), 0);
    // The fifth within the minute blocks that address only, for a minute, rounded up to whole seconds.
    at(59s);
    EXPECT_TRUE(lockout.Failed("10.0.0.5"));
    EXPECT_EQ(lockout.SecondsBlocked("10.0.0.5"), 60);
    EXPECT_EQ(lockout.SecondsBlocked("10.0.0.6"), 0);
    at(59s + 59500ms);
    EXPECT_EQ(lockout.SecondsBlocked("10.0.0.5"), 1);
    // Over: the failures that blocked it are spent.
    at(119s);
    EXPECT_EQ(lockout.SecondsBlocked("10.0.0.5"), 0);
    EXPECT_FALSE(lockout.Failed("10.0.0.5"));

    // Five spread over more than a minute block nothing: the first has run out by the fifth.
    for (auto since : {200s, 220s, 240s, 259s, 260s}) {
        at(since);
        EXPECT_FALSE(lockout.Failed("10.0.0.7")) << since.count();
    }
    at(261s);
    EXPECT_TRUE(lockout.Failed("10.0.0.7"));
}

} // namespace registrator::web

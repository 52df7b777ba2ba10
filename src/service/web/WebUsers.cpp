#include "service/web/WebUsers.h"

#include "common/AtomicFile.h"
#include "common/PrivateFile.h"
#include "common/Utf8Path.h"

#include <QCryptographicHash>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QUtf8StringView>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>

namespace registrator::web {

namespace {

constexpr const char* kScheme = "pbkdf2-sha256";
constexpr std::size_t kMaxNameBytes = 64;
// Far more than any station's users need: a larger file is not one of ours.
constexpr std::uintmax_t kMaxFileBytes = 1 << 20;

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (std::size_t at = text.find(separator); at != std::string::npos; at = text.find(separator, from)) {
        parts.push_back(text.substr(from, at - from));
        from = at + 1;
    }
    parts.push_back(text.substr(from));
    return parts;
}

// The file's lines without their line ends; nothing after the last line end counts as a line of its own.
std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines = Split(text, '\n');
    if (!lines.empty() && lines.back().empty())
        lines.pop_back();
    for (std::string& line : lines)
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
    return lines;
}

bool IsUserLine(const std::string& line) {
    return !line.empty() && line.front() != '#';
}

std::optional<QByteArray> Base64Field(const std::string& field) {
    const auto decoded = QByteArray::fromBase64Encoding(QByteArray::fromStdString(field),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || field.empty())
        return std::nullopt;
    return decoded.decoded;
}

// What is wrong with one line ("" when nothing), `user` filled when it is right.
std::string JudgeLine(const std::string& line, WebUser& user) {
    const std::vector<std::string> fields = Split(line, ':');
    if (fields.size() != 5)
        return "not name:pbkdf2-sha256:ITERATIONS:SALT:HASH";
    if (std::string problem = UserNameProblem(fields[0]); !problem.empty())
        return problem;
    if (fields[1] != kScheme)
        return "the hash is not pbkdf2-sha256 but \"" + fields[1].substr(0, 20) + "\"";
    const std::string& count = fields[2];
    if (count.empty() || count.size() > 9 || count.find_first_not_of("0123456789") != std::string::npos)
        return "the number of iterations is not a number";
    const int iterations = std::stoi(count);
    if (iterations < kMinPasswordIterations || iterations > kMaxPasswordIterations)
        return "the number of iterations must be from " + std::to_string(kMinPasswordIterations) + " to " +
               std::to_string(kMaxPasswordIterations);
    const std::optional<QByteArray> salt = Base64Field(fields[3]);
    if (!salt || salt->size() < kSaltBytes)
        return "the salt is not base64 of at least " + std::to_string(kSaltBytes) + " bytes";
    const std::optional<QByteArray> hash = Base64Field(fields[4]);
    if (!hash || hash->size() != kHashBytes)
        return "the hash is not base64 of " + std::to_string(kHashBytes) + " bytes";
    user = {fields[0], iterations, *salt, *hash};
    return {};
}

bool ReadText(const std::string& path, std::string& text, std::string& error) {
    const std::filesystem::path file = common::PathFromUtf8(path);
    std::error_code code;
    const std::uintmax_t size = std::filesystem::file_size(file, code);
    if (code) {
        error = path + ": " + code.message();
        return false;
    }
    if (size > kMaxFileBytes) {
        error = path + " is too large for a users file";
        return false;
    }
    std::ifstream in(file, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), {});
    if (!in && !in.eof()) {
        error = path + ": cannot be read";
        return false;
    }
    return true;
}

} // namespace

QByteArray DerivePasswordHash(const QByteArray& password, const QByteArray& salt, int iterations) {
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password, salt, iterations,
                                              kHashBytes);
}

WebUser MakeWebUser(const std::string& name, const QByteArray& password, int iterations) {
    QByteArray salt(kSaltBytes, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(salt.data()), kSaltBytes / 4);
    return {name, iterations, salt, DerivePasswordHash(password, salt, iterations)};
}

bool PasswordMatches(const WebUser& user, const QByteArray& password) {
    return SameBytes(DerivePasswordHash(password, user.Salt, user.Iterations), user.Hash);
}

bool SameBytes(const QByteArray& a, const QByteArray& b) {
    if (a.size() != b.size())
        return false;
    unsigned char differ = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        differ |= static_cast<unsigned char>(a[i] ^ b[i]);
    return differ == 0;
}

std::string UserNameProblem(const std::string& name) {
    if (name.empty() || name.size() > kMaxNameBytes)
        return "a user's name must be 1 to " + std::to_string(kMaxNameBytes) + " bytes long";
    for (const char c : name)
        if (c == ':' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return "a user's name may hold no ':' and no control character";
    if (!QUtf8StringView(name).isValidUtf8())
        return "a user's name must be UTF-8";
    return {};
}

std::string UserLine(const WebUser& user) {
    return user.Name + ':' + kScheme + ':' + std::to_string(user.Iterations) + ':' +
           user.Salt.toBase64().toStdString() + ':' + user.Hash.toBase64().toStdString();
}

bool ParseWebUsers(const std::string& text, const std::string& path, std::vector<WebUser>& users,
                   std::string& error) {
    users.clear();
    std::set<std::string> names;
    const std::vector<std::string> lines = LinesOf(text);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        if (!IsUserLine(lines[n]))
            continue;
        WebUser user;
        std::string problem = JudgeLine(lines[n], user);
        if (problem.empty() && !names.insert(user.Name).second)
            problem = "a second line for the user " + user.Name;
        if (!problem.empty()) {
            error = path + ":" + std::to_string(n + 1) + ": " + problem;
            users.clear();
            return false;
        }
        users.push_back(std::move(user));
    }
    return true;
}

bool ReadWebUsers(const std::string& path, std::vector<WebUser>& users, std::string& error) {
    std::string text;
    if (!common::OwnerOnly(path, error) || !ReadText(path, text, error) ||
        !ParseWebUsers(text, path, users, error))
        return false;
    if (users.empty()) {
        error = path + " holds no user; make one with Registrator --web-user NAME --web-users " + path;
        return false;
    }
    return true;
}

bool WriteWebUser(const std::string& path, const WebUser& user, std::string& error) {
    namespace fs = std::filesystem;
    const fs::path file = common::PathFromUtf8(path);
    std::error_code code;
    std::string text;
    if (fs::exists(file, code)) {
        // A file the program would refuse is not written into: its other lines must stay good.
        std::vector<WebUser> users;
        if (!common::OwnerOnly(path, error) || !ReadText(path, text, error) ||
            !ParseWebUsers(text, path, users, error))
            return false;
    } else {
        // Made empty and private before anything is written: the replacement keeps the file's mode.
        if (!std::ofstream(file, std::ios::binary)) {
            error = path + ": cannot be made";
            return false;
        }
        fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write, code);
    }
    std::string lines;
    bool replaced = false;
    for (const std::string& line : LinesOf(text)) {
        const bool same = IsUserLine(line) && line.substr(0, line.find(':')) == user.Name;
        lines += same ? UserLine(user) : line;
        lines += '\n';
        replaced = replaced || same;
    }
    if (!replaced)
        lines += UserLine(user) + '\n';
    if (common::ReplaceFileAtomically(file, lines, {}, &code) != common::ReplaceResult::Replaced) {
        error = path + ": " + code.message();
        return false;
    }
    return true;
}

} // namespace registrator::web

#pragma once

#include <QByteArray>
#include <string>
#include <vector>

namespace registrator::web {

// One user of the web view, as a line of the users file holds it:
// "name:pbkdf2-sha256:ITERATIONS:SALT_BASE64:HASH_BASE64", the hash PBKDF2-HMAC-SHA256 of the password
// (UTF-8) with that salt and number of iterations.
struct WebUser {
    std::string Name; // UTF-8, as the browser sends it
    int Iterations = 0;
    QByteArray Salt;
    QByteArray Hash;
};

// Fewer would let a stolen file's passwords be guessed too fast; a new password gets exactly this many,
// as Qt's derivation is slow enough at it (see the README for how long it takes).
constexpr int kMinPasswordIterations = 200'000;
// More would let one line of the file hold every log-in up for minutes.
constexpr int kMaxPasswordIterations = 10'000'000;
constexpr int kSaltBytes = 16;
constexpr int kHashBytes = 32;

// PBKDF2-HMAC-SHA256 of the password, kHashBytes long. Slow by design: never on the GUI thread.
QByteArray DerivePasswordHash(const QByteArray& password, const QByteArray& salt, int iterations);
// A user with a fresh random salt and the hash of `password`.
WebUser MakeWebUser(const std::string& name, const QByteArray& password,
                    int iterations = kMinPasswordIterations);
// Whether `password` is the user's, the hashes compared in constant time.
bool PasswordMatches(const WebUser& user, const QByteArray& password);
// Equal bytes, in a time that depends on the lengths only.
bool SameBytes(const QByteArray& a, const QByteArray& b);

// Why `name` cannot be a user's name ("" when it can): 1 to 64 bytes of UTF-8 without ':' (which ends
// the name in the file and in the browser's log-in) and without control characters.
std::string UserNameProblem(const std::string& name);
// The user's line, without its line end.
std::string UserLine(const WebUser& user);

// The users of the file's text: blank lines and lines starting with '#' are passed over. False when a
// line is malformed, with `error` naming `path`, the line and what is wrong with it.
bool ParseWebUsers(const std::string& text, const std::string& path, std::vector<WebUser>& users,
                   std::string& error);
// The users file the web view is started with: readable by its owner only and holding at least one
// user; else false with `error` saying why.
bool ReadWebUsers(const std::string& path, std::vector<WebUser>& users, std::string& error);
// Writes the user's line into the file, in place of the line of the same name if there is one, the
// other lines kept as they are; a new file is made readable by its owner only. Replaced whole through
// a temporary file, so a crash leaves the old file or the new one. False with `error` saying why.
bool WriteWebUser(const std::string& path, const WebUser& user, std::string& error);

} // namespace registrator::web

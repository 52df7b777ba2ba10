#include "service/web/WebLogin.h"

#include "common/Utf8Path.h"
#include "service/web/RequestHead.h"

#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <optional>

namespace registrator::web {

namespace {

// Checks waiting or running at once; more are told to come back, so that a flood of guesses cannot queue
// minutes of work.
constexpr int kMaxChecks = 8;
// How much of a name given at the door the journal keeps.
constexpr int kShownNameChars = 64;

QByteArray RandomBytes(int count) {
    QByteArray bytes(count, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(bytes.data()), count / 4);
    return bytes;
}

// A name from the network, as the journal may hold it: bounded, without control characters.
std::string ShownName(const std::string& given) {
    QString name = QString::fromUtf8(given).left(kShownNameChars);
    for (QChar& c : name)
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char('?');
    return name.isEmpty() ? std::string("(без имени)") : name.toStdString();
}

DoorAnswer Challenge() {
    return {401,
            "Нужен вход: имя и пароль пользователя веб-просмотра\n",
            {{"WWW-Authenticate", "Basic realm=\"Registrator\", charset=\"UTF-8\""}}};
}

DoorAnswer Blocked(int seconds) {
    return {429,
            "Слишком много неудачных попыток входа с этого адреса, повторите через " +
                QByteArray::number(seconds) + " с\n",
            {{"Retry-After", QByteArray::number(seconds)}}};
}

} // namespace

std::optional<Credentials> BasicCredentials(const QByteArray& authorization) {
    const qsizetype space = authorization.indexOf(' ');
    if (space < 0 || authorization.left(space).compare("Basic", Qt::CaseInsensitive) != 0)
        return std::nullopt;
    const auto result = QByteArray::fromBase64Encoding(authorization.mid(space + 1).trimmed(),
                                                       QByteArray::AbortOnBase64DecodingErrors);
    const qsizetype colon = result.decoded.indexOf(':');
    if (!result || colon < 0)
        return std::nullopt;
    return Credentials{result.decoded.left(colon).toStdString(), result.decoded.mid(colon + 1)};
}

std::unique_ptr<WebLogin> WebLogin::Open(LoginOptions options, const common::Clock& clock,
                                         std::string& error) {
    std::unique_ptr<WebLogin> login(new WebLogin(std::move(options), clock));
    if (!login->FollowUsersFile()) {
        error = login->usersProblem_;
        return nullptr;
    }
    return login;
}

WebLogin::WebLogin(LoginOptions options, const common::Clock& clock)
    : options_(std::move(options)),
      clock_(clock), decoy_{"", kMinPasswordIterations, RandomBytes(kSaltBytes), RandomBytes(kHashBytes)},
      pairKey_(RandomBytes(32)), lockout_([] { return std::chrono::steady_clock::now(); }) {
    // One check at a time: the other core stays the recorder's and the panel's.
    checks_.setMaxThreadCount(1);
}

WebLogin::~WebLogin() {
    // A check still running ends before its answer could reach a half-gone object.
    checks_.clear();
    checks_.waitForDone();
}

bool WebLogin::OpenToAll(const QByteArray& path) const {
    return path == "/health" || (options_.OpenMetrics && path == "/metrics");
}

void WebLogin::Judge(const QHostAddress& peer, bool encrypted, const RequestHead& request,
                     Answered answered) {
    const std::string address = peer.toString().toStdString();
    if (const int seconds = lockout_.SecondsBlocked(address); seconds > 0)
        return answered(Blocked(seconds));
    if (OpenToAll(request.Path))
        return answered({});
    const std::optional<Credentials> given = BasicCredentials(request.Authorization);
    if (!encrypted && !options_.AllowPlain) {
        if (given && journal_)
            journal_(events::EventKind::WebLoginRefused,
                     "пользователь " + ShownName(given->Name) + ", адрес " + address + ", вход не по HTTPS");
        return answered(
            {403, "Вход в веб-просмотр только по HTTPS: по HTTP пароль шёл бы по сети открытым\n", {}});
    }
    if (!given)
        return answered(Challenge());
    if (!FollowUsersFile())
        return answered(
            {503, "Вход невозможен: файл пользователей не прочитан, см. сообщения программы\n", {}});
    const auto user = std::find_if(users_.begin(), users_.end(),
                                   [&](const WebUser& known) { return known.Name == given->Name; });
    if (user != users_.end()) {
        const auto verified = verified_.find(user->Name);
        if (verified != verified_.end() &&
            SameBytes(verified->second, PairMac(user->Name, given->Password))) {
            Enter(address, user->Name);
            return answered({});
        }
    }
    if (checking_ >= kMaxChecks)
        return answered({503, "Проверка паролей занята, повторите запрос\n", {{"Retry-After", "1"}}});
    Check(peer, encrypted, request, *given, user != users_.end() ? *user : decoy_, user != users_.end(),
          std::move(answered));
}

void WebLogin::Check(const QHostAddress& peer, bool encrypted, const RequestHead& request,
                     const Credentials& given, const WebUser& user, bool known, Answered answered) {
    ++checking_;
    const int generation = generation_;
    // The worker touches nothing of this object: it gets copies, and posts its verdict back.
    checks_.start([this, peer, encrypted, request, given, user, known, generation, answered] {
        const bool right = PasswordMatches(user, given.Password) && known;
        QMetaObject::invokeMethod(
            this,
            [this, peer, encrypted, request, given, right, generation, answered] {
                --checking_;
                // The users changed while it ran: judged again by the users now in force.
                if (generation != generation_)
                    return Judge(peer, encrypted, request, answered);
                const std::string address = peer.toString().toStdString();
                if (right) {
                    verified_[given.Name] = PairMac(given.Name, given.Password);
                    Enter(address, given.Name);
                    return answered({});
                }
                const bool blocked = lockout_.Failed(address);
                if (journal_)
                    journal_(events::EventKind::WebLoginRefused,
                             "пользователь " + ShownName(given.Name) + ", адрес " + address +
                                 ", неверное имя или пароль" +
                                 (blocked ? ", адрес заблокирован на минуту" : ""));
                answered(Challenge());
            },
            Qt::QueuedConnection);
    });
}

void WebLogin::Enter(const std::string& address, const std::string& name) {
    const common::TDateTime today = clock_.Today();
    const auto [entry, first] = entered_.try_emplace(name, today);
    if (!first && entry->second == today)
        return;
    entry->second = today;
    if (journal_)
        journal_(events::EventKind::WebLogin, "пользователь " + ShownName(name) + ", адрес " + address);
}

QByteArray WebLogin::PairMac(const std::string& name, const QByteArray& password) const {
    return QMessageAuthenticationCode::hash(QByteArray::fromStdString(name) + '\0' + password, pairKey_,
                                            QCryptographicHash::Sha256);
}

bool WebLogin::FollowUsersFile() {
    namespace fs = std::filesystem;
    const fs::path file = common::PathFromUtf8(options_.UsersFile);
    std::error_code timeError;
    std::error_code sizeError;
    std::error_code permsError;
    const Stamp stamp{fs::last_write_time(file, timeError), fs::file_size(file, sizeError),
                      fs::status(file, permsError).permissions()};
    const bool known = !timeError && !sizeError && !permsError;
    if (known && generation_ > 0 && stamp == usersStamp_)
        return usersProblem_.empty();
    std::vector<WebUser> users;
    std::string error;
    const bool read = ReadWebUsers(options_.UsersFile, users, error);
    // After the start, what changed is said on standard error (at the start, the caller says it).
    if (generation_ > 0 && read)
        std::fprintf(stderr, "Registrator: web view: users file read again (users: %d)\n",
                     static_cast<int>(users.size()));
    if (generation_ > 0 && !read && error != usersProblem_)
        std::fprintf(stderr, "Registrator: web view: nobody can log in until the users file is mended: %s\n",
                     error.c_str());
    users_ = std::move(users);
    usersProblem_ = error;
    usersStamp_ = known ? stamp : Stamp{};
    verified_.clear();
    ++generation_;
    return read;
}

} // namespace registrator::web

#pragma once

#include "common/Clock.h"
#include "events/MotorEvents.h"
#include "service/web/HttpConnection.h"
#include "service/web/LoginLockout.h"
#include "service/web/LoginOptions.h"
#include "service/web/WebUsers.h"

#include <QHostAddress>
#include <QObject>
#include <QThreadPool>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace registrator::web {

// A name and password as HTTP Basic carries them.
struct Credentials {
    std::string Name;
    QByteArray Password;
};
// The credentials of an Authorization header's value "Basic base64(name:password)"; nothing for another
// scheme or a value that does not decode.
std::optional<Credentials> BasicCredentials(const QByteArray& authorization);

// What the door says of one request: let it in (Status 0), or answer it with this.
struct DoorAnswer {
    int Status = 0;
    QByteArray Body;
    HttpHeaders Headers;
};

// The web view's door once users are set: every address but /health (and /metrics when opened) needs
// an HTTP Basic log-in of a user of the users file, over TLS unless plain log-ins are allowed. A
// password is checked on a worker thread, since the check is slow by design and the GUI thread draws
// the mimic panel; a pair found right is remembered as a hash under a key of this process only, so a
// browser's every further request costs no check. Five failures from one address within a minute block
// it for a minute. The users file is read again when it changes.
class WebLogin : public QObject {
    Q_OBJECT
public:
    using Answered = std::function<void(const DoorAnswer&)>;
    // A journal line: its kind and details.
    using Journal = std::function<void(events::EventKind, const std::string&)>;

    // Null, with `error` saying why ("FILE:LINE: what"), when the users file cannot be used.
    static std::unique_ptr<WebLogin> Open(LoginOptions options, const common::Clock& clock,
                                          std::string& error);
    ~WebLogin() override;

    // Judges a request from `peer`: `answered` is called once, at once or, after a password check, later
    // on this thread; never once this object is gone.
    void Judge(const QHostAddress& peer, bool encrypted, const RequestHead& request, Answered answered);

    void SetJournal(Journal journal) { journal_ = std::move(journal); }
    const LoginOptions& Options() const { return options_; }
    int Users() const { return static_cast<int>(users_.size()); }

private:
    // What tells that the users file changed.
    struct Stamp {
        std::filesystem::file_time_type Time{};
        std::uintmax_t Size = 0;
        std::filesystem::perms Perms = std::filesystem::perms::unknown;
        bool operator==(const Stamp&) const = default;
    };

    WebLogin(LoginOptions options, const common::Clock& clock);
    bool OpenToAll(const QByteArray& path) const;
    // Reads the users file again when it changed; false while it cannot be used.
    bool FollowUsersFile();
    // The password checked against `user` on the worker; `known` false for the decoy.
    void Check(const QHostAddress& peer, bool encrypted, const RequestHead& request, const Credentials& given,
               const WebUser& user, bool known, Answered answered);
    // A user let in: journalled at the first time each day.
    void Enter(const std::string& address, const std::string& name);
    QByteArray PairMac(const std::string& name, const QByteArray& password) const;

    LoginOptions options_;
    const common::Clock& clock_;
    std::vector<WebUser> users_;
    Stamp usersStamp_;
    std::string usersProblem_; // why the file read last could not be used; "" when it could
    int generation_ = 0;       // read anew this many times
    WebUser decoy_;            // checked against for unknown names, which so take as long as known ones
    QByteArray pairKey_;
    std::map<std::string, QByteArray> verified_;       // a user's name -> the pair found right
    std::map<std::string, common::TDateTime> entered_; // a user's name -> the day journalled
    LoginLockout lockout_;
    Journal journal_;
    int checking_ = 0;
    QThreadPool checks_;
};

} // namespace registrator::web

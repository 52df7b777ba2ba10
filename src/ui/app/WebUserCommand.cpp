#include "ui/app/WebUserCommand.h"

#include "channels/SettingsFile.h"
#include "common/AtomicFile.h"
#include "common/Utf8Path.h"
#include "service/recorder/Station.h"
#include "service/web/WebUsers.h"
#include "ui/app/SecretInput.h"

#include <cstdio>

namespace registrator::ui {

namespace {

// Where the settings file really is: an installed program reaches it through a link beside itself.
std::string DefaultUsersFile(const std::string& executable) {
    const std::string settings = channels::FolderOf(executable) + channels::ProgramTitle(executable) + ".INI";
    std::error_code error;
    const std::filesystem::path real = common::FollowLinks(common::PathFromUtf8(settings), error);
    return common::Utf8FromPath((error ? common::PathFromUtf8(settings) : real).parent_path() / "web-users");
}

int Refuse(const std::string& why) {
    std::fprintf(stderr, "Registrator: %s\n", why.c_str());
    return service::kExitBadCommandLine;
}

} // namespace

int RunWebUserCommand(const QString& name, const QString& usersFile, const std::string& executable) {
    const std::string user = name.toStdString();
    if (const std::string problem = web::UserNameProblem(user); !problem.empty())
        return Refuse(problem);
    const std::string path = usersFile.isEmpty() ? DefaultUsersFile(executable) : usersFile.toStdString();
    // The temporary file the line is written through too: it holds the hash before it is renamed.
    MakeNewFilesPrivate();
    const std::vector<std::string> typed =
        ReadSecretLines({"Password for " + user + ": ", "The same password again: "});
    if (typed.size() < 2)
        return Refuse("the password was not given twice; nothing was written");
    if (typed[0].empty())
        return Refuse("an empty password is refused; nothing was written");
    if (typed[0] != typed[1])
        return Refuse("the two passwords differ; nothing was written");
    std::string error;
    if (!web::WriteWebUser(path, web::MakeWebUser(user, QByteArray::fromStdString(typed[0])), error))
        return Refuse(error);
    std::printf("Registrator: %s can log in to the web view started with --web-users %s\n", user.c_str(),
                path.c_str());
    return service::kExitOrderly;
}

} // namespace registrator::ui

#pragma once

#include <QString>
#include <string>

namespace registrator::ui {

// `Registrator --web-user NAME [--web-users FILE]`: asks twice for the user's password (see
// ReadSecretLines) and writes the user's line into the users file, by default "web-users" in the
// settings file's folder. An empty password, two that differ or a name that cannot be a user's are
// refused. The exit status: 0 when written, 2 when not (why on standard error).
int RunWebUserCommand(const QString& name, const QString& usersFile, const std::string& executable);

} // namespace registrator::ui

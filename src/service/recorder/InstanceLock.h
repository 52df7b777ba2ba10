#pragma once

#include <QLockFile>
#include <QString>
#include <memory>
#include <vector>

namespace registrator::service {

// One running program per settings file and per archive folder: two would append to one day file
// (two records a second, times going backwards) and both rewrite the settings at their end. The locks
// are files that the system lets go of when their holder dies, so a power cut never blocks the next
// start: a lock whose process is gone is taken over.
class InstanceLock {
public:
    // Who holds what this program wanted.
    struct Holder {
        qint64 ProcessId = 0;
        bool Settings = false; // the settings file, else the archive folder
        QString Path;
    };

    InstanceLock() = default;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Takes the lock of the settings file (beside it) and of the archive folder (inside it), each also
    // under the system's temporary folder, where a folder that may not be written or does not exist yet
    // still finds it. False, with `holder` told, when another running program has one; nothing is then
    // kept and no file is changed.
    bool Acquire(const QString& settingsPath, const QString& archiveFolder, Holder& holder);
    void Release();

    // The operator's words for a refused start.
    static QString RefusalText(const Holder& holder);

private:
    enum class Outcome { Taken, Held, Unavailable };
    Outcome Take(const QString& lockPath, qint64& holderId);
    bool TakeAll(const QString& protectedPath, const QString& besidePath, bool settings, Holder& holder);

    std::vector<std::unique_ptr<QLockFile>> locks_;
};

} // namespace registrator::service

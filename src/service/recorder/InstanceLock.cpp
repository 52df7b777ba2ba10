#include "service/recorder/InstanceLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSysInfo>

namespace registrator::service {

namespace {

// The same lock for every spelling of a path: "Data/", "./Data" and the absolute form.
QString KeyOf(const QString& path) {
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    const QString absolute = canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
    const QByteArray hash = QCryptographicHash::hash(absolute.toUtf8(), QCryptographicHash::Sha1).toHex();
    return QDir::tempPath() + QStringLiteral("/registrator-") + QString::fromLatin1(hash.left(16)) +
           QStringLiteral(".lock");
}

// Qt takes a lock over when its process id is gone or names another program; an id the system has since
// given to another recorder (of another folder) passes both. But a live holder keeps its lock file
// locked (flock) or, on Windows, open, so the file cannot be removed under it: one of this computer that
// can be is left over whatever its id says. Under Qt's own guard against two removing it at once. Host
// names differ in case alone on Windows (the lock holds the NetBIOS name), and mean the same computer.
bool TakeOverLeftOver(QLockFile& lock, const QString& host) {
    if (host.compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) != 0)
        return false;
    QLockFile removing(lock.fileName() + QStringLiteral(".rmlock"));
    return removing.tryLock(0) && lock.removeStaleLockFile() && lock.tryLock(0);
}

} // namespace

InstanceLock::Outcome InstanceLock::Take(const QString& lockPath, qint64& holderId) {
    auto lock = std::make_unique<QLockFile>(lockPath);
    // Never stale by age: the recorder holds its lock for months. A lock whose process is gone (killed,
    // a power cut) is stale all the same and taken over.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        locks_.push_back(std::move(lock));
        return Outcome::Taken;
    }
    if (lock->error() != QLockFile::LockFailedError)
        return Outcome::Unavailable; // a folder that may not be written, or none there
    QString host;
    QString application;
    if (!lock->getLockInfo(&holderId, &host, &application))
        holderId = 0;
    if (holderId > 0 && TakeOverLeftOver(*lock, host)) {
        locks_.push_back(std::move(lock));
        return Outcome::Taken;
    }
    return Outcome::Held;
}

bool InstanceLock::TakeAll(const QString& protectedPath, const QString& besidePath, bool settings,
                           Holder& holder) {
    for (const QString& lockPath : {besidePath, KeyOf(protectedPath)}) {
        qint64 id = 0;
        if (Take(lockPath, id) == Outcome::Held) {
            holder =
                Holder{id, settings, QDir::toNativeSeparators(QFileInfo(protectedPath).absoluteFilePath())};
            return false;
        }
    }
    return true;
}

bool InstanceLock::Acquire(const QString& settingsPath, const QString& archiveFolder, Holder& holder) {
    Release();
    QString folder = archiveFolder;
    while (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\')))
        folder.chop(1);
    // Beside the file a link leads to, where the settings are written, not in an installed program's folder.
    const QFileInfo settings(settingsPath);
    const QString settingsFile = settings.isSymLink() ? settings.symLinkTarget() : settingsPath;
    const bool ok = TakeAll(settingsPath, settingsFile + QStringLiteral(".lock"), true, holder) &&
                    TakeAll(folder.isEmpty() ? QStringLiteral(".") : folder,
                            folder + QStringLiteral("/registrator.lock"), false, holder);
    if (!ok)
        Release();
    return ok;
}

void InstanceLock::Release() {
    // The last taken goes first, so a waiting program sees the locks go in the order they were taken.
    while (!locks_.empty())
        locks_.pop_back();
}

QString InstanceLock::RefusalText(const Holder& holder) {
    const QString who = holder.ProcessId > 0 ? QStringLiteral("процесс %1").arg(holder.ProcessId)
                                             : QStringLiteral("другая копия программы");
    const QString what = holder.Settings ? QStringLiteral("Регистратор уже запущен с этим файлом настроек")
                                         : QStringLiteral("Регистратор уже пишет архив в эту папку");
    return what + QStringLiteral(" (") + who + QStringLiteral("):\n") + holder.Path +
           QStringLiteral("\nВторая копия программы не запускается.");
}

} // namespace registrator::service

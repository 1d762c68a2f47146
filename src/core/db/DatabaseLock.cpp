#include "db/DatabaseLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QThread>

#include <mutex>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace orv {

namespace {

const QString kLockSuffix = QStringLiteral(".lock");
const QString kScratchSuffix = QStringLiteral(".orvtmp");

// One name per file, however the path was written: through a link or another spelling of
// its folder, an existing file is known by its real path; one still to be made by its real
// folder and its name.
QString keyOf(const QString& path) {
    const QFileInfo info(path);
    if (const QString real = info.canonicalFilePath(); !real.isEmpty())
        return real;
    QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    if (folder.isEmpty())
        folder = info.absolutePath();
    return QDir(folder).filePath(info.fileName());
}

bool heldByAnyone(const QString& lockFile) {
    const int fd = ::open(QFile::encodeName(lockFile).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

// A copy killed between making its lock file and writing its name in it leaves a file that
// names no owner, which would keep the database locked for good. Its owner held the file
// locked from the moment it made it: when nobody does, a moment later too, it is removed.
bool leftUnwritten(QLockFile& lock, const QString& lockFile) {
    qint64 pid = 0;
    QString host, app;
    if (lock.getLockInfo(&pid, &host, &app) || heldByAnyone(lockFile))
        return false;
    QThread::msleep(100);
    if (lock.getLockInfo(&pid, &host, &app) || heldByAnyone(lockFile))
        return false;
    return lock.removeStaleLockFile();
}

} // namespace

struct DatabaseLock::Entry {
    QString key;
    QString path;
    std::unique_ptr<QLockFile> file; // null when the folder cannot hold a lock file
    ~Entry();
};

namespace {

std::mutex& registryMutex() {
    static std::mutex m;
    return m;
}

QHash<QString, std::weak_ptr<DatabaseLock::Entry>>& registry() {
    static QHash<QString, std::weak_ptr<DatabaseLock::Entry>> r;
    return r;
}

} // namespace

DatabaseLock::Entry::~Entry() {
    if (file)
        file->unlock();
    std::lock_guard<std::mutex> guard(registryMutex());
    auto it = registry().find(key);
    if (it != registry().end() && it->expired())
        registry().erase(it);
}

DatabaseLock::DatabaseLock() = default;
DatabaseLock::~DatabaseLock() = default;
DatabaseLock::DatabaseLock(DatabaseLock&&) noexcept = default;
DatabaseLock& DatabaseLock::operator=(DatabaseLock&&) noexcept = default;

QString DatabaseLock::lockFileFor(const QString& path) {
    return path + kLockSuffix;
}

QString DatabaseLock::scratchFileFor(const QString& path) {
    return path + kScratchSuffix;
}

bool DatabaseLock::acquire(const QString& path) {
    mError.clear();
    const QString key = keyOf(path);
    if (mEntry && mEntry->key == key)
        return true;
    std::shared_ptr<Entry> entry;
    {
        std::lock_guard<std::mutex> guard(registryMutex());
        entry = registry().value(key).lock();
        if (!entry) {
            auto file = std::make_unique<QLockFile>(lockFileFor(key));
            // Only a dead owner makes a lock stale, however long a copy has been working.
            file->setStaleLockTime(0);
            if (!file->tryLock(0) && file->error() == QLockFile::LockFailedError &&
                leftUnwritten(*file, lockFileFor(key)))
                file->tryLock(0);
            if (!file->isLocked()) {
                if (file->error() == QLockFile::LockFailedError) {
                    mError = QStringLiteral("The database %1 is open in another copy of the "
                                            "program.")
                                 .arg(QDir::toNativeSeparators(path));
                    return false;
                }
                file.reset();
            }
            entry = std::make_shared<Entry>();
            entry->key = key;
            entry->path = path;
            entry->file = std::move(file);
            registry().insert(key, entry);
            // Nobody else can be writing the scratch file now: what is there was left behind.
            // Both names: a scratch file is named after the path its writer was given.
            if (entry->file) {
                QFile::remove(scratchFileFor(key));
                QFile::remove(scratchFileFor(QFileInfo(path).absoluteFilePath()));
            }
        }
    }
    mEntry = std::move(entry);
    return true;
}

void DatabaseLock::release() {
    mEntry.reset();
}

bool DatabaseLock::isHeld() const {
    return mEntry != nullptr;
}

QString DatabaseLock::path() const {
    return mEntry ? mEntry->path : QString();
}

int removeStaleScratchFiles(const QString& folder) {
    int removed = 0;
    const QDir dir(folder);
    const QStringList names =
        dir.entryList({QStringLiteral("*") + kScratchSuffix}, QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
        const QString scratch = dir.filePath(name);
        if (QFileInfo(scratch).isSymLink())
            continue;
        const QString database = scratch.chopped(kScratchSuffix.size());
        DatabaseLock lock;
        // Taking the lock afresh removes the file; a lock this process holds already does not,
        // since its own work may be writing it.
        if (lock.acquire(database) && !QFileInfo::exists(scratch))
            ++removed;
    }
    return removed;
}

} // namespace orv

#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

namespace orv::ui {

SingleInstance::SingleInstance(const QString& programDir) {
    // The runtime folder is emptied at boot, so a lock cannot outlive a restart.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    QDir().mkpath(folder);
    const QByteArray key = QFileInfo(programDir).absoluteFilePath().toUtf8();
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(12));
    mPath = QDir(folder).filePath(QStringLiteral("orvdv-%1.lock").arg(hash));
    mLock = std::make_unique<QLockFile>(mPath);
    // Only a dead owner makes a lock stale, however long the program has been running.
    mLock->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::tryLock() {
    if (mLock->isLocked())
        return true;
    return mLock->tryLock(0);
}

} // namespace orv::ui

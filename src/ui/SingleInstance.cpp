#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
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

QString SingleInstance::serverName() const {
    // Beside the lock, so that only this user's copies on this program folder reach it.
    return mPath.chopped(5) + QStringLiteral(".socket");
}

void SingleInstance::acceptFiles(std::function<void(const QString&)> open) {
    mServer = std::make_unique<QLocalServer>();
    mServer->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket left by a copy that died would refuse the name; the lock says it is ours now.
    QLocalServer::removeServer(serverName());
    if (!mServer->listen(serverName()))
        return;
    QObject::connect(mServer.get(), &QLocalServer::newConnection, mServer.get(),
                     [server = mServer.get(), open = std::move(open)] {
                         while (QLocalSocket* socket = server->nextPendingConnection()) {
                             QObject::connect(socket, &QLocalSocket::disconnected, socket,
                                              &QObject::deleteLater);
                             QObject::connect(
                                 socket, &QLocalSocket::readyRead, socket, [socket, open] {
                                     if (!socket->canReadLine())
                                         return;
                                     open(QString::fromUtf8(socket->readLine()).chopped(1));
                                 });
                         }
                     });
}

bool SingleInstance::handOver(const QString& file) const {
    QLocalSocket socket;
    socket.connectToServer(serverName());
    if (!socket.waitForConnected(2000))
        return false;
    socket.write(QFileInfo(file).absoluteFilePath().toUtf8() + '\n');
    const bool sent = socket.waitForBytesWritten(2000);
    socket.disconnectFromServer();
    return sent;
}

bool SingleInstance::tryLock() {
    if (mLock->isLocked())
        return true;
    return mLock->tryLock(0);
}

} // namespace orv::ui

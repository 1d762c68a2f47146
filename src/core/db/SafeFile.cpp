#include "db/SafeFile.h"

#include "db/Database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace orv::files {

namespace {

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

QString folderOf(const QString& path) {
    return QDir::toNativeSeparators(QFileInfo(path).absolutePath());
}

[[noreturn]] void fail(const QString& what, const QString& path, int err) {
    if (err == ENOSPC || err == EDQUOT)
        throw DbError(diskFullText(folderOf(path)));
    throw DbError(
        QStringLiteral("%1 '%2': %3")
            .arg(what, QDir::toNativeSeparators(path), QString::fromLocal8Bit(std::strerror(err))));
}

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

QString diskFullText(const QString& folder) {
    return QStringLiteral("The disk is full: there is not enough free space in the folder %1.")
        .arg(QDir::toNativeSeparators(folder));
}

void createPrivateFile(const QString& path) {
    const QByteArray name = native(path);
    if (::unlink(name.constData()) != 0 && errno != ENOENT)
        fail(QStringLiteral("Cannot delete"), path, errno);
    Fd f;
    f.fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (f.fd < 0)
        fail(QStringLiteral("Cannot create"), path, errno);
}

void copyOwnerAndMode(const QString& model, const QString& file) {
    struct stat st {};
    if (::stat(native(model).constData(), &st) != 0)
        fail(QStringLiteral("Cannot read the permissions of"), model, errno);
    const QByteArray name = native(file);
    // Only an administrator may give a file away; anyone else keeps it, which is no loss.
    if (::chown(name.constData(), st.st_uid, st.st_gid) != 0 &&
        ::chown(name.constData(), static_cast<uid_t>(-1), st.st_gid) != 0 && errno != EPERM)
        fail(QStringLiteral("Cannot set the owner of"), file, errno);
    // After the owner: a change of owner clears some of the bits.
    if (::chmod(name.constData(), st.st_mode & 07777) != 0)
        fail(QStringLiteral("Cannot set the permissions of"), file, errno);
}

void useNewFileMode(const QString& path) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::chmod(native(path).constData(), 0666 & ~mask) != 0)
        fail(QStringLiteral("Cannot set the permissions of"), path, errno);
}

void copyBytes(const QString& from, const QString& to) {
    Fd in, out;
    in.fd = ::open(native(from).constData(), O_RDONLY | O_CLOEXEC);
    if (in.fd < 0)
        fail(QStringLiteral("Cannot read"), from, errno);
    out.fd = ::open(native(to).constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (out.fd < 0)
        fail(QStringLiteral("Cannot write"), to, errno);
    static constexpr size_t kChunk = 1 << 16;
    std::unique_ptr<char[]> buffer(new char[kChunk]);
    for (;;) {
        const ssize_t got = ::read(in.fd, buffer.get(), kChunk);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            fail(QStringLiteral("Cannot read"), from, errno);
        }
        if (got == 0)
            break;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(out.fd, buffer.get() + done, size_t(got - done));
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                fail(QStringLiteral("Cannot write"), to, errno);
            }
            done += put;
        }
    }
    if (::fsync(out.fd) != 0)
        fail(QStringLiteral("Cannot write"), to, errno);
}

void syncFile(const QString& path) {
    Fd f;
    f.fd = ::open(native(path).constData(), O_RDONLY | O_CLOEXEC);
    if (f.fd < 0)
        fail(QStringLiteral("Cannot open"), path, errno);
    if (::fsync(f.fd) != 0)
        fail(QStringLiteral("Cannot write"), path, errno);
}

void syncFolder(const QString& folder) {
    Fd f;
    f.fd = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // Some file systems cannot sync a folder; the rename has been made all the same.
    if (f.fd >= 0)
        ::fsync(f.fd);
}

void renameOver(const QString& file, const QString& target) {
    if (std::rename(native(file).constData(), native(target).constData()) != 0)
        fail(QStringLiteral("Cannot replace"), target, errno);
    syncFolder(QFileInfo(target).absolutePath());
}

bool isReadOnly(const QString& path) {
    struct stat st {};
    if (::stat(native(path).constData(), &st) != 0)
        return false;
    return (st.st_mode & 0222) == 0 || ::access(native(path).constData(), W_OK) != 0;
}

} // namespace orv::files

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
#include <type_traits>
#include <unistd.h>
#include <utility>

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

// Owns a descriptor and closes it at its end; moved, never copied, so it is closed once.
struct Fd {
    int fd = -1;
    Fd() = default;
    Fd(Fd&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            close();
            fd = std::exchange(other.fd, -1);
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { close(); }

private:
    void close() {
        if (fd >= 0)
            ::close(std::exchange(fd, -1));
    }
};
static_assert(!std::is_copy_constructible_v<Fd> && std::is_nothrow_move_constructible_v<Fd>);

QString readOnlyFolderText(const QString& path) {
    return QStringLiteral("The folder %1 is read-only.").arg(folderOf(path));
}

WriteFault& writeFault() {
    static WriteFault fault;
    return fault;
}

int injected(const QString& target, bool atSync) {
    const WriteFault& fault = writeFault();
    return fault ? fault(target, atSync) : 0;
}

constexpr qsizetype kBufferSize = 64 * 1024;

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
    int err = injected(path, false);
    if (!err) {
        f.fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        err = f.fd < 0 ? errno : 0;
    }
    if (err == EACCES || err == EROFS)
        throw DbError(readOnlyFolderText(path));
    if (err)
        fail(QStringLiteral("Cannot create"), path, err);
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

namespace {

// Hands each chunk of the file `from` to `put`, which returns false to stop early.
template <typename Put> void readChunks(const QString& from, Put put) {
    Fd in;
    in.fd = ::open(native(from).constData(), O_RDONLY | O_CLOEXEC);
    if (in.fd < 0)
        fail(QStringLiteral("Cannot read"), from, errno);
    std::unique_ptr<char[]> buffer(new char[kBufferSize]);
    for (;;) {
        const ssize_t got = ::read(in.fd, buffer.get(), kBufferSize);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            fail(QStringLiteral("Cannot read"), from, errno);
        }
        if (got == 0 || !put(buffer.get(), got))
            return;
    }
}

} // namespace

void copyBytes(const QString& from, const QString& to) {
    Fd out;
    out.fd = ::open(native(to).constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (out.fd < 0)
        fail(QStringLiteral("Cannot write"), to, errno);
    readChunks(from, [&](const char* data, ssize_t got) {
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(out.fd, data + done, size_t(got - done));
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                fail(QStringLiteral("Cannot write"), to, errno);
            }
            done += put;
        }
        return true;
    });
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

QString notWrittenText(const QString& target, int err, bool hadPrevious) {
    const QString name = QDir::toNativeSeparators(target);
    const QString kept =
        hadPrevious ? QStringLiteral("; the previous file is unchanged.") : QStringLiteral(".");
    if (err == ENOSPC || err == EDQUOT)
        return QStringLiteral("The disk is full: %1 was not written%2").arg(name, kept);
    if (err == EACCES || err == EROFS || err == EPERM)
        return QStringLiteral("The folder %1 is read-only: %2 was not written%3")
            .arg(folderOf(target), name, kept);
    return QStringLiteral("%1 was not written (%2)%3")
        .arg(name, QString::fromLocal8Bit(std::strerror(err)), kept);
}

void setWriteFault(WriteFault fault) {
    writeFault() = std::move(fault);
}

AtomicFile::AtomicFile(const QString& target) {
    // Renaming over a link would replace the link, not the file people reach through it.
    const QFileInfo info(target);
    mTarget = info.isSymLink() ? info.symLinkTarget() : info.absoluteFilePath();
    mHadPrevious = QFileInfo::exists(mTarget);
    const QFileInfo t(mTarget);
    QByteArray name =
        native(t.absolutePath() + QStringLiteral("/.") + t.fileName() + QStringLiteral(".XXXXXX"));
    // mkstemp makes the file owner-only, whatever the umask.
    mFd = ::mkostemp(name.data(), O_CLOEXEC);
    if (mFd < 0) {
        const int err = errno;
        if (err == ENOENT)
            throw DbError(QStringLiteral("%1 was not written: the folder %2 does not exist.")
                              .arg(QDir::toNativeSeparators(mTarget), folderOf(mTarget)));
        throw DbError(notWrittenText(mTarget, err, mHadPrevious));
    }
    mScratch = QFile::decodeName(name);
    mBuffer.reserve(kBufferSize);
    QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

AtomicFile::~AtomicFile() {
    discard();
}

QString AtomicFile::failure() const {
    return mError ? notWrittenText(mTarget, mError, mHadPrevious) : QString();
}

qint64 AtomicFile::readData(char*, qint64) {
    return -1;
}

qint64 AtomicFile::writeData(const char* data, qint64 size) {
    if (mError || mFd < 0)
        return -1;
    if (mBuffer.size() + size > kBufferSize && !flushBuffer())
        return -1;
    if (size >= kBufferSize) {
        mBuffer = QByteArray(data, size);
        return flushBuffer() ? size : -1;
    }
    mBuffer.append(data, size);
    return size;
}

bool AtomicFile::flushBuffer() {
    const char* at = mBuffer.constData();
    qsizetype left = mBuffer.size();
    while (left > 0) {
        if (const int err = injected(mTarget, false)) {
            mError = err;
            return false;
        }
        const ssize_t put = ::write(mFd, at, size_t(left));
        if (put < 0) {
            if (errno == EINTR)
                continue;
            mError = errno;
            return false;
        }
        at += put;
        left -= put;
    }
    mBuffer.clear();
    return true;
}

void AtomicFile::failAndDiscard(int err) {
    const QString text = notWrittenText(mTarget, err, mHadPrevious);
    discard();
    throw DbError(text);
}

void AtomicFile::commit() {
    if (mScratch.isEmpty())
        throw DbError(QStringLiteral("%1 was not written.").arg(QDir::toNativeSeparators(mTarget)));
    if (mError || !flushBuffer())
        failAndDiscard(mError);
    QIODevice::close();
    const int fd = std::exchange(mFd, -1);
    // A file system may report a failed write only when the file is closed.
    if (::close(fd) != 0 && errno != EINTR)
        failAndDiscard(errno);
    // Through a new descriptor: a writer that makes the file by its name may have written it.
    Fd f;
    f.fd = ::open(native(mScratch).constData(), O_RDONLY | O_CLOEXEC);
    if (f.fd < 0)
        failAndDiscard(errno);
    if (const int err = injected(mTarget, true))
        failAndDiscard(err);
    if (::fsync(f.fd) != 0)
        failAndDiscard(errno);
    try {
        if (mHadPrevious)
            copyOwnerAndMode(mTarget, mScratch);
        else if (::fchmod(f.fd, 0600) != 0)
            failAndDiscard(errno);
    } catch (const DbError&) {
        discard();
        throw;
    }
    if (std::rename(native(mScratch).constData(), native(mTarget).constData()) != 0)
        failAndDiscard(errno);
    mScratch.clear();
    syncFolder(QFileInfo(mTarget).absolutePath());
}

void AtomicFile::discard() {
    if (isOpen())
        QIODevice::close();
    if (mFd >= 0)
        ::close(std::exchange(mFd, -1));
    if (!mScratch.isEmpty())
        ::unlink(native(mScratch).constData());
    mScratch.clear();
    mBuffer.clear();
}

void writeWholeFile(const QString& target, const QByteArray& bytes) {
    AtomicFile file(target);
    file.write(bytes);
    file.commit();
}

void copyWholeFile(const QString& from, const QString& target) {
    AtomicFile out(target);
    readChunks(from, [&](const char* data, ssize_t got) { return out.write(data, got) == got; });
    out.commit();
}

void makePrivateFolder(const QString& folder) {
    const QString path = QDir(folder).absolutePath();
    if (QFileInfo(path).isDir())
        return;
    const QString parent = QFileInfo(path).absolutePath();
    if (parent != path)
        makePrivateFolder(parent);
    if (::mkdir(native(path).constData(), 0700) != 0) {
        if (errno == EEXIST && QFileInfo(path).isDir())
            return;
        if (errno == EACCES || errno == EROFS)
            throw DbError(QStringLiteral("The folder %1 is read-only: the folder %2 cannot be made "
                                         "there.")
                              .arg(folderOf(path), QFileInfo(path).fileName()));
        fail(QStringLiteral("Cannot make the folder"), path, errno);
    }
    // Whatever the umask took away, the owner keeps the folder whole.
    if (::chmod(native(path).constData(), 0700) != 0)
        fail(QStringLiteral("Cannot set the permissions of"), path, errno);
}

} // namespace orv::files

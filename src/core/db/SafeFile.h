#pragma once

#include <QIODevice>
#include <QString>

#include <functional>

namespace orv::files {

// The file steps of the database commands. Each throws DbError with a text a user can act on;
// a full disk is told as such, with the folder that ran out of space.

QString diskFullText(const QString& folder);

// Creates an empty file that only its owner can read, in place of any file of that name.
void createPrivateFile(const QString& path);
// Gives file the permission bits and, where this process may, the owner and group of model.
void copyOwnerAndMode(const QString& model, const QString& file);
// Copies the bytes of from into the existing file to, replacing its contents.
void copyBytes(const QString& from, const QString& to);
// Flushes a file, or a folder's list of names, to the disk.
void syncFile(const QString& path);
void syncFolder(const QString& folder);
// Puts file in place of target in one step; both lie in the same folder.
void renameOver(const QString& file, const QString& target);
// True when the file's permission bits forbid writing to it, whoever runs the program: a file
// made read-only stays so for an administrator too.
bool isReadOnly(const QString& path);

// What the user is told when a file could not be written; the previous file, if any, stays.
QString notWrittenText(const QString& target, int err, bool hadPrevious);

// Tests make writes fail without filling a disk: called before each write to the disk of a
// file written whole and before its sync (atSync), and before createPrivateFile makes its file,
// with the file's name; a non-zero result is taken as the errno of the failed call. Empty for
// none.
using WriteFault = std::function<int(const QString& target, bool atSync)>;
void setWriteFault(WriteFault fault);

// A file written whole or not at all. The bytes go to a scratch file beside the target, which
// takes the target's name only once every write, the flush and the sync have succeeded. A new
// target is its owner's alone (0600, whatever the umask); an existing one keeps its permissions
// and, where this process may, its owner. A target that is a symbolic link is written through.
// Any failure removes the scratch file, keeps the old target and throws DbError in words a user
// understands ("The disk is full: ... was not written; the previous file is unchanged.").
//
// Writers that need a device (a PDF or XML writer) write through this one; a writer that makes
// its file by name writes scratchPath() itself and commit() takes it from there.
class AtomicFile : public QIODevice {
public:
    // Makes the scratch file. Throws DbError.
    explicit AtomicFile(const QString& target);
    // A file not committed is thrown away.
    ~AtomicFile() override;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    QString target() const { return mTarget; }
    QString scratchPath() const { return mScratch; }
    // Puts the finished file in place of the target. Throws DbError (the scratch file gone).
    void commit();
    // Throws the file away; the target stays as it was.
    void discard();
    // Writes the device failed, told as the user is told; empty while none did.
    QString failure() const;

    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    [[nodiscard]] bool flushBuffer();
    [[noreturn]] void failAndDiscard(int err);

    QString mTarget;
    QString mScratch;
    int mFd = -1;
    int mError = 0;
    bool mHadPrevious = false;
    QByteArray mBuffer;
};

// The whole of bytes as the file target, through AtomicFile. Throws DbError.
void writeWholeFile(const QString& target, const QByteArray& bytes);
// A copy of from as the file target, through AtomicFile. Throws DbError.
void copyWholeFile(const QString& from, const QString& target);
// Makes a folder and any missing ones above it, owner-only (0700). Throws DbError.
void makePrivateFolder(const QString& folder);

} // namespace orv::files

#include "db/SpillFile.h"

#include "db/Database.h"

#include <QDir>

namespace orv {

namespace {

[[noreturn]] void refused(const QTemporaryFile& file) {
    throw DbError(QStringLiteral("Cannot write the temporary file %1: %2")
                      .arg(QDir::toNativeSeparators(file.fileName()), file.errorString()));
}

} // namespace

std::int64_t SpillFile::append(const void* data, std::int64_t size) {
    if (!mFile) {
        auto file = std::make_unique<QTemporaryFile>(QDir::tempPath() +
                                                     QStringLiteral("/orv-import-XXXXXX.tmp"));
        if (!file->open())
            throw DbError(
                QStringLiteral("Cannot create a temporary file in %1: %2")
                    .arg(QDir::toNativeSeparators(QDir::tempPath()), file->errorString()));
        mFile = std::move(file);
        mPosition = 0;
    }
    const std::int64_t at = mSize;
    if (mPosition != at && !mFile->seek(at))
        refused(*mFile);
    if (mFile->write(static_cast<const char*>(data), size) != size) {
        mPosition = -1;
        refused(*mFile);
    }
    mSize += size;
    mPosition = mSize;
    return at;
}

void SpillFile::read(std::int64_t offset, void* data, std::int64_t size) {
    if (!mFile || offset + size > mSize)
        throw DbError(QStringLiteral("A temporary file is shorter than was written."));
    if (mPosition != offset && !mFile->seek(offset))
        refused(*mFile);
    if (mFile->read(static_cast<char*>(data), size) != size) {
        mPosition = -1;
        throw DbError(QStringLiteral("Cannot read the temporary file %1: %2")
                          .arg(QDir::toNativeSeparators(mFile->fileName()), mFile->errorString()));
    }
    mPosition = offset + size;
}

QString SpillFile::path() const {
    return mFile ? mFile->fileName() : QString();
}

} // namespace orv

#include "import/ImportRun.h"

#include <stdexcept>

namespace orv {

ImportLog::ImportLog() = default;
ImportLog::~ImportLog() = default;

void ImportLog::add(const QString& entry) {
    ++errorCount;
    if (entries.size() < kInMemory) {
        entries << entry.trimmed();
        return;
    }
    if (!mSpill) {
        mSpill = std::make_unique<QTemporaryFile>();
        if (!mSpill->open())
            throw std::runtime_error("Cannot create a temporary file for the error list.");
    }
    const QByteArray line = entry.trimmed().toUtf8() + "\r\n";
    if (mSpill->write(line) != line.size())
        throw std::runtime_error("Cannot write the error list: the disk may be full.");
}

void ImportLog::writeTo(QIODevice& out) const {
    for (const QString& e : entries)
        out.write(e.toUtf8() + "\r\n");
    if (!mSpill)
        return;
    if (!mSpill->flush() || !mSpill->seek(0))
        throw std::runtime_error("Cannot read back the error list.");
    while (!mSpill->atEnd()) {
        const QByteArray chunk = mSpill->read(1 << 20);
        if (chunk.isEmpty())
            throw std::runtime_error("Cannot read back the error list.");
        out.write(chunk);
    }
    mSpill->seek(mSpill->size());
}

} // namespace orv

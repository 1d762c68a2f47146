#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryFile>

#include <memory>

namespace orv {

// The three labels of the import screen (1 file/outcome, 2 progress and counts, 3 phase).
// The import and the steps after it write to them; the CLI prints them.
class ImportView {
public:
    virtual ~ImportView() = default;
    virtual void setLabel(int label, const QString& text) = 0;
    // Gives the window a chance to paint (and Cancel to be pressed).
    virtual void refresh() {}
    // How far the reading has come, for a progress bar.
    virtual void setProgress(qint64 done, qint64 total) {
        (void)done;
        (void)total;
    }
};

// The errors and warnings of one import, in the order they arose. The count can exceed the
// number of entries: a duplicate group adds one entry but counts every duplicate record.
// A file full of errors must not fill the memory: past the first entries they wait in a
// temporary file until the report is written.
class ImportLog {
public:
    ImportLog();
    ~ImportLog();
    ImportLog(const ImportLog&) = delete;
    ImportLog& operator=(const ImportLog&) = delete;

    void add(const QString& entry);
    // Every entry, one a line, each ended by CR LF. Throws std::runtime_error on a read error.
    void writeTo(QIODevice& out) const;

    // The entries kept in memory: all of them unless there were very many.
    QStringList entries;
    qint64 errorCount = 0;
    static constexpr int kInMemory = 10000;

private:
    std::unique_ptr<QTemporaryFile> mSpill;
};

} // namespace orv

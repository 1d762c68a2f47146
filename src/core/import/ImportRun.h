#pragma once

#include <QString>
#include <QStringList>

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
struct ImportLog {
    QStringList entries;
    qint64 errorCount = 0;

    void add(const QString& entry) {
        entries << entry.trimmed();
        ++errorCount;
    }
};

} // namespace orv

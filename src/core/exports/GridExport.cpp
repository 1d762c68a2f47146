#include "exports/GridExport.h"

#include "FrontEnd.h"
#include "db/Database.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace orv {

namespace {

constexpr qint64 kRowsPerYield = 500;
constexpr qsizetype kCsvChunk = 64 * 1024;
// The header takes the first of a sheet's rows.
constexpr qint64 kXlsxMaxRows = LXW_ROW_MAX - 1;

QString cannotWrite(const QString& path, const QString& why) {
    return QStringLiteral("The file %1 could not be written: %2").arg(path, why);
}

// The busy pointer and the count in status panel 1 while an export runs; polls Cancel.
class Progress {
public:
    Progress(const GridExportControl& control, qint64 total)
        : mUi(control.ui), mCancel(control.cancel), mTotal(total) {
        if (mUi)
            mUi->setBusy(true);
    }
    ~Progress() {
        if (mUi) {
            mUi->setStatus(1, QString());
            mUi->setBusy(false);
        }
    }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // After each row; false once Cancel was pressed.
    bool rowDone(qint64 done) {
        if (done % kRowsPerYield != 0)
            return true;
        if (mUi) {
            mUi->setStatus(
                1, mTotal >= 0 ? QStringLiteral("Exporting row %1 of %2...").arg(done).arg(mTotal)
                               : QStringLiteral("Exporting row %1...").arg(done));
            mUi->processEvents();
        }
        return !(mCancel && *mCancel);
    }

private:
    FrontEnd* mUi;
    const bool* mCancel;
    qint64 mTotal;
};

void appendCsvLine(QByteArray& out, const QStringList& cells) {
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i)
            out += ',';
        out += csvField(cells[i]);
    }
    out += "\r\n";
}

struct WorkbookFree {
    void operator()(lxw_workbook* wb) const { lxw_workbook_free(wb); }
};
using Workbook = std::unique_ptr<lxw_workbook, WorkbookFree>;

// Makes a finished file durable before it takes the target's name.
bool syncFile(const QString& path, QString& why) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        why = f.errorString();
        return false;
    }
    if (::fsync(f.handle()) != 0) {
        why = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    return true;
}

} // namespace

QByteArray csvField(const QString& value) {
    QByteArray utf8 = value.toUtf8();
    if (!utf8.contains(',') && !utf8.contains('"') && !utf8.contains('\r') && !utf8.contains('\n'))
        return utf8;
    utf8.replace("\"", "\"\"");
    return '"' + utf8 + '"';
}

GridExportResult exportGridCsv(GridRowSource& source, const QString& path,
                               const GridExportControl& control) {
    GridExportResult result;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.error = cannotWrite(path, file.errorString());
        return result;
    }
    Progress progress(control, source.rowCount());
    QByteArray buffer;
    appendCsvLine(buffer, source.columns());
    bool cancelled = false;
    bool writeFailed = false;
    try {
        source.forEachRow([&](const QStringList& row) {
            appendCsvLine(buffer, row);
            ++result.rows;
            if (buffer.size() >= kCsvChunk) {
                if (file.write(buffer) != buffer.size()) {
                    writeFailed = true;
                    return false;
                }
                buffer.clear();
            }
            cancelled = !progress.rowDone(result.rows);
            return !cancelled;
        });
    } catch (const DbError& e) {
        file.cancelWriting();
        result.error = e.message();
        return result;
    }
    if (cancelled) {
        file.cancelWriting();
        result.outcome = GridExportOutcome::Cancelled;
        return result;
    }
    if (!writeFailed && file.write(buffer) != buffer.size())
        writeFailed = true;
    if (writeFailed || !file.commit()) {
        // commit() after a failed write only discards; the reason is the write's.
        result.error = cannotWrite(path, file.errorString());
        file.cancelWriting();
        return result;
    }
    result.outcome = GridExportOutcome::Written;
    return result;
}

GridExportResult exportGridXlsx(GridRowSource& source, const QString& path,
                                const GridExportControl& control) {
    GridExportResult result;
    const QStringList columns = source.columns();
    if (columns.size() > LXW_COL_MAX) {
        result.error = cannotWrite(
            path, QStringLiteral("a worksheet holds at most %1 columns").arg(LXW_COL_MAX));
        return result;
    }
    // The workbook is written beside the target under a name of its own and takes the target's
    // name only once complete.
    const QFileInfo target(path);
    QTemporaryFile temp(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                        QStringLiteral(".XXXXXX"));
    if (!temp.open()) {
        result.error = cannotWrite(path, temp.errorString());
        return result;
    }
    const QString tempPath = temp.fileName();
    temp.close();
    // The workbook makes the file itself, with the usual permissions rather than a temporary
    // file's owner-only ones; the name stays reserved by its random part (and is removed on
    // every way out but the rename).
    QFile::remove(tempPath);

    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    Workbook wb(workbook_new_opt(QFile::encodeName(tempPath).constData(), &options));
    lxw_worksheet* sheet = wb ? workbook_add_worksheet(wb.get(), nullptr) : nullptr;
    if (!sheet) {
        result.error = cannotWrite(path, QStringLiteral("the workbook could not be started"));
        return result;
    }
    lxw_format* bold = workbook_add_format(wb.get());
    format_set_bold(bold);

    lxw_error failed = LXW_NO_ERROR;
    qint64 failedRow = 0;
    int failedColumn = 0;
    auto writeRow = [&](lxw_row_t row, const QStringList& cells, lxw_format* format) {
        for (qsizetype c = 0; c < cells.size() && c < LXW_COL_MAX; ++c) {
            if (cells[c].isEmpty())
                continue;
            const lxw_error e = worksheet_write_string(sheet, row, static_cast<lxw_col_t>(c),
                                                       cells[c].toUtf8().constData(), format);
            if (e != LXW_NO_ERROR) {
                failed = e;
                failedRow = row;
                failedColumn = static_cast<int>(c);
                return false;
            }
        }
        return true;
    };

    Progress progress(control, source.rowCount());
    bool cancelled = false;
    bool tooMany = false;
    writeRow(0, columns, bold);
    try {
        if (failed == LXW_NO_ERROR) {
            source.forEachRow([&](const QStringList& row) {
                if (result.rows >= kXlsxMaxRows) {
                    tooMany = true;
                    return false;
                }
                ++result.rows;
                if (!writeRow(static_cast<lxw_row_t>(result.rows), row, nullptr))
                    return false;
                cancelled = !progress.rowDone(result.rows);
                return !cancelled;
            });
        }
    } catch (const DbError& e) {
        result.error = e.message();
        return result;
    }
    if (cancelled) {
        result.outcome = GridExportOutcome::Cancelled;
        return result;
    }
    if (tooMany) {
        result.error =
            cannotWrite(path, QStringLiteral("the grid has more rows than a worksheet holds (%1); "
                                             "export it as CSV instead")
                                  .arg(kXlsxMaxRows));
        return result;
    }
    if (failed != LXW_NO_ERROR) {
        result.error = cannotWrite(path, QStringLiteral("row %1, column %2: %3")
                                             .arg(failedRow)
                                             .arg(failedColumn + 1)
                                             .arg(QString::fromUtf8(lxw_strerror(failed))));
        return result;
    }
    // workbook_close frees the workbook whatever its outcome.
    const lxw_error closed = workbook_close(wb.release());
    if (closed != LXW_NO_ERROR) {
        result.error = cannotWrite(path, QString::fromUtf8(lxw_strerror(closed)));
        return result;
    }
    if (target.exists())
        QFile::setPermissions(tempPath, target.permissions());
    QString why;
    if (!syncFile(tempPath, why)) {
        result.error = cannotWrite(path, why);
        return result;
    }
    if (std::rename(QFile::encodeName(tempPath).constData(),
                    QFile::encodeName(target.absoluteFilePath()).constData()) != 0) {
        result.error = cannotWrite(path, QString::fromLocal8Bit(std::strerror(errno)));
        return result;
    }
    result.outcome = GridExportOutcome::Written;
    return result;
}

} // namespace orv

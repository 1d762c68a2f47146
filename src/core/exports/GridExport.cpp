#include "exports/GridExport.h"

#include "db/Database.h"
#include "db/SafeFile.h"
#include "program/FrontEnd.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

#include <xlsxwriter.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/statvfs.h>
#include <unistd.h>
#include <utility>

namespace orv {

namespace {

constexpr qint64 kRowsPerYield = 500;
constexpr qsizetype kCsvChunk = 64 * 1024;
// The header takes the first of a sheet's rows.
constexpr qint64 kXlsxMaxRows = LXW_ROW_MAX - 1;
// Columns are sized from the heading and the rows up to this one, held until then; a
// constant-memory sheet takes its widths only before its rows.
constexpr qsizetype kMeasuredRows = 100;
constexpr double kMaxColumnWidth = 60;
constexpr double kMinColumnWidth = 6;

// The value of a text a spreadsheet can hold exactly: decimal, no leading zero that a code
// would keep (007), at most 15 significant digits.
std::optional<double> exactNumber(const QString& text) {
    static const QRegularExpression number(QStringLiteral("^-?(0|[1-9][0-9]*)([.][0-9]+)?$"));
    if (!number.match(text).hasMatch())
        return std::nullopt;
    int digits = 0;
    bool significant = false;
    for (const QChar ch : text) {
        if (!ch.isDigit())
            continue;
        significant = significant || ch != QLatin1Char('0');
        digits += significant ? 1 : 0;
    }
    if (digits > 15)
        return std::nullopt;
    return text.toDouble();
}

// The width a column needs for a text, in characters: its longest line.
qsizetype textWidth(const QString& text) {
    qsizetype widest = 0;
    for (const QStringView line : QStringView(text).split(QLatin1Char('\n')))
        widest = std::max(widest, line.size());
    return widest;
}

QString cannotWrite(const QString& path, const QString& why) {
    return QStringLiteral("The file %1 could not be written: %2").arg(path, why);
}

// Sends stderr to nowhere while it lives: the spreadsheet library prints its own "[ERROR]"
// lines there, and its failures are told to the user in words of ours instead.
class QuietStderr {
public:
    QuietStderr() {
        std::fflush(stderr);
        mSaved = ::dup(STDERR_FILENO);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (mSaved >= 0 && null >= 0)
            ::dup2(null, STDERR_FILENO);
        if (null >= 0)
            ::close(null);
    }
    ~QuietStderr() { speak(); }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

    // Lets stderr through for a while.
    class Pause {
    public:
        explicit Pause(QuietStderr* q) : mQ(q) {
            if (mQ)
                mQ->speak(false);
        }
        ~Pause() {
            if (mQ)
                mQ->hush();
        }

    private:
        QuietStderr* mQ;
    };

private:
    void speak(bool last = true) {
        if (mSaved < 0)
            return;
        std::fflush(stderr);
        ::dup2(mSaved, STDERR_FILENO);
        if (last)
            ::close(std::exchange(mSaved, -1));
    }
    void hush() {
        if (mSaved < 0)
            return;
        std::fflush(stderr);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (null >= 0) {
            ::dup2(null, STDERR_FILENO);
            ::close(null);
        }
    }
    int mSaved = -1;
};

// The library tells a failed write by its own code; the disk's state tells why.
bool diskFull(int err, const QString& target) {
    if (err == ENOSPC || err == EDQUOT)
        return true;
    struct statvfs fs {};
    return ::statvfs(QFile::encodeName(QFileInfo(target).absolutePath()).constData(), &fs) == 0 &&
           fs.f_bavail == 0;
}

// The busy pointer and the count in status panel 1 while an export runs; polls Cancel.
class Progress {
public:
    Progress(const GridExportControl& control, qint64 total, QuietStderr* quiet = nullptr)
        : mUi(control.ui), mCancel(control.cancel), mTotal(total), mQuiet(quiet) {
        if (mUi)
            mUi->setBusy(true);
    }
    ~Progress() {
        if (mUi) {
            mUi->workStatus(QString());
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
            // The front end may draw on stderr.
            QuietStderr::Pause speak(mQuiet);
            mUi->workStatus(mTotal >= 0
                                ? QStringLiteral("Exporting row %1 of %2...").arg(done).arg(mTotal)
                                : QStringLiteral("Exporting row %1...").arg(done));
            mUi->processEvents();
        }
        return !(mCancel && *mCancel);
    }

private:
    FrontEnd* mUi;
    const bool* mCancel;
    qint64 mTotal;
    QuietStderr* mQuiet;
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

// One worksheet of a workbook written row by row, and the first failure met on the way.
class XlsxSheet {
public:
    XlsxSheet(const QString& scratchPath, const QString& target, const QString& name)
        : mTarget(target), mTmpdir(QFile::encodeName(QFileInfo(target).absolutePath())) {
        lxw_workbook_options options = {};
        options.constant_memory = LXW_TRUE;
        // Its scratch files on the target's disk, so that a full disk shows while the rows go in.
        options.tmpdir = mTmpdir.data();
        mBook.reset(workbook_new_opt(QFile::encodeName(scratchPath).constData(), &options));
        mSheet = mBook ? workbook_add_worksheet(mBook.get(), name.toUtf8().constData()) : nullptr;
        if (!mSheet)
            return;
        mBold = workbook_add_format(mBook.get());
        format_set_bold(mBold);
        // The library leaves the writes of its scratch files unchecked; the error they set is
        // the only trace of a row lost to a full disk.
        errno = 0;
    }

    bool started() const { return mSheet != nullptr; }
    lxw_format* bold() const { return mBold; }

    // False at the first cell the library refused. kinds: none for all text.
    bool writeRow(lxw_row_t row, const QStringList& cells, lxw_format* format,
                  const std::vector<CellKind>& kinds = {}) {
        for (qsizetype c = 0; c < cells.size() && c < LXW_COL_MAX; ++c) {
            if (cells[c].isEmpty())
                continue;
            const auto col = static_cast<lxw_col_t>(c);
            const std::optional<double> number =
                static_cast<size_t>(c) < kinds.size() && kinds[c] == CellKind::Number
                    ? exactNumber(cells[c])
                    : std::nullopt;
            const lxw_error e = number
                                    ? worksheet_write_number(mSheet, row, col, *number, format)
                                    : worksheet_write_string(mSheet, row, col,
                                                             cells[c].toUtf8().constData(), format);
            if (e != LXW_NO_ERROR) {
                mFailed = e;
                mFailedRow = row;
                mFailedColumn = static_cast<int>(c);
                return false;
            }
        }
        return true;
    }
    bool cellRefused() const { return mFailed != LXW_NO_ERROR; }

    // Each column as wide as its widest text among these rows, within bounds; the heading,
    // the first of them, stays in sight.
    void layOut(const std::vector<QStringList>& rows, qsizetype columns) {
        for (qsizetype c = 0; c < columns && c < LXW_COL_MAX; ++c) {
            qsizetype widest = 0;
            for (const QStringList& row : rows)
                widest = std::max(widest, textWidth(row.value(c)));
            // Room for the filter's button beside the heading.
            const double width =
                std::clamp(static_cast<double>(widest) + 3, kMinColumnWidth, kMaxColumnWidth);
            const auto col = static_cast<lxw_col_t>(c);
            worksheet_set_column(mSheet, col, col, width, nullptr);
        }
        worksheet_freeze_panes(mSheet, 1, 0);
    }
    // A filter over the heading and the rows below it.
    void filter(qint64 rows, qsizetype columns) {
        if (columns > 0)
            worksheet_autofilter(
                mSheet, 0, 0, static_cast<lxw_row_t>(rows),
                static_cast<lxw_col_t>(std::min<qsizetype>(columns, LXW_COL_MAX) - 1));
    }

    bool checkDisk() {
        if (errno == ENOSPC || errno == EDQUOT || errno == EFBIG || errno == EIO)
            mDiskError = errno;
        return mDiskError == 0;
    }

    // Finishes the file; empty when written, else why not.
    QString close(const QString& path, bool hadPrevious) {
        if (!checkDisk())
            return files::notWrittenText(path, mDiskError, hadPrevious);
        if (cellRefused())
            return cannotWrite(path, QStringLiteral("row %1, column %2: %3")
                                         .arg(mFailedRow)
                                         .arg(mFailedColumn + 1)
                                         .arg(QString::fromUtf8(lxw_strerror(mFailed))));
        // workbook_close frees the workbook whatever its outcome.
        errno = 0;
        const lxw_error closed = workbook_close(mBook.release());
        if (closed == LXW_NO_ERROR && !checkDisk())
            return files::notWrittenText(path, mDiskError, hadPrevious);
        if (closed == LXW_NO_ERROR)
            return {};
        const int err = errno;
        if (diskFull(err, mTarget))
            return files::notWrittenText(path, ENOSPC, hadPrevious);
        if (err == EFBIG || err == EIO || err == EROFS)
            return files::notWrittenText(path, err, hadPrevious);
        return cannotWrite(path, QString::fromUtf8(lxw_strerror(closed)));
    }

private:
    QString mTarget;
    QByteArray mTmpdir;
    Workbook mBook;
    lxw_worksheet* mSheet = nullptr;
    lxw_format* mBold = nullptr;
    lxw_error mFailed = LXW_NO_ERROR;
    qint64 mFailedRow = 0;
    int mFailedColumn = 0;
    int mDiskError = 0;
};

enum class SheetRows { Written, Cancelled, TooMany };

// The heading, then the source's rows until done, refused or cancelled; counts them in rows.
// The first rows wait in memory until the columns are sized from them.
SheetRows writeSheetRows(XlsxSheet& sheet, const QStringList& columns, GridRowSource& source,
                         Progress& progress, qint64& rows) {
    const std::vector<CellKind> kinds = source.columnKinds();
    bool cancelled = false;
    bool tooMany = false;
    std::vector<QStringList> held{columns};
    bool laidOut = false;
    // False when a cell was refused.
    auto writeHeld = [&]() {
        sheet.layOut(held, columns.size());
        laidOut = true;
        for (size_t i = 0; i < held.size(); ++i) {
            if (!sheet.writeRow(static_cast<lxw_row_t>(i), held[i], i ? nullptr : sheet.bold(),
                                i ? kinds : std::vector<CellKind>()))
                return false;
        }
        held.clear();
        return true;
    };
    source.forEachRow([&](const QStringList& row) {
        if (rows >= kXlsxMaxRows) {
            tooMany = true;
            return false;
        }
        ++rows;
        if (!laidOut) {
            held.push_back(row);
            if (static_cast<qsizetype>(held.size()) >= kMeasuredRows && !writeHeld())
                return false;
        } else if (!sheet.writeRow(static_cast<lxw_row_t>(rows), row, nullptr, kinds)) {
            return false;
        }
        if (!sheet.checkDisk())
            return false;
        cancelled = !progress.rowDone(rows);
        return !cancelled;
    });
    if (cancelled)
        return SheetRows::Cancelled;
    if (tooMany)
        return SheetRows::TooMany;
    if (!laidOut && !sheet.cellRefused())
        writeHeld();
    sheet.filter(rows, columns.size());
    return SheetRows::Written;
}

// The scratch file that takes the name `path` once complete; none, with the reason in
// `result`, when it cannot be made.
std::optional<files::AtomicFile> startFile(const QString& path, GridExportResult& result) {
    try {
        return std::optional<files::AtomicFile>(std::in_place, path);
    } catch (const DbError& e) {
        result.error = e.message();
        return std::nullopt;
    }
}

} // namespace

bool isDateColumn(const QString& name) {
    return name.endsWith(QLatin1String("Date"), Qt::CaseInsensitive);
}

QByteArray csvField(const QString& value) {
    QByteArray utf8 = value.toUtf8();
    // A text a spreadsheet would run as a formula (an office name of "=cmd| /C calc!A0" taken
    // from the extract) is shown as text instead; a number such as -12.5 stays a number.
    static const QRegularExpression number(QStringLiteral("^[-+]?[0-9]+([.][0-9]+)?$"));
    if (!utf8.isEmpty() && QByteArray("=+-@\t\r").contains(utf8[0]) &&
        !number.match(value).hasMatch())
        utf8.prepend('\'');
    if (!utf8.contains(',') && !utf8.contains('"') && !utf8.contains('\r') && !utf8.contains('\n'))
        return utf8;
    utf8.replace("\"", "\"\"");
    return '"' + utf8 + '"';
}

GridExportResult exportGridCsv(GridRowSource& source, const QString& path,
                               const GridExportControl& control) {
    GridExportResult result;
    std::optional<files::AtomicFile> file = startFile(path, result);
    if (!file)
        return result;
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
                if (file->write(buffer) != buffer.size()) {
                    writeFailed = true;
                    return false;
                }
                buffer.clear();
            }
            cancelled = !progress.rowDone(result.rows);
            return !cancelled;
        });
        if (cancelled) {
            file->discard();
            result.outcome = GridExportOutcome::Cancelled;
            return result;
        }
        if (!writeFailed)
            file->write(buffer);
        // A failed write is told by commit, with the disk's reason.
        file->commit();
    } catch (const DbError& e) {
        file->discard();
        result.error = e.message();
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
    // The workbook makes its file by name: the scratch file that takes the target's name once
    // complete. Its own complaints go to stderr, where a user would take them for ours.
    std::optional<files::AtomicFile> file = startFile(path, result);
    if (!file)
        return result;
    const bool hadPrevious = QFileInfo::exists(file->target());
    QuietStderr quiet;
    XlsxSheet sheet(file->scratchPath(), file->target(), source.sheetName());
    if (!sheet.started()) {
        result.error = cannotWrite(path, QStringLiteral("the workbook could not be started"));
        return result;
    }
    Progress progress(control, source.rowCount(), &quiet);
    SheetRows rows = SheetRows::Written;
    try {
        rows = writeSheetRows(sheet, columns, source, progress, result.rows);
    } catch (const DbError& e) {
        result.error = e.message();
        return result;
    }
    if (rows == SheetRows::Cancelled) {
        result.outcome = GridExportOutcome::Cancelled;
        return result;
    }
    if (rows == SheetRows::TooMany) {
        result.error =
            cannotWrite(path, QStringLiteral("the grid has more rows than a worksheet holds (%1); "
                                             "export it as CSV instead")
                                  .arg(kXlsxMaxRows));
        return result;
    }
    result.error = sheet.close(path, hadPrevious);
    if (!result.error.isEmpty())
        return result;
    try {
        file->commit();
    } catch (const DbError& e) {
        result.error = e.message();
        return result;
    }
    result.outcome = GridExportOutcome::Written;
    return result;
}

} // namespace orv

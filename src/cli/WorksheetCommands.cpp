#include "Commands.h"

#include "session/SignIn.h"
#include "worksheet/ErrorRates.h"
#include "worksheet/History.h"
#include "worksheet/SampleList.h"
#include "worksheet/SummaryComments.h"
#include "worksheet/Worksheet.h"

#include <optional>
#include <utility>

namespace orv::cli {

namespace {

int dbFailure(Context& ctx, const DbError& e) {
    ctx.err << e.message() << Qt::endl;
    return Failure;
}

// "1,5,17" as element lines 0, 4 and 16; false for anything else, with the item that is not
// an element number in wrong.
bool parseElementList(const QString& text, QVector<int>& lines, QString& wrong) {
    if (text.isNull())
        return true;
    for (const QString& part : text.split(QLatin1Char(','))) {
        bool ok = false;
        const int n = part.trimmed().toInt(&ok);
        if (!ok || n < 1 || n > kElementCount) {
            wrong = part.trimmed();
            return false;
        }
        lines << n - 1;
    }
    return true;
}

// "on" or "off"; a null text leaves the flag as it is.
bool parseSwitch(const QString& text, std::optional<bool>& value) {
    if (text.isNull())
        return true;
    if (text == QLatin1String("on"))
        value = true;
    else if (text == QLatin1String("off"))
        value = false;
    else
        return false;
    return true;
}

void printWorksheet(Context& ctx, const Worksheet& w) {
    ctx.out << "row: " << w.rowId() << "\n";
    ctx.out << "obs: " << w.obs() << "\n";
    ctx.out << "ssn: " << w.ssn() << "\n";
    for (int i = 0; i < kElementCount; ++i)
        ctx.out << kDataElements[i].markColumn << ": " << markLetter(w.line(i).mark) << "\n";
    for (ExceptionFlag f : kExceptionFlags)
        ctx.out << flagColumn(f) << ": " << (w.flag(f) ? 1 : 0) << "\n";
    QString comments = w.comments();
    comments.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    ctx.out << "Comments: " << comments << "\n";
    ctx.out << "chk: " << (w.statusText() == QLatin1String("Completed") ? "Yes" : "No") << Qt::endl;
}

// The sample rows a worksheet of the batch front end may mean.
QVector<qint64> rowsOf(Database& db, const QString& obs, const QString& ssn) {
    Statement st = db.prepare("SELECT rowid FROM tblsample WHERE obs = ? AND ssn = ? ORDER BY "
                              "rowid");
    st.bind(1, obs);
    st.bind(2, ssn);
    QVector<qint64> rows;
    while (st.step())
        rows << st.int64(0);
    return rows;
}

struct MarkOption {
    const char* name;
    Mark mark;
    QVector<int> lines;
};

constexpr std::pair<const char*, ExceptionFlag> kFlagOptions[] = {
    {"--wrong-ssn", ExceptionFlag::WrongSsn},
    {"--invalid-record", ExceptionFlag::InvalidRecord},
    {"--unable-to-locate", ExceptionFlag::UnableToLocate},
    {"--missing-record", ExceptionFlag::MissingRecord}};

// What one worksheet command asks for: the record, and the changes to make to it.
struct WorksheetEdit {
    QString obs;
    QString ssn;
    QString rowText;
    MarkOption marks[3] = {
        {"--pass", Mark::Pass, {}}, {"--fail", Mark::Fail, {}}, {"--clear", Mark::None, {}}};
    std::optional<bool> flags[4];
    QString comments;
    bool clearComments = false;
    bool yes = false;
};

// Ok, or Usage once told why the options are not a worksheet command.
int parseWorksheetEdit(Context& ctx, QStringList& args, WorksheetEdit& edit) {
    bool bad = false;
    edit.obs = takeOption(args, QStringLiteral("--obs"), bad);
    edit.ssn = takeOption(args, QStringLiteral("--ssn"), bad);
    edit.rowText = takeOption(args, QStringLiteral("--row"), bad);
    for (MarkOption& o : edit.marks) {
        const QString list = takeOption(args, QLatin1String(o.name), bad);
        QString wrong;
        if (!parseElementList(list, o.lines, wrong)) {
            ctx.err << o.name << " \"" << list << "\": ";
            if (wrong.isEmpty())
                ctx.err << "an element number is missing";
            else
                ctx.err << "\"" << wrong << "\" is not an element number";
            ctx.err << " (1-17, comma-separated)." << Qt::endl;
            return Usage;
        }
    }
    for (int i = 0; i < 4; ++i)
        bad |= !parseSwitch(takeOption(args, QLatin1String(kFlagOptions[i].first), bad),
                            edit.flags[i]);
    edit.comments = takeOption(args, QStringLiteral("--comments"), bad);
    edit.clearComments = takeFlag(args, QStringLiteral("--clear-comments"));
    edit.yes = takeFlag(args, QStringLiteral("--yes"));
    if (bad || edit.obs.isNull() || edit.ssn.isNull() || args.size() != 1 ||
        args[0].startsWith(QLatin1String("--")))
        return Usage;
    return Ok;
}

// Contradictions are refused whole: applied in some order, one half would silently win.
bool contradicts(Context& ctx, const WorksheetEdit& edit) {
    for (int line = 0; line < kElementCount; ++line) {
        QStringList given;
        for (const MarkOption& o : edit.marks)
            if (o.lines.contains(line))
                given << QLatin1String(o.name);
        if (given.size() > 1) {
            ctx.err << "Element " << line + 1 << " is in both "
                    << given.join(QStringLiteral(" and ")) << "; nothing was saved." << Qt::endl;
            return true;
        }
    }
    QStringList flagsOn;
    for (int i = 0; i < 4; ++i)
        if (edit.flags[i].value_or(false))
            flagsOn << QLatin1String(kFlagOptions[i].first);
    if (flagsOn.size() > 1) {
        ctx.err << flagsOn.join(QStringLiteral(" on and ")) << " on: a record takes one exception "
                << "flag at a time; nothing was saved." << Qt::endl;
        return true;
    }
    if (!edit.comments.isNull() && edit.clearComments) {
        ctx.err << "--comments and --clear-comments contradict each other; nothing was saved."
                << Qt::endl;
        return true;
    }
    if (!edit.comments.isNull() && edit.comments.isEmpty()) {
        ctx.err << "--comments \"\" would keep the stored comment, as an emptied box does; "
                   "--clear-comments empties it."
                << Qt::endl;
        return true;
    }
    return false;
}

// The sample row the command means; 0 once told why there is none, or more than one.
qint64 findSampleRow(Context& ctx, Database& db, const WorksheetEdit& edit) {
    const QVector<qint64> rows = rowsOf(db, edit.obs, edit.ssn);
    qint64 rowId = rows.size() == 1 ? rows.first() : 0;
    if (!edit.rowText.isNull()) {
        rowId = edit.rowText.toLongLong();
        if (!rows.contains(rowId)) {
            ctx.err << "Sample row " << edit.rowText << " is not OBS " << edit.obs << " with SSN "
                    << edit.ssn << "." << Qt::endl;
            return 0;
        }
    }
    if (rows.isEmpty()) {
        ctx.err << "No sampled record has OBS " << edit.obs << " and SSN " << edit.ssn << "."
                << Qt::endl;
        return 0;
    }
    if (rowId == 0) {
        QStringList ids;
        for (qint64 id : rows)
            ids << QString::number(id);
        ctx.err << rows.size() << " sampled records have OBS " << edit.obs << " and SSN "
                << edit.ssn << " (rows " << ids.join(QStringLiteral(", "))
                << "): name one with --row." << Qt::endl;
        return 0;
    }
    return rowId;
}

// False, once told why, when the worksheet refused a change; nothing is saved then.
bool applyEdit(Context& ctx, Worksheet& w, const WorksheetEdit& edit) {
    // The flags first, as a validator decides on the record before its lines.
    for (int i = 0; i < 4; ++i) {
        const ExceptionFlag f = kFlagOptions[i].second;
        if (!edit.flags[i] || w.flag(f) == *edit.flags[i])
            continue;
        w.clickFlag(f, ctx.ui);
        if (w.flag(f) != *edit.flags[i]) {
            ctx.err << "Cancelled: " << kFlagOptions[i].first
                    << " on deletes the validation results for this record (--yes "
                       "confirms). Nothing was saved."
                    << Qt::endl;
            return false;
        }
    }
    for (const MarkOption& o : edit.marks) {
        for (int line : o.lines) {
            if (!w.line(line).enabled) {
                ctx.err << "Element " << line + 1 << " (" << w.line(line).label
                        << ") cannot be marked on this record; nothing was saved." << Qt::endl;
                return false;
            }
            w.setMark(line, o.mark);
        }
    }
    if (edit.clearComments)
        w.clearComments();
    else if (!edit.comments.isNull())
        w.setComments(edit.comments);
    return true;
}

} // namespace

int sampleCommand(Context& ctx, QStringList& args) {
    bool bad = false;
    const QString column = takeOption(args, QStringLiteral("--order"), bad);
    const bool desc = takeFlag(args, QStringLiteral("--desc"));
    if (bad || args.size() != 1 || args[0].startsWith(QLatin1String("--")) ||
        (desc && column.isNull()))
        return Usage;
    SampleOrder order;
    if (!column.isNull()) {
        order.column = listColumnByName(column);
        order.descending = desc;
        if (order.column < 0) {
            ctx.err << "No list column is named " << column << " (use a column of the header line)."
                    << Qt::endl;
            return Usage;
        }
    }
    if (!openForCommand(ctx, args[0]))
        return Failure;
    try {
        Database& db = ctx.session.db();
        const std::vector<SampleListRow> rows = readSampleList(db, order);
        const SampleTotals totals = readSampleTotals(db);
        QStringList header{QStringLiteral("obs"), QStringLiteral("ssn"),
                           QStringLiteral("SamplingUnit")};
        for (const DataElement& e : kDataElements)
            header << QString::fromLatin1(e.listName) << QString::fromLatin1(e.markColumn);
        header << QStringLiteral("chk");
        ctx.out << header.join(QLatin1Char('\t')) << "\n";
        for (const SampleListRow& r : rows) {
            QStringList cells{r.obs, r.ssn, r.samplingUnit};
            for (int i = 0; i < kElementCount; ++i)
                cells << r.values[i] << markLetter(r.marks[i]);
            cells << (r.completed ? QStringLiteral("Yes") : QString());
            ctx.out << cells.join(QLatin1Char('\t')) << "\n";
        }
        const qint64 counts[] = {totals.inSample,      totals.inspected,      totals.wrongSsn,
                                 totals.invalidRecord, totals.unableToLocate, totals.missingRecord};
        for (int i = 0; i < 6; ++i)
            ctx.out << kTotalLabels[i] << " " << counts[i] << "\n";
        for (int i = 0; i < kElementCount; ++i)
            ctx.out << "Failed " << kDataElements[i].failSumName << ": "
                    << displayText(totals.failed[i]) << "\n";
        ctx.out.flush();
        return Ok;
    } catch (const DbError& e) {
        return dbFailure(ctx, e);
    }
}

int worksheetCommand(Context& ctx, QStringList& args) {
    WorksheetEdit edit;
    if (const int parsed = parseWorksheetEdit(ctx, args, edit); parsed != Ok)
        return parsed;
    if (contradicts(ctx, edit))
        return Usage;
    if (!openForCommand(ctx, args[0]))
        return Failure;
    if (edit.yes)
        ctx.ui.setAnswer(QuestionId::DeleteResults, true);
    try {
        Database& db = ctx.session.db();
        const qint64 rowId = findSampleRow(ctx, db, edit);
        if (rowId == 0)
            return Failure;
        std::optional<Worksheet> w = Worksheet::load(db, rowId);
        if (!w) {
            ctx.err << "The sampled record is gone." << Qt::endl;
            return Failure;
        }
        if (!applyEdit(ctx, *w, edit))
            return Failure;
        w->save(db, ctx.session.historySource(QStringLiteral("batch")));
        ctx.session.saveWork();
        std::optional<Worksheet> stored = Worksheet::load(db, rowId);
        if (stored)
            printWorksheet(ctx, *stored);
        return Ok;
    } catch (const DbError& e) {
        return dbFailure(ctx, e);
    }
}

int historyCommand(Context& ctx, QStringList& args) {
    bool bad = false;
    const QString obsText = takeOption(args, QStringLiteral("--obs"), bad);
    std::optional<qint64> obs;
    if (!obsText.isNull()) {
        bool ok = false;
        obs = obsText.toLongLong(&ok);
        if (!ok) {
            ctx.err << "--obs \"" << obsText << "\" is not a number." << Qt::endl;
            return Usage;
        }
    }
    if (bad || args.size() != 1 || args[0].startsWith(QLatin1String("--")))
        return Usage;
    if (!openForCommand(ctx, args[0]))
        return Failure;
    try {
        ctx.out << "ChangedAt\tOsUser\tHost\tSource\tobs\tssn\tItem\tOldValue\tNewValue\n";
        for (const HistoryRow& r : readHistory(ctx.session.db(), obs)) {
            QStringList cells{r.changedAt, r.osUser, r.host,     r.source,  r.obs,
                              r.ssn,       r.item,   r.oldValue, r.newValue};
            // One row a line, whatever a comment holds.
            for (QString& c : cells)
                c.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
                    .replace(QLatin1Char('\t'), QLatin1String("\\t"))
                    .replace(QLatin1Char('\n'), QLatin1String("\\n"))
                    .replace(QLatin1Char('\r'), QLatin1String("\\r"));
            ctx.out << cells.join(QLatin1Char('\t')) << "\n";
        }
        ctx.out.flush();
        return Ok;
    } catch (const DbError& e) {
        return dbFailure(ctx, e);
    }
}

int commentsCommand(Context& ctx, QStringList& args) {
    bool bad = false;
    const QString text = takeOption(args, QStringLiteral("--set"), bad);
    const bool clear = takeFlag(args, QStringLiteral("--clear"));
    if (bad || args.size() != 1 || args[0].startsWith(QLatin1String("--")))
        return Usage;
    if (clear && !text.isNull()) {
        ctx.err << "--set and --clear contradict each other; nothing was saved." << Qt::endl;
        return Usage;
    }
    if (!openForCommand(ctx, args[0]))
        return Failure;
    try {
        const QString stored = clear           ? updateSummaryComments(ctx.session, QString())
                               : text.isNull() ? readSummaryComments(ctx.session)
                                               : updateSummaryComments(ctx.session, text);
        if (!stored.isEmpty())
            ctx.out << stored << "\n";
        ctx.out.flush();
        return Ok;
    } catch (const DbError& e) {
        return dbFailure(ctx, e);
    }
}

int errorRatesCommand(Context& ctx, QStringList& args) {
    if (args.size() != 1 || args[0].startsWith(QLatin1String("--")))
        return Usage;
    if (!openForCommand(ctx, args[0]))
        return Failure;
    try {
        loadGlobals(ctx.session, SignInMode::ReportOptions);
        ComputeErrorRates(ctx.session);
        QStringList header;
        for (const char* c : kErrorRateColumns)
            header << QString::fromLatin1(c);
        ctx.out << header.join(QLatin1Char('\t')) << "\n";
        for (const ErrorRateRow& r : readErrorRates(ctx.session.db())) {
            ctx.out << errorRateCells(r).join(QLatin1Char('\t')) << "\n";
        }
        ctx.out.flush();
        return Ok;
    } catch (const DbError& e) {
        return dbFailure(ctx, e);
    }
}

} // namespace orv::cli

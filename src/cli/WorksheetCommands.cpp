#include "Commands.h"

#include "db/SignIn.h"
#include "worksheet/ErrorRates.h"
#include "worksheet/SampleList.h"
#include "worksheet/SummaryComments.h"
#include "worksheet/Worksheet.h"

#include <optional>

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
    bool bad = false;
    const QString obs = takeOption(args, QStringLiteral("--obs"), bad);
    const QString ssn = takeOption(args, QStringLiteral("--ssn"), bad);
    const QString rowText = takeOption(args, QStringLiteral("--row"), bad);
    struct MarkOption {
        const char* name;
        Mark mark;
        QVector<int> lines;
    };
    MarkOption markOptions[] = {
        {"--pass", Mark::Pass, {}}, {"--fail", Mark::Fail, {}}, {"--clear", Mark::None, {}}};
    for (MarkOption& o : markOptions) {
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
    const std::pair<const char*, ExceptionFlag> flagOptions[] = {
        {"--wrong-ssn", ExceptionFlag::WrongSsn},
        {"--invalid-record", ExceptionFlag::InvalidRecord},
        {"--unable-to-locate", ExceptionFlag::UnableToLocate},
        {"--missing-record", ExceptionFlag::MissingRecord}};
    std::optional<bool> flags[4];
    for (int i = 0; i < 4; ++i)
        bad |= !parseSwitch(takeOption(args, QLatin1String(flagOptions[i].first), bad), flags[i]);
    const QString comments = takeOption(args, QStringLiteral("--comments"), bad);
    const bool clearComments = takeFlag(args, QStringLiteral("--clear-comments"));
    const bool yes = takeFlag(args, QStringLiteral("--yes"));
    if (bad || obs.isNull() || ssn.isNull() || args.size() != 1 ||
        args[0].startsWith(QLatin1String("--")))
        return Usage;

    // Contradictions are refused whole: applied in some order, one half would silently win.
    for (int line = 0; line < kElementCount; ++line) {
        QStringList given;
        for (const MarkOption& o : markOptions)
            if (o.lines.contains(line))
                given << QLatin1String(o.name);
        if (given.size() > 1) {
            ctx.err << "Element " << line + 1 << " is in both "
                    << given.join(QStringLiteral(" and ")) << "; nothing was saved." << Qt::endl;
            return Usage;
        }
    }
    QStringList flagsOn;
    for (int i = 0; i < 4; ++i)
        if (flags[i].value_or(false))
            flagsOn << QLatin1String(flagOptions[i].first);
    if (flagsOn.size() > 1) {
        ctx.err << flagsOn.join(QStringLiteral(" on and ")) << " on: a record takes one exception "
                << "flag at a time; nothing was saved." << Qt::endl;
        return Usage;
    }
    if (!comments.isNull() && clearComments) {
        ctx.err << "--comments and --clear-comments contradict each other; nothing was saved."
                << Qt::endl;
        return Usage;
    }
    if (!comments.isNull() && comments.isEmpty()) {
        ctx.err << "--comments \"\" would keep the stored comment, as an emptied box does; "
                   "--clear-comments empties it."
                << Qt::endl;
        return Usage;
    }
    if (!openForCommand(ctx, args[0]))
        return Failure;
    if (yes)
        ctx.ui.setAnswer(QuestionId::DeleteResults, true);
    try {
        Database& db = ctx.session.db();
        const QVector<qint64> rows = rowsOf(db, obs, ssn);
        qint64 rowId = rows.size() == 1 ? rows.first() : 0;
        if (!rowText.isNull()) {
            rowId = rowText.toLongLong();
            if (!rows.contains(rowId)) {
                ctx.err << "Sample row " << rowText << " is not OBS " << obs << " with SSN " << ssn
                        << "." << Qt::endl;
                return Failure;
            }
        }
        if (rows.isEmpty()) {
            ctx.err << "No sampled record has OBS " << obs << " and SSN " << ssn << "." << Qt::endl;
            return Failure;
        }
        if (rowId == 0) {
            QStringList ids;
            for (qint64 id : rows)
                ids << QString::number(id);
            ctx.err << rows.size() << " sampled records have OBS " << obs << " and SSN " << ssn
                    << " (rows " << ids.join(QStringLiteral(", ")) << "): name one with --row."
                    << Qt::endl;
            return Failure;
        }
        std::optional<Worksheet> w = Worksheet::load(db, rowId);
        if (!w) {
            ctx.err << "The sampled record is gone." << Qt::endl;
            return Failure;
        }
        // The flags first, as a validator decides on the record before its lines.
        for (int i = 0; i < 4; ++i) {
            const ExceptionFlag f = flagOptions[i].second;
            if (!flags[i] || w->flag(f) == *flags[i])
                continue;
            w->clickFlag(f, ctx.ui);
            if (w->flag(f) != *flags[i]) {
                ctx.err << "Cancelled: " << flagOptions[i].first
                        << " on deletes the validation results for this record (--yes "
                           "confirms). Nothing was saved."
                        << Qt::endl;
                return Failure;
            }
        }
        for (const MarkOption& o : markOptions) {
            for (int line : o.lines) {
                if (!w->line(line).enabled) {
                    ctx.err << "Element " << line + 1 << " (" << w->line(line).label
                            << ") cannot be marked on this record; nothing was saved." << Qt::endl;
                    return Failure;
                }
                w->setMark(line, o.mark);
            }
        }
        if (clearComments)
            w->clearComments();
        else if (!comments.isNull())
            w->setComments(comments);
        w->save(db);
        std::optional<Worksheet> stored = Worksheet::load(db, rowId);
        if (stored)
            printWorksheet(ctx, *stored);
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

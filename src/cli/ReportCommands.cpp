#include "Commands.h"

#include "db/SignIn.h"
#include "validation/MasterPager.h"
#include "validation/OutcomeGroupSummary.h"
#include "validation/ReportValidation.h"

#include <limits>

namespace orv::cli {

namespace {

int dbFailure(Context& ctx, const DbError& e) {
    ctx.err << e.message() << Qt::endl;
    return Failure;
}

// Opens DB with the settings and the record filter of its sign-in, as the screens have them.
bool openSignedIn(Context& ctx, const QString& path) {
    if (!openForCommand(ctx, path))
        return false;
    try {
        loadGlobals(ctx.session, SignInMode::ReportOptions);
        buildRecordFilter(ctx.session);
    } catch (const DbError& e) {
        dbFailure(ctx, e);
        return false;
    }
    const Settings& s = ctx.session.settings;
    if (!s.reportingPeriodStart.isValid() || !s.reportingPeriodEnd.isValid()) {
        ctx.err << "The database has not been signed in: run orvdv-cli signin " << path
                << " --fiscal-year YEAR first." << Qt::endl;
        return false;
    }
    return true;
}

QString csvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QLatin1String("\"\"")) +
           QLatin1Char('"');
}

QString csvLine(const QStringList& cells) {
    QStringList fields;
    fields.reserve(cells.size());
    for (const QString& c : cells)
        fields << csvField(c);
    return fields.join(QLatin1Char(','));
}

// A whole number within [low, high] from an option's text; false when it is none.
bool parseNumber(const QString& text, qint64 low, qint64 high, qint64& value) {
    bool ok = false;
    value = text.toLongLong(&ok);
    return ok && value >= low && value <= high;
}

} // namespace

int rvCommand(Context& ctx, QStringList& args) {
    if (args.size() != 1 || args[0].startsWith(QLatin1String("--")))
        return Usage;
    if (!openSignedIn(ctx, args[0]))
        return Failure;
    if (!ComputeReportValidation(ctx.session))
        return Failure;
    try {
        ctx.out << "seq\tdescription\tvalue\trtype\n";
        for (const ValidationRow& r : readValidationRows(ctx.session.db()))
            ctx.out << r.seq << "\t" << r.description << "\t" << cellText(r.value) << "\t"
                    << r.rtype << "\n";
        ctx.out.flush();
        return Ok;
    } catch (const DbError& e) {
        return dbFailure(ctx, e);
    }
}

int groupsCommand(Context& ctx, QStringList& args) {
    if (args.size() != 1 || args[0].startsWith(QLatin1String("--")))
        return Usage;
    if (!openSignedIn(ctx, args[0]))
        return Failure;
    try {
        const std::vector<QVariantList> rows =
            readOutcomeGroupSummary(ctx.session.db(), ctx.session.recordFilter);
        QStringList header;
        for (int c = 0; c < kSummaryKeyColumn; ++c)
            header << summaryTitle(c);
        ctx.out << header.join(QLatin1Char('\t')) << "\n";
        for (const QVariantList& row : rows) {
            QStringList cells;
            for (int c = 0; c < kSummaryKeyColumn; ++c)
                cells << cellText(row.value(c));
            ctx.out << cells.join(QLatin1Char('\t')) << "\n";
        }
        ctx.out.flush();
        return Ok;
    } catch (const DbError& e) {
        return dbFailure(ctx, e);
    }
}

int browseCommand(Context& ctx, QStringList& args) {
    bool bad = false;
    const QString groupText = takeOption(args, QStringLiteral("--group"), bad);
    const QString column = takeOption(args, QStringLiteral("--order"), bad);
    const QString limitText = takeOption(args, QStringLiteral("--limit"), bad);
    const bool desc = takeFlag(args, QStringLiteral("--desc"));
    if (bad || args.size() != 1 || args[0].startsWith(QLatin1String("--")) ||
        (desc && column.isNull()))
        return Usage;
    std::optional<int> group;
    if (!groupText.isNull()) {
        qint64 g = 0;
        if (!parseNumber(groupText, 1, 25, g)) {
            ctx.err << "--group takes an outcome group from 1 to 25" << Qt::endl;
            return Usage;
        }
        group = static_cast<int>(g);
    }
    qint64 limit = -1;
    if (!limitText.isNull() &&
        !parseNumber(limitText, 0, std::numeric_limits<qint64>::max(), limit)) {
        ctx.err << "--limit takes a number of records" << Qt::endl;
        return Usage;
    }
    if (!openSignedIn(ctx, args[0]))
        return Failure;
    try {
        MasterOrder order;
        if (!column.isNull()) {
            const MasterColumns columns = MasterColumns::read(ctx.session.db());
            const int at = columns.find(column);
            if (at < 0) {
                ctx.err << "No shown column is named " << column
                        << " (use a column of the header line)." << Qt::endl;
                return Usage;
            }
            order.column = columns.names[at];
            order.descending = desc;
        }
        MasterPager pager(ctx.session.db(), ctx.session.recordFilter, group, order);
        pager.open();
        ctx.out << csvLine(pager.columns().headings) << "\n";
        pager.forEach(limit, [&](const QStringList& cells) {
            ctx.out << csvLine(cells) << "\n";
            return true;
        });
        ctx.out.flush();
        return Ok;
    } catch (const DbError& e) {
        return dbFailure(ctx, e);
    }
}

} // namespace orv::cli

#include "Commands.h"

#include "exports/MasterGridSources.h"
#include "session/SignIn.h"
#include "validation/MasterPager.h"
#include "validation/OutcomeGroupSummary.h"
#include "validation/OutcomeGroups.h"
#include "validation/ReportValidation.h"

#include <limits>

namespace orv::cli {

namespace {

int dbFailure(Context& ctx, const DbError& e) {
    ctx.err << e.message() << Qt::endl;
    return Failure;
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

bool computeMeasures(Context& ctx) {
    try {
        ComputeReportValidation(ctx.session);
        return true;
    } catch (const DbError& e) {
        ctx.ui.message(e.message(), Icon::Exclamation);
        return false;
    }
}

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
    const Settings& s = ctx.session.settings();
    if (!s.reportingPeriodStart.isValid() || !s.reportingPeriodEnd.isValid()) {
        ctx.err << "The database has not been signed in: run orvdv-cli signin " << path
                << " --fiscal-year YEAR first." << Qt::endl;
        return false;
    }
    return true;
}

bool takeBrowseOptions(Context& ctx, QStringList& args, BrowseOptions& options) {
    bool bad = false;
    const QString groupText = takeOption(args, QStringLiteral("--group"), bad);
    options.column = takeOption(args, QStringLiteral("--order"), bad);
    options.descending = takeFlag(args, QStringLiteral("--desc"));
    if (bad || (options.descending && options.column.isNull()))
        return false;
    if (!groupText.isNull()) {
        qint64 g = 0;
        if (!parseNumber(groupText, 1, kGroupCount, g)) {
            ctx.err << "--group takes an outcome group from 1 to " << kGroupCount << Qt::endl;
            return false;
        }
        options.group = static_cast<int>(g);
    }
    return true;
}

std::unique_ptr<MasterPager> openBrowsePager(Context& ctx, const BrowseOptions& options) {
    MasterOrder order;
    if (!options.column.isNull()) {
        const MasterColumns columns = MasterColumns::read(ctx.session.db());
        const int at = columns.find(options.column);
        if (at < 0) {
            ctx.err << "No shown column is named " << options.column
                    << " (use a column of the header line)." << Qt::endl;
            return nullptr;
        }
        order.column = columns.names[at];
        order.descending = options.descending;
    }
    auto pager = std::make_unique<MasterPager>(ctx.session.db(), ctx.session.recordFilter(),
                                               options.group, order);
    // Without a progress nothing can stop the build: it opens or throws.
    if (!pager->open())
        return nullptr;
    return pager;
}

int rvCommand(Context& ctx, QStringList& args) {
    if (args.size() != 1 || args[0].startsWith(QLatin1String("--")))
        return Usage;
    if (!openSignedIn(ctx, args[0]))
        return Failure;
    if (!computeMeasures(ctx))
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
        OutcomeSummarySource summary(ctx.session.db(), ctx.session.recordFilter());
        ctx.out << summary.columns().join(QLatin1Char('\t')) << "\n";
        summary.forEachRow([&](const QStringList& cells) {
            ctx.out << cells.join(QLatin1Char('\t')) << "\n";
            return true;
        });
        ctx.out.flush();
        return Ok;
    } catch (const DbError& e) {
        return dbFailure(ctx, e);
    }
}

int browseCommand(Context& ctx, QStringList& args) {
    bool bad = false;
    BrowseOptions options;
    const bool good = takeBrowseOptions(ctx, args, options);
    const QString limitText = takeOption(args, QStringLiteral("--limit"), bad);
    if (!good || bad || args.size() != 1 || args[0].startsWith(QLatin1String("--")))
        return Usage;
    qint64 limit = -1;
    if (!limitText.isNull() &&
        !parseNumber(limitText, 0, std::numeric_limits<qint64>::max(), limit)) {
        ctx.err << "--limit takes a number of records" << Qt::endl;
        return Usage;
    }
    if (!openSignedIn(ctx, args[0]))
        return Failure;
    try {
        const std::unique_ptr<MasterPager> pager = openBrowsePager(ctx, options);
        if (!pager)
            return Usage;
        ctx.out << csvLine(pager->columns().headings) << "\n";
        pager->forEach(limit, [&](const QStringList& cells) {
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

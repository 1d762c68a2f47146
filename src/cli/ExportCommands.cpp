#include "ExportCommands.h"

#include "exports/GridExport.h"
#include "exports/MasterGridSources.h"
#include "exports/ParticipantGroups.h"
#include "exports/SampleListSource.h"
#include "exports/SummaryXml.h"
#include "import/ImportRun.h"
#include "import/ReportedCounts.h"
#include "session/SignIn.h"
#include "validation/MasterPager.h"
#include "worksheet/ErrorRates.h"

#include <QDir>
#include <QFileInfo>

#include <memory>

namespace orv::cli {

namespace {

bool isOption(const QString& arg) {
    return arg.startsWith(QLatin1String("--"));
}

// The settings and the record filter of the last sign-in, as the screens have them.
bool loadSignIn(Context& ctx, const QString& db) {
    try {
        loadGlobals(ctx.session, SignInMode::ReportOptions);
        const Settings& s = ctx.session.settings();
        if (!s.reportingPeriodStart.isValid() || !s.reportingPeriodEnd.isValid()) {
            ctx.err << "The database has not been signed in: run orvdv-cli signin " << db
                    << " --fiscal-year YEAR first." << Qt::endl;
            return false;
        }
        buildRecordFilter(ctx.session);
        return true;
    } catch (const DbError& e) {
        ctx.err << e.message() << Qt::endl;
        return false;
    }
}

const QStringList kGridNames = {QStringLiteral("sample"), QStringLiteral("groups"),
                                QStringLiteral("browse")};

// The grid export-grid names, on a database already open (signed in for groups and browse);
// null when browse's column is unknown (told). Throws DbError.
std::unique_ptr<GridRowSource> gridSource(Context& ctx, const QString& name,
                                          const BrowseOptions& browse) {
    if (name == QLatin1String("sample"))
        return std::make_unique<SampleListSource>(ctx.session.db(), SampleOrder());
    if (name == QLatin1String("groups"))
        return std::make_unique<OutcomeSummarySource>(ctx.session.db(), ctx.session.recordFilter());
    std::unique_ptr<MasterPager> pager = openBrowsePager(ctx, browse);
    if (!pager)
        return nullptr;
    return std::make_unique<MasterPagerSource>(std::move(pager));
}

} // namespace

int exportGroupsCommand(Context& ctx, QStringList& args) {
    if (args.isEmpty() || args.size() > 2 || isOption(args[0]) ||
        (args.size() == 2 && isOption(args[1])))
        return Usage;
    if (!openForCommand(ctx, args[0]) || !loadSignIn(ctx, args[0]))
        return Failure;
    const QString folder = args.size() == 2 ? QFileInfo(args[1]).absoluteFilePath() : QString();
    const GroupExportResult r = ExportParticipantGroups(ctx.session, folder);
    if (!r.ok)
        return Failure;
    for (const QString& name : r.files)
        ctx.out << QDir(r.folder).filePath(name) << "\n";
    ctx.out.flush();
    return Ok;
}

int exportXmlCommand(Context& ctx, QStringList& args) {
    if (args.isEmpty() || args.size() > 2 || isOption(args[0]) ||
        (args.size() == 2 && isOption(args[1])))
        return Usage;
    if (!openForCommand(ctx, args[0]) || !loadSignIn(ctx, args[0]))
        return Failure;
    QString out;
    if (args.size() == 2) {
        // A folder gets the file under its dated name.
        const QFileInfo given(args[1]);
        out = given.isDir() ? QDir(given.absoluteFilePath())
                                  .filePath(summaryFileName(QDateTime::currentDateTime()))
                            : given.absoluteFilePath();
    }
    try {
        // As the menu does: the rates are computed afresh from the marks first.
        ComputeErrorRates(ctx.session);
    } catch (const DbError& e) {
        ctx.err << e.message() << Qt::endl;
        return Failure;
    }
    const SummaryExportResult r = ExportSummaryXml(ctx.session, out);
    if (!r.ok)
        return Failure;
    ctx.out << "Records: " << r.records << Qt::endl;
    return Ok;
}

int countsCommand(Context& ctx, QStringList& args) {
    const bool yes = takeFlag(args, QStringLiteral("--yes"));
    if (args.size() != 2 || isOption(args[0]) || isOption(args[1]))
        return Usage;
    if (!openForCommand(ctx, args[0]))
        return Failure;
    if (yes)
        ctx.ui.setAnswer(QuestionId::ReloadReportedCounts, true);
    CliLabelsView view;
    const CountsResult r =
        ImportReportedCounts(ctx.session, QFileInfo(args[1]).absoluteFilePath(), &view);
    view.print(ctx.out);
    if (r.outcome != CountsOutcome::Imported) {
        if (r.outcome == CountsOutcome::Declined)
            ctx.err << "Nothing was imported (--yes confirms the reload)." << Qt::endl;
        return Failure;
    }
    ctx.out << "Lines imported: " << r.lines << "\n"
            << "Rows stored: " << r.rows << Qt::endl;
    return Ok;
}

int exportGridCommand(Context& ctx, QStringList& args) {
    bool bad = false;
    const QString xlsx = takeOption(args, QStringLiteral("--xlsx"), bad);
    const QString csv = takeOption(args, QStringLiteral("--csv"), bad);
    const int before = static_cast<int>(args.size());
    BrowseOptions browse;
    const bool goodBrowse = takeBrowseOptions(ctx, args, browse);
    if (bad || !goodBrowse || args.size() != 2 || isOption(args[0]) || isOption(args[1]) ||
        xlsx.isNull() == csv.isNull())
        return Usage;
    const QString& grid = args[1];
    if (!kGridNames.contains(grid)) {
        ctx.err << "No grid is named " << grid << " (the grids: " << kGridNames.join(", ") << ")."
                << Qt::endl;
        return Usage;
    }
    // Only browse has a group and an order to choose.
    if (args.size() != before && grid != QLatin1String("browse"))
        return Usage;
    const bool opened =
        grid == QLatin1String("sample") ? openForCommand(ctx, args[0]) : openSignedIn(ctx, args[0]);
    if (!opened)
        return Failure;
    const QString path = QFileInfo(xlsx.isNull() ? csv : xlsx).absoluteFilePath();
    std::unique_ptr<GridRowSource> source;
    try {
        source = gridSource(ctx, grid, browse);
    } catch (const DbError& e) {
        ctx.err << e.message() << Qt::endl;
        return Failure;
    }
    if (!source)
        return Usage;
    const GridExportControl control{&ctx.ui, nullptr};
    const GridExportResult r = xlsx.isNull() ? exportGridCsv(*source, path, control)
                                             : exportGridXlsx(*source, path, control);
    if (r.outcome != GridExportOutcome::Written) {
        ctx.err << r.error << Qt::endl;
        return Failure;
    }
    ctx.out << "Rows: " << r.rows << "\n" << path << Qt::endl;
    return Ok;
}

} // namespace orv::cli

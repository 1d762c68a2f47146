#include "Commands.h"

#include "import/ImportDriver.h"
#include "session/SignIn.h"

#include <QDateTime>
#include <QFileInfo>

namespace orv::cli {

int importCommand(Context& ctx, QStringList& args) {
    bool bad = false;
    const QString seedText = takeOption(args, QStringLiteral("--seed"), bad);
    const bool yes = takeFlag(args, QStringLiteral("--yes"));
    if (bad || args.size() != 2)
        return Usage;
    quint32 seed = static_cast<quint32>(QDateTime::currentMSecsSinceEpoch());
    if (!seedText.isNull()) {
        bool ok = false;
        seed = seedText.toUInt(&ok);
        if (!ok) {
            ctx.err << "--seed takes a whole number from 0 to 4294967295" << Qt::endl;
            return Usage;
        }
    }
    if (!openForCommand(ctx, args[0]))
        return Failure;
    try {
        loadGlobals(ctx.session, SignInMode::SignIn);
    } catch (const DbError& e) {
        ctx.err << e.message() << Qt::endl;
        return Failure;
    }
    const Settings& s = ctx.session.settings();
    if (!s.period.isValid() || !s.periodEnd.isValid()) {
        ctx.err << "The database has not been signed in: run orvdv-cli signin " << args[0]
                << " --fiscal-year YEAR first." << Qt::endl;
        return Failure;
    }
    if (yes)
        ctx.ui.setAnswer(QuestionId::ReloadMaster, true);
    CliLabelsView view(&ctx.ui);
    ImportDriver driver(ctx.session, view);
    const ImportResult r =
        driver.importExtractFile(QFileInfo(args[1]).absoluteFilePath(), ImportOptions{seed});
    view.print(ctx.out);
    if (r.outcome == ImportOutcome::Declined) {
        ctx.err << "Nothing was imported (--yes confirms the reload)." << Qt::endl;
        return Failure;
    }
    // A failure the import did not already tell on stderr: the extract's content stopped it.
    if (r.outcome != ImportOutcome::Completed && !ctx.ui.failed())
        ctx.err << "Import failed: "
                << (r.stopReason.isEmpty() ? QStringLiteral("see the error report") : r.stopReason)
                << Qt::endl;
    ctx.out << "Records read: " << r.records << "\n";
    ctx.out << "Records inserted: " << r.inserted << "\n";
    try {
        ctx.out << "Sample rows: "
                << ctx.session.db().scalar("SELECT count(*) FROM tblsample").toLongLong() << "\n";
    } catch (const DbError&) {
    }
    ctx.out << "Seed: " << seed << "\n";
    // A refused import leaves the report of the one before it; only a new one is named.
    ctx.out << "Error report: "
            << (r.reportWritten                         ? errorReportPath(ctx.session)
                : r.outcome == ImportOutcome::Completed ? QStringLiteral("none (no errors)")
                                                        : QStringLiteral("none written"))
            << Qt::endl;
    return r.outcome == ImportOutcome::Completed ? Ok : Failure;
}

} // namespace orv::cli

#include "Commands.h"

#include "session/FieldPack.h"

#include "ReportLayout.h"
#include "reports/ReportEngine.h"
#include "validation/ReportValidation.h"
#include "worksheet/ErrorRates.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

namespace orv::cli {

// report DB ID [--obs N] --pdf OUT: what the menu's print commands show, as a PDF file.
int reportCommand(Context& ctx, QStringList& args) {
    bool bad = false;
    const QString obs = takeOption(args, QStringLiteral("--obs"), bad);
    const QString pdf = takeOption(args, QStringLiteral("--pdf"), bad);
    if (bad || pdf.isEmpty() || args.size() != 2)
        return Usage;
    if (!openSignedIn(ctx, args[0]))
        return Failure;
    const QString id = args[1];
    // A pack holds the validators' worksheets, not the run they were drawn from.
    if (ctx.session.isPack() && id != QLatin1String("R005-1")) {
        ctx.err << kNotInPack << Qt::endl;
        return Failure;
    }
    // An OBS the sample does not hold would print a report of its title alone.
    if (!obs.isNull()) {
        bool number = false;
        const qlonglong value = obs.trimmed().toLongLong(&number);
        try {
            if (!number || ctx.session.db()
                                   .scalar("SELECT count(*) FROM tblsample WHERE obs = ?", {value})
                                   .toLongLong() == 0) {
                ctx.err << "OBS " << obs << " is not in the sample." << Qt::endl;
                return Failure;
            }
        } catch (const DbError& e) {
            ctx.err << e.message() << Qt::endl;
            return Failure;
        }
    }
    // Text is laid out with fonts, which only the GUI application object provides.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        ctx.err << "Reports need the GUI application object." << Qt::endl;
        return Failure;
    }
    // As the menu does: the measures and the error rates are computed afresh for their reports.
    if (id == QLatin1String("R003-1")) {
        if (!computeMeasures(ctx))
            return Failure;
    }
    try {
        if (id == QLatin1String("R004-1"))
            ComputeErrorRates(ctx.session);
    } catch (const DbError& e) {
        ctx.err << e.message() << Qt::endl;
        return Failure;
    }
    const QString out = QFileInfo(pdf).absoluteFilePath();
    try {
        ReportLayout layout(std::make_unique<ReportRun>(ctx.session, id, obs));
        {
            ProgressScope progress(ctx.ui, QStringLiteral("Writing ") + id);
            // The batch front end's progress never asks to stop.
            if (!layout.writePdf(out, [&](int page) { return progress.step(page, 0); }))
                return Failure;
        }
        ctx.out << QDir::toNativeSeparators(out) << ": " << layout.pageCount()
                << (layout.pageCount() == 1 ? " page" : " pages") << Qt::endl;
    } catch (const Error& e) {
        ctx.err << "Error in viewing report " << e.message() << Qt::endl;
        return Failure;
    }
    return Ok;
}

} // namespace orv::cli

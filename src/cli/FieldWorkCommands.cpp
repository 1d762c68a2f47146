#include "Commands.h"

#include "fieldwork/Merge.h"
#include "fieldwork/Pack.h"
#include "session/FieldPack.h"
#include "worksheet/History.h"

#include <QFileInfo>

namespace orv::cli {

namespace {

// Takes the one way of choosing records out of args; false when there is not exactly one.
bool takeSelection(QStringList& args, PackSelection& selection, bool& bad) {
    int ways = 0;
    if (const QString obs = takeOption(args, QStringLiteral("--obs"), bad); !obs.isNull()) {
        selection.kind = PackSelection::Kind::Obs;
        selection.obs = obs.split(QLatin1Char(','), Qt::SkipEmptyParts);
        ++ways;
    }
    if (const QString office = takeOption(args, QStringLiteral("--office"), bad);
        !office.isNull()) {
        selection.kind = PackSelection::Kind::Office;
        selection.office = office;
        ++ways;
    }
    if (const QString unit = takeOption(args, QStringLiteral("--unit"), bad); !unit.isNull()) {
        selection.kind = PackSelection::Kind::Unit;
        bool ok = false;
        selection.unit = unit.toLongLong(&ok);
        bad = bad || !ok;
        ++ways;
    }
    if (takeFlag(args, QStringLiteral("--all"))) {
        selection.kind = PackSelection::Kind::All;
        ++ways;
    }
    return ways == 1;
}

QString counted(qint64 n, const char* noun) {
    return QStringLiteral("%1 %2%3").arg(n).arg(QLatin1String(noun),
                                                n == 1 ? QString() : QStringLiteral("s"));
}

void printConflicts(Context& ctx, const std::vector<MergeConflict>& conflicts) {
    ctx.out << "OBS\tSSN\tElement\tAt pack time\tIn the database\tIn the pack\n";
    for (const MergeConflict& c : conflicts)
        for (const MergeItem& item : c.items)
            ctx.out << c.obs << '\t' << c.ssn << '\t' << item.item << '\t' << item.atPack << '\t'
                    << item.inMain << '\t' << item.inPack << '\n';
    ctx.out.flush();
}

} // namespace

int packCommand(Context& ctx, QStringList& args) {
    bool bad = false;
    PackRequest request;
    const bool chosen = takeSelection(args, request.selection, bad);
    request.validator = takeOption(args, QStringLiteral("--validator"), bad);
    if (request.validator.isNull())
        request.validator = osUserName();
    if (bad || !chosen || args.size() != 2)
        return Usage;
    request.path = QFileInfo(args[1]).absoluteFilePath();
    if (!openForCommand(ctx, args[0]))
        return Failure;
    try {
        const PackInfo info = makePack(ctx.session.db(), request, ctx.ui);
        ctx.out << "Wrote " << request.path << ": " << info.title() << " (pack " << info.id << ")"
                << Qt::endl;
        return Ok;
    } catch (const Error& e) {
        ctx.err << e.message() << Qt::endl;
        return Failure;
    }
}

int mergeCommand(Context& ctx, QStringList& args) {
    bool bad = false;
    const QString prefer = takeOption(args, QStringLiteral("--prefer"), bad);
    // It answers the upgrade of an older database, for the whole command.
    static_cast<void>(takeFlag(args, QStringLiteral("--yes")));
    MergeChoices choices;
    if (prefer == QLatin1String("pack"))
        choices.all = Prefer::Pack;
    else if (prefer == QLatin1String("main"))
        choices.all = Prefer::Main;
    else if (!prefer.isNull())
        bad = true;
    if (bad || args.size() != 2)
        return Usage;
    if (!openForCommand(ctx, args[0]))
        return Failure;
    try {
        const std::optional<QString> passphrase =
            ctx.ui.askPassphrase(QStringLiteral("The passphrase of the field pack %1:")
                                     .arg(QFileInfo(args[1]).fileName()),
                                 false);
        if (!passphrase) {
            ctx.err << kNoPassphrase << Qt::endl;
            return Failure;
        }
        LockedPack pack = openPackToMerge(QFileInfo(args[1]).absoluteFilePath(), *passphrase);
        const MergeResult result = mergePack(ctx.session.db(), pack.db, choices);
        switch (result.outcome) {
        case MergeResult::Outcome::AlreadyMerged:
            ctx.out << result.alreadyMergedText() << Qt::endl;
            return Ok;
        case MergeResult::Outcome::Conflicts:
            printConflicts(ctx, result.conflicts);
            ctx.err << counted(qint64(result.conflicts.size()), "record")
                    << (result.conflicts.size() == 1 ? " was" : " were")
                    << " changed both in the pack and in the database since the "
                       "pack was made: nothing was merged. Say whose records win with --prefer "
                       "pack or --prefer main."
                    << Qt::endl;
            return Failure;
        case MergeResult::Outcome::Merged:
            break;
        }
        ctx.out << "Merged " << result.pack.historySource() << ": "
                << counted(result.changedRecords, "record") << " changed";
        if (!result.conflicts.empty())
            ctx.out << ", " << counted(qint64(result.conflicts.size()), "conflict")
                    << " settled for the " << (choices.all == Prefer::Pack ? "pack" : "database");
        ctx.out << "." << Qt::endl;
        return Ok;
    } catch (const Error& e) {
        ctx.err << e.message() << Qt::endl;
        return Failure;
    }
}

} // namespace orv::cli

#include "Commands.h"
#include "ExportCommands.h"

#include "session/DatabaseFiles.h"

#include <QFileInfo>

namespace orv::cli {

bool takeFlag(QStringList& args, const QString& flag) {
    return args.removeAll(flag) > 0;
}

QString takeOption(QStringList& args, const QString& name, bool& bad) {
    const int at = args.indexOf(name);
    if (at < 0)
        return {};
    if (at + 1 >= args.size()) {
        bad = true;
        args.removeAt(at);
        return {};
    }
    const QString value = args.at(at + 1);
    args.remove(at, 2);
    return value;
}

namespace {

// Runs a database file command; its failure is printed as the front end prints an error, and
// leaves no result.
[[nodiscard]] std::optional<FileResult> runFileCommand(Context& ctx,
                                                       const std::function<FileResult()>& command) {
    try {
        return command();
    } catch (const FileCommandError& e) {
        ctx.ui.message(e.message(), e.icon());
        return std::nullopt;
    }
}

} // namespace

bool openForCommand(Context& ctx, const QString& path) {
    const QString file = QFileInfo(path).absoluteFilePath();
    if (runFileCommand(ctx, [&] { return openDatabase(ctx.session, file); }) != FileResult::Opened)
        return false;
    if (ctx.session.isPack() && !ctx.packs) {
        ctx.err << kNotInPack << Qt::endl;
        ctx.session.closeConnection();
        return false;
    }
    return true;
}

namespace {

bool hasStrayOptions(const QStringList& args) {
    for (const QString& a : args)
        if (a.startsWith(QLatin1String("--")))
            return true;
    return false;
}

int cmdNew(Context& ctx, QStringList& args) {
    const bool force = takeFlag(args, QStringLiteral("--force"));
    if (args.size() != 1 || hasStrayOptions(args))
        return Usage;
    ctx.ui.setAnswer(QStringLiteral("Database already exists! Override?"), force);
    const QString path = QFileInfo(args[0]).absoluteFilePath();
    const auto result = runFileCommand(ctx, [&] { return createDatabase(ctx.session, path); });
    if (result == FileResult::Opened) {
        ctx.out << "Created " << path << Qt::endl;
        return Ok;
    }
    if (result == FileResult::Cancelled)
        ctx.err << "Database already exists: " << path << " (use --force to replace it)"
                << Qt::endl;
    return Failure;
}

int cmdInfo(Context& ctx, QStringList& args) {
    if (args.size() != 1 || hasStrayOptions(args))
        return Usage;
    if (!openForCommand(ctx, args[0]))
        return Failure;
    try {
        Database& db = ctx.session.db();
        Statement sys = db.prepare("SELECT * FROM tblsystem");
        if (sys.step()) {
            for (int i = 0; i < sys.columnCount(); ++i)
                ctx.out << sys.columnName(i) << ": " << sys.value(i).toString() << "\n";
        }
        Statement tables =
            db.prepare("SELECT name FROM sqlite_master WHERE type = 'table' AND name "
                       "NOT LIKE 'sqlite_%' ORDER BY rowid");
        while (tables.step()) {
            const QString name = tables.text(0);
            const QVariant count =
                db.scalar(QStringLiteral("SELECT count(*) FROM \"%1\"").arg(name).toStdString());
            ctx.out << name << ": " << count.toLongLong() << "\n";
        }
        return Ok;
    } catch (const DbError& e) {
        ctx.err << e.message() << Qt::endl;
        return Failure;
    }
}

int cmdSaveAs(Context& ctx, QStringList& args) {
    if (args.size() != 2 || hasStrayOptions(args))
        return Usage;
    if (!openForCommand(ctx, args[0]))
        return Failure;
    const QString target = QFileInfo(args[1]).absoluteFilePath();
    ctx.ui.setAnswer(QStringLiteral("Database exists! Override?"), false);
    ctx.ui.setAnswer(QStringLiteral("Do you want to stay in your original database?"), true);
    if (QFileInfo::exists(target)) {
        ctx.err << "File already exists: " << target << Qt::endl;
        return Failure;
    }
    if (runFileCommand(ctx, [&] { return saveDatabaseAs(ctx.session, target); }) !=
        FileResult::Done)
        return Failure;
    ctx.out << "Saved a copy as " << target << Qt::endl;
    return Ok;
}

int cmdCompact(Context& ctx, QStringList& args) {
    if (args.size() != 1 || hasStrayOptions(args))
        return Usage;
    if (!openForCommand(ctx, args[0]))
        return Failure;
    if (runFileCommand(ctx, [&] { return compactDatabaseFile(ctx.session); }) != FileResult::Done)
        return Failure;
    ctx.out << "Compacted " << ctx.session.databasePath() << Qt::endl;
    return Ok;
}

int cmdRepair(Context& ctx, QStringList& args) {
    if (args.size() != 1 || hasStrayOptions(args))
        return Usage;
    ctx.ui.setAnswer(QStringLiteral("Repair the VRQ database?"), true);
    const QString path = QFileInfo(args[0]).absoluteFilePath();
    // A damaged file may refuse the usual open checks; repair opens it by path.
    ctx.session.useDatabaseFile(path);
    const auto result = runFileCommand(ctx, [&] { return repairDatabaseFile(ctx.session); });
    // A warning as the repaired database opens (an unfinished import rolled back) fails it too.
    return result == FileResult::Done && !ctx.ui.failed() ? Ok : Failure;
}

} // namespace

const QVector<Command>& commands() {
    static const QVector<Command> list = {
        {"new", "DB [--force]", "create a validation database from the template", cmdNew},
        {"info", "DB", "print the stored settings and the row count of every table", cmdInfo, true},
        {"saveas", "DB COPY", "write a consistent copy of a validation database", cmdSaveAs},
        {"compact", "DB", "compact a validation database in place", cmdCompact},
        {"repair", "DB", "check a validation database and rebuild it when damaged", cmdRepair},
        {"signin",
         "DB --fiscal-year Y [--period-start D] [--period-end D] [--sample-start D] "
         "[--office X] [--wib X] [--case-mgr X] [--clear-filter]",
         "sign in: store the reporting period and filters, print the settings and the filter. "
         "A filter left off keeps the one stored before; an empty value (--office \"\") clears "
         "it, --clear-filter clears all three",
         signInCommand},
        {"import", "DB EXTRACT [--seed N] [--yes]",
         "load an extract into a signed-in database, check it and draw the sample", importCommand},
        {"sample", "DB [--order COLUMN [--desc]]",
         "print the sample list with its marks, then the counts and the failed marks",
         sampleCommand, true},
        {"worksheet",
         "DB --obs N --ssn S [--row R] [--pass LIST] [--fail LIST] [--clear LIST] "
         "[--wrong-ssn on|off] [--invalid-record on|off] [--unable-to-locate on|off] "
         "[--missing-record on|off] [--comments TEXT | --clear-comments] [--yes]",
         "mark a sampled record's elements (LIST: 1-17, comma-separated), set its exception "
         "flags and comments, save, and print what is stored",
         worksheetCommand, true},
        {"history", "DB [--obs N]",
         "print the history of the worksheet saves, oldest first, as tab-separated text (of one "
         "sampled record with --obs)",
         historyCommand, true},
        {"comments", "DB [--set TEXT | --clear]",
         "print the summary comments, or replace or empty them first", commentsCommand},
        {"error-rates", "DB", "compute the weighted error rates and print the 17 rows",
         errorRatesCommand},
        {"rv", "DB",
         "recompute the nine performance measures under the record filter and print them",
         rvCommand},
        {"groups", "DB", "print the 25 performance outcome groups with their counts and measures",
         groupsCommand},
        {"browse", "DB [--group N] [--order COLUMN [--desc]] [--limit N]",
         "print as CSV the grouped records that pass the record filter (of one outcome group "
         "with --group), by obs or by COLUMN (a header of the output)",
         browseCommand},
        {"export-groups", "DB [DIR]",
         "write one text file per outcome group with its records that pass the record filter "
         "(to DIR; by default \"Participants Extract\" in the program folder)",
         exportGroupsCommand},
        {"export-xml", "DB [OUT]",
         "compute the error rates, then write the summary/analytical XML file (OUT: a file or a "
         "folder; by default a dated name in the program folder)",
         exportXmlCommand},
        {"counts", "DB FILE [--yes]",
         "replace the reported counts with those of FILE (--yes answers the reload question)",
         countsCommand},
        {"report", "DB ID [--obs N] --pdf OUT",
         "write a report (R001-1, R001-2, R002-1, R003-1, R004-1, R005-1, R006-1) as a PDF file; "
         "--obs restricts R005-1 to one sampled record (a field pack prints R005-1 alone)",
         reportCommand, true},
        {"pack", "DB OUT (--obs LIST | --office NAME | --unit N | --all) [--validator NAME]",
         "write an encrypted field pack of sampled records (LIST: OBS numbers, comma-separated) "
         "for a validator (by default you); the passphrase comes from ORVDV_PASSPHRASE or is "
         "asked on the terminal",
         packCommand},
        {"merge", "DB PACK [--prefer pack|main] [--yes]",
         "bring a field pack's worksheets back into its database; records changed on both sides "
         "are listed and nothing is merged, unless --prefer says whose record wins",
         mergeCommand},
        {"export-grid",
         "DB sample|groups|browse [--group N] [--order COLUMN [--desc]] --xlsx OUT | --csv OUT",
         "write a grid as a spreadsheet or a CSV file: the sample list, the outcome groups' "
         "summary, or the records browse prints (--group, --order and --desc as for browse)",
         exportGridCommand},
    };
    return list;
}

} // namespace orv::cli

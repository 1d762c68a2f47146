#include "Cli.h"

#include "CliFrontEnd.h"
#include "Commands.h"

#include "program/ProgramFolder.h"
#include "program/Version.h"
#include "session/Session.h"

#include <algorithm>

namespace orv::cli {

namespace {
void usage(QTextStream& stream) {
    stream << "usage: orvdv-cli [--home DIR] COMMAND ...\n"
              "       orvdv-cli --help | --version\n\ncommands:\n";
    for (const Command& c : commands())
        stream << "  " << c.name << " " << c.usage << "\n      " << c.summary << "\n";
    stream << "\n--home DIR  the program folder (templates, error report, exports); default: the "
              "folder of this program, or for an installed program the user's data folder\n"
              "--help      print this text; COMMAND --help prints the command's usage\n"
              "--yes       after any COMMAND: a database made by an earlier version of the "
              "program gets the tables it lacks (asked on a terminal, refused elsewhere)\n"
              "--version   print the program's version\n";
    stream.flush();
}

bool isHelp(const QString& arg) {
    return arg == QLatin1String("--help") || arg == QLatin1String("-h");
}
} // namespace

int run(const QStringList& argsIn, const QString& appDir, QTextStream& out, QTextStream& err,
        const QString& dataLocation) {
    QStringList args = argsIn;
    bool bad = false;
    const QString home = takeOption(args, QStringLiteral("--home"), bad);
    if (bad || args.isEmpty()) {
        usage(err);
        return Usage;
    }
    if (isHelp(args.first())) {
        usage(out);
        return Ok;
    }
    if (args.first() == QLatin1String("--version")) {
        out << "orvdv-cli " << kPackageVersion << Qt::endl;
        return Ok;
    }
    const QString verb = args.takeFirst();
    for (const Command& c : commands()) {
        if (verb != QLatin1String(c.name))
            continue;
        if (std::any_of(args.cbegin(), args.cend(), isHelp)) {
            out << "usage: orvdv-cli [--home DIR] " << c.name << " " << c.usage << "\n    "
                << c.summary << Qt::endl;
            return Ok;
        }
        const ProgramFolder folder = resolveProgramFolder(appDir, home, dataLocation);
        if (folder.path.isEmpty()) {
            err << folder.error << Qt::endl;
            return Failure;
        }
        CliFrontEnd ui(out, err);
        // --yes answers every question a command asks, the upgrade of an older database's
        // tables among them; a command that asks nothing else takes it for that one.
        if (args.contains(QLatin1String("--yes"))) {
            ui.setAnswer(QuestionId::UpgradeSchema, true);
            if (!QByteArray(c.usage).contains("--yes"))
                args.removeAll(QStringLiteral("--yes"));
        }
        Session session(folder.path, &ui);
        Context ctx{session, ui, out, err, c.onPacks};
        const int rc = c.run(ctx, args);
        out.flush();
        err.flush();
        if (rc == Usage)
            err << "usage: orvdv-cli [--home DIR] " << c.name << " " << c.usage << Qt::endl;
        return rc;
    }
    if (verb.startsWith(QLatin1Char('-')))
        err << "orvdv-cli: unknown option '" << verb << "'\n";
    else
        err << "orvdv-cli: unknown command '" << verb << "'\n";
    usage(err);
    return Usage;
}

} // namespace orv::cli

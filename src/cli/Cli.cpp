#include "Cli.h"

#include "CliFrontEnd.h"
#include "Commands.h"

#include "db/Session.h"

namespace orv::cli {

namespace {
void usage(QTextStream& err) {
    err << "usage: orvdv-cli [--home DIR] COMMAND ...\n\ncommands:\n";
    for (const Command& c : commands())
        err << "  " << c.name << " " << c.usage << "\n      " << c.summary << "\n";
    err << "\n--home DIR  the program folder (templates, error report, exports); default: the "
           "folder of this program\n";
    err.flush();
}
} // namespace

int run(const QStringList& argsIn, const QString& defaultHome, QTextStream& out, QTextStream& err) {
    QStringList args = argsIn;
    bool bad = false;
    QString home = takeOption(args, QStringLiteral("--home"), bad);
    if (bad || args.isEmpty() || args.first() == QLatin1String("--help") ||
        args.first() == QLatin1String("-h")) {
        usage(err);
        return (args.isEmpty() || bad) ? Usage : Ok;
    }
    if (home.isNull())
        home = defaultHome;
    const QString verb = args.takeFirst();
    for (const Command& c : commands()) {
        if (verb != QLatin1String(c.name))
            continue;
        CliFrontEnd ui(out, err);
        Session session(home, &ui);
        Context ctx{session, ui, out, err};
        const int rc = c.run(ctx, args);
        out.flush();
        err.flush();
        if (rc == Usage)
            err << "usage: orvdv-cli [--home DIR] " << c.name << " " << c.usage << Qt::endl;
        return rc;
    }
    err << "orvdv-cli: unknown command '" << verb << "'\n";
    usage(err);
    return Usage;
}

} // namespace orv::cli

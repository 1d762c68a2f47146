#pragma once

#include "Cli.h"

#include <QStringList>
#include <QTextStream>

namespace orv::test {

struct CliResult {
    int rc;
    QString out;
    QString err;
};

// Runs one command line in-process, with home as the program folder.
inline CliResult runCli(const QString& home, QStringList args) {
    QString out, err;
    QTextStream o(&out), e(&err);
    args.prepend(home);
    args.prepend(QStringLiteral("--home"));
    const int rc = cli::run(args, QStringLiteral("/nonexistent"), o, e);
    o.flush();
    e.flush();
    return {rc, out, err};
}

} // namespace orv::test

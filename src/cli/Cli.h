#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace orv::cli {

enum ExitCode { Ok = 0, Failure = 1, Usage = 2 };

// Runs one command line (without the program name). The program folder is the DIR of --home,
// or else the one resolveProgramFolder finds for the executable's folder appDir, with
// dataLocation as the user's data folder of an installed program.
int run(const QStringList& args, const QString& appDir, QTextStream& out, QTextStream& err,
        const QString& dataLocation = QString());

} // namespace orv::cli

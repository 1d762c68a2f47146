#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace orv::cli {

enum ExitCode { Ok = 0, Failure = 1, Usage = 2 };

// Runs one command line (without the program name). The program folder defaults to
// defaultHome unless --home names another.
int run(const QStringList& args, const QString& defaultHome, QTextStream& out, QTextStream& err);

} // namespace orv::cli

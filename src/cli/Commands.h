#pragma once

#include "Cli.h"
#include "CliFrontEnd.h"

#include "db/Session.h"

#include <QStringList>
#include <QTextStream>

#include <functional>

namespace orv::cli {

struct Context {
    Session& session;
    CliFrontEnd& ui;
    QTextStream& out;
    QTextStream& err;
};

struct Command {
    const char* name;
    const char* usage; // the arguments after the name
    const char* summary;
    std::function<int(Context&, QStringList&)> run;
};

// Every verb; later features add theirs here.
const QVector<Command>& commands();

// Opens DB for a command; reports and returns false when it cannot.
bool openForCommand(Context& ctx, const QString& path);
// Takes a flag out of args; true when it was there.
bool takeFlag(QStringList& args, const QString& flag);
// Takes "--name VALUE" out of args; a null string when absent, and sets bad when VALUE is missing.
QString takeOption(QStringList& args, const QString& name, bool& bad);

// signin (SignInCommand.cpp)
int signInCommand(Context& ctx, QStringList& args);
// import (ImportCommand.cpp)
int importCommand(Context& ctx, QStringList& args);
// sample, worksheet, error-rates (WorksheetCommands.cpp)
int sampleCommand(Context& ctx, QStringList& args);
int worksheetCommand(Context& ctx, QStringList& args);
int errorRatesCommand(Context& ctx, QStringList& args);
// rv, groups, browse (ReportCommands.cpp)
int rvCommand(Context& ctx, QStringList& args);
int groupsCommand(Context& ctx, QStringList& args);
int browseCommand(Context& ctx, QStringList& args);

} // namespace orv::cli

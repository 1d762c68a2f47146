#pragma once

#include "Cli.h"
#include "CliFrontEnd.h"

#include "session/Session.h"

#include <QStringList>
#include <QTextStream>

#include <functional>
#include <memory>
#include <optional>

namespace orv {
class MasterPager;
}

namespace orv::cli {

struct Context {
    Session& session;
    CliFrontEnd& ui;
    QTextStream& out;
    QTextStream& err;
    // Whether the command works on a field pack too.
    bool packs = false;
};

struct Command {
    const char* name;
    const char* usage; // the arguments after the name
    const char* summary;
    std::function<int(Context&, QStringList&)> run;
    // Works on a field pack as on a validation database.
    bool onPacks = false;
};

// Every verb; later features add theirs here.
const QVector<Command>& commands();

// Opens DB for a command; reports and returns false when it cannot.
[[nodiscard]] bool openForCommand(Context& ctx, const QString& path);
// Takes a flag out of args; true when it was there.
[[nodiscard]] bool takeFlag(QStringList& args, const QString& flag);
// Takes "--name VALUE" out of args; a null string when absent, and sets bad when VALUE is missing.
QString takeOption(QStringList& args, const QString& name, bool& bad);

// signin (SignInCommand.cpp)
int signInCommand(Context& ctx, QStringList& args);
// import (ImportCommand.cpp)
int importCommand(Context& ctx, QStringList& args);
// sample, worksheet, history, comments, error-rates (WorksheetCommands.cpp)
int sampleCommand(Context& ctx, QStringList& args);
int worksheetCommand(Context& ctx, QStringList& args);
int historyCommand(Context& ctx, QStringList& args);
int commentsCommand(Context& ctx, QStringList& args);
int errorRatesCommand(Context& ctx, QStringList& args);
// rv, groups, browse (ReportCommands.cpp)
int rvCommand(Context& ctx, QStringList& args);
int groupsCommand(Context& ctx, QStringList& args);
int browseCommand(Context& ctx, QStringList& args);

// pack, merge (FieldWorkCommands.cpp)
int packCommand(Context& ctx, QStringList& args);
int mergeCommand(Context& ctx, QStringList& args);
// report (PrintCommand.cpp)
int reportCommand(Context& ctx, QStringList& args);

// Opens DB with the settings and the record filter of its sign-in; reports and returns false
// when it cannot or the database was never signed in.
[[nodiscard]] bool openSignedIn(Context& ctx, const QString& path);
// Computes the performance measures afresh, as the menu does before it shows them; a failure is
// told as the menu tells it.
[[nodiscard]] bool computeMeasures(Context& ctx);

// What browse reads: every grouped record or one group's, by obs or by a column.
struct BrowseOptions {
    std::optional<int> group;
    QString column; // as given: a column name or a heading
    bool descending = false;
};
// Takes --group N, --order COLUMN and --desc out of args; false (told) when they are wrong.
[[nodiscard]] bool takeBrowseOptions(Context& ctx, QStringList& args, BrowseOptions& options);
// The open pager of the signed-in database that browse reads; null (told) when the column is
// unknown. Throws DbError.
std::unique_ptr<MasterPager> openBrowsePager(Context& ctx, const BrowseOptions& options);

} // namespace orv::cli

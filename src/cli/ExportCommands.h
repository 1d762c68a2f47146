#pragma once

#include "Commands.h"

namespace orv::cli {

// export-groups, export-xml, counts, export-grid (ExportCommands.cpp)
int exportGroupsCommand(Context& ctx, QStringList& args);
int exportXmlCommand(Context& ctx, QStringList& args);
int countsCommand(Context& ctx, QStringList& args);
int exportGridCommand(Context& ctx, QStringList& args);

} // namespace orv::cli

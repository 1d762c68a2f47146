#pragma once

#include <QString>

namespace orv {

// The names both programs run under. They name the user's data folder too, so that the desktop
// program and the batch front end of one installation share it.
inline constexpr const char* kApplicationName = "orvdv";
inline constexpr const char* kOrganizationName = "ORV Data Validation";
void setProgramNames();

// What an installed program finds beside its bin/: <prefix>/share/orvdv, or empty when there is
// no such folder.
QString installedDataFolder(const QString& appDir);

struct ProgramFolder {
    QString path; // empty when the folder cannot be had
    QString error;
    bool installed = false;
};

// The folder that holds the templates, the tips, the report definitions and what the program
// writes (error report, exports, locks):
// - the DIR of --home (homeOverride), whatever else there is;
// - the executable's own folder in a build tree, where the template database lies beside it;
// - for an installed program, which may not write where it is installed, the user's data
//   folder (dataLocation), created and given a copy of every installed file it lacks. A file
//   there that differs from the one copied last stays: the user or the agency changed it.
//   One still as copied is brought up to date when a newer package ships another.
ProgramFolder resolveProgramFolder(const QString& appDir, const QString& homeOverride,
                                   const QString& dataLocation);

} // namespace orv

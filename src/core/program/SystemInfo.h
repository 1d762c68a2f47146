#pragma once

#include "program/Version.h"

#include <QString>
#include <QVector>

namespace orv {

inline constexpr const char* kProgramTitle = "ORV Data Validation System.";
// One version everywhere: the package's, as --version prints it.
inline constexpr const char* kProgramVersion = kPackageVersion;

// One fact a support desk asks for: "Qt: 6.4.2".
struct InfoLine {
    QString label;
    QString value;
};

// What the program runs on and with: its version, the Qt and SQLite versions, the operating
// system, the program folder, the open database, the data source and its driver. Reads only;
// registers nothing.
// `openDatabase` is empty when none is open.
QVector<InfoLine> systemInfo(const QString& programDir, const QString& openDatabase);
// One "label: value" line each.
QString systemInfoText(const QVector<InfoLine>& lines);

} // namespace orv

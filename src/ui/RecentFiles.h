#pragma once

#include <QString>
#include <QStringList>

namespace orv::ui {

// File > Open Recent lists this many databases at the most.
inline constexpr int kRecentFilesMax = 8;

// `list` with `path` made absolute at its head, no path twice, and no more than
// kRecentFilesMax entries: the oldest falls off.
QStringList withRecentFile(QStringList list, const QString& path);

} // namespace orv::ui

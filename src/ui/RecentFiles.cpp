#include "RecentFiles.h"

#include <QDir>
#include <QFileInfo>

namespace orv::ui {

QStringList withRecentFile(QStringList list, const QString& path) {
    if (path.isEmpty())
        return list;
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    list.removeAll(absolute);
    list.prepend(absolute);
    while (list.size() > kRecentFilesMax)
        list.removeLast();
    return list;
}

} // namespace orv::ui

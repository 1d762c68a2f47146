#include "program/SystemInfo.h"

#include "db/Database.h"
#include "program/DataSource.h"

#include <QDir>
#include <QSysInfo>
#include <QtGlobal>

namespace orv {

namespace {

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString dataSourceLine() {
    const QString name = QString::fromLatin1(kDataSourceName);
    if (!datasource::exists(name))
        return name + QStringLiteral(" (not registered)");
    const QString database = datasource::databaseOf(name);
    return QStringLiteral("%1 -> %2 (in %3)")
        .arg(name, database.isEmpty() ? QStringLiteral("no database") : native(database),
             native(datasource::userDataSourceFile()));
}

QString driverLine() {
    const QString named =
        datasource::attribute(QString::fromLatin1(kDataSourceName), QStringLiteral("Driver"));
    const QStringList folders = datasource::driverFolders();
    for (const datasource::Driver& d : datasource::installedDrivers()) {
        if (!named.isEmpty() && d.name.compare(named, Qt::CaseInsensitive) != 0)
            continue;
        if (named.isEmpty() && !datasource::isSqliteDriver(d, folders))
            continue;
        return QStringLiteral("%1 (%2)%3")
            .arg(d.name, d.library,
                 datasource::isSqliteDriver(d, folders) ? QString()
                                                        : QStringLiteral(", cannot be loaded"));
    }
    const QString library = datasource::findDriverLibrary(folders);
    if (library.isEmpty())
        return QStringLiteral("none installed (Debian package libsqliteodbc)");
    return QStringLiteral("%1 not registered (%2)")
        .arg(named.isEmpty() ? QString::fromLatin1(kDataSourceDriver) : named, library);
}

} // namespace

QVector<InfoLine> systemInfo(const QString& programDir, const QString& openDatabase) {
    const QString open = openDatabase.isEmpty() ? QStringLiteral("none") : native(openDatabase);
    return {
        {QStringLiteral("Program"),
         QStringLiteral("%1 Version %2")
             .arg(QString::fromLatin1(kProgramTitle), QString::fromLatin1(kProgramVersion))},
        {QStringLiteral("Qt"),
         QStringLiteral("%1 (built with %2)")
             .arg(QString::fromLatin1(qVersion()), QStringLiteral(QT_VERSION_STR))},
        {QStringLiteral("SQLite"), engineVersion()},
        {QStringLiteral("Operating system"),
         QStringLiteral("%1, kernel %2 %3, %4")
             .arg(QSysInfo::prettyProductName(), QSysInfo::kernelType(), QSysInfo::kernelVersion(),
                  QSysInfo::currentCpuArchitecture())},
        {QStringLiteral("Program folder"), native(programDir)},
        {QStringLiteral("Open database"), open},
        {QStringLiteral("Data source"), dataSourceLine()},
        {QStringLiteral("ODBC driver"), driverLine()},
    };
}

QString systemInfoText(const QVector<InfoLine>& lines) {
    QString out;
    for (const InfoLine& line : lines)
        out += line.label + QStringLiteral(": ") + line.value + QLatin1Char('\n');
    return out;
}

} // namespace orv

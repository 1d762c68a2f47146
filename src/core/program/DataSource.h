#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

namespace orv {

class FrontEnd;

inline constexpr const char* kDataSourceName = "ORVDataVal";
// The name under which the SQLite 3 ODBC driver is registered when the driver manager knows
// none (Debian's libsqliteodbc registers it so itself).
inline constexpr const char* kDataSourceDriver = "SQLite3";

// The data source record through which ODBC clients (isql ORVDataVal, office programs) reach
// the open validation database. It is a user data source in unixODBC's odbc.ini (the ODBCINI
// variable names another file); a SQLite 3 driver missing from the driver manager's list is
// registered in the user's ~/.odbcinst.ini, which needs no administrator. Both files are
// changed a key at a time and replaced in one step; what else they hold stays.
namespace datasource {

struct Driver {
    QString name;
    QString library; // as its Driver entry gives it
};

QString userDataSourceFile();
QString userDriverFile();

bool exists(const QString& name);
// The named attribute of a data source, empty when absent.
QString attribute(const QString& name, const QString& key);
// The database a data source names (Database, or DBQ as older records have it).
QString databaseOf(const QString& name);
// Data sources whose names begin with "ORV", as the driver manager lists them.
QStringList orvNames();

// The drivers the driver manager lists, with their libraries.
QVector<Driver> installedDrivers();
// Where driver libraries are installed.
QStringList driverFolders();
// The SQLite 3 ODBC driver library in one of folders; empty when none is installed.
QString findDriverLibrary(const QStringList& folders);
// True when the driver's library is the SQLite 3 one and can be found.
bool isSqliteDriver(const Driver& driver, const QStringList& folders);
// The name of a SQLite 3 driver that the driver manager can load, registered in the user's
// odbcinst.ini first when it lists none. Throws DbError when no driver library is installed
// or the registration cannot be written.
QString ensureDriver();
// The same over a given list of drivers and library folders.
QString ensureDriver(const QVector<Driver>& installed, const QStringList& folders);

// Writes the data source: the driver, the database (as Database, which the driver reads, and
// DBQ, which older records and the switch screen use) and no creation of a missing database.
// Throws DbError.
void write(const QString& name, const QString& driver, const QString& databasePath);

// The driver manager keeps what it read from its files for a while; after they change under
// it, this makes this process's next connection read them again.
void refreshDriverManager();

} // namespace datasource

// Makes the data source exist, restoring ORVTemplate.mdb from ORVTemplate.xmdb first, and
// makes an existing one name a driver that can be loaded. Throws DbError when the template
// cannot be restored.
// The template lies in `programDir`; a failure to register is told through `ui`.
void ensureDataSource(FrontEnd& ui, const QString& programDir);
void createDataSource(FrontEnd& ui, const QString& name, const QString& databasePath);
// Re-points the data source at `databasePath`.
void reconfigureDataSource(FrontEnd& ui, const QString& databasePath);

} // namespace orv

#pragma once

#include <QString>
#include <QStringList>

namespace orv {

class Session;

inline constexpr const char* kDataSourceName = "ORVDataVal";
inline constexpr const char* kDataSourceDriver = "Microsoft Access Driver (*.MDB)";

// The data source record other tools use to reach the open database. Kept as a user data
// source in unixODBC's odbc.ini (the ODBCINI variable points it elsewhere).
namespace datasource {
bool exists(const QString& name);
// Writes the driver and the attributes Uid=Admin, pwd= and DBQ=path; false when refused.
bool write(const QString& name, const QString& databasePath);
// The named attribute of a data source, empty when absent.
QString attribute(const QString& name, const QString& key);
// Data sources whose names begin with "ORV", as the driver manager lists them.
QStringList orvNames();
} // namespace datasource

// Makes the data source exist, restoring ORVTemplate.mdb from ORVTemplate.xmdb first.
// Throws DbError when the template cannot be restored.
void ensureDataSource(Session& session);
void createDataSource(Session& session, const QString& name, const QString& databasePath);
// Re-points the data source at the session's data source path.
void reconfigureDataSource(Session& session);

} // namespace orv

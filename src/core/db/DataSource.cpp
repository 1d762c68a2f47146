#include "db/DataSource.h"

#include "db/Database.h"
#include "db/Session.h"

#include <QFile>
#include <QFileInfo>

#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>

namespace orv {

namespace {
constexpr const char* kIni = "odbc.ini";
const char* kFailed = "DSN Creation Failed";

QStringList sections() {
    SQLSetConfigMode(ODBC_USER_DSN);
    QByteArray buf(64 * 1024, '\0');
    const int n = SQLGetPrivateProfileString(nullptr, nullptr, "", buf.data(), buf.size(), kIni);
    QStringList out;
    // The names come back separated by NULs.
    for (const QByteArray& part : buf.left(std::max(n, 0)).split('\0')) {
        if (!part.isEmpty())
            out << QString::fromLocal8Bit(part);
    }
    return out;
}
} // namespace

namespace datasource {

bool exists(const QString& name) {
    return sections().contains(name, Qt::CaseInsensitive);
}

bool write(const QString& name, const QString& databasePath) {
    SQLSetConfigMode(ODBC_USER_DSN);
    const QByteArray dsn = name.toLocal8Bit();
    const QByteArray dbq = databasePath.toLocal8Bit();
    return SQLWriteDSNToIni(dsn.constData(), kDataSourceDriver) &&
           SQLWritePrivateProfileString(dsn.constData(), "Uid", "Admin", kIni) &&
           SQLWritePrivateProfileString(dsn.constData(), "pwd", "", kIni) &&
           SQLWritePrivateProfileString(dsn.constData(), "DBQ", dbq.constData(), kIni);
}

QString attribute(const QString& name, const QString& key) {
    SQLSetConfigMode(ODBC_USER_DSN);
    char buf[4096] = {};
    const QByteArray dsn = name.toLocal8Bit();
    const QByteArray k = key.toLocal8Bit();
    const int n =
        SQLGetPrivateProfileString(dsn.constData(), k.constData(), "", buf, sizeof buf, kIni);
    return QString::fromLocal8Bit(buf, std::max(n, 0));
}

QStringList orvNames() {
    QStringList out;
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        return out;
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLCHAR dsn[256];
    SQLCHAR desc[256];
    SQLSMALLINT dsnLen = 0;
    SQLSMALLINT descLen = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(
        SQLDataSources(env, direction, dsn, sizeof dsn, &dsnLen, desc, sizeof desc, &descLen))) {
        const QString n = QString::fromLocal8Bit(reinterpret_cast<const char*>(dsn), dsnLen);
        if (n.left(3).compare(QLatin1String("ORV"), Qt::CaseInsensitive) == 0 && !out.contains(n))
            out << n;
        direction = SQL_FETCH_NEXT;
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return out;
}

} // namespace datasource

void ensureDataSource(Session& session) {
    if (datasource::exists(QString::fromLatin1(kDataSourceName)))
        return;
    const QString mdb = session.programFile(QStringLiteral("ORVTemplate.mdb"));
    if (!QFileInfo::exists(mdb)) {
        const QString xmdb = session.programFile(QStringLiteral("ORVTemplate.xmdb"));
        QFile source(xmdb);
        if (!source.copy(mdb))
            throw DbError(QStringLiteral("Cannot copy '%1' to '%2': %3")
                              .arg(xmdb, mdb, source.errorString()));
    }
    createDataSource(session, QString::fromLatin1(kDataSourceName), mdb);
}

void createDataSource(Session& session, const QString& name, const QString& databasePath) {
    if (!datasource::write(name, databasePath))
        session.ui().message(QString::fromLatin1(kFailed), Icon::None);
}

void reconfigureDataSource(Session& session) {
    createDataSource(session, QString::fromLatin1(kDataSourceName), session.dataSourcePath);
}

} // namespace orv

#include "program/DataSource.h"

#include "db/Database.h"
#include "db/SafeFile.h"
#include "program/FrontEnd.h"
#include "program/IniText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>

namespace orv {

namespace {
constexpr const char* kIni = "odbc.ini";
constexpr const char* kInstIni = "odbcinst.ini";
const char* kFailed = "DSN Creation Failed";
// The driver library of Debian's libsqliteodbc (and of the upstream build).
const QString kDriverLibrary = QStringLiteral("libsqlite3odbc.so");
// Taken when the driver manager lists a "SQLite3" whose library is gone.
const QString kSpareDriverName = QStringLiteral("ORV SQLite3");

// The configuration mode is the driver manager's global state: put it back as it was.
class ConfigMode {
public:
    explicit ConfigMode(UWORD mode) {
        SQLGetConfigMode(&mSaved);
        SQLSetConfigMode(mode);
    }
    ~ConfigMode() { SQLSetConfigMode(mSaved); }
    ConfigMode(const ConfigMode&) = delete;
    ConfigMode& operator=(const ConfigMode&) = delete;

private:
    UWORD mSaved = ODBC_BOTH_DSN;
};

// Names that the installer functions return separated by NULs.
QStringList splitNames(const QByteArray& buf, int length) {
    QStringList out;
    for (const QByteArray& part : buf.left(std::max(length, 0)).split('\0')) {
        if (!part.isEmpty())
            out << QString::fromLocal8Bit(part);
    }
    return out;
}

QString profileString(const QString& section, const QString& key, const char* file) {
    QByteArray buf(4096, '\0');
    const QByteArray s = section.toLocal8Bit();
    const QByteArray k = key.toLocal8Bit();
    const int n =
        SQLGetPrivateProfileString(s.constData(), k.constData(), "", buf.data(), buf.size(), file);
    return QString::fromLocal8Bit(buf.constData(), std::max(n, 0));
}

void requireOneLine(const QString& value) {
    if (value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r')))
        throw DbError(
            QStringLiteral("A data source cannot name '%1': it holds a line break.").arg(value));
}

} // namespace

namespace datasource {

QString userDataSourceFile() {
    const QString named = qEnvironmentVariable("ODBCINI");
    return named.isEmpty() ? QDir::home().filePath(QStringLiteral(".odbc.ini")) : named;
}

QString userDriverFile() {
    return QDir::home().filePath(QStringLiteral(".odbcinst.ini"));
}

void refreshDriverManager() {
    // Only a write through the installer functions makes them forget what they read; a
    // scratch file takes it, so the user's own files are only ever replaced whole.
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return;
    const QByteArray file = QFile::encodeName(scratch.filePath(QStringLiteral("refresh.ini")));
    SQLWritePrivateProfileString("refresh", "read", "again", file.constData());
}

bool exists(const QString& name) {
    refreshDriverManager();
    ConfigMode mode(ODBC_USER_DSN);
    QByteArray buf(64 * 1024, '\0');
    const int n = SQLGetPrivateProfileString(nullptr, nullptr, "", buf.data(), buf.size(), kIni);
    return splitNames(buf, n).contains(name, Qt::CaseInsensitive);
}

QString attribute(const QString& name, const QString& key) {
    refreshDriverManager();
    ConfigMode mode(ODBC_USER_DSN);
    return profileString(name, key, kIni);
}

QString databaseOf(const QString& name) {
    const QString database = attribute(name, QStringLiteral("Database"));
    return database.isEmpty() ? attribute(name, QStringLiteral("DBQ")) : database;
}

QStringList orvNames() {
    refreshDriverManager();
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

QVector<Driver> installedDrivers() {
    refreshDriverManager();
    ConfigMode mode(ODBC_BOTH_DSN);
    QByteArray buf(64 * 1024, '\0');
    WORD length = 0;
    QVector<Driver> out;
    if (!SQLGetInstalledDrivers(buf.data(), static_cast<WORD>(buf.size() - 1), &length))
        return out;
    for (const QString& name : splitNames(buf, length))
        out.push_back({name, profileString(name, QStringLiteral("Driver"), kInstIni)});
    return out;
}

QStringList driverFolders() {
    QStringList out;
    // Debian keeps driver libraries in /usr/lib/<architecture>/odbc.
    const QDir lib(QStringLiteral("/usr/lib"));
    for (const QString& arch : lib.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (arch.contains(QLatin1String("-linux-")))
            out << lib.filePath(arch + QStringLiteral("/odbc"));
    }
    out << QStringLiteral("/usr/lib/odbc") << QStringLiteral("/usr/lib64/odbc")
        << QStringLiteral("/usr/local/lib/odbc") << QStringLiteral("/usr/lib64")
        << QStringLiteral("/usr/local/lib") << QStringLiteral("/usr/lib");
    return out;
}

QString findDriverLibrary(const QStringList& folders) {
    for (const QString& folder : folders) {
        const QFileInfo library(QDir(folder).filePath(kDriverLibrary));
        if (library.isFile())
            return library.absoluteFilePath();
    }
    return {};
}

bool isSqliteDriver(const Driver& driver, const QStringList& folders) {
    const QFileInfo library(driver.library);
    if (!library.fileName().startsWith(QLatin1String("libsqlite3odbc")))
        return false;
    if (library.isAbsolute())
        return library.isFile();
    // A bare library name is looked up where driver libraries are kept.
    for (const QString& folder : folders) {
        if (QFileInfo(QDir(folder).filePath(driver.library)).isFile())
            return true;
    }
    return false;
}

QString ensureDriver() {
    return ensureDriver(installedDrivers(), driverFolders());
}

QString ensureDriver(const QVector<Driver>& installed, const QStringList& folders) {
    const QString preferred = QString::fromLatin1(kDataSourceDriver);
    QString found;
    bool nameTaken = false;
    for (const Driver& d : installed) {
        const bool isPreferred = d.name.compare(preferred, Qt::CaseInsensitive) == 0;
        nameTaken = nameTaken || isPreferred;
        if (isSqliteDriver(d, folders) && (found.isEmpty() || isPreferred))
            found = d.name;
    }
    if (!found.isEmpty())
        return found;

    const QString library = findDriverLibrary(folders);
    if (library.isEmpty())
        throw DbError(
            QStringLiteral("The SQLite ODBC driver (%1) is not installed.").arg(kDriverLibrary));
    const QString file = userDriverFile();
    IniText ini = readIniFile(file);
    // A "SQLite3" of the system's list whose library is gone would stand in the way of ours.
    const QString name = nameTaken && !ini.hasSection(preferred) ? kSpareDriverName : preferred;
    ini.set(name, QStringLiteral("Description"), QStringLiteral("SQLite3 ODBC Driver"));
    ini.set(name, QStringLiteral("Driver"), library);
    ini.set(name, QStringLiteral("Setup"), library);
    writeIniFile(file, ini);
    refreshDriverManager();
    return name;
}

void write(const QString& name, const QString& driver, const QString& databasePath) {
    // Other programs start elsewhere: a relative path would lead them astray.
    const QString database =
        databasePath.isEmpty() ? QString() : QFileInfo(databasePath).absoluteFilePath();
    for (const QString& value : {name, driver, database})
        requireOneLine(value);
    const QString file = userDataSourceFile();
    IniText ini = readIniFile(file);
    const QByteArray before = ini.bytes();
    ini.set(name, QStringLiteral("Driver"), driver);
    ini.set(name, QStringLiteral("Database"), database);
    ini.set(name, QStringLiteral("DBQ"), database);
    // A client must not make an empty database where a validation database went missing.
    ini.set(name, QStringLiteral("NoCreat"), QStringLiteral("1"));
    // Every command re-points the record, mostly at the same database: a file that would not
    // change is left alone.
    if (ini.bytes() == before && QFileInfo::exists(file))
        return;
    writeIniFile(file, ini);
    refreshDriverManager();
}

} // namespace datasource

namespace {

// The record names a driver the driver manager can load, and a database.
bool usable(const QString& name) {
    if (datasource::attribute(name, QStringLiteral("Database")).isEmpty())
        return false;
    const QString driver = datasource::attribute(name, QStringLiteral("Driver"));
    const QStringList folders = datasource::driverFolders();
    for (const datasource::Driver& d : datasource::installedDrivers()) {
        if (d.name.compare(driver, Qt::CaseInsensitive) == 0)
            return datasource::isSqliteDriver(d, folders);
    }
    return false;
}

} // namespace

void ensureDataSource(FrontEnd& ui, const QString& programDir) {
    const QString name = QString::fromLatin1(kDataSourceName);
    if (datasource::exists(name)) {
        // Records from before name a driver of another platform: keep their database, give
        // them a driver that loads.
        if (!usable(name))
            createDataSource(ui, name, datasource::databaseOf(name));
        return;
    }
    const QString mdb = QDir(programDir).filePath(QStringLiteral("ORVTemplate.mdb"));
    if (!QFileInfo::exists(mdb)) {
        const QString xmdb = QDir(programDir).filePath(QStringLiteral("ORVTemplate.xmdb"));
        files::copyWholeFile(xmdb, mdb);
    }
    createDataSource(ui, name, mdb);
}

void createDataSource(FrontEnd& ui, const QString& name, const QString& databasePath) {
    QString why;
    QString driver = QString::fromLatin1(kDataSourceDriver);
    try {
        driver = datasource::ensureDriver();
    } catch (const DbError& e) {
        why = e.message();
    }
    // Even without a driver the record must stop naming the database opened before.
    try {
        datasource::write(name, driver, databasePath);
    } catch (const DbError& e) {
        // A full disk comes before a missing driver: the user can act on it now.
        why = e.message();
    }
    if (!why.isEmpty())
        ui.message(QString::fromLatin1(kFailed) + QLatin1Char('\n') + why, Icon::None);
}

void reconfigureDataSource(FrontEnd& ui, const QString& databasePath) {
    createDataSource(ui, QString::fromLatin1(kDataSourceName), databasePath);
}

} // namespace orv

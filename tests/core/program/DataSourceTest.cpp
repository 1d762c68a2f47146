#include "ScriptedFrontEnd.h"
#include "TestSupport.h"

#include "db/SafeFile.h"
#include "program/DataSource.h"
#include "program/IniText.h"
#include "session/DatabaseFiles.h"
#include "session/Session.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <cerrno>
#include <optional>

#include <sql.h>
#include <sqlext.h>

using namespace orv;
using test::ScriptedFrontEnd;

namespace {

// Sets an environment variable for one test and puts back what was there.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QString& value)
        : mName(name), mHad(qEnvironmentVariableIsSet(name)), mOld(qgetenv(name)) {
        qputenv(name, QFile::encodeName(value));
    }
    ~ScopedEnv() {
        if (mHad)
            qputenv(mName, mOld);
        else
            qunsetenv(mName);
    }

private:
    const char* mName;
    bool mHad;
    QByteArray mOld;
};

// A number read as any ODBC client reads it: through the driver manager, by the data source's
// name. Empty when that fails, with the driver manager's or the driver's reason in error.
std::optional<long long> queryThroughDataSource(const char* sql, QString* error = nullptr) {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLHSTMT st = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    SQLCHAR connect[] = "DSN=ORVDataVal;";
    SQLCHAR* text = reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql));
    SQLBIGINT value = 0;
    std::optional<long long> out;
    if (SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, connect, SQL_NTS, nullptr, 0, nullptr,
                                       SQL_DRIVER_NOPROMPT))) {
        SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st);
        if (SQL_SUCCEEDED(SQLExecDirect(st, text, SQL_NTS)) && SQL_SUCCEEDED(SQLFetch(st)) &&
            SQL_SUCCEEDED(SQLGetData(st, 1, SQL_C_SBIGINT, &value, 0, nullptr)))
            out = value;
    }
    if (!out && error) {
        SQLCHAR state[6] = {}, message[512] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLGetDiagRec(st ? SQL_HANDLE_STMT : SQL_HANDLE_DBC, st ? st : dbc, 1, state, &native,
                      message, sizeof message, &length);
        *error = QString::fromLocal8Bit(reinterpret_cast<char*>(message));
    }
    if (st)
        SQLFreeHandle(SQL_HANDLE_STMT, st);
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return out;
}

long long readThroughDataSource(const char* sql) {
    QString error;
    const std::optional<long long> value = queryThroughDataSource(sql, &error);
    EXPECT_TRUE(value) << sql << ": " << error.toStdString();
    return value.value_or(-1);
}

class DataSourceTest : public test::SessionTest {
protected:
    QString odbcIni() const { return dir.file("odbc.ini"); }
};

TEST_F(DataSourceTest, ClientsReadTheDatabaseTheProgramHasOpen) {
    ensureDataSource(session->ui(), session->programDir());
    ASSERT_EQ(createDatabase(*session, dir.file("a.mdb")), FileResult::Opened);
    session->db().execute("UPDATE tblsystem SET FiscalYear = '2008'");
    EXPECT_TRUE(ui.shown.isEmpty()) << ui.lastMessage().toStdString();

    // The program keeps the database open, with its lock file beside it.
    EXPECT_EQ(readThroughDataSource("SELECT count(*) FROM tblsystem"), 1);
    EXPECT_EQ(readThroughDataSource("SELECT count(*) FROM tblsystem WHERE FiscalYear = '2008'"), 1);

    // Every open re-points it.
    ASSERT_EQ(createDatabase(*session, dir.file("b.mdb")), FileResult::Opened);
    EXPECT_EQ(readThroughDataSource("SELECT count(*) FROM tblsystem WHERE FiscalYear = '2008'"), 0);
    EXPECT_EQ(datasource::databaseOf(kDataSourceName), dir.file("b.mdb"));

    // A database that went away is not made anew, empty, by a client.
    session->closeConnection();
    ASSERT_TRUE(QFile::remove(dir.file("b.mdb")));
    EXPECT_FALSE(queryThroughDataSource("SELECT count(*) FROM tblsystem"));
    EXPECT_FALSE(QFile::exists(dir.file("b.mdb")));
}

TEST_F(DataSourceTest, ARecordOfAnotherPlatformGetsADriverThatLoads) {
    ASSERT_EQ(createDatabase(*session, dir.file("kept.mdb")), FileResult::Opened);
    session->closeConnection();
    test::writeFile(odbcIni(), "# kept by hand\n[Other]\nDriver=PostgreSQL\n\n[ORVDataVal]\n"
                               "Driver=Microsoft Access Driver (*.MDB)\nUid=Admin\npwd=\nDBQ=" +
                                   dir.file("kept.mdb").toUtf8() + "\n");
    ensureDataSource(session->ui(), session->programDir());
    EXPECT_TRUE(ui.shown.isEmpty()) << ui.lastMessage().toStdString();
    EXPECT_FALSE(QFile::exists(dir.file("ORVTemplate.mdb"))); // the record existed

    const IniText ini = readIniFile(odbcIni());
    EXPECT_EQ(ini.value(kDataSourceName, "Driver"), kDataSourceDriver);
    EXPECT_EQ(ini.value(kDataSourceName, "Database"), dir.file("kept.mdb"));
    EXPECT_EQ(ini.value("Other", "Driver"), "PostgreSQL");
    EXPECT_TRUE(test::readFile(odbcIni()).startsWith("# kept by hand\n"));
    EXPECT_EQ(readThroughDataSource("SELECT count(*) FROM tblsystem"), 1);

    // A record that works is left as it is.
    const QByteArray before = test::readFile(odbcIni());
    ensureDataSource(session->ui(), session->programDir());
    EXPECT_EQ(test::readFile(odbcIni()), before);
}

TEST_F(DataSourceTest, RelativePathsAreWrittenWhole) {
    datasource::write("ORVRelative", kDataSourceDriver, "some/where.mdb");
    EXPECT_EQ(datasource::databaseOf("ORVRelative"), QDir::current().filePath("some/where.mdb"));
    EXPECT_THROW(datasource::write("ORVBad", kDataSourceDriver, "a\n[Evil]\nDriver=x"), DbError);
    EXPECT_FALSE(readIniFile(odbcIni()).hasSection("Evil"));

    // A data source file the disk cannot take stays as it was, and the user is told why.
    const QByteArray before = test::readFile(odbcIni());
    files::setWriteFault([](const QString&, bool) { return ENOSPC; });
    createDataSource(session->ui(), kDataSourceName, dir.file("run.mdb"));
    files::setWriteFault({});
    EXPECT_EQ(test::readFile(odbcIni()), before);
    EXPECT_EQ(ui.lastMessage(),
              QString("DSN Creation Failed\nThe disk is full: %1 was not written; the previous "
                      "file is unchanged.")
                  .arg(odbcIni()));
    // Pointing the record again at the database it names writes nothing.
    createDataSource(session->ui(), kDataSourceName, dir.file("run.mdb"));
    ui.shown.clear();
    files::setWriteFault([](const QString&, bool) { return ENOSPC; });
    createDataSource(session->ui(), kDataSourceName, dir.file("run.mdb"));
    files::setWriteFault({});
    EXPECT_TRUE(ui.shown.isEmpty()) << ui.lastMessage().toStdString();
}

// A driver manager's list of drivers, and a home of the test's own where a missing driver is
// registered. The driver manager settles where its files are once per process, so a client
// in a process of its own (isql) checks that the registration works.
struct DriverCase {
    const char* what;
    const char* systemIni; // "$LIB" stands for the installed driver library
    bool libraryInstalled;
    const char* expected; // empty: no driver to be had
    bool registersForTheUser;
};

void PrintTo(const DriverCase& c, std::ostream* os) {
    *os << c.what;
}

QVector<datasource::Driver> driversOf(const IniText& ini) {
    QVector<datasource::Driver> out;
    for (const QString& name : ini.sections())
        out.push_back({name, ini.value(name, "Driver")});
    return out;
}

class DriverTest : public ::testing::TestWithParam<DriverCase> {};

TEST_P(DriverTest, EnsureDriver) {
    const DriverCase& c = GetParam();
    const QString library = datasource::findDriverLibrary(datasource::driverFolders());
    ASSERT_FALSE(library.isEmpty()) << "the SQLite ODBC driver (libsqliteodbc) is not installed";
    test::ProgramDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("sys") && QDir(dir.path()).mkpath("home"));
    const QByteArray systemIni = QByteArray(c.systemIni).replace("$LIB", library.toUtf8());
    test::writeFile(dir.file("sys/odbcinst.ini"), systemIni);
    ScopedEnv home("HOME", dir.file("home"));
    ScopedEnv ini("ODBCINI", dir.file("odbc.ini"));
    const QVector<datasource::Driver> installed = driversOf(IniText(systemIni));
    const QStringList folders =
        c.libraryInstalled ? datasource::driverFolders() : QStringList{dir.file("sys")};

    if (!*c.expected) {
        EXPECT_THROW(datasource::ensureDriver(installed, folders), DbError);
        EXPECT_FALSE(QFile::exists(dir.file("home/.odbcinst.ini")));
        return;
    }
    EXPECT_EQ(datasource::ensureDriver(installed, folders).toStdString(), c.expected);
    EXPECT_EQ(QFile::exists(dir.file("home/.odbcinst.ini")), c.registersForTheUser);
    if (c.registersForTheUser) {
        const IniText user = readIniFile(dir.file("home/.odbcinst.ini"));
        EXPECT_EQ(user.value(c.expected, "Driver"), library);
        // Registered once: the next start finds it.
        EXPECT_EQ(datasource::ensureDriver(installed + driversOf(user), folders).toStdString(),
                  c.expected);
    }

    const QString isql = QStandardPaths::findExecutable("isql");
    if (isql.isEmpty())
        GTEST_SKIP() << "isql (package unixodbc) is not installed";
    ASSERT_TRUE(QFile::copy(dir.file("ORVTemplate.xmdb"), dir.file("run.mdb")));
    datasource::write(kDataSourceName, c.expected, dir.file("run.mdb"));
    QProcess client;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ODBCSYSINI", dir.file("sys"));
    env.insert("HOME", dir.file("home"));
    env.insert("ODBCINI", dir.file("odbc.ini"));
    client.setProcessEnvironment(env);
    client.start(isql, {"-b", "-d;", kDataSourceName});
    ASSERT_TRUE(client.waitForStarted());
    client.write("SELECT 'count', count(*) FROM tblsystem\n");
    client.closeWriteChannel();
    ASSERT_TRUE(client.waitForFinished(30000));
    const QString out = QString::fromLocal8Bit(client.readAllStandardOutput());
    EXPECT_EQ(client.exitCode(), 0) << client.readAllStandardError().toStdString();
    EXPECT_TRUE(out.contains("count;1")) << out.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Table, DriverTest,
    ::testing::Values(
        DriverCase{"listed by the system",
                   "[SQLite]\nDriver=libsqliteodbc.so\n[SQLite3]\nDriver=libsqlite3odbc.so\n", true,
                   "SQLite3", false},
        DriverCase{"listed under another name", "[Lite]\nDriver=$LIB\n", true, "Lite", false},
        DriverCase{"none listed", "", true, "SQLite3", true},
        DriverCase{"other drivers only", "[PostgreSQL]\nDriver=psqlodbcw.so\n", true, "SQLite3",
                   true},
        DriverCase{"listed with its library gone", "[SQLite3]\nDriver=/gone/libsqlite3odbc.so\n",
                   true, "ORV SQLite3", true},
        DriverCase{"no library installed", "", false, "", false}));

} // namespace

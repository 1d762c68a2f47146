#pragma once

#include "db/Database.h"
#include "db/DatabaseLock.h"
#include "program/FrontEnd.h"
#include "rules/RecordFilter.h"

#include <QDate>
#include <QString>
#include <QVector>

#include <memory>

namespace orv {

// The sign-in settings as tblsystem holds them.
struct Settings {
    QString fiscalYear;
    QDate period;
    QDate periodEnd;
    QDate reportingPeriodStart;
    QDate reportingPeriodEnd;
    QDate sampleStartDate;
    QString caseMgr;
    QString officeName;
    QString wibName;
    QString popType;
    QString state;
    int showTips = 0;
};

// Column of tblORVmaster with the kind the import converts its values by (ADO type codes:
// 3 integer, 5 double, 202 text, 7 date).
struct MasterField {
    QString name;
    int adoType = 0;
};

// Everything the running program carries between screens: the open database and its paths,
// the settings of the current sign-in, the record filter and the master column list.
class Session {
public:
    explicit Session(QString programDir, FrontEnd* frontEnd = nullptr);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The folder that holds the templates, the error report and the exports.
    QString programDir() const { return mProgramDir; }
    QString programFile(const QString& name) const;

    FrontEnd& ui() { return *mFrontEnd; }
    void setFrontEnd(FrontEnd* frontEnd);

    bool isOpen() const { return mDb.isOpen(); }
    // Throws DbError when no database is open.
    Database& db();
    void closeConnection() { mDb.close(); }

    // Opens the global connection on a validation database. Returns false on success and
    // true on failure, with the reason in errorText (the caller shows it).
    // The session holds the database's lock from then on, until another database is opened
    // or the session ends; closing the connection keeps it.
    [[nodiscard]] bool openDatabaseConnection(const QString& path, QString& errorText);
    // The database whose lock the session holds (empty when none).
    QString lockedDatabase() const { return mLock.path(); }

    QString databasePath;
    QString dataSourcePath;
    QString databaseName;
    QString lastConnectError;

    Settings settings;
    RecordFilter recordFilter;
    QString filterText;
    QString summaryComments;
    int masterFieldCount = 0;
    QVector<MasterField> masterFields;

private:
    QString mProgramDir;
    FrontEnd* mFrontEnd;
    std::unique_ptr<SilentFrontEnd> mSilent;
    Database mDb;
    DatabaseLock mLock;
};

// Throws DbError with a message a user understands when the file is not a validation database.
void checkValidationDatabase(Database& db);

// What a user is told when another program keeps a database busy.
extern const QString kDatabaseInUse;

} // namespace orv

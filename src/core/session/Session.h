#pragma once

#include "db/Database.h"
#include "db/DatabaseLock.h"
#include "program/FrontEnd.h"
#include "rules/RecordFilter.h"
#include "session/FieldPack.h"

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

// What the running program carries between commands: the open database and its paths, the
// settings of the current sign-in, the record filter and the master column list.
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

    // Opens the global connection on a validation database and tells the front end; one made by
    // an earlier version is upgraded first, after asking. Throws DbError with the reason, for
    // the caller to show, and leaves no database open.
    // The session holds the database's lock from then on, until another database is opened
    // or the session ends; closing the connection keeps it.
    void openDatabaseConnection(const QString& path);
    // A field pack is open: its database lives in memory, and saveWork() seals it to its file.
    bool isPack() const { return mPack.has_value(); }
    const std::optional<PackInfo>& pack() const { return mPack; }
    // Writes what was saved in a pack to its file; a database file has it already. When the
    // file cannot be written, the pack is put back as it was last written (the caller still
    // holds what the user did) and DbError says why.
    void saveWork();
    // The database whose lock the session holds (empty when none).
    QString lockedDatabase() const { return mLock.path(); }

    // The database last opened (kept when the connection closes or another open fails): its
    // full path, the path the data source is given, and its file name.
    QString databasePath() const { return mDatabasePath; }
    QString dataSourcePath() const { return mDataSourcePath; }
    QString databaseName() const { return mDatabaseName; }
    // Names the file the commands work on without opening it (a damaged file that only the
    // repair may open).
    void useDatabaseFile(const QString& path);

    // The settings of the current sign-in.
    const Settings& settings() const { return mSettings; }
    void useSettings(const Settings& settings) { mSettings = settings; }

    // The condition every filtered query appends; making it the session's tells the front end.
    const RecordFilter& recordFilter() const { return mRecordFilter; }
    void useRecordFilter(const RecordFilter& filter);

    // The master table's columns, read at sign-in.
    const QVector<MasterField>& masterFields() const { return mMasterFields; }
    int masterFieldCount() const { return static_cast<int>(mMasterFields.size()); }
    void useMasterFields(QVector<MasterField> fields) { mMasterFields = std::move(fields); }

    // What the history calls a worksheet save: the open pack's source while one is open, else
    // the front end's own ("screen", "batch").
    QString historySource(const QString& frontEndSource) const;

private:
    void openPack(const QString& path);

    QString mProgramDir;
    FrontEnd* mFrontEnd;
    std::unique_ptr<SilentFrontEnd> mSilent;
    Database mDb;
    DatabaseLock mLock;
    QString mDatabasePath;
    QString mDataSourcePath;
    QString mDatabaseName;
    Settings mSettings;
    RecordFilter mRecordFilter;
    QVector<MasterField> mMasterFields;
    std::optional<PackInfo> mPack;
    std::optional<SealKey> mPackKey;
    QByteArray mPackWritten; // the pack as last written, to go back to
};

// What a user is told when a pack is opened without a passphrase.
extern const QString kNoPassphrase;

// Throws DbError with a message a user understands when the file is not a validation database.
void checkValidationDatabase(Database& db);

// What a user is told when another program keeps a database busy.
extern const QString kDatabaseInUse;

} // namespace orv

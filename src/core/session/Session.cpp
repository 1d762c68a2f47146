#include "session/Session.h"

#include "program/DataSource.h"
#include "session/ImportJournal.h"
#include "session/SchemaUpgrade.h"
#include "session/SignIn.h"

#include <QDir>
#include <QFileInfo>

namespace orv {

namespace {
constexpr int kApplicationId = 1330796100; // 'ORVD', set by the template

// The text after the last separator of either kind: the whole path when it has none.
QString fileNameOf(const QString& path) {
    const int cut = std::max(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/'));
    return path.mid(cut + 1);
}
} // namespace

Session::Session(QString programDir, FrontEnd* frontEnd)
    : mProgramDir(std::move(programDir)), mFrontEnd(frontEnd) {
    if (!mFrontEnd) {
        mSilent = std::make_unique<SilentFrontEnd>();
        mFrontEnd = mSilent.get();
    }
}

Session::~Session() = default;

QString Session::programFile(const QString& name) const {
    return QDir(mProgramDir).filePath(name);
}

void Session::setFrontEnd(FrontEnd* frontEnd) {
    if (frontEnd) {
        mFrontEnd = frontEnd;
    } else {
        if (!mSilent)
            mSilent = std::make_unique<SilentFrontEnd>();
        mFrontEnd = mSilent.get();
    }
}

Database& Session::db() {
    if (!mDb.isOpen())
        throw DbError(QStringLiteral("No database is open."));
    return mDb;
}

const QString kDatabaseInUse = QStringLiteral("The database is in use by another program.");

void checkValidationDatabase(Database& db) {
    QVariant id;
    try {
        id = db.scalar("PRAGMA application_id");
    } catch (const DbError& e) {
        if (isBusyCode(e.code()))
            throw DbError(kDatabaseInUse, e.code());
        // A damaged validation database is told as such, with the way to repair it.
        if (!isNotADatabaseCode(e.code()))
            throw;
        throw DbError(
            QStringLiteral("The file is not a validation database (%1).").arg(e.message()),
            e.code());
    }
    if (id.toInt() != kApplicationId || !db.tableExists(QStringLiteral("tblsystem")) ||
        !db.tableExists(QStringLiteral("tblORVmaster")))
        throw DbError(QStringLiteral("The file is not a validation database."));
}

void Session::useDatabaseFile(const QString& path) {
    mDatabasePath = path;
    mDataSourcePath = path;
    mDatabaseName = fileNameOf(path);
}

void Session::openDatabaseConnection(const QString& path) {
    try {
        mDb.close();
        if (!QFileInfo(path).isFile())
            throw DbError(QStringLiteral("Could not find file '%1'.").arg(path));
        DatabaseLock lock;
        if (!lock.acquire(path))
            throw DbError(lock.errorText());
        removeStaleScratchFiles(QFileInfo(path).absolutePath());
        mPack.reset();
        mPackKey.reset();
        mPackWritten.clear();
        if (isPackFile(path)) {
            openPack(path);
            mLock = std::move(lock);
            useDatabaseFile(path);
            ui().databaseOpened(mDatabaseName);
            return;
        }
        Database db(path, Database::Mode::ReadWrite);
        checkValidationDatabase(db);
        upgradeSchema(db, ui());
        mDb = std::move(db);
        // The lock moves to this database; the one held before is let go.
        mLock = std::move(lock);
        useDatabaseFile(path);
        reconfigureDataSource(ui(), mDataSourcePath);
        checkUnfinishedImport(*this);
        ui().databaseOpened(mDatabaseName);
    } catch (const DbError&) {
        // Nothing may work on a database whose open failed half-way.
        mDb.close();
        mPack.reset();
        mPackKey.reset();
        mPackWritten.clear();
        throw;
    }
}

const QString kNoPassphrase = QStringLiteral("No passphrase was given: the pack was not opened.");

// The data source and the import journal belong to the validation database the pack came from:
// neither is touched.
void Session::openPack(const QString& path) {
    const std::optional<QString> passphrase = ui().askPassphrase(
        QStringLiteral("The passphrase of the field pack %1:").arg(fileNameOf(path)), false);
    if (!passphrase)
        throw DbError(kNoPassphrase);
    std::optional<SealKey> key;
    Database db = openSealedPack(path, *passphrase, key);
    checkValidationDatabase(db);
    mPack = readPackInfo(db);
    mPackWritten = db.serialize();
    mPackKey = std::move(key);
    mDb = std::move(db);
}

void Session::saveWork() {
    if (!mPack || !mDb.isOpen())
        return;
    try {
        writeSealedPack(mDb, *mPackKey, mDatabasePath);
        mPackWritten = mDb.serialize();
    } catch (const DbError&) {
        mDb = Database::fromBytes(mPackWritten, mDatabasePath);
        throw;
    }
}

QString Session::historySource(const QString& frontEndSource) const {
    return mPack ? mPack->historySource() : frontEndSource;
}

void Session::useRecordFilter(const RecordFilter& filter) {
    mRecordFilter = filter;
    ui().recordFilterChanged(filterStateText(filter));
}

} // namespace orv

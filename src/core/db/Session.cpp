#include "db/Session.h"

#include "db/DataSource.h"
#include "import/ImportJournal.h"

#include <QDir>
#include <QFileInfo>

namespace orv {

namespace {
constexpr int kApplicationId = 1330796100; // 'ORVD', set by the template
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

void checkValidationDatabase(Database& db) {
    QVariant id;
    try {
        id = db.scalar("PRAGMA application_id");
    } catch (const DbError& e) {
        throw DbError(
            QStringLiteral("The file is not a validation database (%1).").arg(e.message()),
            e.code());
    }
    if (id.toInt() != kApplicationId || !db.tableExists(QStringLiteral("tblsystem")) ||
        !db.tableExists(QStringLiteral("tblORVmaster")))
        throw DbError(QStringLiteral("The file is not a validation database."));
}

bool Session::openDatabaseConnection(const QString& path, QString& errorText) {
    try {
        mDb.close();
        if (!QFileInfo(path).isFile())
            throw DbError(QStringLiteral("Could not find file '%1'.").arg(path));
        Database db(path, Database::Mode::ReadWrite);
        checkValidationDatabase(db);
        mDb = std::move(db);
        databasePath = path;
        dataSourcePath = path;
        const int cut = std::max(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/'));
        databaseName = path.mid(cut + 1);
        ui().setStatus(3, QStringLiteral("DB: ") + databaseName);
        reconfigureDataSource(*this);
        checkUnfinishedImport(*this);
        return false;
    } catch (const DbError& e) {
        errorText = e.message();
        return true;
    }
}

} // namespace orv

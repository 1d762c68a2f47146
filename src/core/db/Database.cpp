#include "db/Database.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <unistd.h>
#include <utility>

namespace orv {

namespace {

bool canWrite(const QString& path) {
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

// The failures a user can do something about, said so that they know what: a damaged file
// names the repair, a full disk and a folder or file that cannot be written say so. The
// engine's own words for everything else.
QString explained(int rc, const QString& text, const QString& database) {
    const int primary = rc & 0xff;
    const QString file = QDir::toNativeSeparators(database);
    const QString folder = QDir::toNativeSeparators(QFileInfo(database).absolutePath());
    if (primary == SQLITE_CORRUPT)
        return QStringLiteral("The database %1 is damaged (%2); Utilities > Fix Database "
                              "(`orvdv-cli repair`) may recover it.")
            .arg(file, text);
    if (primary == SQLITE_FULL)
        return QStringLiteral("The disk is full: the database %1 could not be changed. Free some "
                              "space in %2 and try again.")
            .arg(file, folder);
    // The engine cannot make the journal it needs beside the database before changing it.
    if (rc == SQLITE_READONLY_DIRECTORY ||
        ((primary == SQLITE_READONLY || primary == SQLITE_CANTOPEN) && !canWrite(folder)))
        return QStringLiteral("The folder %1 is read-only: the database %2 can be read but not "
                              "changed there. Copy it to a folder you can write to.")
            .arg(folder, file);
    if (primary == SQLITE_READONLY && QFileInfo::exists(database) && !canWrite(database))
        return QStringLiteral("The database %1 is read-only: it can be read but not changed.")
            .arg(file);
    return text;
}

QString engineText(sqlite3* db, int rc, const char* message = nullptr) {
    if (!db)
        return QString::fromUtf8(sqlite3_errstr(rc));
    const QString text = QString::fromUtf8(message ? message : sqlite3_errmsg(db));
    const char* file = sqlite3_db_filename(db, "main");
    // A database in memory or a scratch one of the engine has no file to speak of.
    if (!file || !*file)
        return text;
    return explained(rc, text, QString::fromUtf8(file));
}

} // namespace

Statement::Statement(sqlite3* db, std::string_view sql) : mDb(db) {
    const int rc =
        sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &mStmt, nullptr);
    if (rc != SQLITE_OK) {
        const QString text = engineText(db, rc);
        sqlite3_finalize(mStmt);
        mStmt = nullptr;
        throw DbError(text, rc);
    }
}

Statement::~Statement() {
    sqlite3_finalize(mStmt);
}

Statement::Statement(Statement&& other) noexcept
    : mDb(std::exchange(other.mDb, nullptr)), mStmt(std::exchange(other.mStmt, nullptr)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(mStmt);
        mDb = std::exchange(other.mDb, nullptr);
        mStmt = std::exchange(other.mStmt, nullptr);
    }
    return *this;
}

void Statement::fail(int rc) const {
    throw DbError(engineText(mDb, rc), rc);
}

void Statement::bindNull(int index) {
    if (int rc = sqlite3_bind_null(mStmt, index); rc != SQLITE_OK)
        fail(rc);
}

void Statement::bind(int index, std::int64_t value) {
    if (int rc = sqlite3_bind_int64(mStmt, index, value); rc != SQLITE_OK)
        fail(rc);
}

void Statement::bind(int index, double value) {
    if (int rc = sqlite3_bind_double(mStmt, index, value); rc != SQLITE_OK)
        fail(rc);
}

void Statement::bind(int index, const QString& value) {
    if (value.isNull()) {
        bindNull(index);
        return;
    }
    const QByteArray utf8 = value.toUtf8();
    if (int rc = sqlite3_bind_text(mStmt, index, utf8.constData(), static_cast<int>(utf8.size()),
                                   SQLITE_TRANSIENT);
        rc != SQLITE_OK)
        fail(rc);
}

void Statement::bindStatic(int index, std::string_view utf8) {
    if (int rc = sqlite3_bind_text(mStmt, index, utf8.data(), static_cast<int>(utf8.size()),
                                   SQLITE_STATIC);
        rc != SQLITE_OK)
        fail(rc);
}

void Statement::bind(int index, const QVariant& value) {
    if (value.isNull() || !value.isValid()) {
        bindNull(index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
        bind(index, static_cast<std::int64_t>(value.toBool() ? 1 : 0));
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::ULongLong:
        bind(index, static_cast<std::int64_t>(value.toLongLong()));
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        bind(index, value.toDouble());
        break;
    case QMetaType::QDate:
        bind(index, value.toDate().toString(Qt::ISODate));
        break;
    default:
        bind(index, value.toString());
        break;
    }
}

void Statement::bindAll(const QVariantList& values) {
    for (int i = 0; i < values.size(); ++i)
        bind(i + 1, values[i]);
}

bool Statement::step() {
    const int rc = sqlite3_step(mStmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    const QString text = engineText(mDb, rc);
    sqlite3_reset(mStmt);
    throw DbError(text, rc);
}

void Statement::reset() {
    sqlite3_reset(mStmt);
    sqlite3_clear_bindings(mStmt);
}

void Statement::rewind() {
    sqlite3_reset(mStmt);
}

void Statement::run() {
    while (step()) {
    }
}

int Statement::columnCount() const {
    return sqlite3_column_count(mStmt);
}

QString Statement::columnName(int column) const {
    return QString::fromUtf8(sqlite3_column_name(mStmt, column));
}

int Statement::columnType(int column) const {
    return sqlite3_column_type(mStmt, column);
}

bool Statement::isNull(int column) const {
    return columnType(column) == SQLITE_NULL;
}

std::int64_t Statement::int64(int column) const {
    return sqlite3_column_int64(mStmt, column);
}

double Statement::real(int column) const {
    return sqlite3_column_double(mStmt, column);
}

QString Statement::text(int column) const {
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(mStmt, column));
    if (!data)
        return {};
    return QString::fromUtf8(data, sqlite3_column_bytes(mStmt, column));
}

QVariant Statement::value(int column) const {
    switch (columnType(column)) {
    case SQLITE_INTEGER:
        return QVariant::fromValue<qlonglong>(int64(column));
    case SQLITE_FLOAT:
        return real(column);
    case SQLITE_NULL:
        return {};
    default:
        return text(column);
    }
}

Database::Database(const QString& path, Mode mode) : mPath(path) {
    // No memory statistics: they cost a global lock on every allocation. Only possible before
    // the engine starts; later calls are refused, harmlessly.
    static const bool configured = [] {
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        return true;
    }();
    (void)configured;
    // A connection is only ever used by one thread at a time: no locking per call.
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    if (mode == Mode::ReadOnly)
        flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX;
    else if (mode == Mode::Create)
        flags |= SQLITE_OPEN_CREATE;
    const QByteArray name = path.toUtf8();
    const int rc = sqlite3_open_v2(name.constData(), &mDb, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString text = engineText(mDb, rc);
        sqlite3_close(mDb);
        mDb = nullptr;
        throw DbError(text, rc);
    }
    sqlite3_extended_result_codes(mDb, 1);
    sqlite3_busy_timeout(mDb, 5000);
}

Database::~Database() {
    close();
}

Database::Database(Database&& other) noexcept
    : mDb(std::exchange(other.mDb, nullptr)), mPath(std::move(other.mPath)) {}

Database& Database::operator=(Database&& other) noexcept {
    if (this != &other) {
        close();
        mDb = std::exchange(other.mDb, nullptr);
        mPath = std::move(other.mPath);
    }
    return *this;
}

void Database::close() {
    if (mDb) {
        // Statements still open would keep the file busy; close_v2 defers until they finish.
        sqlite3_close_v2(mDb);
        mDb = nullptr;
    }
}

void Database::exec(std::string_view sql) {
    if (!mDb)
        throw DbError(QStringLiteral("The database is not open."));
    char* err = nullptr;
    const std::string text(sql);
    const int rc = sqlite3_exec(mDb, text.c_str(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        const QString message = engineText(mDb, rc, err);
        sqlite3_free(err);
        throw DbError(message, rc);
    }
}

int Database::execute(std::string_view sql, const QVariantList& params) {
    Statement st = prepare(sql);
    st.bindAll(params);
    st.run();
    return changes();
}

Statement Database::prepare(std::string_view sql) {
    if (!mDb)
        throw DbError(QStringLiteral("The database is not open."));
    return Statement(mDb, sql);
}

QVariant Database::scalar(std::string_view sql, const QVariantList& params) {
    Statement st = prepare(sql);
    st.bindAll(params);
    if (!st.step())
        return {};
    return st.value(0);
}

int Database::changes() const {
    return mDb ? sqlite3_changes(mDb) : 0;
}

std::int64_t Database::lastInsertRowId() const {
    return mDb ? sqlite3_last_insert_rowid(mDb) : 0;
}

QString Database::errorText() const {
    return mDb ? QString::fromUtf8(sqlite3_errmsg(mDb)) : QString();
}

bool Database::tableExists(const QString& name) {
    return scalar("SELECT 1 FROM sqlite_master WHERE type IN ('table','view') AND name = ?1 "
                  "COLLATE NOCASE",
                  {name})
        .isValid();
}

StatementTicks::StatementTicks(Database& db, std::function<bool()> tick, int interval)
    : mDb(db), mTick(std::move(tick)), mInterval(interval) {
    // A clock read every few thousand instructions costs nothing worth measuring.
    sqlite3_progress_handler(mDb.handle(), 4000, &StatementTicks::onProgress, this);
}

StatementTicks::~StatementTicks() {
    sqlite3_progress_handler(mDb.handle(), 0, nullptr, nullptr);
}

int StatementTicks::onProgress(void* self) {
    auto* me = static_cast<StatementTicks*>(self);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - me->mLast < me->mInterval)
        return 0;
    me->mLast = now;
    if (me->mTick())
        return 0;
    me->mInterrupted = true;
    return 1;
}

} // namespace orv

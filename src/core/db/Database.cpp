#include "db/Database.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cstring>
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

QString quoteIdentifier(const QString& name) {
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")) +
           QLatin1Char('"');
}

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

Statement::ValueType Statement::columnType(int column) const {
    return static_cast<ValueType>(sqlite3_column_type(mStmt, column));
}

bool Statement::isNull(int column) const {
    return columnType(column) == Null;
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

std::string_view Statement::utf8(int column) const {
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(mStmt, column));
    if (!data)
        return {};
    return {data, static_cast<std::size_t>(sqlite3_column_bytes(mStmt, column))};
}

QVariant Statement::value(int column) const {
    switch (columnType(column)) {
    case Integer:
        return QVariant::fromValue<qlonglong>(int64(column));
    case Float:
        return real(column);
    case Null:
        return {};
    default:
        return text(column);
    }
}

bool Statement::isReadOnly() const {
    return sqlite3_stmt_readonly(mStmt) != 0;
}

int Statement::parameterCount() const {
    return sqlite3_bind_parameter_count(mStmt);
}

QString Statement::parameterName(int index) const {
    const char* name = sqlite3_bind_parameter_name(mStmt, index);
    return name ? QString::fromUtf8(name) : QString();
}

QVariant FunctionCall::value(int index) const {
    sqlite3_value* v = mArgs[index];
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_value_int64(v)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_value_double(v));
    default:
        return QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v))));
    }
}

std::optional<double> FunctionCall::number(int index) const {
    sqlite3_value* v = mArgs[index];
    switch (sqlite3_value_numeric_type(v)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        return sqlite3_value_double(v);
    default:
        return std::nullopt;
    }
}

int FunctionCall::integer(int index) const {
    return sqlite3_value_int(mArgs[index]);
}

void FunctionCall::setResult(int value) {
    sqlite3_result_int(mContext, value);
}

void FunctionCall::setResult(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    sqlite3_result_text(mContext, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
}

void FunctionCall::setNull() {
    sqlite3_result_null(mContext);
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

Statement Database::prepareReadOnly(std::string_view sql) {
    if (!mDb)
        throw DbError(QStringLiteral("The database is not open."));
    // Only reads are compiled; anything else fails to prepare.
    const auto readsOnly = [](void*, int action, const char*, const char*, const char*,
                              const char*) {
        switch (action) {
        case SQLITE_SELECT:
        case SQLITE_READ:
        case SQLITE_FUNCTION:
        case SQLITE_RECURSIVE:
            return SQLITE_OK;
        default:
            return SQLITE_DENY;
        }
    };
    sqlite3_set_authorizer(mDb, readsOnly, nullptr);
    Statement st;
    try {
        st = Statement(mDb, sql);
    } catch (const DbError& e) {
        sqlite3_set_authorizer(mDb, nullptr, nullptr);
        if ((e.code() & 0xff) == SQLITE_AUTH)
            throw WriteRefused(e.message(), e.code());
        throw;
    }
    sqlite3_set_authorizer(mDb, nullptr, nullptr);
    if (st.isValid() && !st.isReadOnly())
        throw WriteRefused(QStringLiteral("The statement would change the database."), SQLITE_AUTH);
    return st;
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

ProgressHook::ProgressHook(Database& db, int steps, std::function<bool()> keepGoing)
    : mDb(db), mKeepGoing(std::move(keepGoing)) {
    sqlite3_progress_handler(mDb.handle(), steps, &ProgressHook::onProgress, this);
}

ProgressHook::~ProgressHook() {
    sqlite3_progress_handler(mDb.handle(), 0, nullptr, nullptr);
}

int ProgressHook::onProgress(void* self) {
    return static_cast<ProgressHook*>(self)->mKeepGoing() ? 0 : 1;
}

// A clock read every few thousand instructions costs nothing worth measuring.
QString Database::declaredCollation(const QString& table, const QString& column) {
    const char* collation = nullptr;
    const QByteArray tableName = table.toUtf8();
    const QByteArray columnName = column.toUtf8();
    if (sqlite3_table_column_metadata(mDb, "main", tableName.constData(), columnName.constData(),
                                      nullptr, &collation, nullptr, nullptr,
                                      nullptr) != SQLITE_OK ||
        !collation)
        return {};
    return QString::fromUtf8(collation);
}

void Database::defineFunction(const char* name, int arguments, SqlFunction function, Use use) {
    int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    if (use == Use::Innocuous)
        flags |= SQLITE_INNOCUOUS;
    // The engine keeps the function's address and frees it with the definition.
    auto* kept = new SqlFunction(function);
    const int rc = sqlite3_create_function_v2(
        mDb, name, arguments, flags, kept,
        [](sqlite3_context* context, int count, sqlite3_value** args) {
            FunctionCall call(context, count, args);
            (*static_cast<SqlFunction*>(sqlite3_user_data(context)))(call);
        },
        nullptr, nullptr, [](void* p) { delete static_cast<SqlFunction*>(p); });
    if (rc != SQLITE_OK)
        throw DbError(engineText(mDb, rc), rc);
}

StatementTicks::StatementTicks(Database& db, std::function<bool()> tick, int interval)
    : mTick(std::move(tick)), mInterval(interval),
      mHook(db, 4000, [this] { return onProgress(); }) {}

bool StatementTicks::onProgress() {
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - mLast < mInterval)
        return true;
    mLast = now;
    if (mTick())
        return true;
    mInterrupted = true;
    return false;
}

bool isBusyCode(int code) {
    const int primary = code & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

bool isDiskFullCode(int code) {
    return (code & 0xff) == SQLITE_FULL;
}

bool isDamagedCode(int code) {
    const int primary = code & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

bool isNotADatabaseCode(int code) {
    return (code & 0xff) == SQLITE_NOTADB;
}

QString engineErrorText(int code) {
    return QString::fromUtf8(sqlite3_errstr(code));
}

QString engineVersion() {
    return QString::fromLatin1(sqlite3_libversion());
}

void Database::setBusyTimeout(int milliseconds) {
    sqlite3_busy_timeout(mDb, milliseconds);
}

void Database::copyFrom(Database& source, const std::function<void(int done, int all)>& progress) {
    sqlite3_backup* backup = sqlite3_backup_init(mDb, "main", source.mDb, "main");
    if (!backup)
        throw DbError(errorText(), sqlite3_extended_errcode(mDb));
    int rc = SQLITE_OK;
    while (rc == SQLITE_OK) {
        rc = sqlite3_backup_step(backup, 2048);
        const int all = sqlite3_backup_pagecount(backup);
        progress(all - sqlite3_backup_remaining(backup), all);
    }
    const int finished = sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE || finished != SQLITE_OK) {
        const int code = rc != SQLITE_DONE ? rc : finished;
        throw DbError(engineErrorText(code), code);
    }
}

QByteArray Database::serialize(const QString& schema) {
    sqlite3_int64 size = 0;
    unsigned char* bytes = sqlite3_serialize(mDb, schema.toUtf8().constData(), &size, 0);
    if (!bytes)
        throw DbError(QStringLiteral("There is not enough memory to write the database."),
                      SQLITE_NOMEM);
    QByteArray out(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(size));
    sqlite3_free(bytes);
    return out;
}

Database Database::inMemory(const QString& name) {
    Database db(QStringLiteral(":memory:"), Mode::Create);
    db.mPath = name;
    // Sorts and temporary tables would otherwise spill to files: what lives in memory stays
    // there (a pack's SSNs among it).
    db.exec("PRAGMA temp_store = MEMORY");
    return db;
}

Database Database::fromBytes(const QByteArray& bytes, const QString& name) {
    Database db = inMemory(name);
    const auto size = static_cast<sqlite3_int64>(bytes.size());
    auto* copy = static_cast<unsigned char*>(sqlite3_malloc64(static_cast<sqlite3_uint64>(size)));
    if (!copy)
        throw DbError(QStringLiteral("There is not enough memory to open the database."),
                      SQLITE_NOMEM);
    std::memcpy(copy, bytes.constData(), static_cast<size_t>(size));
    // The engine owns the copy from here, even when it refuses it.
    const int rc =
        sqlite3_deserialize(db.mDb, "main", copy, size, size,
                            SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE);
    if (rc != SQLITE_OK)
        throw DbError(engineErrorText(rc), rc);
    // Reading the schema tells a block of bytes that is no database.
    db.scalar("SELECT count(*) FROM sqlite_master");
    return db;
}

} // namespace orv

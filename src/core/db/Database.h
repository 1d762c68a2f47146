#pragma once

#include "db/Error.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;
struct sqlite3_context;
struct sqlite3_value;

namespace orv {

// A statement the engine refused, or a file it could not open. what() is the engine's text.
class DbError : public Error {
public:
    explicit DbError(const QString& message, int code = 0) : Error(message), mCode(code) {}
    int code() const { return mCode; }

private:
    int mCode;
};

class Statement {
public:
    // The type of a value as the engine stores it, numbered as the engine numbers them.
    enum ValueType { Integer = 1, Float = 2, Text = 3, Blob = 4, Null = 5 };

    Statement() = default;
    Statement(sqlite3* db, std::string_view sql);
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool isValid() const { return mStmt != nullptr; }

    // Parameters count from 1, as in SQLite.
    void bindNull(int index);
    void bind(int index, std::int64_t value);
    void bind(int index, int value) { bind(index, static_cast<std::int64_t>(value)); }
    void bind(int index, double value);
    void bind(int index, const QString& value);
    // The text must stay alive until the next reset (bound without a copy).
    void bindStatic(int index, std::string_view utf8);
    void bind(int index, const QVariant& value);
    void bindAll(const QVariantList& values);

    // Returns true while a row is available.
    bool step();
    void reset();
    // Ready to run again with the same bindings, for a loop that binds every parameter anew.
    void rewind();
    // Steps a statement that returns no rows.
    void run();

    int columnCount() const;
    QString columnName(int column) const;
    // Of the current row.
    ValueType columnType(int column) const;
    bool isNull(int column) const;
    std::int64_t int64(int column) const;
    double real(int column) const;
    QString text(int column) const;
    // The column's text as the engine holds it, without a copy: valid until the next step.
    std::string_view utf8(int column) const;
    QVariant value(int column) const;

    // Whether running it leaves the database as it is.
    bool isReadOnly() const;
    int parameterCount() const;
    // With its prefix (":name"); a null string for a nameless "?". Parameters count from 1.
    QString parameterName(int index) const;

    sqlite3_stmt* handle() const { return mStmt; }

private:
    [[noreturn]] void fail(int rc) const;
    sqlite3* mDb = nullptr;
    sqlite3_stmt* mStmt = nullptr;
};

// A name (a table, column or index) as SQL writes it: between double quotes, inner ones doubled,
// so that any name, a user's too, stays one name.
QString quoteIdentifier(const QString& name);

// A statement refused because it would change the database (Database::prepareReadOnly).
class WriteRefused : public DbError {
public:
    using DbError::DbError;
};

// The arguments of one call of an SQL function the program defines, and its result.
class FunctionCall {
public:
    FunctionCall(sqlite3_context* context, int count, sqlite3_value** args)
        : mContext(context), mCount(count), mArgs(args) {}
    int count() const { return mCount; }
    // Null, a qlonglong, a double or the text (a blob read as text).
    QVariant value(int index) const;
    // The value as the engine compares it with numbers: nothing for Null and text that is no
    // number.
    std::optional<double> number(int index) const;
    int integer(int index) const;

    void setResult(int value);
    // A null string gives the empty text, not Null.
    void setResult(const QString& text);
    void setNull();

private:
    sqlite3_context* mContext;
    int mCount;
    sqlite3_value** mArgs;
};
using SqlFunction = void (*)(FunctionCall& call);

// What an engine error code says, for the messages a user reads.
bool isBusyCode(int code);     // another connection keeps the database busy
bool isDiskFullCode(int code); // the disk filled up
bool isDamagedCode(int code);  // the file is damaged or is no database
bool isNotADatabaseCode(int code);
// The engine's own words for a code.
QString engineErrorText(int code);
// The engine's version, "3.40.1".
QString engineVersion();

class Database {
public:
    enum class Mode { ReadWrite, ReadOnly, Create };

    Database() = default;
    explicit Database(const QString& path, Mode mode = Mode::ReadWrite);
    ~Database();
    Database(Database&& other) noexcept;
    Database& operator=(Database&& other) noexcept;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    bool isOpen() const { return mDb != nullptr; }
    void close();
    QString path() const { return mPath; }

    // Runs one or more statements without parameters.
    void exec(std::string_view sql);
    // Runs one statement with bound values; returns the number of rows changed.
    int execute(std::string_view sql, const QVariantList& params = {});
    Statement prepare(std::string_view sql);
    // Compiles a statement that may only read; one that would change anything throws
    // WriteRefused. Text without a statement gives an invalid Statement.
    Statement prepareReadOnly(std::string_view sql);
    // First column of the first row, or a null QVariant when there is no row.
    QVariant scalar(std::string_view sql, const QVariantList& params = {});

    int changes() const;
    std::int64_t lastInsertRowId() const;
    QString errorText() const;
    bool tableExists(const QString& name);
    // The collation the schema declares for a column of a table of the main database; empty
    // when the column is unknown.
    QString declaredCollation(const QString& table, const QString& column);

    // Makes `function` callable from this connection's SQL with `arguments` arguments (-1 for
    // any number); its result depends on its arguments alone. An innocuous one may also run in
    // views and triggers, which a database from elsewhere could hold. Throws DbError.
    enum class Use { ProgramOnly, Innocuous };
    void defineFunction(const char* name, int arguments, SqlFunction function,
                        Use use = Use::ProgramOnly);

    // How long a statement waits for another connection's lock before it fails as busy.
    void setBusyTimeout(int milliseconds);
    // Copies the whole of `source` over this database, page by page, in the engine's own
    // transaction: a failure half-way leaves this database as it was. `progress` hears the
    // pages done and the pages in all. Throws DbError.
    void copyFrom(Database& source, const std::function<void(int done, int all)>& progress);

    // A database of the connection (main, or one attached) as the bytes of its file.
    QByteArray serialize(const QString& schema = QStringLiteral("main"));
    // A database in memory holding `bytes` (what serialize() gave); nothing of it reaches the
    // disk. `name` stands for it in messages. Throws DbError.
    static Database fromBytes(const QByteArray& bytes, const QString& name);
    // An empty database in memory.
    static Database inMemory(const QString& name = QStringLiteral(":memory:"));

    sqlite3* handle() const { return mDb; }

private:
    sqlite3* mDb = nullptr;
    QString mPath;
};

// While it lives, calls keepGoing every `steps` steps of the engine during the connection's
// statements; one that returns false interrupts the statement, which then fails with
// SQLITE_INTERRUPT. A connection has one hook: a later one replaces an earlier one, and the
// end of either removes it.
class ProgressHook {
public:
    ProgressHook(Database& db, int steps, std::function<bool()> keepGoing);
    ~ProgressHook();
    ProgressHook(const ProgressHook&) = delete;
    ProgressHook& operator=(const ProgressHook&) = delete;

private:
    static int onProgress(void* self);
    Database& mDb;
    std::function<bool()> mKeepGoing;
};

// While it lives, calls tick every so often during the connection's statements (about every
// `interval` milliseconds); a tick that returns false interrupts the statement, which then
// fails with SQLITE_INTERRUPT.
class StatementTicks {
public:
    StatementTicks(Database& db, std::function<bool()> tick, int interval = 50);
    StatementTicks(const StatementTicks&) = delete;
    StatementTicks& operator=(const StatementTicks&) = delete;
    // Whether a tick stopped a statement.
    [[nodiscard]] bool interrupted() const { return mInterrupted; }

private:
    bool onProgress();
    std::function<bool()> mTick;
    qint64 mInterval;
    qint64 mLast = 0;
    bool mInterrupted = false;
    ProgressHook mHook; // last: starts once the rest is ready
};

} // namespace orv

// Most users of a connection want its transactions too.
#include "db/Transaction.h"

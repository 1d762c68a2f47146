#pragma once

#include <QString>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace orv {

// A statement the engine refused, or a file it could not open. what() is the engine's text.
class DbError : public std::runtime_error {
public:
    explicit DbError(const QString& message, int code = 0)
        : std::runtime_error(message.toStdString()), mCode(code) {}
    int code() const { return mCode; }
    QString message() const { return QString::fromStdString(what()); }

private:
    int mCode;
};

class Statement {
public:
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
    // SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT, SQLITE_BLOB or SQLITE_NULL of the current row.
    int columnType(int column) const;
    bool isNull(int column) const;
    std::int64_t int64(int column) const;
    double real(int column) const;
    QString text(int column) const;
    QVariant value(int column) const;

    sqlite3_stmt* handle() const { return mStmt; }

private:
    [[noreturn]] void fail(int rc) const;
    sqlite3* mDb = nullptr;
    sqlite3_stmt* mStmt = nullptr;
};

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
    // First column of the first row, or a null QVariant when there is no row.
    QVariant scalar(std::string_view sql, const QVariantList& params = {});

    int changes() const;
    std::int64_t lastInsertRowId() const;
    QString errorText() const;
    bool tableExists(const QString& name);

    sqlite3* handle() const { return mDb; }

private:
    sqlite3* mDb = nullptr;
    QString mPath;
};

// While it lives, calls tick every so often during the connection's statements (about every
// `interval` milliseconds); a tick that returns false interrupts the statement, which then
// fails with SQLITE_INTERRUPT.
class StatementTicks {
public:
    StatementTicks(Database& db, std::function<bool()> tick, int interval = 50);
    ~StatementTicks();
    StatementTicks(const StatementTicks&) = delete;
    StatementTicks& operator=(const StatementTicks&) = delete;
    // Whether a tick stopped a statement.
    bool interrupted() const { return mInterrupted; }

private:
    static int onProgress(void* self);
    Database& mDb;
    std::function<bool()> mTick;
    qint64 mInterval;
    qint64 mLast = 0;
    bool mInterrupted = false;
};

} // namespace orv

// Most users of a connection want its transactions too.
#include "db/Transaction.h"

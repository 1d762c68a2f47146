// The engine's session extension is compiled into the system library but its declarations are
// only visible with these set.
#define SQLITE_ENABLE_SESSION 1
#define SQLITE_ENABLE_PREUPDATE_HOOK 1
#include "db/Changeset.h"

#include "db/Database.h"

#include <sqlite3.h>

#include <memory>

namespace orv {

namespace {

QVariant toVariant(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        return QVariant::fromValue<qlonglong>(sqlite3_value_int64(v));
    case SQLITE_FLOAT:
        return sqlite3_value_double(v);
    case SQLITE_TEXT:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                                 sqlite3_value_bytes(v));
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char*>(sqlite3_value_blob(v)), sqlite3_value_bytes(v));
    default:
        return {};
    }
}

[[noreturn]] void fail(int rc, const QString& what) {
    throw DbError(what + QStringLiteral(" (") + engineErrorText(rc) + QLatin1Char(')'), rc);
}

RowChange changeAt(sqlite3_changeset_iter* it) {
    const char* table = nullptr;
    int columns = 0;
    int op = 0;
    int indirect = 0;
    sqlite3changeset_op(it, &table, &columns, &op, &indirect);
    RowChange change;
    change.table = QString::fromUtf8(table);
    change.op = op == SQLITE_INSERT   ? RowChange::Op::Insert
                : op == SQLITE_DELETE ? RowChange::Op::Delete
                                      : RowChange::Op::Update;
    change.before.resize(static_cast<size_t>(columns));
    change.after.resize(static_cast<size_t>(columns));
    for (int c = 0; c < columns; ++c) {
        sqlite3_value* v = nullptr;
        if (op != SQLITE_INSERT && sqlite3changeset_old(it, c, &v) == SQLITE_OK && v)
            change.before[static_cast<size_t>(c)] = toVariant(v);
        v = nullptr;
        if (op != SQLITE_DELETE && sqlite3changeset_new(it, c, &v) == SQLITE_OK && v)
            change.after[static_cast<size_t>(c)] = toVariant(v);
    }
    return change;
}

struct SessionDeleter {
    void operator()(sqlite3_session* s) const { sqlite3session_delete(s); }
};

struct Applying {
    const std::function<ConflictAction(const ChangeConflict&)>* onConflict;
};

int onConflict(void* context, int kind, sqlite3_changeset_iter* it) {
    auto* applying = static_cast<Applying*>(context);
    ChangeConflict conflict;
    conflict.change = changeAt(it);
    switch (kind) {
    case SQLITE_CHANGESET_DATA:
        conflict.kind = ChangeConflict::Kind::Data;
        break;
    case SQLITE_CHANGESET_NOTFOUND:
        conflict.kind = ChangeConflict::Kind::NotFound;
        break;
    case SQLITE_CHANGESET_CONFLICT:
        conflict.kind = ChangeConflict::Kind::Conflict;
        break;
    default:
        conflict.kind = ChangeConflict::Kind::Constraint;
        break;
    }
    if (kind == SQLITE_CHANGESET_DATA || kind == SQLITE_CHANGESET_CONFLICT) {
        for (size_t c = 0; c < conflict.change.before.size(); ++c) {
            sqlite3_value* v = nullptr;
            sqlite3changeset_conflict(it, static_cast<int>(c), &v);
            conflict.current.push_back(v ? toVariant(v) : QVariant());
        }
    }
    ConflictAction action = ConflictAction::Abort;
    try {
        action = (*applying->onConflict)(conflict);
    } catch (...) {
        // An exception may not cross the engine: the apply is aborted instead.
        return SQLITE_CHANGESET_ABORT;
    }
    // Only a row that is there with other values can be replaced.
    if (action == ConflictAction::Replace &&
        (kind == SQLITE_CHANGESET_DATA || kind == SQLITE_CHANGESET_CONFLICT))
        return SQLITE_CHANGESET_REPLACE;
    return action == ConflictAction::Abort ? SQLITE_CHANGESET_ABORT : SQLITE_CHANGESET_OMIT;
}

} // namespace

QByteArray diffChangeset(Database& db, const QString& from, const QString& table) {
    sqlite3_session* raw = nullptr;
    if (int rc = sqlite3session_create(db.handle(), "main", &raw); rc != SQLITE_OK)
        fail(rc, QStringLiteral("The changes could not be recorded"));
    std::unique_ptr<sqlite3_session, SessionDeleter> session(raw);
    const QByteArray name = table.toUtf8();
    if (int rc = sqlite3session_attach(raw, name.constData()); rc != SQLITE_OK)
        fail(rc, QStringLiteral("The changes could not be recorded"));
    char* error = nullptr;
    const QByteArray schema = from.toUtf8();
    if (int rc = sqlite3session_diff(raw, schema.constData(), name.constData(), &error);
        rc != SQLITE_OK) {
        const QString text = QString::fromUtf8(error ? error : "");
        sqlite3_free(error);
        fail(rc, QStringLiteral("The changes could not be compared: ") + text);
    }
    int size = 0;
    void* bytes = nullptr;
    if (int rc = sqlite3session_changeset(raw, &size, &bytes); rc != SQLITE_OK)
        fail(rc, QStringLiteral("The changes could not be recorded"));
    QByteArray out(static_cast<const char*>(bytes), size);
    sqlite3_free(bytes);
    return out;
}

std::vector<RowChange> readChangeset(const QByteArray& changeset) {
    std::vector<RowChange> changes;
    sqlite3_changeset_iter* it = nullptr;
    QByteArray bytes = changeset;
    if (int rc = sqlite3changeset_start(&it, static_cast<int>(bytes.size()), bytes.data());
        rc != SQLITE_OK)
        fail(rc, QStringLiteral("The changes could not be read"));
    while (sqlite3changeset_next(it) == SQLITE_ROW)
        changes.push_back(changeAt(it));
    if (int rc = sqlite3changeset_finalize(it); rc != SQLITE_OK)
        fail(rc, QStringLiteral("The changes could not be read"));
    return changes;
}

void applyChangeset(Database& db, const QByteArray& changeset,
                    const std::function<ConflictAction(const ChangeConflict&)>& handler) {
    Applying applying{&handler};
    QByteArray bytes = changeset;
    const int rc = sqlite3changeset_apply(db.handle(), static_cast<int>(bytes.size()), bytes.data(),
                                          nullptr, onConflict, &applying);
    if (rc != SQLITE_OK)
        fail(rc, QStringLiteral("The changes were not applied"));
}

} // namespace orv

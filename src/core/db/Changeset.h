#pragma once
#include <QByteArray>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>
#include <vector>

namespace orv {

class Database;

// One change of a changeset as the engine records it: a row of a table inserted, updated or
// deleted, with its columns' values before and after, in the table's column order. A column a
// change does not carry (an update leaves out the columns it did not change, save the key) is
// nullopt.
struct RowChange {
    enum class Op { Insert, Update, Delete };
    QString table;
    Op op = Op::Update;
    std::vector<std::optional<QVariant>> before;
    std::vector<std::optional<QVariant>> after;
};

// The changes that turn the table of the schema `from` into the same table of the main schema.
// Both tables must declare the same primary key; the engine cannot follow a table without one.
// Throws DbError.
QByteArray diffChangeset(Database& db, const QString& from, const QString& table);

// Throws DbError for bytes that are no changeset.
std::vector<RowChange> readChangeset(const QByteArray& changeset);

// A change that does not fit the row it is applied to: the row holds other values than the
// change found (Data), is not there (NotFound), is there already (Conflict), or a constraint
// refused the change. `current` holds the row as it is, for Data and Conflict.
struct ChangeConflict {
    enum class Kind { Data, NotFound, Conflict, Constraint };
    Kind kind = Kind::Data;
    RowChange change;
    std::vector<QVariant> current;
};
enum class ConflictAction { Omit, Replace, Abort };

// Applies a changeset to the main schema, in the engine's own savepoint: an abort or a failure
// leaves the database as it was and throws DbError.
void applyChangeset(Database& db, const QByteArray& changeset,
                    const std::function<ConflictAction(const ChangeConflict&)>& onConflict);

} // namespace orv

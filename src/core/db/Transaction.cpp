#include "db/Transaction.h"

#include <sqlite3.h>

namespace orv {

Transaction::Transaction(Database& db, Kind kind) : mDb(db) {
    switch (kind) {
    case Kind::Deferred:
        mDb.exec("BEGIN");
        break;
    case Kind::Immediate:
        mDb.exec("BEGIN IMMEDIATE");
        break;
    case Kind::Exclusive:
        mDb.exec("BEGIN EXCLUSIVE");
        break;
    }
}

Transaction::~Transaction() {
    // An error such as a full disk may have rolled back already; then there is nothing to undo.
    if (!mOpen || !mDb.isOpen() || sqlite3_get_autocommit(mDb.handle()))
        return;
    try {
        mDb.exec("ROLLBACK");
    } catch (const DbError&) {
    }
}

void Transaction::commit() {
    mDb.exec("COMMIT");
    mOpen = false;
}

} // namespace orv

#pragma once

#include "db/Database.h"

namespace orv {

// A transaction that rolls back unless committed: whatever leaves the scope early, an
// exception included, leaves the database as it was. Use Savepoint for nested work.
class Transaction {
public:
    enum class Kind {
        Deferred,  // locks on first read or write
        Immediate, // takes the write lock at once: a busy database fails here, not mid-way
        Exclusive, // keeps readers out as well
    };

    explicit Transaction(Database& db, Kind kind = Kind::Deferred);
    ~Transaction();
    // Throws DbError; the transaction is then still open and the destructor rolls it back.
    void commit();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

private:
    Database& mDb;
    bool mOpen = true;
};

} // namespace orv

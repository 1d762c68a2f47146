#pragma once

#include "db/Database.h"

#include <string>

namespace orv {

// A nestable transaction: works alone and inside a transaction the caller already holds.
// Rolls back to where it began unless released. The name is a fixed identifier, never user text.
class Savepoint {
public:
    Savepoint(Database& db, const char* name) : mDb(db), mName(name) {
        mDb.exec("SAVEPOINT " + mName);
    }
    ~Savepoint() {
        if (!mOpen)
            return;
        try {
            mDb.exec("ROLLBACK TO " + mName);
            mDb.exec("RELEASE " + mName);
        } catch (const DbError&) {
            // The engine already rolled the whole transaction back.
        }
    }
    void release() {
        mDb.exec("RELEASE " + mName);
        mOpen = false;
    }
    Savepoint(const Savepoint&) = delete;
    Savepoint& operator=(const Savepoint&) = delete;

private:
    Database& mDb;
    std::string mName;
    bool mOpen = true;
};

} // namespace orv

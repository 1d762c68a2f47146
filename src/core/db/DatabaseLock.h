#pragma once

#include <QString>

#include <memory>

namespace orv {

// Keeps a second copy of the program (the desktop program or the command line) away from a
// database that one copy works on: a lock file beside the database, "<database>.lock", that
// belongs to a live process. A lock left by a copy that died is taken over.
//
// A database is its file: a link to it or another spelling of its path takes the same lock.
// Within one process the lock is shared: every holder of the same database gets the same
// lock, released when the last one lets go.
//
// The lock also owns "<database>.orvtmp", the one scratch file that the program writes beside
// a database before putting it in place; whoever takes the lock afresh deletes what a dead
// holder left there.
class DatabaseLock {
public:
    DatabaseLock();
    ~DatabaseLock();
    DatabaseLock(DatabaseLock&&) noexcept;
    DatabaseLock& operator=(DatabaseLock&&) noexcept;
    DatabaseLock(const DatabaseLock&) = delete;
    DatabaseLock& operator=(const DatabaseLock&) = delete;

    // Takes the lock of the database at path, letting go of any other held before. False,
    // with errorText() naming the file, when another copy of the program holds it. A folder
    // that cannot hold a lock file (read-only) is no reason to refuse: nobody can lock it then.
    [[nodiscard]] bool acquire(const QString& path);
    void release();
    bool isHeld() const;
    // The database held, as it was given to acquire().
    QString path() const;
    QString errorText() const { return mError; }

    static QString lockFileFor(const QString& path);
    static QString scratchFileFor(const QString& path);

    struct Entry; // one per database held in this process

private:
    std::shared_ptr<Entry> mEntry;
    QString mError;
};

// Deletes the scratch files that copies of the program killed before they finished left in
// folder; a scratch file whose database is held by a live copy stays. Returns how many went.
int removeStaleScratchFiles(const QString& folder);

} // namespace orv

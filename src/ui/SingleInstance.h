#pragma once

#include <QString>

#include <memory>

class QLockFile;

namespace orv::ui {

// Keeps a second copy of the program from running on the same program folder. The lock
// belongs to a live process: one left behind by a copy that died is taken over.
class SingleInstance {
public:
    explicit SingleInstance(const QString& programDir);
    ~SingleInstance();

    // False when another running copy holds the lock.
    bool tryLock();
    QString lockPath() const { return mPath; }

private:
    QString mPath;
    std::unique_ptr<QLockFile> mLock;
};

} // namespace orv::ui

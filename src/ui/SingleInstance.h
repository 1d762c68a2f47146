#pragma once

#include <QString>

#include <functional>
#include <memory>

class QLocalServer;
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

    // The copy that holds the lock takes the files handed to it by later copies (orvdv FILE
    // while it runs): `open` gets each one's absolute path.
    void acceptFiles(std::function<void(const QString&)> open);
    // A later copy hands `file` to the running one; false when none took it.
    [[nodiscard]] bool handOver(const QString& file) const;

private:
    QString serverName() const;

    QString mPath;
    std::unique_ptr<QLockFile> mLock;
    std::unique_ptr<QLocalServer> mServer;
};

} // namespace orv::ui

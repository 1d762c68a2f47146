#pragma once

#include <QString>

namespace orv::test {

// Makes the database engine's file writes and syncs fail on demand, to test what the program
// does when a disk fails or fills up.
//
// install() puts a shim in front of the engine's default file layer, under the name "orv-fault",
// and makes it the default, so every connection opened afterwards (the program's own included)
// goes through it. Unarmed, it only passes calls on. Once armed, the first `n` matching calls
// succeed and every later one fails, as a full or broken disk would, until reset().
// `pathPart` limits the failure to files whose path contains it ("-journal", "temp.mdb");
// empty matches every file. Files without a name (the engine's scratch files) never match a
// non-empty pathPart.
//
//     FaultVfs::install();
//     FaultVfs::armDiskFull(3, QStringLiteral("copy.mdb"));
//     ... run the code under test ...
//     EXPECT_TRUE(FaultVfs::fired());
//     FaultVfs::reset();
class FaultVfs {
public:
    static void install();
    // Gives the default back to the engine's own layer; connections opened through the shim
    // keep working.
    static void uninstall();

    static void armWriteFailure(int n, const QString& pathPart = {}); // an I/O error on write
    static void armSyncFailure(int n, const QString& pathPart = {});  // an I/O error on sync
    static void armDiskFull(int n, const QString& pathPart = {});     // "database or disk is full"
    // No journal can be made for a database whose path contains pathPart, as in a read-only
    // folder.
    static void armReadOnlyFolder(const QString& pathPart);
    static void reset();

    // Whether an armed failure has been returned since the last arming.
    static bool fired();
    // Matching calls seen since the last arming or reset (whether they failed or not).
    static int writes();
    static int syncs();
};

} // namespace orv::test

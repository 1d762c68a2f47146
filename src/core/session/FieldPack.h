#pragma once
#include "db/Database.h"
#include "db/DatabaseLock.h"
#include "db/Sealed.h"

#include <QString>
#include <QVariant>

#include <optional>

namespace orv {

// What a field pack says of itself: which records, for whom, and the run it was made from.
struct PackInfo {
    QString id;
    QString madeAt; // UTC, 'YYYY-MM-DDTHH:MM:SSZ'
    QString validator;
    qint64 records = 0;
    QString selection; // how the records were chosen, as the user put it
    // The run the pack belongs to: the import and the draw of its database.
    QString importStartedAt;
    QString sampleDrawnAt;
    QVariant sampleSeed;
    // "Field pack: 12 records, made 12/08/2026 for Ann Lee"
    QString title() const;
    // What the history says made a change: "pack 3f2a… (Ann Lee)".
    QString historySource() const;
};

// Why a command is not offered while a field pack is open.
inline const QString kNotInPack = QStringLiteral(
    "Not available in a field pack: merge the pack into its validation database first.");

// The table a pack keeps its facts in; a database without it is no pack.
inline constexpr const char* kPackInfoTable = "tblPackInfo";
// The pack-time values of the sampled rows, to tell what changed since.
inline constexpr const char* kPackBaseTable = "tblPackBase";

// The facts of the pack open in db; nothing when db is no pack. Throws DbError.
std::optional<PackInfo> readPackInfo(Database& db);

// Whether the file starts as a sealed pack does.
bool isPackFile(const QString& path);

// Reads and opens a sealed pack into memory. `key` receives the key to seal it again.
// Throws DbError with what the user must be told (a wrong passphrase and a damaged file alike).
Database openSealedPack(const QString& path, const QString& passphrase,
                        std::optional<SealKey>& key);

// A pack opened to be merged, held against other copies of the program meanwhile: a validator
// still at work in it would go on saving marks that the merge never sees.
struct LockedPack {
    DatabaseLock lock;
    Database db;
};
// Throws DbError: the pack is open in another copy of the program, or as openSealedPack.
LockedPack openPackToMerge(const QString& path, const QString& passphrase);

// Seals the database and puts it in place of the file in one step; nothing of it reaches the
// disk unsealed. Throws DbError (the previous file then unchanged).
void writeSealedPack(Database& db, const SealKey& key, const QString& path);

} // namespace orv

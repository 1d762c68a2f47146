#pragma once
#include "session/FieldPack.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace orv {

class Database;
class FrontEnd;

// Which sampled records go into a pack: listed by OBS, those of an office or of a sampling
// unit, or the whole sample.
struct PackSelection {
    enum class Kind { Obs, Office, Unit, All };
    Kind kind = Kind::All;
    QStringList obs;
    QString office;
    qint64 unit = 0;
    // "OBS 12, 40", "office Dayton", "sampling unit 3", "the whole sample"
    QString text() const;
};

struct PackRequest {
    PackSelection selection;
    QString validator;
    QString path;
};

// What a pack's records can be chosen by: the offices and the sampling units of the sample.
struct PackChoices {
    QStringList offices;
    QList<qint64> units;
};
// Throws DbError.
PackChoices packChoices(Database& db);

// The least a pack's passphrase may have; a pack holds SSNs.
inline constexpr int kMinPassphraseLength = 8;
// Says what is wrong with a new passphrase; empty when it will do.
QString passphraseProblem(const QString& passphrase);

// Writes a sealed pack of the chosen sampled records (their sample rows with marks, flags and
// comments, their master records, the sign-in settings, the blocked fields, their history) and
// the identity of the run they belong to. The passphrase is asked through the front end. The
// database is only read. Returns what the pack says of itself; throws Error with what the user
// must be told (nothing chosen, no sample, no passphrase, a file that could not be written).
PackInfo makePack(Database& db, const PackRequest& request, FrontEnd& ui);

// The identity of the run the database holds now: its last completed import and last draw.
struct RunIdentity {
    QString importStartedAt;
    QString sampleDrawnAt;
    QVariant sampleSeed;
    bool operator==(const RunIdentity& other) const;
};
RunIdentity runIdentity(Database& db);

// The worksheet columns a pack carries back: the marks, the flags, the comment and chk.
const QStringList& packWorksheetColumns();

} // namespace orv

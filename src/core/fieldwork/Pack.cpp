#include "fieldwork/Pack.h"

#include "db/Database.h"
#include "program/FrontEnd.h"
#include "worksheet/History.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QUuid>

namespace orv {

namespace {

constexpr const char* kSchema = "pack";

// An object of the main schema made again in the pack's: the same statement, its name
// qualified.
QString inPackSchema(const QString& sql) {
    static const QRegularExpression create(
        QStringLiteral("^\\s*CREATE\\s+(UNIQUE\\s+INDEX|INDEX|TABLE|VIEW|TRIGGER)\\s+"
                       "(IF\\s+NOT\\s+EXISTS\\s+)?"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = create.match(sql);
    if (!m.hasMatch())
        return {};
    return sql.left(m.capturedEnd()) + QLatin1String(kSchema) + QLatin1Char('.') +
           sql.mid(m.capturedEnd());
}

// The sample table of a pack, keyed by the main database's row: the engine follows only the
// changes of a keyed table, and the worksheet finds its row the same way in both.
QString keyedSampleTable(const QString& sql, const QString& name) {
    const int open = sql.indexOf(QLatin1Char('('));
    return QStringLiteral("CREATE TABLE %1.%2 (MainRowId INTEGER PRIMARY KEY, ")
               .arg(QLatin1String(kSchema), name) +
           sql.mid(open + 1);
}

QString selectionCondition(const PackSelection& s, QVariantList& params) {
    switch (s.kind) {
    case PackSelection::Kind::Obs: {
        QStringList marks;
        for (const QString& obs : s.obs) {
            marks << QStringLiteral("?");
            params << obs.trimmed();
        }
        return QStringLiteral("a.obs IN (%1)").arg(marks.join(QLatin1Char(',')));
    }
    case PackSelection::Kind::Office:
        params << s.office;
        return QStringLiteral("a.OfficeName = ?");
    case PackSelection::Kind::Unit:
        params << s.unit;
        return QStringLiteral("a.SamplingUnit = ?");
    case PackSelection::Kind::All:
        break;
    }
    return QStringLiteral("1");
}

QString nowUtc() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

void createTables(Database& db) {
    Statement tables = db.prepare("SELECT name, sql FROM main.sqlite_master WHERE type = 'table' "
                                  "AND sql IS NOT NULL AND name NOT LIKE 'sqlite%' ORDER BY rowid");
    while (tables.step()) {
        const QString name = tables.text(0);
        const QString sql = tables.text(1);
        if (name.compare(QLatin1String("tblsample"), Qt::CaseInsensitive) == 0) {
            db.exec(keyedSampleTable(sql, name).toStdString());
            db.exec(keyedSampleTable(sql, QString::fromLatin1(kPackBaseTable)).toStdString());
        } else {
            db.exec(inPackSchema(sql).toStdString());
        }
    }
}

// Indexes, views and triggers after the rows: the one-row triggers of the settings would
// refuse them.
void createTheRest(Database& db) {
    Statement rest = db.prepare("SELECT sql FROM main.sqlite_master WHERE type <> 'table' AND "
                                "sql IS NOT NULL AND name NOT LIKE 'sqlite%' ORDER BY rowid");
    while (rest.step())
        db.exec(inPackSchema(rest.text(0)).toStdString());
}

qint64 copyRows(Database& db, const PackSelection& selection) {
    QVariantList params;
    const QString where = selectionCondition(selection, params);
    // As the sample list: a sample row without its master record is no worksheet.
    const int rows =
        db.execute(QStringLiteral("INSERT INTO pack.tblsample SELECT a.rowid, a.* FROM "
                                  "main.tblsample AS a WHERE %1 AND EXISTS (SELECT 1 FROM "
                                  "main.tblORVmaster AS b WHERE b.randno = a.randno)")
                       .arg(where)
                       .toStdString(),
                   params);
    if (rows == 0)
        return 0;
    db.exec("INSERT INTO pack.tblPackBase SELECT * FROM pack.tblsample;"
            "INSERT INTO pack.tblORVmaster SELECT * FROM main.tblORVmaster WHERE randno IN "
            "(SELECT randno FROM pack.tblsample);"
            "INSERT INTO pack.tblsystem SELECT * FROM main.tblsystem;"
            "INSERT INTO pack.tblstates SELECT * FROM main.tblstates;"
            "INSERT INTO pack.tblBlockedFields SELECT * FROM main.tblBlockedFields;"
            "INSERT INTO pack.tblValSummaryNotes SELECT * FROM main.tblValSummaryNotes;");
    if (db.tableExists(QStringLiteral("tblHistory")))
        db.exec("INSERT INTO pack.tblHistory SELECT * FROM main.tblHistory WHERE obs IN "
                "(SELECT obs FROM pack.tblsample)");
    return rows;
}

// The pack's schema lives beside the main one for as long as it is being made.
class PackSchema {
public:
    explicit PackSchema(Database& db) : mDb(db) { mDb.exec("ATTACH ':memory:' AS pack"); }
    ~PackSchema() {
        try {
            mDb.exec("DETACH pack");
        } catch (const DbError&) {
        }
    }
    PackSchema(const PackSchema&) = delete;
    PackSchema& operator=(const PackSchema&) = delete;

private:
    Database& mDb;
};

} // namespace

QString PackSelection::text() const {
    switch (kind) {
    case Kind::Obs:
        return QStringLiteral("OBS ") + obs.join(QStringLiteral(", "));
    case Kind::Office:
        return QStringLiteral("office ") + office;
    case Kind::Unit:
        return QStringLiteral("sampling unit ") + QString::number(unit);
    case Kind::All:
        break;
    }
    return QStringLiteral("the whole sample");
}

PackChoices packChoices(Database& db) {
    PackChoices choices;
    Statement offices = db.prepare("SELECT DISTINCT OfficeName FROM tblsample WHERE "
                                   "trim(ifnull(OfficeName, '')) <> '' ORDER BY OfficeName");
    while (offices.step())
        choices.offices << offices.text(0);
    Statement units = db.prepare("SELECT DISTINCT SamplingUnit FROM tblsample WHERE SamplingUnit "
                                 "IS NOT NULL ORDER BY SamplingUnit");
    while (units.step())
        choices.units << units.int64(0);
    return choices;
}

QString passphraseProblem(const QString& passphrase) {
    if (passphrase.size() < kMinPassphraseLength)
        return QStringLiteral("The passphrase must have at least %1 characters.")
            .arg(kMinPassphraseLength);
    return {};
}

bool RunIdentity::operator==(const RunIdentity& other) const {
    return importStartedAt == other.importStartedAt && sampleDrawnAt == other.sampleDrawnAt &&
           sampleSeed.toString() == other.sampleSeed.toString();
}

RunIdentity runIdentity(Database& db) {
    RunIdentity id;
    if (db.tableExists(QStringLiteral("tblImportRun")))
        id.importStartedAt = db.scalar("SELECT StartedAt FROM tblImportRun WHERE Outcome = "
                                       "'completed' ORDER BY rowid DESC LIMIT 1")
                                 .toString();
    Statement draw = db.prepare("SELECT DrawnAt, Seed FROM tblSampleLog ORDER BY rowid DESC "
                                "LIMIT 1");
    if (draw.step()) {
        id.sampleDrawnAt = draw.text(0);
        id.sampleSeed = draw.value(1);
    }
    return id;
}

const QStringList& packWorksheetColumns() {
    static const QStringList columns = [] {
        return worksheetColumns() + QStringList{QStringLiteral("chk")};
    }();
    return columns;
}

PackInfo makePack(Database& db, const PackRequest& request, FrontEnd& ui) {
    if (request.validator.trimmed().isEmpty())
        throw DbError(QStringLiteral("Name the validator the pack is for."));
    if (request.selection.kind == PackSelection::Kind::Obs && request.selection.obs.isEmpty())
        throw DbError(QStringLiteral("Name the OBS of the records to pack."));
    PackInfo info;
    const RunIdentity run = runIdentity(db);
    info.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    info.madeAt = nowUtc();
    info.validator = request.validator.trimmed();
    info.selection = request.selection.text();
    info.importStartedAt = run.importStartedAt;
    info.sampleDrawnAt = run.sampleDrawnAt;
    info.sampleSeed = run.sampleSeed;

    QByteArray bytes;
    {
        PackSchema schema(db);
        // One snapshot of the main database, whatever another program does meanwhile.
        Transaction reading(db);
        createTables(db);
        info.records = copyRows(db, request.selection);
        if (info.records == 0)
            throw DbError(QStringLiteral("No sampled record is %1: no pack was made.")
                              .arg(request.selection.kind == PackSelection::Kind::All
                                       ? QStringLiteral("in the database")
                                       : QStringLiteral("of ") + info.selection));
        createTheRest(db);
        db.exec("CREATE TABLE pack.tblPackInfo (PackId TEXT, MadeAt TEXT, Validator TEXT, "
                "Records INTEGER, Selection TEXT, ImportStartedAt TEXT, SampleDrawnAt TEXT, "
                "SampleSeed INTEGER)");
        db.execute("INSERT INTO pack.tblPackInfo VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
                   {info.id, info.madeAt, info.validator, info.records, info.selection,
                    info.importStartedAt, info.sampleDrawnAt, info.sampleSeed});
        const QVariant appId = db.scalar("PRAGMA main.application_id");
        const QVariant version = db.scalar("PRAGMA main.user_version");
        db.exec(QStringLiteral("PRAGMA pack.application_id = %1; PRAGMA pack.user_version = %2")
                    .arg(appId.toLongLong())
                    .arg(version.toLongLong())
                    .toStdString());
        reading.commit();
        bytes = db.serialize(QStringLiteral("pack"));
    }

    const std::optional<QString> passphrase = ui.askPassphrase(
        QStringLiteral("Choose the passphrase of the pack for %1 (at least %2 characters). "
                       "Give it to the validator apart from the pack.")
            .arg(info.validator)
            .arg(kMinPassphraseLength),
        true);
    if (!passphrase)
        throw DbError(QStringLiteral("No passphrase was given: no pack was made."));
    if (const QString problem = passphraseProblem(*passphrase); !problem.isEmpty())
        throw DbError(problem + QStringLiteral(" No pack was made."));
    Database pack = Database::fromBytes(bytes, request.path);
    writeSealedPack(pack, SealKey::derive(*passphrase), request.path);
    return info;
}

} // namespace orv

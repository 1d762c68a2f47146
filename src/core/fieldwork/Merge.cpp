#include "fieldwork/Merge.h"

#include "db/Changeset.h"
#include "db/Database.h"
#include "fieldwork/Pack.h"
#include "worksheet/DataElements.h"
#include "worksheet/History.h"
#include "worksheet/Worksheet.h"

#include <QDateTime>

#include <set>

namespace orv {

const QString kOtherRun = QStringLiteral("This pack was made from another validation run.");

namespace {

using Values = std::vector<QVariant>; // the worksheet columns, in packWorksheetColumns() order

bool same(const QVariant& a, const QVariant& b) {
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return a.toString() == b.toString();
}

// What a stored worksheet value means, as the history tells it (an unset flag is No whether
// Null or 0, an empty comment is none); a record not complete is not, whatever it holds.
QString meaning(int column, const QVariant& value) {
    if (column < worksheetColumns().size())
        return historyText(worksheetColumns().at(column), value).toString();
    return value.toString().compare(QLatin1String("Yes"), Qt::CaseInsensitive) == 0
               ? QStringLiteral("Yes")
               : QStringLiteral("No");
}

bool sameRecord(const Values& a, const Values& b) {
    for (size_t i = 0; i < a.size(); ++i)
        if (meaning(static_cast<int>(i), a[i]) != meaning(static_cast<int>(i), b[i]))
            return false;
    return true;
}

QString columnList(const QString& prefix = {}) {
    QStringList out;
    for (const QString& c : packWorksheetColumns())
        out << prefix + QLatin1Char('"') + c + QLatin1Char('"');
    return out.join(QStringLiteral(", "));
}

Values readValues(Database& db, const QString& table, qint64 row) {
    Statement st = db.prepare(
        QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?").arg(columnList(), table).toStdString());
    st.bind(1, static_cast<std::int64_t>(row));
    Values v;
    if (st.step())
        for (int c = 0; c < st.columnCount(); ++c)
            v.push_back(st.value(c));
    return v;
}

// The item's name and value as the user reads them.
QString itemName(int column) {
    if (column < kElementCount)
        return QString::fromLatin1(kDataElements[column].worksheetName);
    if (column < kElementCount + 4) {
        static const char* const names[] = {"Wrong SSN", "Invalid Record", "Unable To Locate",
                                            "Missing Record"};
        return QString::fromLatin1(names[column - kElementCount]);
    }
    return packWorksheetColumns().at(column);
}

QString itemText(int column, const QVariant& value) {
    if (column < kElementCount)
        return markFromValue(value) == Mark::Pass   ? QStringLiteral("Pass")
               : markFromValue(value) == Mark::Fail ? QStringLiteral("Fail")
                                                    : QString();
    if (column < kElementCount + 4)
        return !value.isNull() && value.toDouble() != 0 ? QStringLiteral("Yes")
                                                        : QStringLiteral("No");
    return value.toString();
}

// The sample rows the pack changed since it was made, as the engine's changeset says.
QByteArray packChanges(Database& pack) {
    const QString sql = pack.scalar("SELECT sql FROM sqlite_master WHERE type = 'table' AND "
                                    "name = 'tblsample'")
                            .toString();
    pack.exec("ATTACH ':memory:' AS base");
    try {
        const int open = sql.indexOf(QLatin1Char('('));
        pack.exec((QStringLiteral("CREATE TABLE base.tblsample ") + sql.mid(open)).toStdString());
        pack.exec("INSERT INTO base.tblsample SELECT * FROM main.tblPackBase");
        QByteArray changes =
            diffChangeset(pack, QStringLiteral("base"), QStringLiteral("tblsample"));
        pack.exec("DETACH base");
        return changes;
    } catch (const DbError&) {
        pack.exec("DETACH base");
        throw;
    }
}

struct Record {
    qint64 row = 0;
    QVariant obs, ssn, randno;
    Values atPack, inMain, inPack;
    bool conflict = false;
};

// The main database's rows the changes touch, checked to hold the records the pack was made of.
std::vector<Record> readRecords(Database& db, Database& pack, const std::set<qint64>& rows) {
    std::vector<Record> records;
    Statement key = pack.prepare("SELECT obs, ssn, randno FROM tblsample WHERE rowid = ?");
    Statement mainKey = db.prepare("SELECT obs, ssn, randno FROM tblsample WHERE rowid = ?");
    for (qint64 row : rows) {
        key.bind(1, static_cast<std::int64_t>(row));
        mainKey.bind(1, static_cast<std::int64_t>(row));
        if (!key.step() || !mainKey.step())
            throw DbError(kOtherRun);
        Record r;
        r.row = row;
        r.obs = key.value(0);
        r.ssn = key.value(1);
        r.randno = key.value(2);
        for (int c = 0; c < 3; ++c)
            if (!same(key.value(c), mainKey.value(c)))
                throw DbError(kOtherRun);
        key.reset();
        mainKey.reset();
        r.atPack = readValues(pack, QStringLiteral("tblPackBase"), row);
        r.inPack = readValues(pack, QStringLiteral("tblsample"), row);
        r.inMain = readValues(db, QStringLiteral("tblsample"), row);
        // Changed in the main database too, and now unlike the pack's.
        r.conflict = !sameRecord(r.inMain, r.atPack) && !sameRecord(r.inMain, r.inPack);
        records.push_back(std::move(r));
    }
    return records;
}

MergeConflict describe(const Record& r) {
    MergeConflict c;
    c.row = r.row;
    c.obs = displayText(r.obs);
    c.ssn = r.ssn.toString();
    // chk follows from the rest; it is not shown as an item of its own.
    for (int i = 0; i + 1 < static_cast<int>(r.atPack.size()); ++i)
        if (meaning(i, r.inMain[i]) != meaning(i, r.inPack[i]))
            c.items.push_back({itemName(i), itemText(i, r.atPack[i]), itemText(i, r.inMain[i]),
                               itemText(i, r.inPack[i])});
    return c;
}

// A keyed copy of the main database's rows, which the changes are applied to.
Database keyedCopy(Database& pack, const std::vector<Record>& records, Database& db) {
    Database scratch = Database::inMemory();
    const QString sql = pack.scalar("SELECT sql FROM sqlite_master WHERE type = 'table' AND "
                                    "name = 'tblsample'")
                            .toString();
    scratch.exec(sql.toStdString());
    Statement read = db.prepare("SELECT rowid, * FROM tblsample WHERE rowid = ?");
    Statement write;
    for (const Record& r : records) {
        read.bind(1, static_cast<std::int64_t>(r.row));
        if (!read.step())
            throw DbError(kOtherRun);
        if (!write.isValid()) {
            QStringList marks;
            for (int c = 0; c < read.columnCount(); ++c)
                marks << QStringLiteral("?");
            write = scratch.prepare(QStringLiteral("INSERT INTO tblsample VALUES (%1)")
                                        .arg(marks.join(u','))
                                        .toStdString());
        }
        for (int c = 0; c < read.columnCount(); ++c)
            write.bind(c + 1, read.value(c));
        write.run();
        write.reset();
        read.reset();
    }
    return scratch;
}

void setValues(Database& db, qint64 row, const Values& values) {
    QStringList sets;
    QVariantList params;
    for (int i = 0; i < packWorksheetColumns().size(); ++i) {
        sets << QLatin1Char('"') + packWorksheetColumns()[i] + QStringLiteral("\" = ?");
        params << values[static_cast<size_t>(i)];
    }
    params << QVariant::fromValue<qlonglong>(row);
    db.execute(QStringLiteral("UPDATE tblsample SET %1 WHERE rowid = ?")
                   .arg(sets.join(QStringLiteral(", ")))
                   .toStdString(),
               params);
}

WorksheetValues historyValues(const Values& v) {
    WorksheetValues out;
    for (int i = 0; i + 1 < packWorksheetColumns().size(); ++i)
        out[packWorksheetColumns()[i]] = v[static_cast<size_t>(i)];
    return out;
}

QString nowUtc() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

} // namespace

std::optional<Prefer> MergeChoices::choiceFor(qint64 row) const {
    if (auto it = records.find(row); it != records.end())
        return it->second;
    return all;
}

QString MergeResult::alreadyMergedText() const {
    const QDateTime when = QDateTime::fromString(mergedAt, Qt::ISODate);
    return QStringLiteral("This pack was merged on %1.")
        .arg(when.isValid() ? when.toLocalTime().toString(QStringLiteral("MM/dd/yyyy")) : mergedAt);
}

MergeResult mergePack(Database& db, Database& pack, const MergeChoices& choices) {
    MergeResult result;
    const std::optional<PackInfo> info = readPackInfo(pack);
    if (!info)
        throw DbError(QStringLiteral("The file is not a field pack."));
    result.pack = *info;
    Transaction merging(db, Transaction::Kind::Immediate);
    const QVariant earlier =
        db.scalar("SELECT MergedAt FROM tblPackMerges WHERE PackId = ?", {info->id});
    if (earlier.isValid()) {
        result.outcome = MergeResult::Outcome::AlreadyMerged;
        result.mergedAt = earlier.toString();
        return result;
    }
    const RunIdentity made{info->importStartedAt, info->sampleDrawnAt, info->sampleSeed};
    if (!(runIdentity(db) == made))
        throw DbError(kOtherRun);

    const QByteArray changes = packChanges(pack);
    std::set<qint64> rows;
    for (const RowChange& change : readChangeset(changes)) {
        // The pack adds and removes no sample rows; only its worksheets change.
        if (change.op != RowChange::Op::Update || !change.before.front())
            throw DbError(kOtherRun);
        rows.insert(change.before.front()->toLongLong());
    }
    std::vector<Record> records = readRecords(db, pack, rows);
    bool unsettled = false;
    for (const Record& r : records) {
        if (!r.conflict)
            continue;
        result.conflicts.push_back(describe(r));
        unsettled = unsettled || !choices.choiceFor(r.row);
    }
    if (unsettled) {
        result.outcome = MergeResult::Outcome::Conflicts;
        return result;
    }

    Database scratch = keyedCopy(pack, records, db);
    applyChangeset(scratch, changes, [&](const ChangeConflict& c) {
        if (c.kind != ChangeConflict::Kind::Data || !c.change.before.front())
            return ConflictAction::Abort;
        return choices.choiceFor(c.change.before.front()->toLongLong()) == Prefer::Pack
                   ? ConflictAction::Replace
                   : ConflictAction::Omit;
    });
    // A record in conflict is one side's whole: what the engine applied item by item is
    // replaced by it.
    for (const Record& r : records)
        if (r.conflict)
            setValues(scratch, r.row,
                      choices.choiceFor(r.row) == Prefer::Pack ? r.inPack : r.inMain);

    const QString source = info->historySource();
    result.mergedAt = nowUtc();
    for (const Record& r : records) {
        const Values merged = readValues(scratch, QStringLiteral("tblsample"), r.row);
        if (sameRecord(merged, r.inMain))
            continue;
        setValues(db, r.row, merged);
        appendWorksheetHistory(db, source, r.obs, r.ssn, historyValues(r.inMain),
                               historyValues(merged));
        ++result.changedRecords;
    }
    db.execute("INSERT INTO tblPackMerges (PackId, MergedAt, Validator, MadeAt, Records, Changed) "
               "VALUES (?, ?, ?, ?, ?, ?)",
               {info->id, result.mergedAt, info->validator, info->madeAt, info->records,
                result.changedRecords});
    merging.commit();
    return result;
}

} // namespace orv

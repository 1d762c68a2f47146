#include "../worksheet/WorksheetFixture.h"

#include "db/SafeFile.h"
#include "fieldwork/Merge.h"
#include "fieldwork/Pack.h"

#include <functional>
#include <set>

namespace orv::test {
namespace {

const QString kPassphrase = QStringLiteral("correct horse");

// Five sampled records of two offices and two sampling units, drawn once.
class FieldWork : public WorksheetTest {
protected:
    void SetUp() override {
        WorksheetTest::SetUp();
        for (int obs = 1; obs <= 5; ++obs)
            rows[obs] = addSample(obs, {{"OfficeName", obs <= 3 ? "Dayton" : "Akron"},
                                        {"SamplingUnit", obs % 2 ? 7 : 8}});
        db().exec("INSERT INTO tblSampleLog VALUES ('2026-12-01 10:00:00', 42, 5, 2, 5)");
        ui.passphrase = kPassphrase;
    }

    QString makePackOf(const PackSelection& selection, const QString& name = "a.orvpack") {
        const QString path = dir.file(name);
        makePack(db(), {selection, QStringLiteral("Ann Lee"), path}, ui);
        return path;
    }
    static PackSelection obsOf(QStringList obs) {
        PackSelection s;
        s.kind = PackSelection::Kind::Obs;
        s.obs = std::move(obs);
        return s;
    }
    Database openPack(const QString& path) {
        std::optional<SealKey> key;
        return openSealedPack(path, kPassphrase, key);
    }
    static std::set<qint64> obsIn(Database& db) {
        std::set<qint64> out;
        Statement st = db.prepare("SELECT obs FROM tblsample");
        while (st.step())
            out.insert(st.int64(0));
        return out;
    }
    // Sets one worksheet column of a sample row, as a save would.
    static void set(Database& db, qint64 row, const QString& column, const QVariant& value) {
        db.execute(QStringLiteral("UPDATE tblsample SET \"%1\" = ? WHERE rowid = ?")
                       .arg(column)
                       .toStdString(),
                   {value, row});
    }
    QVariant stored(qint64 row, const QString& column) {
        return db().scalar(QStringLiteral("SELECT \"%1\" FROM tblsample WHERE rowid = ?")
                               .arg(column)
                               .toStdString(),
                           {row});
    }

    std::map<int, qint64> rows;
};

TEST_F(FieldWork, APackHoldsTheChosenRecordsAndTheRunSealed) {
    struct Case {
        const char* name;
        PackSelection selection;
        std::set<qint64> obs;
    };
    PackSelection office{PackSelection::Kind::Office, {}, QStringLiteral("akron")};
    PackSelection unit{PackSelection::Kind::Unit, {}, {}, 8};
    const Case cases[] = {
        {"by OBS", obsOf({"2", " 4"}), {2, 4}},
        {"by office, in any case", office, {4, 5}},
        {"by sampling unit", unit, {2, 4}},
        {"the whole sample", PackSelection{}, {1, 2, 3, 4, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = makePackOf(c.selection);
        EXPECT_EQ(readFile(path).indexOf("100000002"), -1) << "an SSN shows in the file";
        Database pack = openPack(path);
        EXPECT_EQ(obsIn(pack), c.obs);
        EXPECT_EQ(pack.scalar("SELECT count(*) FROM tblORVmaster").toLongLong(),
                  qint64(c.obs.size()));
        // The worksheet finds a record by the main database's row.
        for (qint64 obs : c.obs)
            EXPECT_EQ(pack.scalar("SELECT obs FROM tblsample WHERE rowid = ?", {rows[int(obs)]})
                          .toLongLong(),
                      obs);
        const std::optional<PackInfo> info = readPackInfo(pack);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->records, qint64(c.obs.size()));
        EXPECT_EQ(info->validator, QStringLiteral("Ann Lee"));
        EXPECT_EQ(info->sampleSeed.toLongLong(), 42);
        EXPECT_EQ(info->sampleDrawnAt, QStringLiteral("2026-12-01 10:00:00"));
        EXPECT_TRUE(info->title().startsWith(
            QStringLiteral("Field pack: %1 records, made ").arg(c.obs.size())));
    }
    // Nothing chosen, no pack; no passphrase or a short one, no pack.
    const std::pair<std::function<void()>, QString> refusals[] = {
        {[&] { makePackOf(obsOf({"99"}), "none.orvpack"); },
         QStringLiteral("No sampled record is of OBS 99: no pack was made.")},
        {[&] {
             ui.passphrase.reset();
             makePackOf(obsOf({"1"}), "none.orvpack");
         },
         QStringLiteral("No passphrase was given: no pack was made.")},
        {[&] {
             ui.passphrase = QStringLiteral("short");
             makePackOf(obsOf({"1"}), "none.orvpack");
         },
         QStringLiteral("The passphrase must have at least 8 characters. No pack was made.")},
    };
    for (const auto& [make, text] : refusals) {
        try {
            make();
            ADD_FAILURE() << "made";
        } catch (const Error& e) {
            EXPECT_EQ(e.message(), text);
        }
        EXPECT_FALSE(QFileInfo::exists(dir.file("none.orvpack")));
    }
}

// A pack of records 1-3 changed in the field, the main database changed at the office, and the
// merge's outcome. Columns are named as stored; values as stored.
TEST_F(FieldWork, MergeTable) {
    using Edit = std::tuple<int, const char*, QVariant>; // obs, column, value
    struct Case {
        const char* name;
        std::vector<Edit> inPack;
        std::vector<Edit> inMain;
        std::optional<Prefer> prefer;
        MergeResult::Outcome outcome;
        size_t conflicts;
        std::vector<Edit> after; // in the main database
    };
    using O = MergeResult::Outcome;
    const Case cases[] = {
        {"clean",
         {{1, "VetP/F", 0}, {2, "WrongSSN", 1}, {3, "Comments", "seen"}},
         {},
         std::nullopt,
         O::Merged,
         0,
         {{1, "VetP/F", 0}, {2, "WrongSSN", 1}, {3, "Comments", "seen"}}},
        {"a mark on both sides",
         {{1, "VetP/F", 0}},
         {{1, "VetP/F", 1}},
         std::nullopt,
         O::Conflicts,
         1,
         {{1, "VetP/F", 1}}},
        {"a flag on both sides",
         {{1, "WrongSSN", 1}},
         {{1, "InvalidRecord", 1}},
         std::nullopt,
         O::Conflicts,
         1,
         {{1, "WrongSSN", QVariant()}, {1, "InvalidRecord", 1}}},
        {"a comment on both sides",
         {{1, "Comments", "pack"}},
         {{1, "Comments", "office"}},
         std::nullopt,
         O::Conflicts,
         1,
         {{1, "Comments", "office"}}},
        {"the pack wins the whole record",
         {{1, "VetP/F", 0}, {1, "TRAP/F", 1}},
         {{1, "VetP/F", 1}, {1, "Comments", "office"}},
         Prefer::Pack,
         O::Merged,
         1,
         {{1, "VetP/F", 0}, {1, "TRAP/F", 1}, {1, "Comments", QVariant()}}},
        {"the database wins the whole record",
         {{1, "VetP/F", 0}, {1, "TRAP/F", 1}},
         {{1, "VetP/F", 1}},
         Prefer::Main,
         O::Merged,
         1,
         {{1, "VetP/F", 1}, {1, "TRAP/F", QVariant()}}},
        {"the same change on both sides",
         {{1, "VetP/F", 0}},
         {{1, "VetP/F", 0}},
         std::nullopt,
         O::Merged,
         0,
         {{1, "VetP/F", 0}}},
        {"an office change to a record the pack left",
         {{1, "VetP/F", 0}},
         {{2, "VetP/F", 1}},
         std::nullopt,
         O::Merged,
         0,
         {{1, "VetP/F", 0}, {2, "VetP/F", 1}}},
        {"a record outside the pack",
         {},
         {{5, "VetP/F", 1}},
         std::nullopt,
         O::Merged,
         0,
         {{5, "VetP/F", 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        db().exec("UPDATE tblsample SET \"VetP/F\" = NULL, \"TRAP/F\" = NULL, WrongSSN = NULL, "
                  "InvalidRecord = NULL, Comments = NULL");
        Database pack = openPack(makePackOf(obsOf({"1", "2", "3"})));
        for (const auto& [obs, column, v] : c.inPack)
            set(pack, rows[obs], QString::fromLatin1(column), v);
        for (const auto& [obs, column, v] : c.inMain)
            set(db(), rows[obs], QString::fromLatin1(column), v);
        MergeChoices choices;
        choices.all = c.prefer;
        const MergeResult result = mergePack(db(), pack, choices);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.conflicts.size(), c.conflicts);
        for (const auto& [obs, column, v] : c.after)
            EXPECT_EQ(stored(rows[obs], QString::fromLatin1(column)).toString(), v.toString())
                << obs << " " << column;
        // Merged once, a pack changes nothing more.
        if (c.outcome == O::Merged) {
            set(db(), rows[1], QStringLiteral("Comments"), QStringLiteral("later"));
            const MergeResult again = mergePack(db(), pack, choices);
            EXPECT_EQ(again.outcome, O::AlreadyMerged);
            EXPECT_EQ(again.alreadyMergedText().left(24),
                      QStringLiteral("This pack was merged on "));
            EXPECT_EQ(stored(rows[1], QStringLiteral("Comments")).toString(),
                      QStringLiteral("later"));
        }
    }
}

TEST_F(FieldWork, AConflictListsEveryItemBothSidesHold) {
    Database pack = openPack(makePackOf(obsOf({"1"})));
    set(pack, rows[1], QStringLiteral("VetP/F"), 0);
    set(pack, rows[1], QStringLiteral("Comments"), QStringLiteral("pack"));
    set(db(), rows[1], QStringLiteral("VetP/F"), 1);
    const MergeResult result = mergePack(db(), pack, {});
    ASSERT_EQ(result.conflicts.size(), 1u);
    const MergeConflict& c = result.conflicts.front();
    EXPECT_EQ(c.obs, QStringLiteral("1"));
    EXPECT_EQ(c.ssn, QStringLiteral("100000001"));
    ASSERT_EQ(c.items.size(), 2u);
    EXPECT_EQ(c.items[0].item, QString::fromLatin1(kDataElements[0].worksheetName));
    EXPECT_EQ((QStringList{c.items[0].atPack, c.items[0].inMain, c.items[0].inPack}),
              (QStringList{"", "Fail", "Pass"}));
    EXPECT_EQ((QStringList{c.items[1].item, c.items[1].inMain, c.items[1].inPack}),
              (QStringList{"Comments", "", "pack"}));
    // A choice for the record settles it, whatever the choice for all.
    MergeChoices choices;
    choices.all = Prefer::Main;
    choices.records[rows[1]] = Prefer::Pack;
    EXPECT_EQ(mergePack(db(), pack, choices).outcome, MergeResult::Outcome::Merged);
    EXPECT_EQ(stored(rows[1], QStringLiteral("VetP/F")).toInt(), 0);
}

TEST_F(FieldWork, APackOfAnotherRunIsRefused) {
    const std::pair<const char*, std::function<void()>> runs[] = {
        {"a new draw", [&] { db().exec("INSERT INTO tblSampleLog VALUES ('x', 43, 5, 2, 5)"); }},
        {"another record in the row", [&] { set(db(), rows[1], QStringLiteral("obs"), 77); }},
    };
    for (const auto& [name, change] : runs) {
        SCOPED_TRACE(name);
        Database pack = openPack(makePackOf(obsOf({"1"})));
        set(pack, rows[1], QStringLiteral("VetP/F"), 0);
        change();
        try {
            static_cast<void>(mergePack(db(), pack, {}));
            ADD_FAILURE() << "merged";
        } catch (const Error& e) {
            EXPECT_EQ(e.message(), kOtherRun);
        }
    }
}

// Two validators' packs of different records end the same whichever is merged first.
TEST_F(FieldWork, DisjointPacksMergeInEitherOrder) {
    auto finalMarks = [&](bool firstA) {
        db().exec("UPDATE tblsample SET \"VetP/F\" = NULL, Comments = NULL");
        Database a = openPack(makePackOf(obsOf({"1", "2"}), "a.orvpack"));
        Database b = openPack(makePackOf(obsOf({"3", "4"}), "b.orvpack"));
        set(a, rows[1], QStringLiteral("VetP/F"), 0);
        set(a, rows[2], QStringLiteral("Comments"), QStringLiteral("a"));
        set(b, rows[3], QStringLiteral("VetP/F"), 1);
        set(b, rows[4], QStringLiteral("WrongSSN"), 1);
        for (Database* pack : firstA ? std::vector{&a, &b} : std::vector{&b, &a})
            EXPECT_EQ(mergePack(db(), *pack, {}).outcome, MergeResult::Outcome::Merged);
        QStringList all;
        Statement st = db().prepare("SELECT obs, \"VetP/F\", Comments, WrongSSN, chk FROM "
                                    "tblsample ORDER BY obs");
        while (st.step())
            all << QStringLiteral("%1|%2|%3|%4|%5")
                       .arg(st.text(0), st.text(1), st.text(2), st.text(3), st.text(4));
        return all;
    };
    const QStringList ab = finalMarks(true);
    EXPECT_EQ(ab, finalMarks(false));
    EXPECT_EQ(ab.at(0), QStringLiteral("1|0|||"));
    EXPECT_EQ(ab.at(3), QStringLiteral("4|||1|"));
}

// A pack opened in the session is saved to its file sealed; a save that cannot be written
// leaves the pack as last written.
TEST_F(FieldWork, ASessionSealsThePackItWorksIn) {
    const QString path = makePackOf(obsOf({"1", "2"}));
    ui.passphrase.reset();
    EXPECT_THROW(session->openDatabaseConnection(path), DbError);
    ui.passphrase = QStringLiteral("wrong passphrase");
    try {
        session->openDatabaseConnection(path);
        ADD_FAILURE() << "opened";
    } catch (const DbError& e) {
        EXPECT_EQ(e.message(), kSealRefused);
    }
    EXPECT_FALSE(session->isOpen());
    ui.passphrase = kPassphrase;
    ASSERT_NO_THROW(session->openDatabaseConnection(path));
    ASSERT_TRUE(session->isPack());
    EXPECT_EQ(session->pack()->records, 2);
    set(db(), rows[1], QStringLiteral("VetP/F"), 0);
    session->saveWork();
    EXPECT_EQ(readFile(path).indexOf("100000001"), -1);
    EXPECT_EQ(openPack(path).scalar("SELECT \"VetP/F\" FROM tblsample WHERE rowid = ?", {rows[1]}),
              QVariant(0));

    set(db(), rows[2], QStringLiteral("VetP/F"), 1);
    files::setWriteFault([](const QString&, bool) { return ENOSPC; });
    EXPECT_THROW(session->saveWork(), DbError);
    files::setWriteFault({});
    EXPECT_TRUE(stored(rows[2], QStringLiteral("VetP/F")).isNull());
    EXPECT_EQ(stored(rows[1], QStringLiteral("VetP/F")), QVariant(0));
}

} // namespace
} // namespace orv::test

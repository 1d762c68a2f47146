#include "WorksheetFixture.h"

#include "MergeConflictsScreen.h"

#include "fieldwork/Pack.h"
#include "session/FieldPack.h"

#include <QComboBox>
#include <QDir>
#include <QTableWidget>

namespace orv::test {
namespace {

const QString kPassphrase = QStringLiteral("secret123");

class FieldWorkTest : public WorksheetTest {
protected:
    void SetUp() override {
        WorksheetTest::SetUp();
        Statement rows = session().db().prepare("SELECT obs, rowid FROM tblsample ORDER BY rowid");
        while (rows.step())
            records.emplace_back(rows.text(0), rows.int64(1));
        ASSERT_GE(records.size(), 2u);
        std::tie(obs, rowId) = records[0];
    }

    // File > Open, the passphrase typed.
    void openFile(const QString& path, const QString& passphrase = kPassphrase) {
        fe().setNextFileName(path);
        fe().setNextPassphrase(passphrase);
        menu("mnuFile", 1)->trigger();
    }
    // A pack of the record at hand, made as the batch program makes it.
    QString packRecord() {
        PackRequest request;
        request.selection.kind = PackSelection::Kind::Obs;
        request.selection.obs = {obs};
        request.validator = QStringLiteral("Ann Lee");
        request.path = dir.file(QStringLiteral("ann.orvpack"));
        fe().setNextPassphrase(kPassphrase);
        fe().setNextPassphrase(kPassphrase);
        static_cast<void>(makePack(session().db(), request, fe()));
        return request.path;
    }
    // The first line of the record at hand marked in a database and saved.
    void markFirstLine(Database& db, Mark mark) {
        std::optional<Worksheet> w = Worksheet::load(db, rowId);
        ASSERT_TRUE(w);
        mark == Mark::Pass ? w->clickPass(0) : w->clickFail(0);
        w->save(db, QStringLiteral("screen"));
    }
    Mark firstMark() { return markFromValue(mark(rowId, 0)); }

    std::vector<std::pair<QString, qint64>> records; // OBS and row, in the sample's order
    // The record at hand.
    QString obs;
    qint64 rowId = 0;
};

struct EntryState {
    const char* array;
    int index;
    bool inPack;
};
// The validators' workflow stays; the rest says why it is off.
const EntryState kEntries[] = {
    {"mnuFile", 0, false},      {"mnuFile", 1, true},        {"mnuFile", 2, false},
    {"mnuFile", 4, false},      {"mnuFile", 6, true},        {"mnuImpDat", 0, false},
    {"mnuImpDat", 10, false},   {"mnuCPop", 1, false},       {"mnuRptVal", 0, false},
    {"mnuRptVal", 1, false},    {"mnuRptVal", 3, false},     {"mnuwks1", 0, true},
    {"mnuwks1", 1, true},       {"mnuwks1", 2, false},       {"mnuwks1", 3, false},
    {"mnuwks1", 5, false},      {"mnuwks1", 7, false},       {"mnuFieldWork", -1, false},
    {"mnuMakePack", -1, false}, {"mnuMergePack", -1, false}, {"mnuUtilities", 0, false},
    {"mnuUtilities", 1, false}, {"custds", 0, true},         {"mnuHelpHelp", 0, true},
};

TEST_F(FieldWorkTest, APackIsMadeFromTheMenuOpenedAndWorkedIn) {
    const QString pack = dir.file(QStringLiteral("ann.orvpack"));
    menu("mnuMakePack", -1)->trigger();
    ASSERT_TRUE(screen("frmMakePack"));
    type(control<QLineEdit>("frmMakePack", "txtObs"), obs);
    type(control<QLineEdit>("frmMakePack", "txtValidator"), QStringLiteral("Ann Lee"));
    EXPECT_EQ(
        control<QLineEdit>("frmMakePack", "txtFile")->text(),
        QDir::toNativeSeparators(dir.file(
            QStringLiteral("Ann Lee-%1.orvpack").arg(QDate::currentDate().toString(Qt::ISODate)))));
    type(control<QLineEdit>("frmMakePack", "txtFile"), pack);
    // Mistyped the second time: asked again.
    for (const char* typed : {"secret123", "secret124", "secret123", "secret123"})
        fe().setNextPassphrase(QString::fromLatin1(typed));
    QTest::keyClick(control<QLineEdit>("frmMakePack", "txtFile"), Qt::Key_Return);
    EXPECT_EQ(screen("frmMakePack"), nullptr);
    ASSERT_EQ(fe().messages().size(), 2);
    EXPECT_EQ(fe().messages()[0].text, "The two passphrases are not the same. Type it again.");
    EXPECT_TRUE(fe().messages()[1].text.startsWith(
        QStringLiteral("The field pack %1 was written: Field pack: 1 record, made ")
            .arg(QDir::toNativeSeparators(pack))));

    fe().clearRecords();
    openFile(pack, QStringLiteral("wrong-passphrase"));
    EXPECT_TRUE(fe().lastMessage().contains("The passphrase is wrong or the pack is damaged."));
    EXPECT_FALSE(session().isOpen());

    openFile(pack);
    ASSERT_TRUE(session().isPack());
    EXPECT_TRUE(window->windowTitle().endsWith(" - " + session().pack()->title()));
    EXPECT_EQ(screen("U003"), nullptr) << "a pack has no sign-in";
    ASSERT_TRUE(list());
    EXPECT_EQ(list()->model()->rowCount(), 1);
    for (const EntryState& e : kEntries) {
        QAction* a = menu(e.array, e.index);
        EXPECT_EQ(a->isEnabled(), e.inPack) << e.array << e.index;
        EXPECT_EQ(a->toolTip() == kNotInPack, !e.inPack) << e.array << e.index;
    }
    for (const char* button : {"cmdExportExcel", "cmdExportCsv"})
        EXPECT_FALSE(control<QPushButton>("U010", button)->isEnabled()) << button;
    menu("mnuwks1", 1)->trigger();
    EXPECT_TRUE(reportLines().join('\n').contains(obs)) << "the pack's worksheets print";
    window->closeForm(viewer());

    // Marked by keyboard and saved: the pack's file holds it.
    doubleClickRow(0);
    ASSERT_TRUE(worksheet());
    key(Qt::Key_F);
    key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(worksheet(), nullptr);
    openFile(pack);
    ASSERT_TRUE(session().isPack());
    EXPECT_EQ(firstMark(), Mark::Fail);

    // A database again: signed in, everything back.
    fe().setNextFileName(dir.file(QStringLiteral("run.mdb")));
    menu("mnuFile", 1)->trigger();
    EXPECT_FALSE(session().isPack());
    EXPECT_FALSE(window->windowTitle().contains("Field pack"));
    type(control<QLineEdit>("U003", "txtFiscalYear"), "2008");
    QTest::mouseClick(control<QWidget>("U003", "cmdsignin"), Qt::LeftButton);
    for (const EntryState& e : kEntries) {
        EXPECT_TRUE(menu(e.array, e.index)->isEnabled()) << e.array << e.index;
        EXPECT_NE(menu(e.array, e.index)->toolTip(), kNotInPack) << e.array << e.index;
    }
}

// The record was failed in the pack and passed at the office meanwhile: the user picks the winner.
TEST_F(FieldWorkTest, AConflictIsSettledEitherWay) {
    const struct {
        int record;
        int keyDowns; // in the record's choice box
        Mark winner;
        const char* merged;
    } cases[] = {{0, 1, Mark::Fail, "Merged: 1 record changed."},
                 {1, 2, Mark::Pass, "Merged: 0 records changed."}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keyDowns);
        std::tie(obs, rowId) = records[size_t(c.record)];
        const QString pack = packRecord();
        {
            std::optional<SealKey> key;
            Database packDb = openSealedPack(pack, kPassphrase, key);
            markFirstLine(packDb, Mark::Fail);
            writeSealedPack(packDb, *key, pack);
        }
        markFirstLine(session().db(), Mark::Pass);
        openList();
        auto mergePack = [&] {
            fe().clearRecords();
            fe().setNextFileName(pack);
            fe().setNextPassphrase(kPassphrase);
            menu("mnuMergePack", -1)->trigger();
        };
        mergePack();
        auto* conflicts = qobject_cast<ui::MergeConflictsScreen*>(screen("frmMergeConflicts"));
        ASSERT_TRUE(conflicts);
        EXPECT_EQ(conflicts->table()->item(0, 0)->text(), obs);
        auto* merge = control<QPushButton>("frmMergeConflicts", "cmdMerge");
        EXPECT_FALSE(merge->isEnabled()) << "no choice yet";

        const QString csv = dir.file(QStringLiteral("conflicts.csv"));
        fe().setNextFileName(csv);
        conflicts->findChild<QAction*>("actExportCsv")->trigger();
        const QStringList lines = csvLines(csv);
        ASSERT_EQ(lines.size(), 2);
        EXPECT_EQ(lines[0], "OBS,SSN,Element,At pack time,In the database,In the pack,Keep");

        auto* choice = control<QComboBox>("frmMergeConflicts", "cboKeep(0)");
        choice->setFocus();
        for (int i = 0; i < c.keyDowns; ++i)
            QTest::keyClick(choice, Qt::Key_Down);
        ASSERT_TRUE(merge->isEnabled());
        fe().clearRecords();
        QTest::mouseClick(merge, Qt::LeftButton);
        EXPECT_EQ(fe().lastMessage(), c.merged);
        EXPECT_EQ(screen("frmMergeConflicts"), nullptr);
        EXPECT_EQ(firstMark(), c.winner);
        ui::SampleListModel* shown = list()->model();
        int row = 0;
        while (row < shown->rowCount() && shown->rowId(row) != rowId)
            ++row;
        EXPECT_EQ(Mark(shown->index(row, 4).data(ui::SampleListModel::MarkRole).toInt()), c.winner)
            << "the list shows the winner";
        mergePack();
        EXPECT_TRUE(fe().lastMessage().startsWith("This pack was merged on "));
    }
}

} // namespace
} // namespace orv::test

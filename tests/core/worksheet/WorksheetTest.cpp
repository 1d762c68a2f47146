#include "WorksheetFixture.h"

#include "worksheet/History.h"
#include "worksheet/Worksheet.h"

#include <QRegularExpression>
#include <QSysInfo>

#include <functional>

using namespace orv;
using namespace orv::test;

namespace {

using Actions = std::function<void(Worksheet&, ScriptedFrontEnd&)>;

void markAllEnabled(Worksheet& w, ScriptedFrontEnd&) {
    for (int i = 0; i < kElementCount; ++i)
        w.clickPass(i);
}

QString enabledLines(const Worksheet& w) {
    QString s;
    for (int i = 0; i < kElementCount; ++i)
        s += w.line(i).enabled ? QLatin1Char('1') : QLatin1Char('0');
    return s;
}

QString flagsOf(const Worksheet& w) {
    QString s;
    for (ExceptionFlag f : kExceptionFlags)
        s += w.flag(f) ? QLatin1Char('1') : QLatin1Char('0');
    return s;
}

class WorksheetRules : public WorksheetTest {
protected:
    Worksheet open(qint64 rowId) {
        std::optional<Worksheet> w = Worksheet::load(db(), rowId);
        EXPECT_TRUE(w);
        return *w;
    }
};

// Clicks a flag, answering the question it may ask with ok.
Actions flag(ExceptionFlag f, bool ok = true) {
    return [f, ok](Worksheet& w, ScriptedFrontEnd& ui) {
        ui.answer(kDeleteResultsQuestion, ok);
        w.clickFlag(f, ui);
    };
}

Actions then(Actions first, Actions second) {
    return [=](Worksheet& w, ScriptedFrontEnd& ui) {
        first(w, ui);
        second(w, ui);
    };
}

Actions markAllBut(int line, Mark m = Mark::Pass) {
    return [=](Worksheet& w, ScriptedFrontEnd&) {
        for (int i = 0; i < kElementCount; ++i)
            if (i != line)
                m == Mark::Pass ? w.clickPass(i) : w.clickFail(i);
    };
}

void nothing(Worksheet&, ScriptedFrontEnd&) {}

TEST_F(WorksheetRules, SaveStoresMarksFlagsAndCompletion) {
    using F = ExceptionFlag;
    struct Case {
        const char* name;
        Columns row;
        Actions act;
        // Stored after the save: the marks a line, the flags (WrongSSN, InvalidRecord,
        // UnableToLocate, MissingRecord), then chk.
        const char* stored;
    };
    // clang-format off
    const Case cases[] = {
        {"every enabled line marked, the empty one disabled",
         {{"EnterTrainDate", QVariant()}}, markAllEnabled, "PPPP.PPPPPPPPPPPP 0000 Yes"},
        {"one enabled line unmarked", {}, markAllBut(0, Mark::Fail), ".FFFFFFFFFFFFFFFF 0000 No"},
        {"an empty earning stays markable and must be marked",
         {{"Earn1QTRAfterExit", QVariant()}}, markAllBut(14), "PPPPPPPPPPPPPP.PP 0000 No"},
        {"elements 12 and 13 empty: 12 disabled, 13 markable and must be marked",
         {{"Empqtr+3", QVariant()}, {"Earn3QTRPriorToParticipation", QVariant()}}, markAllBut(12),
         "PPPPPPPPPPP..PPPP 0000 No"},
        {"unable to locate with nothing marked",
         marksColumns("PF"), flag(F::UnableToLocate), "................. 0010 Yes"},
        {"invalid record answered Cancel keeps the marks, clears wrong SSN",
         {{"WrongSSN", 1}, {"VetP/F", 1}}, flag(F::InvalidRecord, false),
         "F................ 0000 No"},
        {"wrong SSN alone completes nothing", {}, flag(F::WrongSsn), "................. 1000 No"},
        {"wrong SSN with every line marked",
         {}, then(flag(F::WrongSsn), markAllEnabled), "PPPPPPPPPPPPPPPPP 1000 Yes"},
        {"missing record stored: every line disabled, done",
         {{"MissingRecord", 1}}, nothing, "................. 0001 Yes"},
        {"missing record stored, stored marks kept on disabled lines",
         {{"MissingRecord", 1}, {"VetP/F", 0}},
         [](Worksheet& w, ScriptedFrontEnd&) { w.clickFail(0); }, "P................ 0001 Yes"},
        {"missing record stored, then wrong SSN: the lines are to be marked again",
         {{"MissingRecord", 1}}, flag(F::WrongSsn), "................. 1000 No"},
        {"invalid record, then wrong SSN, then every line marked",
         {}, then(then(flag(F::InvalidRecord), flag(F::WrongSsn)), markAllEnabled),
         "PPPPPPPPPPPPPPPPP 1000 Yes"},
        {"a flag stored as -1 counts as set",
         {{"InvalidRecord", -1}}, nothing, "................. 0100 Yes"},
        {"clicking a set flag off asks nothing",
         {{"InvalidRecord", 1}}, then(flag(F::InvalidRecord, false), markAllEnabled),
         "PPPPPPPPPPPPPPPPP 0000 Yes"},
    };
    // clang-format on
    int obs = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui.answers.clear();
        ui.asked.clear();
        const qint64 id = addSample(obs++, c.row);
        Worksheet w = open(id);
        c.act(w, ui);
        w.save(db(), "batch");
        const QString chk = value("SELECT chk FROM tblsample WHERE rowid = ?", {id}).toString();
        EXPECT_EQ(storedMarks(id) + ' ' + flagsOf(open(id)) + ' ' + chk, c.stored);
        for (const QString& q : ui.asked)
            EXPECT_EQ(q, kDeleteResultsQuestion);
    }
}

// Each save appends what changed in the stored row, item by item, under its source; what did not
// change, chk and an emptied comments box write nothing.
TEST_F(WorksheetRules, SaveAppendsTheChangesToTheHistory) {
    using F = ExceptionFlag;
    auto act = [](std::function<void(Worksheet&)> f) {
        return [f](Worksheet& w, ScriptedFrontEnd&) { f(w); };
    };
    struct Case {
        const char* name;
        Columns row;
        Actions act;
        const char* source;
        const char* history; // Item:old>new, '.' for Null
    };
    // clang-format off
    const Case cases[] = {
        {"a mark set", {}, act([](Worksheet& w) { w.clickFail(0); }), "screen", "VetP/F:.>F"},
        {"a mark changed, another cleared", marksColumns("PF"),
         act([](Worksheet& w) { w.clickFail(0); w.clickFail(1); }), "batch",
         "VetP/F:P>F DislocDateP/F:F>."},
        {"a flag set", {}, flag(F::WrongSsn), "screen", "WrongSSN:0>1"},
        {"a flag that clears the marks and another flag", marksColumns("P", {{"WrongSSN", 1}}),
         flag(F::InvalidRecord), "pack 7f3a (Ann Lee)",
         "VetP/F:P>. WrongSSN:1>0 InvalidRecord:0>1"},
        {"a comment typed", {}, act([](Worksheet& w) { w.setComments("It's new"); }), "batch",
         "Comments:.>It's new"},
        {"an emptied box keeps the comment", {{"Comments", "old"}},
         act([](Worksheet& w) { w.setComments(QString()); }), "screen", ""},
        {"a comment cleared", {{"Comments", "old"}},
         act([](Worksheet& w) { w.clearComments(); }), "screen", "Comments:old>."},
        {"nothing changed", marksColumns("PF", {{"chk", "No"}}), nothing, "batch", ""},
    };
    // clang-format on
    const QRegularExpression utc(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ$"));
    int obs = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui.answer(kDeleteResultsQuestion, true);
        const qint64 id = addSample(obs, c.row);
        Worksheet w = open(id);
        c.act(w, ui);
        w.save(db(), c.source);
        QStringList items;
        for (const HistoryRow& r : readHistory(db(), obs)) {
            const QString none = QStringLiteral(".");
            items << r.item + ':' + (r.oldValue.isNull() ? none : r.oldValue) + '>' +
                         (r.newValue.isNull() ? none : r.newValue);
            EXPECT_EQ(QStringList({r.source, r.obs, r.ssn, r.osUser, r.host}),
                      QStringList({c.source, QString::number(obs), QString::number(100000000 + obs),
                                   osUserName(), QSysInfo::machineHostName()}));
            EXPECT_TRUE(utc.match(r.changedAt).hasMatch()) << r.changedAt.toStdString();
        }
        EXPECT_EQ(items.join(' '), c.history);
        ++obs;
    }
    EXPECT_FALSE(osUserName().isEmpty());
    EXPECT_EQ(readHistory(db()).size(), 9u);

    // The history and the row are written together or not at all.
    const qint64 id = addSample(obs);
    Worksheet w = open(id);
    w.clickPass(0);
    db().exec("ALTER TABLE tblHistory RENAME TO tblHistoryAway");
    EXPECT_THROW(w.save(db(), "screen"), DbError);
    db().exec("ALTER TABLE tblHistoryAway RENAME TO tblHistory");
    EXPECT_EQ(storedMarks(id), ".................");
    db().exec("DELETE FROM tblsample");
    EXPECT_THROW(w.save(db(), "screen"), DbError);
    EXPECT_EQ(readHistory(db()).size(), 9u);
}

TEST_F(WorksheetRules, PassAndFailAreExclusiveAndToggle) {
    Worksheet w = open(addSample(1, {{"DislocDate", QVariant()}}));
    w.clickPass(0);
    EXPECT_EQ(w.line(0).mark, Mark::Pass);
    w.clickFail(0);
    EXPECT_EQ(w.line(0).mark, Mark::Fail);
    w.clickFail(0);
    EXPECT_EQ(w.line(0).mark, Mark::None);
    w.clickPass(0);
    w.clickPass(0);
    EXPECT_EQ(w.line(0).mark, Mark::None);
    w.setMark(2, Mark::Fail);
    w.setMark(2, Mark::Fail);
    EXPECT_EQ(w.line(2).mark, Mark::Fail);
    // A disabled line takes no mark, by click or key.
    EXPECT_FALSE(w.line(1).enabled);
    w.clickPass(1);
    w.setMark(1, Mark::Fail);
    EXPECT_EQ(w.line(1).mark, Mark::None);
    EXPECT_TRUE(w.isDone(1));
    EXPECT_EQ(w.doneCount(), 2);
    EXPECT_TRUE(w.isModified());
}

TEST_F(WorksheetRules, FlagsDecideWhichLinesAreEnabled) {
    const QString all(17, QLatin1Char('1'));
    const QString none(17, QLatin1Char('0'));
    // Element 5 and element 15 reported empty.
    const Columns gaps = {{"EnterTrainDate", QVariant()}, {"Earn1QTRAfterExit", QVariant()}};
    const QString byValue = QStringLiteral("11110111111111011");
    const QString atLoad = QStringLiteral("11110111111111111");
    struct Step {
        ExceptionFlag flag;
        bool ok;
        const char* flags;
        QString lines;
    };
    struct Case {
        const char* name;
        Columns stored;
        QString linesAtLoad;
        std::vector<Step> steps;
    };
    auto with = [&](Columns c) {
        c.insert(c.end(), gaps.begin(), gaps.end());
        return c;
    };
    using F = ExceptionFlag;
    // clang-format off
    const Case cases[] = {
        {"missing record at load, then off", with({{"MissingRecord", 1}}), none,
         {{F::MissingRecord, true, "0000", byValue}}},
        {"invalid record at load opens as unflagged; off and on again",
         with({{"InvalidRecord", 1}}), atLoad,
         {{F::InvalidRecord, true, "0000", byValue}, {F::InvalidRecord, true, "0100", none}}},
        {"unable to locate cancelled still re-enables by value", with({}), atLoad,
         {{F::UnableToLocate, false, "0000", byValue}}},
        {"flags are exclusive; wrong SSN clearing missing record brings the lines back",
         with({{"MissingRecord", 1}}), none,
         {{F::WrongSsn, true, "1000", byValue}, {F::UnableToLocate, true, "0010", none},
          {F::WrongSsn, true, "1000", byValue}, {F::MissingRecord, true, "0001", none},
          {F::MissingRecord, true, "0000", byValue}}},
        {"wrong SSN with no other flag leaves the lines as loaded", with({}), atLoad,
         {{F::WrongSsn, true, "1000", atLoad}, {F::WrongSsn, true, "0000", atLoad}}},
        {"everything reported: all lines back", {{"MissingRecord", 1}}, none,
         {{F::MissingRecord, true, "0000", all}}},
    };
    // clang-format on
    int obs = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Worksheet w = open(addSample(obs++, c.stored));
        EXPECT_EQ(enabledLines(w), c.linesAtLoad);
        for (const Step& s : c.steps) {
            ui.answer(kDeleteResultsQuestion, s.ok);
            w.clickPass(0);
            w.clickFlag(s.flag, ui);
            EXPECT_EQ(flagsOf(w), QString::fromLatin1(s.flags));
            EXPECT_EQ(enabledLines(w), s.lines);
            if (s.lines == none) {
                EXPECT_EQ(w.line(0).mark, Mark::None);
            }
        }
    }
}

TEST_F(WorksheetRules, HeaderCommentsAndKey) {
    const qint64 first = addSample(5, {{"SamplingUnit", 999999},
                                       {"Comments", "old note"},
                                       {"WibName", "WIB A"},
                                       {"OfficeName", "Office A"},
                                       {"UserId", "U1"},
                                       {"chk", "Yes"}});
    // Another sampled record with the same OBS and SSN: saving one leaves the other alone.
    const qint64 twin = addSample(5, {{"randno", 4242}, {"VetP/F", 1}});
    Worksheet w = open(first);
    EXPECT_EQ(
        QStringList({w.obs(), w.ssn(), w.samplingUnit(), w.wibName(), w.officeName(), w.userId(),
                     w.statusText(), w.comments()}),
        QStringList({"5", "100000005", "", "WIB A", "Office A", "U1", "Completed", "old note"}));
    EXPECT_EQ(QStringList({w.line(7).label, w.line(9).label, w.line(11).label}),
              QStringList({"8. BasicTRA", "10. ExitDate", "12. EmpQtr+3"}));

    // An emptied box keeps the stored comment; any text is stored as typed.
    w.setComments(QString());
    w.save(db(), "batch");
    EXPECT_EQ(value("SELECT Comments FROM tblsample WHERE rowid = ?", {first}), "old note");
    w.setComments("It's the \"right\" one; -- really\nline two");
    w.save(db(), "batch");
    EXPECT_EQ(open(first).comments(), "It's the \"right\" one; -- really\nline two");
    // Only clearing on purpose removes it.
    Worksheet reopened = open(first);
    reopened.clearComments();
    EXPECT_TRUE(reopened.isModified());
    reopened.save(db(), "batch");
    EXPECT_EQ(value("SELECT Comments FROM tblsample WHERE rowid = ?", {first}), QVariant());
    EXPECT_EQ(storedMarks(twin), "F................");
    EXPECT_EQ(value("SELECT chk FROM tblsample WHERE rowid = ?", {twin}), QVariant());
    EXPECT_EQ(open(twin).statusText(), "Not Completed");

    // A worksheet whose row now holds another record (a new import) saves nothing.
    db().exec("DELETE FROM tblsample");
    addSample(6);
    addSample(7);
    EXPECT_THROW(w.save(db(), "batch"), DbError);
    EXPECT_FALSE(Worksheet::load(db(), 999));
}

} // namespace

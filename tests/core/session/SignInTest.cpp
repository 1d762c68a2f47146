#include "ScriptedFrontEnd.h"
#include "TestSupport.h"

#include "session/DatabaseFiles.h"
#include "session/Session.h"
#include "session/SignIn.h"

#include <gtest/gtest.h>

#include <functional>

using namespace orv;
using test::ScriptedFrontEnd;

namespace {

const QDate kToday(2009, 3, 15);

struct DateCase {
    const char* typed;
    const char* shown; // empty: invalid (the box is emptied)
};

void PrintTo(const DateCase& c, std::ostream* os) {
    *os << '"' << c.typed << '"';
}

class NormalizeDateEntryTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(NormalizeDateEntryTest, TypedDates) {
    const DateCase& c = GetParam();
    QString text = QString::fromUtf8(c.typed);
    const bool invalid = normalizeDateEntry(text, kToday);
    EXPECT_EQ(text.toStdString(), c.shown) << "typed: " << c.typed;
    EXPECT_EQ(invalid, *c.shown == '\0') << "typed: " << c.typed;
}

INSTANTIATE_TEST_SUITE_P(
    Digits, NormalizeDateEntryTest,
    ::testing::Values(DateCase{"07012006", "07/01/2006"}, DateCase{"070106", "07/01/1906"},
                      DateCase{"070100", "07/01/2000"}, DateCase{"070199", "07/01/1999"},
                      DateCase{"0701", "07/01/2009"}, DateCase{"07012", "07/01/2009"},
                      DateCase{"13012006", ""}, DateCase{"00012006", ""}, DateCase{"02302006", ""},
                      DateCase{"02292008", "02/29/2008"}, DateCase{"02292007", ""},
                      DateCase{" 12312006 ", "12/31/2006"}, DateCase{"123", ""},
                      DateCase{"0732", ""}));

INSTANTIATE_TEST_SUITE_P(
    Written, NormalizeDateEntryTest,
    ::testing::Values(DateCase{"7/1/2006", "07/01/2006"}, DateCase{"07/01/2006", "07/01/2006"},
                      DateCase{"7-1-2006", "07/01/2006"}, DateCase{"7.1.2006", "07/01/2006"},
                      DateCase{"7/1/06", "07/01/2006"}, DateCase{"7/1/6", "07/01/2006"},
                      DateCase{"7/1", "07/01/2009"}, DateCase{"2006-07-01", "07/01/2006"},
                      DateCase{"2006-7-1", "07/01/2006"}, DateCase{"July 1, 2006", "07/01/2006"},
                      DateCase{"July 1 2006", "07/01/2006"}, DateCase{"Jul 1, 2006", "07/01/2006"},
                      DateCase{"Jul 1, 06", "07/01/2006"}, DateCase{"1 Jul 2006", "07/01/2006"},
                      DateCase{"1-Jul-2006", "07/01/2006"}, DateCase{"1-jul-06", "07/01/2006"},
                      DateCase{"Sept 30 2006", "09/30/2006"}, DateCase{"Dec 25", "12/25/2009"}));

// A written two-digit year: 00-29 are 2000-2029, 30-99 are 1930-1999. Digits alone keep
// their own rule (00 is 2000, the rest the 1900s).
INSTANTIATE_TEST_SUITE_P(
    ShortYearWindow, NormalizeDateEntryTest,
    ::testing::Values(DateCase{"1/2/00", "01/02/2000"}, DateCase{"1/2/29", "01/02/2029"},
                      DateCase{"1/2/30", "01/02/1930"}, DateCase{"1/2/99", "01/02/1999"},
                      DateCase{"1-2-29", "01/02/2029"}, DateCase{"Jan 2, 30", "01/02/1930"},
                      DateCase{"01022029", "01/02/2029"}, DateCase{"010229", "01/02/1929"},
                      DateCase{"010230", "01/02/1930"}, DateCase{"010200", "01/02/2000"}));

INSTANTIATE_TEST_SUITE_P(
    Malformed, NormalizeDateEntryTest,
    ::testing::Values(DateCase{"abc", ""}, DateCase{"13/1/2006", ""}, DateCase{"2/30/2006", ""},
                      DateCase{"7/1/206", ""}, DateCase{"7/1/2006/1", ""}, DateCase{"7", ""},
                      DateCase{"1e5", ""}, DateCase{"-0701", ""}, DateCase{"7/1/2006 10:00", ""},
                      DateCase{"Ju 1 2006", ""}, DateCase{"July 2006", ""},
                      DateCase{"July June 1", ""}, DateCase{"07/01/2006'; drop", ""}));

// Leaving a date box: an invalid date is told and emptied, a valid one written in full, an
// empty box left empty.
TEST(SignInRules, DateBoxLeft) {
    const struct {
        const char* typed;
        const char* message;
        const char* after;
    } cases[] = {{"", "", ""},
                 {"13012006", "Please enter a valid date.", ""},
                 {"7/1/2006", "", "07/01/2006"}};
    for (const auto& c : cases) {
        QString text = QString::fromLatin1(c.typed);
        EXPECT_EQ(dateBoxLeft(text, kToday), c.message) << c.typed;
        EXPECT_EQ(text, c.after) << c.typed;
    }
}

// A fiscal year gives the programme year's period; a year that is no number is told and
// emptied, unless a period was typed, which is then emptied instead, without a message.
TEST(SignInRules, FiscalYearSetsTheProgrammeYear) {
    const struct {
        const char* fiscalYear;
        const char* period;
        const char* periodEnd;
        const char* message;
        const char* after; // fiscal year|period|period end
    } cases[] = {
        {"2008", "01/01/2001", "", "", "2008|07/01/2006|06/30/2007"},
        {"", "07/01/2006", "", "", "|07/01/2006|"},
        {"FY08", "", "", "Fiscal Year must be numeric.", "||"},
        {"FY08", "07/01/2006", "06/30/2007", "", "FY08||"},
    };
    for (const auto& c : cases) {
        SignInForm form;
        form.fiscalYear = c.fiscalYear;
        form.period = c.period;
        form.periodEnd = c.periodEnd;
        EXPECT_EQ(applyFiscalYear(form), c.message) << c.fiscalYear;
        EXPECT_EQ(form.fiscalYear + '|' + form.period + '|' + form.periodEnd, c.after)
            << c.fiscalYear;
    }
}

struct CheckCase {
    const char* fiscalYear;
    const char* period;
    const char* periodEnd;
    const char* sample;
    const char* message;
};

void PrintTo(const CheckCase& c, std::ostream* os) {
    *os << c.fiscalYear << "|" << c.period << "|" << c.periodEnd << "|" << c.sample;
}

class CheckSignInTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(CheckSignInTest, Checks) {
    const CheckCase& c = GetParam();
    SignInForm form;
    form.fiscalYear = c.fiscalYear;
    form.period = c.period;
    form.periodEnd = c.periodEnd;
    form.sampleDate = c.sample;
    EXPECT_EQ(checkSignIn(form, kToday).toStdString(), c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CheckSignInTest,
    ::testing::Values(
        CheckCase{"2008", "07/01/2006", "06/30/2007", "", ""},
        CheckCase{"", "07/01/2006", "06/30/2007", "10/01/2007", ""},
        CheckCase{"", "07/01/2006", "06/30/2007", "", "Must enter Dates."},
        CheckCase{"", "", "06/30/2007", "10/01/2007", "Must enter Dates."},
        CheckCase{"2008", "07/01/2006", "", "", "Must enter Dates."},
        CheckCase{"2008", "07/01/2006", "07/01/2006", "", ""},
        CheckCase{"2008", "07/01/2006", "06/30/2006", "",
                  "Invalid Dates -- The Period End Date is before the Period Start Date."},
        // Compared as dates, not as text.
        CheckCase{"2008", "12/01/2005", "02/01/2006", "", ""},
        CheckCase{"2008", "07/01/2006", "13/13/2007", "", "Please enter a valid date."},
        CheckCase{"2008", "07/01/2006", "06/30/2007", "someday", "Please enter a valid date."}));

TEST(SignInRules, PopulationType) {
    EXPECT_EQ(populationType("1- Halvern"), "1");
    EXPECT_EQ(populationType("1-Halvern"), "1");
    EXPECT_EQ(populationType("2"), "2");
}

class SignInDbTest : public test::SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        ASSERT_EQ(createDatabase(*session, dir.file("run.mdb")), FileResult::Opened);
    }

    Database& db() { return session->db(); }
    QVariant stored(const char* column) {
        return db().scalar(QStringLiteral("SELECT %1 FROM tblsystem").arg(column).toStdString());
    }
    void addMaster(int obs, const char* office, const char* wib, const char* caseMgr,
                   const char* exitDate) {
        db().execute("INSERT INTO tblORVmaster (obs, OfficeName, WibName, CaseMgr, fWIAexitdate) "
                     "VALUES (?, ?, ?, ?, ?)",
                     {obs, office, wib, caseMgr, exitDate});
    }
    // The master's records the session's record filter selects.
    int filtered() {
        const RecordFilter& f = session->recordFilter();
        return db()
            .scalar(("SELECT count(*) FROM tblORVMaster WHERE " + f.sql()).toStdString(),
                    f.params())
            .toInt();
    }
    SignInForm form2008() {
        SignInForm form;
        form.fiscalYear = "2008";
        form.period = "07/01/2006";
        form.periodEnd = "06/30/2007";
        form.officeName = " ";
        form.wibName = " ";
        form.caseMgr = " ";
        return form;
    }
};

TEST_F(SignInDbTest, SignInStoresTheSettingsAndOpensTheMenus) {
    SignInForm form = form2008();
    form.sampleDate = "10/01/2007";
    form.officeName = "O'Brien Street";
    const SignInOutcome out = signIn(*session, form, SignInMode::SignIn, kToday);
    ASSERT_TRUE(out.ok) << out.failure.toStdString();
    EXPECT_TRUE(out.showTips); // the template asks for tips

    EXPECT_EQ(db().scalar("SELECT FiscalYear || '|' || Period || '|' || PeriodEnd || '|' || "
                          "ReportingPeriodStart || '|' || ReportingPeriodEnd || '|' || "
                          "SampleStartDate || '|' || OfficeName || '|' || PopType || '|' || "
                          "(SELECT count(*) FROM tblsystem) FROM tblsystem")
                  .toString(),
              "2008|2006-07-01|2007-06-30|2006-07-01|2007-06-30|2007-10-01|O'Brien Street|1|1");
    EXPECT_EQ(ui.signIns, 1);
    EXPECT_EQ(ui.showTips, true);
    const Settings& s = session->settings();
    EXPECT_EQ(s.fiscalYear + s.officeName, "2008O'Brien Street");
    EXPECT_EQ(std::pair(s.reportingPeriodStart, s.reportingPeriodEnd),
              std::pair(QDate(2006, 7, 1), QDate(2007, 6, 30)));
    EXPECT_EQ(ui.period, "Reporting Period - 07/01/2006 - 06/30/2007");
    EXPECT_EQ(ui.filterState, "Filter (ON)");
    EXPECT_EQ(session->recordFilter().text(), "tblORVMaster.OfficeName = 'O'Brien Street' ");
}

// A refused check or a failed update writes nothing and leaves the data menus closed.
TEST_F(SignInDbTest, FailedSignInWritesNothingAndKeepsTheMenus) {
    const struct {
        const char* periodEnd;
        const char* drop;
        const char* told;
    } cases[] = {
        {"06/30/2005", "", "Invalid Dates -- The Period End Date is before the Period Start Date."},
        {"06/30/2007", "DROP TABLE tblsystem", "tblsystem"},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(stored("Period").isNull());
        SignInForm form = form2008();
        form.periodEnd = c.periodEnd;
        if (*c.drop)
            db().exec(c.drop);
        const SignInOutcome out = signIn(*session, form, SignInMode::SignIn, kToday);
        EXPECT_FALSE(out.ok);
        EXPECT_TRUE(out.failure.contains(c.told)) << out.failure.toStdString();
        EXPECT_EQ(ui.signIns, 0);
    }
}

TEST_F(SignInDbTest, RecordFilterSelectsTheFilteredRecordsOfThePeriod) {
    addMaster(1, "North", "W1", "Ann", "2006-07-01");
    addMaster(2, "North", "W1", "Ann", "2007-06-30");
    addMaster(3, "North", "W2", "Ann", "2007-07-01"); // after the period
    addMaster(4, "South", "W1", "Bob", "2006-12-01");
    addMaster(5, "North", "W1", "Bob", "2006-06-30"); // before the period

    ASSERT_TRUE(signIn(*session, form2008(), SignInMode::SignIn, kToday).ok);
    EXPECT_EQ(ui.filterState, "Filter (OFF)");
    EXPECT_TRUE(session->recordFilter().text().isEmpty());
    EXPECT_EQ(filtered(), 3);

    SignInForm form = form2008();
    form.officeName = "north"; // text compares without regard to case
    form.wibName = "W1";
    ASSERT_TRUE(signIn(*session, form, SignInMode::ReportOptions, kToday).ok);
    EXPECT_EQ(filtered(), 2);
}

// Each stored filter a value, a blank, empty or Null, in all 64 combinations: only a value
// filters, and the filter text, the condition, its readable form and the status agree.
TEST_F(SignInDbTest, RecordFilterOfEveryStoredCombination) {
    struct Column {
        QVariant value;
        const char* text;
        const char* sql;
        const char* shown;
    };
    const Column columns[] = {
        {"North", "tblORVMaster.OfficeName = 'North' ", "tblORVMaster.OfficeName = ? and ",
         "tblORVMaster.OfficeName = 'North' and "},
        {"W 1", "tblORVMaster.WibName = 'W 1' ", "tblORVMaster.WibName = ? and ",
         "tblORVMaster.WibName = 'W 1' and "},
        {"O'Neil", "tblORVMaster.CaseMgr = 'O'Neil' ", "tblORVMaster.CaseMgr = ? and ",
         "tblORVMaster.CaseMgr = 'O'Neil' and "},
    };
    const QVariant unset[] = {QString(" "), QString(""), QVariant()};
    Settings settings = session->settings();
    settings.reportingPeriodStart = QDate(2006, 7, 1);
    settings.reportingPeriodEnd = QDate(2007, 6, 30);
    session->useSettings(settings);

    for (int combination = 0; combination < 64; ++combination) {
        QVariantList stored;
        QString text, sql, shown;
        for (int c = 0; c < 3; ++c) {
            const int state = (combination >> (2 * c)) & 3; // 0 the value, else unset[state - 1]
            stored << (state == 0 ? columns[c].value : unset[state - 1]);
            if (state == 0) {
                text += columns[c].text;
                sql += columns[c].sql;
                shown += columns[c].shown;
            }
        }
        db().execute("UPDATE tblsystem SET OfficeName = ?, WibName = ?, CaseMgr = ?", stored);
        buildRecordFilter(*session);

        SCOPED_TRACE(combination);
        EXPECT_EQ(session->recordFilter().text(), text);
        EXPECT_EQ(session->recordFilter().sql(), sql + "fWIAexitdate >= ? and fWIAexitdate <= ?");
        EXPECT_EQ(recordFilterDisplay(session->recordFilter()),
                  shown + "fWIAexitdate >= 07/01/2006 and fWIAexitdate <= 06/30/2007");
        EXPECT_EQ(ui.filterState, text.isEmpty() ? "Filter (OFF)" : "Filter (ON)");
    }
}

TEST_F(SignInDbTest, FailedSaveKeepsThePreviousRecordFilter) {
    addMaster(1, "North", "W1", "Ann", "2006-07-01");
    addMaster(2, "South", "W1", "Ann", "2006-07-01");
    SignInForm north = form2008();
    north.officeName = "North";
    ASSERT_TRUE(signIn(*session, north, SignInMode::SignIn, kToday).ok);
    const QString sql = session->recordFilter().sql();
    const QVariantList params = session->recordFilter().params();
    const QString text = session->recordFilter().text();

    struct Failure {
        const char* what;
        std::function<void(SignInForm&)> spoil;
    };
    const Failure failures[] = {
        {"end before start", [](SignInForm& f) { f.periodEnd = "06/30/2005"; }},
        {"database error",
         [this](SignInForm&) { db().exec("ALTER TABLE tblsystem RENAME TO tblsystem_gone"); }},
    };
    for (const Failure& f : failures) {
        SignInForm south = form2008();
        south.officeName = "South";
        f.spoil(south);
        EXPECT_FALSE(signIn(*session, south, SignInMode::ReportOptions, kToday).ok) << f.what;
        EXPECT_EQ(session->recordFilter().sql(), sql) << f.what;
        EXPECT_EQ(session->recordFilter().params(), params) << f.what;
        EXPECT_EQ(session->recordFilter().text(), text) << f.what;
        EXPECT_EQ(ui.filterState, "Filter (ON)") << f.what;
    }
    db().exec("ALTER TABLE tblsystem_gone RENAME TO tblsystem");
    EXPECT_EQ(filtered(), 1);
}

TEST_F(SignInDbTest, ReportOptionsSaveStoresEveryEmptyFilterAsBlank) {
    addMaster(1, "North", "W1", "Ann", "2006-07-01");
    ASSERT_TRUE(signIn(*session, form2008(), SignInMode::SignIn, kToday).ok);
    SignInForm form = form2008();
    form.officeName = "";
    form.wibName = "";
    form.caseMgr = "";
    ASSERT_TRUE(signIn(*session, form, SignInMode::ReportOptions, kToday).ok);
    EXPECT_EQ(stored("OfficeName || '|' || WibName || '|' || CaseMgr").toString(), " | | ");
    EXPECT_EQ(ui.filterState, "Filter (OFF)");
    EXPECT_EQ(filtered(), 1);
}

TEST_F(SignInDbTest, ReportOptionsSaveLeavesTheMenusAndPopulationAlone) {
    Settings settings = session->settings();
    settings.popType = "1";
    session->useSettings(settings);
    SignInForm form = form2008();
    form.population = "7-Other";
    ASSERT_TRUE(signIn(*session, form, SignInMode::ReportOptions, kToday).ok);
    EXPECT_EQ(stored("PopType").toString(), "1");
    EXPECT_EQ(ui.signIns, 0);
}

TEST_F(SignInDbTest, LoadGlobalsReadsTheMasterColumnsAndFallsBackToThePeriod) {
    db().execute("UPDATE tblsystem SET Period = '2006-07-01', PeriodEnd = '2007-06-30', "
                 "ReportingPeriodStart = NULL, ReportingPeriodEnd = '2007-03-31', "
                 "CaseMgr = NULL, showtips = 0, State = 'MD'");
    loadGlobals(*session, SignInMode::SignIn);
    const Settings& s = session->settings();
    EXPECT_EQ(s.reportingPeriodStart, QDate(2006, 7, 1));
    EXPECT_EQ(s.reportingPeriodEnd, QDate(2007, 3, 31));
    EXPECT_EQ(s.caseMgr, "");
    EXPECT_EQ(s.state, "MD");
    EXPECT_EQ(s.showTips, 0);
    EXPECT_EQ(ui.showTips, false);

    const int columns =
        db().scalar("SELECT count(*) FROM pragma_table_info('tblORVmaster')").toInt();
    EXPECT_EQ(session->masterFieldCount(), columns);
    ASSERT_EQ(session->masterFields().size(), columns);
    EXPECT_EQ(session->masterFields().first().name, "obs");
    QMap<QString, int> types;
    for (const MasterField& f : session->masterFields())
        types[f.name] = f.adoType;
    EXPECT_EQ(QList<int>({types["obs"], types["SSN"], types["Tenure"], types["EmpQTR+1"],
                          types["fWIARegDate"], types["fWIAexitdate"]}),
              QList<int>({3, 202, 5, 3, 7, 7}));

    // Changing report options does not read the columns again.
    session->useMasterFields({});
    loadGlobals(*session, SignInMode::ReportOptions);
    EXPECT_TRUE(session->masterFields().isEmpty());
}

TEST_F(SignInDbTest, ShowSettingsFillsTheBoxesForTheMode) {
    db().execute("UPDATE tblsystem SET FiscalYear = '2008', Period = '2006-07-01', "
                 "PeriodEnd = '2007-06-30', ReportingPeriodStart = '2006-10-01', "
                 "ReportingPeriodEnd = '2006-12-31', SampleStartDate = NULL, "
                 "OfficeName = 'North', WibName = NULL");
    const SignInForm f = showSettings(*session, SignInMode::SignIn);
    EXPECT_EQ(QStringList({f.period, f.periodEnd, f.sampleDate, f.fiscalYear, f.officeName,
                           f.wibName, session->settings().wibName}),
              QStringList({"07/01/2006", "06/30/2007", "", "2008", "North", "", " "}));
    const SignInForm options = showSettings(*session, SignInMode::ReportOptions);
    EXPECT_EQ(options.period + '-' + options.periodEnd, "10/01/2006-12/31/2006");
}

TEST_F(SignInDbTest, FilterListsOfferBlankThenTheMastersValues) {
    FilterLists empty = fillFilterLists(*session);
    EXPECT_TRUE(empty.offices.isEmpty());
    EXPECT_TRUE(empty.caseMgrs.isEmpty());

    addMaster(1, "South", "W1", "Ann", "2006-07-01");
    addMaster(2, "North", "W1", "Ann", "2006-07-01");
    addMaster(3, "North", nullptr, "Bob", "2006-07-01");
    const FilterLists lists = fillFilterLists(*session);
    EXPECT_EQ(lists.offices, QStringList({" ", "North", "South"}));
    EXPECT_EQ(lists.wibNames, QStringList({" ", "W1"}));
    EXPECT_EQ(lists.caseMgrs, QStringList({" ", "Ann", "Bob"}));
}

TEST_F(SignInDbTest, ShowTipsToggle) {
    for (const bool on : {false, true}) {
        setShowTips(*session, on);
        EXPECT_EQ(stored("showtips").toInt(), int(on));
        EXPECT_EQ(ui.showTips, on);
    }
}

TEST_F(SignInDbTest, ExitClearsTheFiltersOfTheCurrentCaseManagerOnly) {
    SignInForm form = form2008();
    form.officeName = "North";
    form.caseMgr = "Ann";
    ASSERT_TRUE(signIn(*session, form, SignInMode::ReportOptions, kToday).ok);

    db().execute("UPDATE tblsystem SET CaseMgr = 'Bob'");
    clearFiltersAtExit(*session);
    EXPECT_FALSE(session->isOpen());
    ASSERT_NO_THROW(session->openDatabaseConnection(dir.file("run.mdb")));
    EXPECT_EQ(stored("OfficeName").toString(), "North");

    db().execute("UPDATE tblsystem SET CaseMgr = 'Ann'");
    clearFiltersAtExit(*session);
    ASSERT_NO_THROW(session->openDatabaseConnection(dir.file("run.mdb")));
    EXPECT_EQ(stored("OfficeName || '|' || WibName || '|' || CaseMgr").toString(), " | | ");
}

TEST_F(SignInDbTest, ExitWithoutAConnectionRunsNothing) {
    session->closeConnection();
    EXPECT_NO_THROW(clearFiltersAtExit(*session));
}

} // namespace

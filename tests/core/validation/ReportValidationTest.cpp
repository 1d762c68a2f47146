// The nine performance measures, and the outcome group summary, against the statements they
// replace.
#include "ValidationFixture.h"

#include "session/SignIn.h"
#include "validation/MasterPager.h"
#include "validation/OutcomeGroupSummary.h"
#include "validation/OutcomeGroups.h"
#include "validation/ReportValidation.h"

#include <cmath>
#include <random>

using namespace orv;

namespace {

const QDate kStart(2006, 7, 1);
const QDate kEnd(2007, 6, 30);

struct Record {
    int group = 1;
    QString exitDate = QStringLiteral("2006-10-15");
    QVariant earn2 = 100.0;
    QVariant earn3 = 50.0;
    QString office = QStringLiteral("Office A");
    QString wib = QStringLiteral("WIB A");
    QString caseMgr = QStringLiteral("Mgr A");
    QString pop = QStringLiteral("1");
};

class ReportValidationTest : public test::ValidationTest {
protected:
    void SetUp() override {
        ValidationTest::SetUp();
        Settings settings = session->settings();
        settings.reportingPeriodStart = kStart;
        settings.reportingPeriodEnd = kEnd;
        session->useSettings(settings);
        session->useRecordFilter(filter());
    }

    static RecordFilter filter(const QString& office = QString(), const QString& wib = QString(),
                               const QString& caseMgr = QString()) {
        RecordFilter f;
        f.officeName = office;
        f.wibName = wib;
        f.caseMgr = caseMgr;
        f.periodStart = kStart;
        f.periodEnd = kEnd;
        return f;
    }

    void add(const Record& r, int times = 1) {
        for (int i = 0; i < times; ++i) {
            ++mObs;
            test::insertMaster(db(), {{"obs", mObs},
                                      {"SSN", QString::number(100000000 + mObs)},
                                      {"spopnum", r.group},
                                      {"subpop", QStringLiteral("1.%1").arg(r.group)},
                                      {"pop", r.pop},
                                      {"fWIAexitdate", r.exitDate},
                                      {"Earn2QTRAfterExit", r.earn2},
                                      {"Earn3QTRAfterExit", r.earn3},
                                      {"OfficeName", r.office},
                                      {"WibName", r.wib},
                                      {"CaseMgr", r.caseMgr}});
        }
    }

    // seq -> value, for the rows tblvalidation holds after the computation.
    std::map<int, QVariant> compute() {
        ComputeReportValidation(*session);
        std::map<int, QVariant> out;
        for (const ValidationRow& r : readValidationRows(db()))
            out[r.seq] = r.value;
        return out;
    }

    int mObs = 0;
};

} // namespace

TEST_F(ReportValidationTest, TenInGroupOneFiveInNineFiveInTwelve) {
    add({1}, 10);
    add({9}, 5);
    add({12}, 5);
    ComputeReportValidation(*session);
    const std::vector<ValidationRow> rows = readValidationRows(db());
    ASSERT_EQ(rows.size(), 9u);
    const QStringList names =
        QStringLiteral("EER Numerator|EER Denominator|EE Rate|Retention Numerator|"
                       "Retention Denominator|Retention Rate|Average Earnings "
                       "Numerator|Average Earnings Denominator|Average Earnings")
            .split('|');
    const double values[] = {15, 20, 75, 10, 15, 10.0 / 15 * 100, 1500, 10, 150};
    for (int i = 0; i < 9; ++i) {
        const ValidationRow& r = rows[static_cast<size_t>(i)];
        EXPECT_EQ(r.seq, i + 1);
        EXPECT_EQ(r.rptcell, QString::number(i + 1));
        EXPECT_EQ(r.description, names[i]);
        EXPECT_DOUBLE_EQ(r.value.toDouble(), values[i]) << names[i].toStdString();
        EXPECT_EQ(r.rtype, "07/01/2006 - 06/30/2007");
    }
    EXPECT_EQ(cellText(rows[5].value), "66.6666666666667");
}

TEST_F(ReportValidationTest, EmptyPeriodGivesZerosAndANullEarningsSum) {
    add({1, QStringLiteral("2005-01-01")}, 3);
    const auto v = compute();
    ASSERT_EQ(v.size(), 9u);
    for (int seq : {1, 2, 3, 4, 5, 6, 8, 9})
        EXPECT_EQ(v.at(seq), QVariant(0.0)) << seq;
    EXPECT_TRUE(v.at(7).isNull());
}

TEST_F(ReportValidationTest, RecordsOutsideThePeriodCountNowhere) {
    add({13, QStringLiteral("2007-07-01")});
    add({13, QStringLiteral("2006-06-30")});
    add({13, QStringLiteral("2007-06-30")}); // the last day counts
    const auto v = compute();
    EXPECT_EQ(v.at(4).toDouble(), 1);
    EXPECT_EQ(v.at(5).toDouble(), 1);
    EXPECT_EQ(v.at(8).toDouble(), 1);
    EXPECT_EQ(v.at(7).toDouble(), 150);
}

TEST_F(ReportValidationTest, EarningsNullCountAsZero) {
    add({1, QStringLiteral("2006-10-15"), 1000.0, QVariant()});
    add({13, QStringLiteral("2006-10-15"), QVariant(), QVariant()});
    const auto v = compute();
    EXPECT_EQ(v.at(7).toDouble(), 1000);
    EXPECT_EQ(v.at(8).toDouble(), 2);
    EXPECT_EQ(v.at(9).toDouble(), 500);
}

TEST_F(ReportValidationTest, EachFilterCountsOnlyItsRecords) {
    add({1}, 2);
    add({1, QStringLiteral("2006-10-15"), 100.0, 50.0, QStringLiteral("Office B")}, 3);
    add({1, QStringLiteral("2006-10-15"), 100.0, 50.0, QStringLiteral("Office A"),
         QStringLiteral("WIB B")},
        4);
    add({1, QStringLiteral("2006-10-15"), 100.0, 50.0, QStringLiteral("Office A"),
         QStringLiteral("WIB A"), QStringLiteral("Mgr B")},
        5);
    struct Case {
        const char* what;
        RecordFilter filter;
        double eerNumerator;
    };
    const Case cases[] = {
        {"none", filter(), 14},
        {"blank filters", filter(" ", " ", " "), 14},
        {"office", filter("Office A"), 11},
        {"office in another case", filter("office b"), 3},
        {"WIB", filter(QString(), "WIB B"), 4},
        {"case manager", filter(QString(), QString(), "Mgr B"), 5},
        {"all three", filter("Office A", "WIB A", "Mgr A"), 2},
        {"no such office", filter("Office Z"), 0},
    };
    for (const Case& c : cases) {
        session->useRecordFilter(c.filter);
        const auto v = compute();
        EXPECT_EQ(v.at(1).toDouble(), c.eerNumerator) << c.what;
        EXPECT_EQ(v.at(8).toDouble(), c.eerNumerator) << c.what;
    }
}

TEST_F(ReportValidationTest, APopulationTypeOtherThanOneHasNoRates) {
    add({1}, 2);
    add({2, QStringLiteral("2006-10-15"), 0.0, 0.0, QStringLiteral("Office A"),
         QStringLiteral("WIB A"), QStringLiteral("Mgr A"), QStringLiteral("2")},
        3);
    db().exec("UPDATE tblsystem SET PopType = '2'");
    const auto v = compute();
    EXPECT_EQ(v.size(), 6u);
    EXPECT_FALSE(v.count(3) || v.count(6) || v.count(9));
    EXPECT_EQ(v.at(1).toDouble(), 3); // the records of population 2 only
    EXPECT_TRUE(v.at(7).isNull());
}

TEST_F(ReportValidationTest, AFailureLeavesTheLastRowsInPlace) {
    add({1}, 2);
    compute();
    db().exec("CREATE TRIGGER fail_row5 BEFORE INSERT ON tblvalidation WHEN NEW.seq = 5 "
              "BEGIN SELECT RAISE(ABORT, 'disk says no'); END");
    add({1}, 2);
    try {
        ComputeReportValidation(*session);
        ADD_FAILURE() << "computed despite the failing row";
    } catch (const DbError& e) {
        EXPECT_EQ(e.message(), "disk says no");
    }
    EXPECT_EQ(count("SELECT count(*) FROM tblvalidation"), 9);
    EXPECT_EQ(value("SELECT value FROM tblvalidation WHERE seq = 1").toDouble(), 2);
}

namespace {

// A master of every group, 0 and a few values no import writes, records in and out of the
// period, of three offices, WIBs and case managers, of population 1 and 2, earnings with Nulls.
void fillVariedMaster(Database& db, int records) {
    std::mt19937 gen(20070630);
    auto pick = [&](int n) { return static_cast<int>(gen() % static_cast<unsigned>(n)); };
    const QVariant dates[] = {QStringLiteral("2006-07-01"), QStringLiteral("2006-12-31"),
                              QStringLiteral("2007-06-30"), QStringLiteral("2006-06-30"),
                              QStringLiteral("2007-07-01"), QVariant()};
    Transaction tx(db);
    for (int i = 1; i <= records; ++i) {
        const int g = pick(30) - 2; // -2 to 27
        auto money = [&]() -> QVariant {
            return pick(5) == 0 ? QVariant() : QVariant(pick(100000) / 100.0);
        };
        test::insertMaster(db, {{"obs", i},
                                {"SSN", QString::number(100000000 + i)},
                                {"spopnum", g},
                                {"pop", pick(6) == 0 ? QStringLiteral("2") : QStringLiteral("1")},
                                {"fWIAexitdate", dates[pick(10) < 7 ? pick(3) : pick(6)]},
                                {"Earn2QTRAfterExit", money()},
                                {"Earn3QTRAfterExit", money()},
                                {"OfficeName", QStringLiteral("Office %1").arg(pick(3))},
                                {"WibName", QStringLiteral("WIB %1").arg(pick(3))},
                                {"CaseMgr", QStringLiteral("Mgr %1").arg(pick(3))}});
    }
    tx.commit();
}

// The measures as nine statements, one per row, in the engine's dialect; each count row by
// itself, each rate from the rows before it.
std::map<int, QVariant> ninestatements(Database& db, const RecordFilter& f) {
    const QString earn = QStringLiteral("sum(CASE WHEN Earn2QTRAfterExit IS NULL THEN 0 ELSE "
                                        "Earn2QTRAfterExit END) + sum(CASE WHEN "
                                        "Earn3QTRAfterExit IS NULL THEN 0 ELSE Earn3QTRAfterExit "
                                        "END)");
    const std::pair<int, QString> counted[] = {
        {1, "count(*)|(spopnum >= 1 and spopnum <= 11)"},
        {2, "count(*)|(spopnum >= 1 and spopnum <= 12)"},
        {4, "count(*)|((spopnum >= 1 and spopnum <= 8) or (spopnum >= 13 and spopnum <= 20))"},
        {5, "count(*)|((spopnum >= 1 and spopnum <= 11) or (spopnum >= 13 and spopnum <= 23))"},
        {7, earn + "|(spopnum = 1 or spopnum = 13)"},
        {8, "count(*)|(spopnum = 1 or spopnum = 13)"},
    };
    std::map<int, QVariant> out;
    for (const auto& [seq, text] : counted) {
        const QStringList parts = text.split('|');
        out[seq] = db.scalar(("SELECT " + parts[0] +
                              " FROM tblORVmaster, tblsystem WHERE pop = poptype AND " + f.sql() +
                              " AND " + parts[1])
                                 .toStdString(),
                             f.params());
        if (seq != 7)
            out[seq] = out[seq].toDouble();
    }
    if (db.scalar("SELECT poptype = '1' FROM tblsystem").toInt() == 1) {
        auto rate = [&](int n, int d, double scale) {
            const double den = out[d].toDouble();
            return den != 0 ? out[n].toDouble() / den * scale : 0.0;
        };
        out[3] = rate(1, 2, 100);
        out[6] = rate(4, 5, 100);
        out[9] = rate(7, 8, 1);
    }
    return out;
}

bool sameValue(const QVariant& a, const QVariant& b) {
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    const bool numbers = a.typeId() != QMetaType::QString && b.typeId() != QMetaType::QString;
    if (!numbers)
        return a.toString() == b.toString();
    // Sums may add their terms in another order.
    const double x = a.toDouble(), y = b.toDouble();
    return std::fabs(x - y) <= 1e-9 * std::max(1.0, std::fabs(y));
}

struct FilterCase {
    const char* what;
    QString office, wib, caseMgr;
    QDate start, end;
};

const FilterCase kFilterCases[] = {
    {"period only", {}, {}, {}, kStart, kEnd},
    {"office", "Office 1", {}, {}, kStart, kEnd},
    {"WIB and case manager", {}, "WIB 2", "Mgr 0", kStart, kEnd},
    {"all three", "Office 0", "WIB 0", "Mgr 0", kStart, kEnd},
    {"a narrower period", {}, {}, {}, QDate(2006, 12, 31), QDate(2007, 6, 30)},
    {"a wider period", {}, {}, {}, QDate(2006, 1, 1), QDate(2007, 12, 31)},
    {"an empty period", {}, {}, {}, QDate(2001, 1, 1), QDate(2001, 1, 2)},
};

RecordFilter filterOf(const FilterCase& c) {
    RecordFilter f;
    f.officeName = c.office;
    f.wibName = c.wib;
    f.caseMgr = c.caseMgr;
    f.periodStart = c.start;
    f.periodEnd = c.end;
    return f;
}

} // namespace

TEST_F(ReportValidationTest, AgreesWithTheNineStatements) {
    fillVariedMaster(db(), 3000);
    for (const char* popType : {"1", "2"}) {
        db().execute("UPDATE tblsystem SET PopType = ?", {QString::fromLatin1(popType)});
        for (const bool periodIndex : {true, false}) {
            if (!periodIndex)
                db().exec("DROP INDEX IF EXISTS idx_master_period");
            for (const FilterCase& c : kFilterCases) {
                session->useRecordFilter(filterOf(c));
                const auto got = compute();
                const auto want = ninestatements(db(), session->recordFilter());
                ASSERT_EQ(got.size(), want.size()) << c.what;
                for (const auto& [seq, value] : want)
                    EXPECT_TRUE(sameValue(got.at(seq), value))
                        << c.what << ", pop type " << popType << ", row " << seq << ": "
                        << got.at(seq).toString().toStdString() << " vs "
                        << value.toString().toStdString();
            }
        }
        db().exec("CREATE INDEX IF NOT EXISTS idx_master_period ON tblORVmaster "
                  "(spopnum, fWIAexitdate, pop)");
    }
}

// The summary as the union of 25 statements, one per group.
std::vector<QVariantList> unionOfGroups(Database& db, const RecordFilter& f) {
    const char* const words[25] = {
        "'UnEmp','Emp','Wage','Emp','Wage','Emp','Wage','No'",
        "'UnEmp','Emp','Wage','Emp','Wage','Emp','Supp','No'",
        "'UnEmp','Emp','Wage','Emp','Supp','Emp','Wage','No'",
        "'UnEmp','Emp','Wage','Emp','Supp','Emp','Supp','No'",
        "'UnEmp','Emp','Supp','Emp','Wage','Emp','Wage','No'",
        "'UnEmp','Emp','Supp','Emp','Wage','Emp','Supp','No'",
        "'UnEmp','Emp','Supp','Emp','Supp','Emp','Wage','No'",
        "'UnEmp','Emp','Supp','Emp','Supp','Emp','Supp','No'",
        "'UnEmp','Emp','NA','Emp','NA','UnEmp','NA','No'",
        "'UnEmp','Emp','NA','UnEmp','NA','Emp','NA','No'",
        "'UnEmp','Emp','NA','UnEmp','NA','UnEmp','NA','No'",
        "'UnEmp','UnEmp','NA','NA','NA','NA','NA','No'",
        "'Emp','Emp','Wage','Emp','Wage','Emp','Wage','No'",
        "'Emp','Emp','Wage','Emp','Wage','Emp','Supp','No'",
        "'Emp','Emp','Wage','Emp','Supp','Emp','Wage','No'",
        "'Emp','Emp','Wage','Emp','Supp','Emp','Supp','No'",
        "'Emp','Emp','Supp','Emp','Wage','Emp','Wage','No'",
        "'Emp','Emp','Supp','Emp','Wage','Emp','Supp','No'",
        "'Emp','Emp','Supp','Emp','Supp','Emp','Wage','No'",
        "'Emp','Emp','Supp','Emp','Supp','Emp','Supp','No'",
        "'Emp','Emp','NA','Emp','NA','UnEmp','NA','No'",
        "'Emp','Emp','NA','UnEmp','NA','Emp','NA','No'",
        "'Emp','Emp','NA','UnEmp','NA','UnEmp','NA','No'",
        "'Emp','UnEmp','NA','NA','NA','NA','NA','No'",
        "'NA','NA','NA','NA','NA','NA','NA','Yes'",
    };
    // Columns 10 to 14 per group: c count, e earnings sum, n No.
    const char* const measures[25] = {"cccce", "ccccn", "ccccn", "ccccn", "ccccn", "ccccn", "ccccn",
                                      "ccccn", "ccncn", "ccncn", "ccncn", "ncnnn", "nncce", "nnccn",
                                      "nnccn", "nnccn", "nnccn", "nnccn", "nnccn", "nnccn", "nnncn",
                                      "nnncn", "nnncn", "nnnnn", "nnnnn"};
    const QString earnings = QStringLiteral(
        "CASE WHEN count(*) = 0 THEN 0 ELSE sum(CASE WHEN Earn2QTRAfterExit IS NULL THEN 0 ELSE "
        "Earn2QTRAfterExit END) + sum(CASE WHEN Earn3QTRAfterExit IS NULL THEN 0 ELSE "
        "Earn3QTRAfterExit END) END");
    QStringList selects;
    QVariantList params;
    for (int k = 1; k <= 25; ++k) {
        QString select = QStringLiteral("SELECT '%1', count(*), %2").arg(k).arg(words[k - 1]);
        for (const char* m = measures[k - 1]; *m; ++m)
            select += *m == 'c'   ? QStringLiteral(", count(*)")
                      : *m == 'e' ? ", " + earnings
                                  : QStringLiteral(", 'No'");
        select +=
            QStringLiteral(", '%1' FROM tblORVMaster, tblSystem WHERE spopnum = %1 AND ").arg(k) +
            f.sql();
        selects << select;
        params += f.params();
    }
    Statement st = db.prepare(selects.join(" UNION ALL ").toStdString());
    st.bindAll(params);
    std::vector<QVariantList> out;
    while (st.step()) {
        QVariantList row;
        for (int c = 0; c < kSummaryColumns; ++c)
            row << st.value(c);
        out.push_back(row);
    }
    return out;
}

TEST_F(ReportValidationTest, SummaryEqualsTheUnionOfTwentyFiveStatements) {
    fillVariedMaster(db(), 3000);
    for (const bool periodIndex : {true, false}) {
        if (!periodIndex)
            db().exec("DROP INDEX idx_master_period");
        for (const FilterCase& c : kFilterCases) {
            const RecordFilter f = filterOf(c);
            const std::vector<QVariantList> got = readOutcomeGroupSummary(db(), f);
            const std::vector<QVariantList> want = unionOfGroups(db(), f);
            ASSERT_EQ(got.size(), 25u);
            ASSERT_EQ(want.size(), 25u);
            for (size_t r = 0; r < 25; ++r)
                for (int col = 0; col < kSummaryColumns; ++col)
                    EXPECT_TRUE(sameValue(got[r][col], want[r][col]))
                        << c.what << (periodIndex ? "" : " without the period index") << ", group "
                        << r + 1 << ", column " << col << ": "
                        << got[r][col].toString().toStdString() << " vs "
                        << want[r][col].toString().toStdString();
        }
    }
}

TEST_F(ReportValidationTest, SummaryGroupsWithoutRecordsCountZero) {
    add({5}, 2);
    const std::vector<QVariantList> rows = readOutcomeGroupSummary(db(), session->recordFilter());
    ASSERT_EQ(rows.size(), 25u);
    EXPECT_EQ(rows[4][1].toLongLong(), 2);
    EXPECT_EQ(rows[0][1].toLongLong(), 0);
    EXPECT_EQ(cellText(rows[0][14]), "0"); // an earnings group without records
    EXPECT_EQ(rows[0][0].toString(), "1");
    EXPECT_EQ(rows[0][kSummaryKeyColumn].toString(), "1");
}

TEST(OutcomeGroupSummaryHeadings, NumberEmptyLineThenWords) {
    EXPECT_EQ(summaryHeading(0), "1\n\nPerformance Outcome\nGroup");
    EXPECT_EQ(summaryHeading(1), "2\n\nNumber\nin\nGroup");
    EXPECT_EQ(summaryHeading(3), "4\n\n\nEmp\nQtr+1");
    EXPECT_EQ(summaryHeading(9), "10\n\nOther\nReasons\nfor Exit");
    EXPECT_EQ(summaryHeading(14), "15\n\n\n\nEarn");
    EXPECT_EQ(summaryTitle(2), "Emp Status at Registration");
}

// The words the summary shows for a group describe records that the group rules place there.
TEST_F(ReportValidationTest, SummaryWordsDescribeTheirGroups) {
    const std::vector<QVariantList> rows = readOutcomeGroupSummary(db(), session->recordFilter());
    ASSERT_EQ(rows.size(), 25u);
    for (int g = 1; g <= 25; ++g) {
        const QVariantList& row = rows[static_cast<size_t>(g - 1)];
        auto word = [&](int column) { return row[column].toString(); };
        GroupInputs in;
        in.employmentStatus = word(2) == "Emp" ? 1 : word(2) == "UnEmp" ? 2 : 0;
        in.otherReasonForExit = word(9) == "Yes" ? 5 : 0;
        for (int q = 0; q < 3; ++q) {
            const QString employed = word(3 + 2 * q), match = word(4 + 2 * q);
            in.employed[q] = employed == "UnEmp" ? 2 : 1;
            in.type[q] = match == "Supp" ? 5 : match == "Wage" ? 1 : employed == "NA" ? 1 : 0;
            in.wages[q] = match == "Supp" ? OptNumber() : OptNumber(100);
        }
        EXPECT_EQ(outcomeGroupOf(in), g);
    }
}

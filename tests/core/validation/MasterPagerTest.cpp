// The browse grids' keyset paging against plain ordered statements: every row once, in order,
// whichever way the rows are reached.
#include "ValidationFixture.h"

#include "validation/MasterPager.h"
#include "worksheet/ColumnSearch.h"

#include <algorithm>
#include <random>

using namespace orv;

namespace {

const QDate kStart(2006, 7, 1);
const QDate kEnd(2007, 6, 30);

RecordFilter periodFilter(const QString& office = QString()) {
    RecordFilter f;
    f.officeName = office;
    f.periodStart = kStart;
    f.periodEnd = kEnd;
    return f;
}

// A period that holds back none of the rows fill() makes.
RecordFilter widePeriod() {
    RecordFilter f = periodFilter();
    f.periodStart = QDate(2004, 1, 1);
    return f;
}

class MasterPagerTest : public test::ValidationTest {
protected:
    // Rows enough for several pages, with runs of equal values and Nulls in every sorted
    // column: obs repeats and is sometimes Null, Gender takes three values, EnterTrainDate is
    // mostly Null, SSN differs in case only. SSN tells the rows apart.
    void fill(int rows, int group = 7) {
        std::mt19937 gen(1501);
        auto pick = [&](int n) { return static_cast<int>(gen() % static_cast<unsigned>(n)); };
        Transaction tx(db());
        for (int i = 1; i <= rows; ++i) {
            const int g = pick(4) == 0 ? 0 : (pick(2) ? group : 1 + pick(25));
            test::insertMaster(
                db(),
                {{"obs", pick(20) == 0 ? QVariant() : QVariant(pick(rows / 3 + 1))},
                 {"SSN", (pick(2) ? QStringLiteral("a%1") : QStringLiteral("A%1")).arg(i)},
                 {"Gender", pick(3)},
                 {"EnterTrainDate", pick(5) == 0 ? QVariant(20060000 + pick(50)) : QVariant()},
                 {"Earn1QTRAfterExit", pick(3) == 0 ? QVariant() : QVariant(pick(9) / 4.0)},
                 {"spopnum", g},
                 {"fWIAexitdate",
                  pick(15) == 0 ? QStringLiteral("2005-01-01") : QStringLiteral("2006-10-15")},
                 {"OfficeName",
                  pick(2) ? QStringLiteral("Office A") : QStringLiteral("Office B")}});
        }
        tx.commit();
    }

    // The SSNs in the order a plain statement gives: the value, the group, then the rowid,
    // each way.
    QStringList expected(std::optional<int> group, const MasterOrder& order,
                         const RecordFilter& filter) {
        const QString column = order.column.isEmpty() ? QStringLiteral("obs") : order.column;
        const QString dir = order.descending ? QStringLiteral(" DESC") : QString();
        QVariantList params;
        QString scope = QStringLiteral("spopnum <> 0");
        if (group) {
            scope = QStringLiteral("spopnum = ?");
            params << *group;
        }
        Statement st = db().prepare(("SELECT SSN FROM tblORVmaster WHERE " + scope + " AND " +
                                     filter.sql() + " ORDER BY \"" + column + "\"" + dir +
                                     ", spopnum" + dir + ", rowid" + dir)
                                        .toStdString());
        st.bindAll(params + filter.params());
        QStringList out;
        while (st.step())
            out << st.text(0);
        return out;
    }

    int ssnColumn(const MasterPager& p) { return p.columns().find(QStringLiteral("SSN")); }

    // Reads every row through the pager in the given order of positions.
    QStringList readAt(MasterPager& p, const std::vector<qint64>& positions) {
        QStringList out(static_cast<int>(p.rowCount()));
        for (qint64 r : positions)
            out[static_cast<int>(r)] = p.cell(r, ssnColumn(p));
        return out;
    }
};

// Orders that exercise the master's own index (obs) and the temporary one (the others).
struct OrderCase {
    const char* what;
    MasterOrder order;
};
const OrderCase kOrders[] = {
    {"obs", {}},
    {"obs descending", {QStringLiteral("obs"), true}},
    {"Gender", {QStringLiteral("Gender"), false}},
    {"Gender descending", {QStringLiteral("Gender"), true}},
    {"EnterTrainDate (Nulls)", {QStringLiteral("EnterTrainDate"), false}},
    {"EnterTrainDate descending", {QStringLiteral("EnterTrainDate"), true}},
    {"SSN (case differs)", {QStringLiteral("SSN"), false}},
    {"amounts with Nulls", {QStringLiteral("Earn1QTRAfterExit"), true}},
};

} // namespace

TEST_F(MasterPagerTest, EveryRowOnceInOrderHoweverReached) {
    fill(2600);
    std::mt19937 gen(7);
    for (const std::optional<int> group : {std::optional<int>(7), std::optional<int>()}) {
        for (const RecordFilter& filter :
             {widePeriod(), periodFilter(), periodFilter(QStringLiteral("Office A"))}) {
            for (const OrderCase& c : kOrders) {
                const std::string what = std::string(c.what) + (group ? " in group 7" : "") +
                                         (filter.anyFilter()             ? " of one office"
                                          : filter.periodStart == kStart ? " in the period"
                                                                         : "");
                const QStringList want = expected(group, c.order, filter);
                ASSERT_GT(want.size(), MasterPager::kPageRows) << what;

                MasterPager forward(db(), filter, group, c.order);
                ASSERT_TRUE(forward.open()) << what;
                ASSERT_EQ(forward.rowCount(), want.size()) << what;
                std::vector<qint64> positions(static_cast<size_t>(want.size()));
                for (size_t i = 0; i < positions.size(); ++i)
                    positions[i] = static_cast<qint64>(i);
                EXPECT_EQ(readAt(forward, positions), want) << what << ", top to bottom";

                // From the last row up, as after Ctrl+End.
                MasterPager backward(db(), filter, group, c.order);
                ASSERT_TRUE(backward.open());
                std::reverse(positions.begin(), positions.end());
                EXPECT_EQ(readAt(backward, positions), want) << what << ", bottom to top";

                // Jumps anywhere, as a dragged scroll bar does.
                MasterPager jumping(db(), filter, group, c.order);
                ASSERT_TRUE(jumping.open());
                std::shuffle(positions.begin(), positions.end(), gen);
                EXPECT_EQ(readAt(jumping, positions), want) << what << ", in jumps";

                QStringList streamed;
                forward.forEach(-1, [&](const QStringList& cells) {
                    streamed << cells[ssnColumn(forward)];
                    return true;
                });
                EXPECT_EQ(streamed, want) << what << ", streamed";
            }
        }
    }
}

TEST_F(MasterPagerTest, ObsOrderUsesTheMastersIndexUnlessTheFilterHoldsRowsBack) {
    fill(600);
    const RecordFilter wide = widePeriod();
    RecordFilter wideOffice = wide;
    wideOffice.officeName = QStringLiteral("Office A");
    struct Case {
        const char* what;
        std::optional<int> group;
        MasterOrder order;
        RecordFilter filter;
        bool temporary;
    };
    const Case cases[] = {
        {"group by obs, the period holds rows back", 7, {}, periodFilter(), true},
        {"group by obs, every row in the period", 7, {}, wide, false},
        {"all by obs descending", {}, {QStringLiteral("obs"), true}, wide, false},
        {"all by obs with an office", {}, {}, wideOffice, true},
        {"group by SSN", 7, {QStringLiteral("ssn"), false}, wide, true},
    };
    for (const Case& c : cases) {
        MasterPager p(db(), c.filter, c.group, c.order);
        ASSERT_TRUE(p.open()) << c.what;
        EXPECT_EQ(p.usesTemporaryIndex(), c.temporary) << c.what;
        EXPECT_EQ(p.rowCount(), expected(c.group, c.order, c.filter).size()) << c.what;
    }
}

TEST_F(MasterPagerTest, AGroupBelowZeroIsStillAGroup) {
    fill(300);
    test::insertMaster(
        db(), {{"obs", 1}, {"SSN", "minus"}, {"spopnum", -3}, {"fWIAexitdate", "2006-10-15"}});
    const RecordFilter wide = widePeriod();
    MasterPager p(db(), wide, std::nullopt);
    ASSERT_TRUE(p.open());
    const QStringList want = expected(std::nullopt, {}, wide);
    ASSERT_TRUE(want.contains("minus"));
    std::vector<qint64> all;
    for (qint64 i = 0; i < p.rowCount(); ++i)
        all.push_back(i);
    EXPECT_EQ(readAt(p, all), want);
}

TEST_F(MasterPagerTest, AnEmptyGroupHasNoRows) {
    fill(300);
    for (const OrderCase& c : kOrders) {
        MasterPager p(db(), periodFilter(), 26, c.order);
        ASSERT_TRUE(p.open()) << c.what;
        EXPECT_EQ(p.rowCount(), 0) << c.what;
        EXPECT_TRUE(p.row(0).join("").isEmpty());
        int visited = 0;
        p.forEach(-1, [&](const QStringList&) { return ++visited, true; });
        EXPECT_EQ(visited, 0) << c.what;
    }
}

TEST_F(MasterPagerTest, ColumnsLeaveOutTheDerivedOnesAndShortenTheDates) {
    MasterPager p(db(), periodFilter(), 1);
    ASSERT_TRUE(p.open());
    const MasterColumns& c = p.columns();
    EXPECT_EQ(c.names.size(), 71);
    ASSERT_EQ(c.shown(), 64);
    EXPECT_EQ(c.headings.first(), "obs");
    EXPECT_EQ(c.headings.last(), "UserId");
    EXPECT_EQ(c.headings[c.names.indexOf("WIARegDate")], "RegDate");
    EXPECT_EQ(c.headings[c.names.indexOf("WIAExitDate")], "ExitDate");
    EXPECT_EQ(c.find("exitdate"), c.names.indexOf("WIAExitDate"));
    EXPECT_EQ(c.find("spopnum"), -1); // not shown
    EXPECT_THROW(
        static_cast<void>(
            MasterPager(db(), periodFilter(), 1, {QStringLiteral("randno"), false}).open()),
        DbError);
}

TEST_F(MasterPagerTest, CellsShowValuesAsWritten) {
    test::insertMaster(db(), {{"obs", 12},
                              {"SSN", "x"},
                              {"Tenure", 5.0},
                              {"Earn1QTRAfterExit", 1234.56},
                              {"Earn2QTRAfterExit", 999999.99},
                              {"spopnum", 1},
                              {"fWIAexitdate", "2006-10-15"}});
    MasterPager p(db(), periodFilter(), 1);
    ASSERT_TRUE(p.open());
    const MasterColumns& c = p.columns();
    QStringList cells;
    for (const char* name : {"obs", "Tenure", "Earn1QTRAfterExit", "Earn2QTRAfterExit", "Gender"})
        cells << p.cell(0, c.find(name));
    EXPECT_EQ(cells, QStringList({"12", "5", "1234.56", "999999.99", ""}));
}

namespace {

// Cancels at a chosen call; notes whether the connection was free at each.
class ScriptedProgress : public BuildProgress {
public:
    ScriptedProgress(Database& db, bool cancelWhileSorting)
        : mDb(db), mCancel(cancelWhileSorting) {}
    bool update(qint64 done, qint64 total) override {
        (total > 0 ? copying : sorting)++;
        if (total == 0)
            busyWhileSorting = busyWhileSorting && MasterPager::isBusy(mDb);
        else
            freeWhileCopying = freeWhileCopying && !MasterPager::isBusy(mDb);
        lastDone = done;
        return mCancel ? total > 0 : total == 0;
    }
    int copying = 0, sorting = 0;
    qint64 lastDone = 0;
    bool busyWhileSorting = true, freeWhileCopying = true;

private:
    Database& mDb;
    bool mCancel;
};

} // namespace

TEST_F(MasterPagerTest, CancelLeavesNoTemporaryTableAtEitherStep) {
    fill(3000);
    const char* tables =
        "SELECT count(*) FROM sqlite_temp_master WHERE type = 'table' AND name LIKE 'orv_keys%'";
    for (const bool whileSorting : {false, true}) {
        ScriptedProgress progress(db(), whileSorting);
        MasterPager p(db(), periodFilter(), std::nullopt, {QStringLiteral("SSN"), false});
        EXPECT_FALSE(p.open(&progress));
        EXPECT_EQ(p.rowCount(), 0);
        EXPECT_EQ(count(tables), 0) << whileSorting;
        EXPECT_GE(progress.copying, 1);
        EXPECT_EQ(progress.sorting >= 1, whileSorting);
        EXPECT_TRUE(progress.busyWhileSorting);
        EXPECT_TRUE(progress.freeWhileCopying);
        EXPECT_FALSE(MasterPager::isBusy(db()));
    }
    {
        MasterPager p(db(), periodFilter(), std::nullopt, {QStringLiteral("SSN"), false});
        ASSERT_TRUE(p.open());
        EXPECT_EQ(count(tables), 1);
    }
    EXPECT_EQ(count(tables), 0);
}

// More pages than the pager keeps, read in jumps: pages dropped and read again come back the
// same.
TEST_F(MasterPagerTest, PagesReadAgainAfterBeingDropped) {
    fill(7000);
    std::mt19937 gen(11);
    for (const OrderCase& c : {kOrders[0], kOrders[6]}) {
        const QStringList want = expected(std::nullopt, c.order, widePeriod());
        ASSERT_GT(want.size(), 17 * MasterPager::kPageRows);
        MasterPager p(db(), widePeriod(), std::nullopt, c.order);
        ASSERT_TRUE(p.open());
        std::vector<qint64> positions;
        for (int i = 0; i < 3; ++i)
            for (qint64 r = 0; r < want.size(); r += 97)
                positions.push_back(r);
        std::shuffle(positions.begin(), positions.end(), gen);
        for (qint64 r : positions)
            ASSERT_EQ(p.cell(r, ssnColumn(p)), want[static_cast<int>(r)]) << c.what << " row " << r;
    }
}

// Find Next over a grid reports, in the grid's order, exactly the rows a plain statement finds,
// then says there are no more until its text changes.
TEST_F(MasterPagerTest, FindNextReportsEveryMatchInTheGridsOrder) {
    fill(700);
    for (const OrderCase& c : {kOrders[1], kOrders[3], kOrders[6]}) {
        SCOPED_TRACE(c.what);
        MasterPager p(db(), {}, 7, c.order);
        ASSERT_TRUE(p.open());
        const QStringList rows = expected(7, c.order, {});
        for (const auto& [text, exact] : {std::pair{"a1", false}, std::pair{"A12", true}}) {
            ColumnSearch search(
                [&](qint64 after, const ColumnSearch::Matches& matches) {
                    return p.findAfter(after, ssnColumn(p), matches);
                },
                true);
            static_cast<void>(search.textLeft(QString::fromLatin1(text)));
            QList<qint64> found;
            for (;;) {
                const ColumnSearch::Result r =
                    search.findNext(QString::fromLatin1(text), exact, QStringLiteral("Done"));
                ASSERT_TRUE(r.changed);
                if (r.row < 0) {
                    EXPECT_EQ(r.label, "Done. No more matches found.");
                    break;
                }
                EXPECT_EQ(r.label, QStringLiteral("Found match in row number %1").arg(r.row + 1));
                found << r.row;
            }
            QList<qint64> want;
            for (qint64 i = 0; i < rows.size(); ++i)
                if (exact ? rows[i] == QLatin1String(text) : rows[i].contains(QLatin1String(text)))
                    want << i;
            EXPECT_EQ(found, want) << text;
            EXPECT_FALSE(search.findNext(QString::fromLatin1(text), exact, {}).changed);
            EXPECT_TRUE(search.textLeft(QStringLiteral("other")));
            EXPECT_TRUE(search.findNext(QStringLiteral("a"), false, {}).changed);
        }
    }
}

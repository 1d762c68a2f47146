#include "WorksheetFixture.h"

#include "worksheet/ColumnSearch.h"
#include "worksheet/SampleList.h"

using namespace orv;
using namespace orv::test;

namespace {

using SampleList = WorksheetTest;

QStringList obsOf(const std::vector<SampleListRow>& rows) {
    QStringList obs;
    for (const SampleListRow& r : rows)
        obs << r.obs;
    return obs;
}

TEST_F(SampleList, JoinsTheMasterAndCountsTheWholeSample) {
    SampleTotals empty = readSampleTotals(db());
    EXPECT_EQ(empty.inSample, 0);
    EXPECT_EQ(empty.inspected + empty.wrongSsn + empty.invalidRecord + empty.unableToLocate +
                  empty.missingRecord,
              0);
    EXPECT_TRUE(readSampleList(db()).empty());
    EXPECT_TRUE(empty.failed[0].isNull());

    // A save writes 0 for a flag that is off: a 0 counts as not set.
    addSample(3, marksColumns("FP", {{"chk", "Yes"},
                                     {"Earn1QTRAfterExit", 1000.0},
                                     {"WrongSSN", 0},
                                     {"InvalidRecord", 0},
                                     {"UnableToLocate", 0},
                                     {"MissingRecord", 0}}));
    addSample(1, marksColumns("PP.F", {{"WrongSSN", 1}, {"SamplingUnit", 999999}}));
    // Without a master record: not listed, yet counted everywhere else.
    addSample(2, marksColumns("F", {{"chk", "Yes"}, {"MissingRecord", -1}}), false);
    addSample(4, {{"InvalidRecord", 1},
                  {"UnableToLocate", 1},
                  {"Earn2QTRAfterExit", 12.5},
                  {"WrongSSN", 0},
                  {"MissingRecord", 0}});

    const auto rows = readSampleList(db());
    EXPECT_EQ(obsOf(rows), QStringList({"1", "3", "4"}));
    const SampleListRow& third = rows[1];
    EXPECT_EQ(third.ssn + '|' + third.samplingUnit, "100000003|7");
    EXPECT_TRUE(third.completed);
    EXPECT_EQ(std::vector(third.marks.begin(), third.marks.begin() + 3),
              std::vector({Mark::Fail, Mark::Pass, Mark::None}));
    EXPECT_EQ(third.values[14], "1000");
    EXPECT_EQ(rows[2].values[15], "12.5");
    EXPECT_EQ(third.cellText(3), third.values[0]);
    EXPECT_EQ(third.cellText(4), "");
    EXPECT_FALSE(rows[0].completed);

    const SampleTotals t = readSampleTotals(db());
    EXPECT_EQ(std::vector({t.inSample, t.inspected, t.wrongSsn, t.invalidRecord, t.unableToLocate,
                           t.missingRecord}),
              std::vector<qint64>({3, 2, 1, 1, 1, 1}));
    EXPECT_EQ(QVariantList({t.failed[0], t.failed[1], t.failed[2], t.failed[3]}),
              QVariantList({2, 0, QVariant(), 1}));
}

TEST_F(SampleList, SortsByTheColumnEachHeaderShows) {
    addSample(1, marksColumns("F", {{"TRA", 3}, {"WIAExitDate", 20060101}, {"ssn", "b"}}));
    addSample(2, Columns{{"TRA", 1}, {"WIAExitDate", 20070101}, {"ssn", "a"}});
    addSample(3, marksColumns("P", {{"TRA", 2}, {"WIAExitDate", 20050101}, {"ssn", "c"}}));
    struct Case {
        const char* column;
        bool desc;
        QStringList obs;
    };
    const Case cases[] = {
        {"ssn", false, {"2", "1", "3"}},      {"ssn", true, {"3", "1", "2"}},
        {"BasicTRA", false, {"2", "3", "1"}}, {"ExitDate", true, {"2", "1", "3"}},
        {"VetP/F", false, {"2", "3", "1"}},   {"vetp/f", true, {"1", "3", "2"}},
        {"obs", true, {"3", "2", "1"}},
    };
    for (const Case& c : cases) {
        const int column = listColumnByName(QString::fromLatin1(c.column));
        ASSERT_GE(column, 0) << c.column;
        EXPECT_EQ(obsOf(readSampleList(db(), {column, c.desc})), c.obs) << c.column;
    }
    EXPECT_EQ(listColumnByName("Pass/Fail"), -1);
    EXPECT_EQ(listColumnByName("nothing"), -1);
}

TEST(SampleListColumns, HeadersAndClickOrder) {
    EXPECT_EQ(listColumnHeader(0), "obs");
    EXPECT_EQ(listColumnHeader(2), "SamplingUnit");
    EXPECT_EQ(listColumnHeader(3), "Vet");
    EXPECT_EQ(listColumnHeader(4), "Pass/Fail");
    EXPECT_EQ(listColumnHeader(17), "BasicTRA");
    EXPECT_EQ(listColumnHeader(21), "ExitDate");
    EXPECT_EQ(listColumnHeader(25), "Empqtr+3");
    EXPECT_EQ(listColumnHeader(kListColumnCount - 1), "Pass/Fail");

    // The direction alternates with every click, whichever header was clicked.
    SampleOrder o = headerClickOrder(1, "");
    EXPECT_EQ(o.title(), "Sort order: ssn Asc");
    o = headerClickOrder(1, o.directionText());
    EXPECT_EQ(o.title(), "Sort order: ssn Desc");
    o = headerClickOrder(0, o.directionText());
    EXPECT_EQ(o.title(), "Sort order: obs Asc");
    EXPECT_EQ(headerClickOrder(0, "Asc").title(), "Sort order: obs Desc");
}

TEST(ColumnSearch, FindNextReportsEachMatchOnceThenEnds) {
    const QStringList column = {"7", "x", "12", "3", "4", "123", "9"};
    struct Click {
        const char* text;
        bool exact;
        int row;
        const char* label;
    };
    struct Case {
        const char* name;
        std::vector<Click> clicks;
    };
    const Case cases[] = {
        {"contains",
         {{"12", false, 2, "Found match in row number 3"},
          {"12", false, 5, "Found match in row number 6"},
          {"12", false, -1, "Found match in row number 6. No more matches found."},
          {"12", false, -1, "Found match in row number 6. No more matches found."}}},
        {"exact",
         {{"12", true, 2, "Found match in row number 3"},
          {"12", true, -1, "Found match in row number 3. No more matches found."}}},
        {"case-sensitive", {{"X", false, -1, ". No more matches found."}}},
        {"a changed text starts again",
         {{"12", false, 2, "Found match in row number 3"},
          {"3", false, 3, "Found match in row number 4"},
          {"3", false, 5, "Found match in row number 6"}}},
        {"a last row that matches and was reported ends the search",
         {{"9", false, 6, "Found match in row number 7"},
          {"9", false, -1, "Found match in row number 7. No more matches found."}}},
        {"empty text does nothing", {{"", false, -1, ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ColumnSearch search(column);
        QString label;
        for (const Click& k : c.clicks) {
            if (search.textLeft(QString::fromLatin1(k.text)))
                label.clear();
            const auto r = search.findNext(QString::fromLatin1(k.text), k.exact, label);
            if (r.changed)
                label = r.label;
            EXPECT_EQ(r.row, k.row) << k.text;
            EXPECT_EQ(label, QString::fromLatin1(k.label));
        }
    }
}

} // namespace

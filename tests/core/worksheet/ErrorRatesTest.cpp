#include "WorksheetFixture.h"

#include "worksheet/ErrorRates.h"

using namespace orv;
using namespace orv::test;

namespace {

class ErrorRates : public WorksheetTest {
protected:
    void SetUp() override {
        WorksheetTest::SetUp();
        Settings settings = session->settings();
        settings.reportingPeriodEnd = QDate(2007, 6, 30);
        settings.state = "NY";
        settings.officeName = "Office A";
        session->useSettings(settings);
    }
    std::vector<ErrorRateRow> compute() {
        std::vector<ErrorRateRow> rows = ComputeErrorRates(*session);
        // What is stored is what was computed.
        const std::vector<ErrorRateRow> stored = readErrorRates(db());
        EXPECT_EQ(stored.size(), rows.size());
        for (size_t i = 0; i < std::min(rows.size(), stored.size()); ++i) {
            EXPECT_EQ(stored[i].label, rows[i].label);
            EXPECT_EQ(stored[i].overall, rows[i].overall);
            EXPECT_EQ(stored[i].validated, rows[i].validated);
            EXPECT_EQ(stored[i].errors.toLongLong(), rows[i].errors.toLongLong());
        }
        return stored;
    }
};

TEST_F(ErrorRates, WeightedRatesPerElement) {
    struct Case {
        const char* name;
        std::vector<Columns> sample;
        int element;
        QVariant overall, validated;
        qint64 errors;
    };
    // clang-format off
    const Case cases[] = {
        {"40 and 40",
         {{{"Weight", 2}, {"VetP/F", 1}}, {{"Weight", 3}, {"VetP/F", 0}}}, 0, 40.0, 40.0, 1},
        {"40 and 100", {{{"Weight", 2}, {"VetP/F", 1}}, {{"Weight", 3}}}, 0, 40.0, 100.0, 1},
        {"nobody marked it", {{{"Weight", 2}}, {{"Weight", 3}}}, 4, 0.0, 0.0, 0},
        {"a third, rounded",
         {{{"Weight", 1}, {"TRAP/F", 1}}, {{"Weight", 2}, {"TRAP/F", 0}}}, 7, 33.33, 33.33, 1},
        {"marked rows weigh nothing",
         {{{"Weight", 0}, {"WaiverP/F", 1}}, {{"Weight", 4}}}, 8, 0.0, QVariant(), 1},
        {"no weight at all",
         {{{"Weight", 0}, {"WaiverP/F", 1}}, {{"Weight", QVariant()}}}, 8, QVariant(), QVariant(),
         1},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        db().exec("DELETE FROM tblsample");
        int obs = 1;
        for (const Columns& row : c.sample)
            addSample(obs++, row);
        const auto rows = compute();
        ASSERT_EQ(rows.size(), 17u);
        const ErrorRateRow& r = rows[c.element];
        EXPECT_EQ(r.overall, c.overall);
        EXPECT_EQ(r.validated, c.validated);
        EXPECT_EQ(r.errors.toLongLong(), c.errors);
    }
}

TEST_F(ErrorRates, RowsCarryTheSampleCountsAndLabels) {
    addSample(1, {{"chk", "Yes"}, {"InvalidRecord", 1}});
    addSample(2, {{"UnableToLocate", 1}, {"MissingRecord", 1}, {"WrongSSN", 1}});
    addSample(3, {{"chk", "Yes"}, {"WrongSSN", -1}}, false);
    const auto rows = compute();
    ASSERT_EQ(rows.size(), 17u);
    const QStringList labels =
        QStringLiteral(
            "Vet DislocDate AppDate Petition EnterTrainDate TrainEndDate TrainComp TRA Waiver "
            "ExitDate EmpQtr+1 EmpQTR+3 Earn3QTRPriorToParticipation Earn2QTRPriorToParticipation "
            "Earn1QTRAfterExit Earn2QTRAfterExit Earn3QTRAfterExit")
            .split(QLatin1Char(' '));
    for (int i = 0; i < 17; ++i) {
        const ErrorRateRow& r = rows[i];
        EXPECT_EQ(QStringList({r.label, r.code, QString::number(r.seq), r.periodEnd, r.state,
                               r.office, r.sampled, r.checked, r.invalid.toString(),
                               r.wrongSsn.toString(), rateText(r.overall)}),
                  QStringList({labels[i], QStringLiteral("%1").arg(i + 1, 2, 10, QLatin1Char('0')),
                               QString::number(i), "06/30/2007", "NY ", "Office A", "3", "2", "2",
                               "2", "0.00"}));
    }
    // An empty sample empties the table and writes nothing.
    db().exec("DELETE FROM tblsample");
    EXPECT_TRUE(compute().empty());
    EXPECT_EQ(count("SELECT count(*) FROM tbltemp"), 0);
}

TEST(ErrorRateRounding, HalvesGoToTheEvenDigit) {
    const std::pair<double, double> cases[] = {
        {0.125, 0.12},      {0.375, 0.38}, {-0.125, -0.12}, {33.333333, 33.33},
        {66.666666, 66.67}, {40, 40},      {12.5, 12.5}};
    for (const auto& [in, out] : cases)
        EXPECT_DOUBLE_EQ(roundRate(in), out) << in;
    EXPECT_EQ(rateText(QVariant()), "n/a");
    EXPECT_EQ(rateText(33.33), "33.33");
}

} // namespace

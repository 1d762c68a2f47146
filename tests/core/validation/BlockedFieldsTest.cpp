#include "ValidationFixture.h"

#include "validation/BlockedFields.h"

using namespace orv;
using namespace orv::test;

namespace {

TEST(BlockedValue, ReadsTheFormOfAnSqlCondition) {
    struct Case {
        const char* written;
        QVariant value; // invalid: not a value
    };
    const Case cases[] = {
        {"'N/A'", QString("N/A")},
        {"'O''Brien'", QString("O'Brien")},
        {"''", QString("")},
        {"' padded '", QString(" padded ")},
        {"12", qlonglong(12)},
        {" 7 ", qlonglong(7)},
        {"-3", qlonglong(-3)},
        {"2.5", 2.5},
        {"99999999999999999999", 1e20},
        {"", QVariant()},
        {"N/A", QVariant()},
        {"'x", QVariant()},
        {"'a'b'", QVariant()},
        {"'x' OR 1=1", QVariant()},
        {"1 OR 1=1", QVariant()},
        {"1; DELETE FROM tblsample", QVariant()},
        {"0x10", QVariant()},
        {"1e3", QVariant()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written);
        const std::optional<QVariant> v = parseBlockedValue(QString::fromLatin1(c.written));
        if (!c.value.isValid()) {
            EXPECT_FALSE(v.has_value());
            continue;
        }
        ASSERT_TRUE(v.has_value());
        EXPECT_EQ(v->typeId(), c.value.typeId());
        EXPECT_EQ(*v, c.value);
    }
}

class BlockedFieldsTest : public ValidationTest {
protected:
    void SetUp() override {
        ValidationTest::SetUp();
        const std::tuple<int, const char*, int, int> rows[] = {
            {1, "N/A", 1, 2}, {2, "n/a", 2, 1}, {3, "East", 1, 1}, {4, "West", 3, 2}};
        for (const auto& [obs, office, vet, emp] : rows) {
            const Columns c = {{"obs", obs},
                               {"OfficeName", office},
                               {"Vet", vet},
                               {"EmpQtr+1", emp},
                               {"randno", obs}};
            insertRow(db(), "tblsample", c);
            insertMaster(db(), c);
        }
    }
    void block(const QString& column, const QVariant& value) {
        insertRow(db(), "tblBlockedFields", {{"ColumnName", column}, {"BlockedValue", value}});
    }
    QString column(const char* name) {
        QStringList out;
        Statement st = db().prepare(
            QStringLiteral("SELECT \"%1\" FROM tblsample ORDER BY obs").arg(name).toStdString());
        while (st.step())
            out << (st.isNull(0) ? QStringLiteral("-") : st.text(0));
        return out.join(',');
    }
};

} // namespace

TEST_F(BlockedFieldsTest, NoBlockedValuesLeavesTheSample) {
    EXPECT_EQ(ClearBlockedFields(*session), 0);
    EXPECT_EQ(column("OfficeName"), "N/A,n/a,East,West");
}

TEST_F(BlockedFieldsTest, BlanksTextInTheSampleOnly) {
    block("OfficeName", "'N/A'");
    EXPECT_EQ(ClearBlockedFields(*session), 1);
    EXPECT_EQ(column("OfficeName"), "-,-,East,West"); // text compares without case
    EXPECT_EQ(count("SELECT count(*) FROM tblORVmaster WHERE OfficeName IS NULL"), 0);
}

TEST_F(BlockedFieldsTest, BlanksNumbersAndEveryListedValue) {
    block("vet", "1");
    block("Vet", "3");
    block("EmpQtr+1", "2");
    block("OfficeName", "'West'");
    EXPECT_EQ(ClearBlockedFields(*session), 4);
    EXPECT_EQ(column("Vet"), "-,2,-,-");
    EXPECT_EQ(column("EmpQtr+1"), "-,1,1,-");
    EXPECT_EQ(column("OfficeName"), "N/A,n/a,East,-");
}

TEST_F(BlockedFieldsTest, AValueThatIsNoPlainValueIsSkipped) {
    block("OfficeName", "'East' OR 1=1");
    block("OfficeName", QVariant());
    block("Vet", "1 OR 1=1");
    block("Vet", "2");
    EXPECT_EQ(ClearBlockedFields(*session), 1);
    EXPECT_EQ(column("OfficeName"), "N/A,n/a,East,West");
    EXPECT_EQ(column("Vet"), "1,-,1,3");
    EXPECT_EQ(count("SELECT count(*) FROM tblsample"), 4);
}

TEST_F(BlockedFieldsTest, AColumnTheSampleLacksStopsAtThatRow) {
    block("OfficeName", "'East'");
    block("Vet] = Null; DELETE FROM tblORVmaster; --", "1");
    block("Weight", "1");
    block("ZZZ", "1");
    try {
        ClearBlockedFields(*session);
        FAIL() << "no error";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.message().contains("Vet] = Null")) << e.message().toStdString();
    }
    // Rows in column-name order before the bad one took effect, later ones did not.
    EXPECT_EQ(column("OfficeName"), "N/A,n/a,-,West");
    EXPECT_EQ(column("Vet"), "1,2,1,3");
    EXPECT_EQ(count("SELECT count(*) FROM tblORVmaster"), 4);
}

#include "TestSupport.h"

#include "db/Database.h"

#include <gtest/gtest.h>

using namespace orv;

TEST(DatabaseTest, BindsAndReadsBack) {
    test::ProgramDir dir;
    Database db(dir.file("x.db"), Database::Mode::Create);
    db.exec("create table t (a integer, b real, c text)");
    db.execute("insert into t values (?, ?, ?)", {42, 1.5, QString("O'Brien")});
    db.execute("insert into t values (?, ?, ?)", {QVariant(), QVariant(), QString()});
    Statement st = db.prepare("select a, b, c from t order by rowid");
    ASSERT_TRUE(st.step());
    EXPECT_EQ(std::tuple(st.int64(0), st.real(1), st.text(2)), std::tuple(42, 1.5, "O'Brien"));
    ASSERT_TRUE(st.step());
    EXPECT_TRUE(st.isNull(0) && st.isNull(2));
    EXPECT_FALSE(st.step());
}

// Any name stays one name, however it is spelt.
TEST(DatabaseTest, QuotedNamesRoundTrip) {
    test::ProgramDir dir;
    Database db(dir.file("x.db"), Database::Mode::Create);
    for (const QString name : {"plain", "EmpQTR+1", "VetP/F", "a \"quoted\" name", "x\"; DROP"}) {
        SCOPED_TRACE(name.toStdString());
        db.exec(("CREATE TABLE " + quoteIdentifier(name) + " (" + quoteIdentifier(name) + ")")
                    .toStdString());
        EXPECT_TRUE(db.tableExists(name));
        EXPECT_EQ(
            db.prepare(("SELECT * FROM " + quoteIdentifier(name)).toStdString()).columnName(0),
            name);
    }
}

TEST(DatabaseTest, EngineErrorTextReachesCaller) {
    test::ProgramDir dir;
    Database db(dir.file("x.db"), Database::Mode::Create);
    try {
        db.exec("select * from nowhere");
        FAIL();
    } catch (const DbError& e) {
        EXPECT_TRUE(e.message().contains("no such table")) << e.message().toStdString();
    }
}

TEST(DatabaseTest, OpeningMissingFileCreatesNothing) {
    test::ProgramDir dir;
    EXPECT_THROW(Database(dir.file("none.mdb")), DbError);
    EXPECT_FALSE(QFile::exists(dir.file("none.mdb")));
}

// What a function of the program sees of its arguments: the rules compare numbers only, and
// text that reads as a number is one.
TEST(DatabaseTest, DefinedFunctionsReadTheirArgumentsAsTheRulesDo) {
    test::ProgramDir dir;
    Database db(dir.file("x.db"), Database::Mode::Create);
    db.defineFunction("seen", 1, [](FunctionCall& call) {
        const QVariant v = call.value(0);
        const std::optional<double> n = call.number(0);
        call.setResult(QString::fromLatin1(v.isNull() ? "null" : v.typeName()) + ":" +
                       v.toString() + ":" + (n ? QString::number(*n) : QString("-")));
    });
    const struct {
        const char* argument;
        const char* seen;
    } cases[] = {
        {"NULL", "null::-"},    {"42", "qlonglong:42:42"},      {"1.5", "double:1.5:1.5"},
        {"'7'", "QString:7:7"}, {"' 2.5'", "QString: 2.5:2.5"}, {"'abc'", "QString:abc:-"},
        {"''", "QString::-"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(db.scalar(std::string("SELECT seen(") + c.argument + ")").toString(), c.seen)
            << c.argument;
}

TEST(DatabaseTest, ReadOnlyStatementsRefuseEveryChange) {
    test::ProgramDir dir;
    Database db(dir.file("x.db"), Database::Mode::Create);
    db.exec("CREATE TABLE t (a)");
    for (const char* sql :
         {"INSERT INTO t VALUES (1)", "UPDATE t SET a = 2", "DELETE FROM t", "CREATE TABLE u (b)",
          "DROP TABLE t", "PRAGMA user_version = 3", "ATTACH ':memory:' AS m"})
        EXPECT_THROW(static_cast<void>(db.prepareReadOnly(sql)), WriteRefused) << sql;
    EXPECT_TRUE(db.prepareReadOnly("WITH r(n) AS (SELECT 1) SELECT count(*) FROM t, r").isValid());
    EXPECT_FALSE(db.prepareReadOnly("-- nothing").isValid());
    // The guard ends with the statement: the connection may write again.
    EXPECT_EQ(db.execute("INSERT INTO t VALUES (1)"), 1);
}

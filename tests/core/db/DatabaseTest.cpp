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
    EXPECT_EQ(st.int64(0), 42);
    EXPECT_DOUBLE_EQ(st.real(1), 1.5);
    EXPECT_EQ(st.text(2), "O'Brien");
    ASSERT_TRUE(st.step());
    EXPECT_TRUE(st.isNull(0));
    EXPECT_TRUE(st.isNull(2));
    EXPECT_FALSE(st.step());
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

TEST(DatabaseTest, TransactionRollsBackUnlessCommitted) {
    test::ProgramDir dir;
    Database db(dir.file("x.db"), Database::Mode::Create);
    db.exec("create table t (a)");
    {
        Transaction tx(db);
        db.exec("insert into t values (1)");
    }
    EXPECT_EQ(db.scalar("select count(*) from t").toInt(), 0);
    {
        Transaction tx(db);
        db.exec("insert into t values (1)");
        tx.commit();
    }
    EXPECT_EQ(db.scalar("select count(*) from t").toInt(), 1);
}

TEST(DatabaseTest, OpeningMissingFileCreatesNothing) {
    test::ProgramDir dir;
    EXPECT_THROW(Database(dir.file("none.mdb")), DbError);
    EXPECT_FALSE(QFile::exists(dir.file("none.mdb")));
}

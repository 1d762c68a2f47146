#include "TestSupport.h"

#include "db/Transaction.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

using namespace orv;

namespace {

struct KindCase {
    Transaction::Kind kind;
    bool otherCanRead;  // while the transaction is open and has not written yet
    bool otherCanWrite; // BEGIN IMMEDIATE from another connection
};

class TransactionTest : public ::testing::TestWithParam<KindCase> {};

} // namespace

TEST_P(TransactionTest, LocksByKindAndRollsBackUnlessCommitted) {
    test::ProgramDir dir;
    const QString path = dir.file("x.db");
    Database db(path, Database::Mode::Create);
    db.exec("create table t (a)");
    Database other(path);
    sqlite3_busy_timeout(other.handle(), 0);
    for (const bool commit : {false, true}) {
        {
            Transaction tx(db, GetParam().kind);
            bool read = true;
            try {
                other.scalar("select count(*) from t");
            } catch (const DbError&) {
                read = false;
            }
            EXPECT_EQ(read, GetParam().otherCanRead);
            bool write = true;
            try {
                other.exec("BEGIN IMMEDIATE; ROLLBACK;");
            } catch (const DbError&) {
                write = false;
            }
            EXPECT_EQ(write, GetParam().otherCanWrite);
            db.exec("insert into t values (1)");
            if (commit)
                tx.commit();
        }
        EXPECT_EQ(other.scalar("select count(*) from t").toInt(), commit ? 1 : 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, TransactionTest,
                         ::testing::Values(KindCase{Transaction::Kind::Deferred, true, true},
                                           KindCase{Transaction::Kind::Immediate, true, false},
                                           KindCase{Transaction::Kind::Exclusive, false, false}));

TEST(TransactionFailure, AFailedCommitIsRolledBackByTheDestructor) {
    test::ProgramDir dir;
    const QString path = dir.file("x.db");
    Database db(path, Database::Mode::Create);
    db.exec("create table t (a); insert into t values (0);");
    sqlite3_busy_timeout(db.handle(), 0);
    Database reader(path);
    {
        Transaction tx(db);
        db.exec("insert into t values (1)");
        // A reader in the middle of a query keeps the commit from taking the file.
        Statement rows = reader.prepare("select a from t");
        ASSERT_TRUE(rows.step());
        EXPECT_THROW(tx.commit(), DbError);
    }
    EXPECT_EQ(reader.scalar("select count(*) from t").toInt(), 1);
    // The connection is usable again: no transaction was left open.
    EXPECT_NO_THROW(db.exec("BEGIN; COMMIT;"));
}

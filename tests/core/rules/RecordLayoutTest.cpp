#include "TestSupport.h"

#include "db/Database.h"
#include "rules/RecordLayout.h"

#include <gtest/gtest.h>

using namespace orv;

namespace {

// The reader, the checks and the insert all rely on the file's columns being the master's.
TEST(ImportRecordLayout, MatchesTheMasterTable) {
    Database db(test::templatePath(), Database::Mode::ReadOnly);
    Statement st = db.prepare("PRAGMA table_info(tblORVmaster)");
    int n = 0;
    while (st.step()) {
        ++n;
        if (n > kExtractColumns)
            continue;
        const ExtractColumn& c = extractColumn(n);
        EXPECT_EQ(c.pos, n);
        EXPECT_EQ(st.text(1).toStdString(), std::string(c.master)) << "column " << n;
        const QString type = st.text(2).toUpper();
        const char* expected = c.kind == ColumnKind::Text ? "TEXT" : c.real ? "REAL" : "INTEGER";
        EXPECT_EQ(type, expected) << c.master;
    }
    EXPECT_EQ(n - kDerivedColumns, kExtractColumns);
}

TEST(ImportRecordLayout, FindsColumnsByMasterName) {
    EXPECT_EQ(extractColumnPos("obs"), 1);
    EXPECT_EQ(extractColumnPos("empqtr+1"), 45);
    EXPECT_EQ(extractColumnPos("UserId"), 64);
    EXPECT_EQ(extractColumnPos("Weight"), 0);
}

} // namespace

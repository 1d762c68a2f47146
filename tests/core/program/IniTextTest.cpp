#include "TestSupport.h"

#include "db/Database.h"
#include "program/IniText.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace orv;

namespace {

struct EditCase {
    const char* what;
    const char* before;
    const char* section;
    const char* key;
    const char* value;
    const char* after;
};

void PrintTo(const EditCase& c, std::ostream* os) {
    *os << c.what;
}

class IniEditTest : public ::testing::TestWithParam<EditCase> {};

TEST_P(IniEditTest, ChangesOneKeyAndKeepsEveryOtherLine) {
    const EditCase& c = GetParam();
    IniText ini{QByteArray(c.before)};
    ini.set(c.section, c.key, c.value);
    EXPECT_EQ(ini.bytes().toStdString(), c.after);
    EXPECT_EQ(ini.value(c.section, c.key).toStdString(), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Table, IniEditTest,
    ::testing::Values(
        EditCase{"empty file", "", "ORVDataVal", "Driver", "SQLite3",
                 "[ORVDataVal]\nDriver=SQLite3\n"},
        EditCase{"new section after others", "# mine\n[Other]\nDriver = X\n", "ORVDataVal",
                 "Database", "/d/a.mdb",
                 "# mine\n[Other]\nDriver = X\n\n[ORVDataVal]\nDatabase=/d/a.mdb\n"},
        EditCase{"replaced in place, any case",
                 "[orvdataval]\n DBQ = /old.mdb \n; note\nUid=Admin\n", "ORVDataVal", "dbq",
                 "/new.mdb", "[orvdataval]\ndbq=/new.mdb\n; note\nUid=Admin\n"},
        EditCase{"added before the blank line of the next section",
                 "[ORVDataVal]\nDriver=Microsoft Access Driver (*.MDB)\n\n[Other]\nDatabase=/o\n",
                 "ORVDataVal", "Database", "/a b/c.mdb",
                 "[ORVDataVal]\nDriver=Microsoft Access Driver (*.MDB)\nDatabase=/a b/c.mdb\n\n"
                 "[Other]\nDatabase=/o\n"},
        EditCase{"same key of another section untouched", "[Other]\nDatabase=/o\n[ORVDataVal]\n",
                 "ORVDataVal", "Database", "/x",
                 "[Other]\nDatabase=/o\n[ORVDataVal]\nDatabase=/x\n"},
        EditCase{"Windows line ends kept elsewhere", "[A]\r\nk=1\r\n[B]\r\n", "B", "k", "2",
                 "[A]\r\nk=1\r\n[B]\r\nk=2\n"},
        EditCase{"no final line break", "[A]\nk=1", "A", "j", "2", "[A]\nk=1\nj=2\n"},
        EditCase{"commented key is not the key", "[A]\n#k=1\n", "A", "k", "2",
                 "[A]\n#k=1\nk=2\n"}));

TEST(IniText, FileIsReplacedWholeAndThroughALink) {
    QTemporaryDir dir;
    const QString real = dir.filePath("real.ini");
    const QString link = dir.filePath("odbc.ini");
    EXPECT_TRUE(readIniFile(dir.filePath("missing.ini")).sections().isEmpty());
    test::writeFile(real, "[Mine]\nk=v\n");
    ASSERT_TRUE(QFile::link(real, link));
    IniText ini = readIniFile(link);
    ini.set("ORVDataVal", "Driver", "SQLite3");
    writeIniFile(link, ini);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(test::readFile(real), "[Mine]\nk=v\n\n[ORVDataVal]\nDriver=SQLite3\n");
    EXPECT_EQ(readIniFile(link).sections(), QStringList({"Mine", "ORVDataVal"}));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2); // no leftovers

    EXPECT_THROW(writeIniFile(dir.filePath("no/such/folder/odbc.ini"), ini), DbError);
}

} // namespace

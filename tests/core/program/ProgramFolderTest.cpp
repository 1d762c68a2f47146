#include "TestSupport.h"

#include "program/ProgramFolder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace orv;

namespace {

enum class Where { AppDir, Home, Data, Error };

struct FolderCase {
    const char* what;
    bool templateBesideProgram; // the build tree's marker
    bool installedFiles;        // prefix/share/orvdv with its files and the guide
    bool homeGiven;
    bool dataGiven;
    bool dataIsAFile;        // something in the way of the data folder
    const char* dataAlready; // contact.ini the agency already set there, or null
    Where where;
};

void PrintTo(const FolderCase& c, std::ostream* os) {
    *os << c.what;
}

class ProgramFolderTest : public ::testing::TestWithParam<FolderCase> {
protected:
    // prefix/bin is the executable's folder; prefix/share/orvdv what the package installs.
    void layOut(const FolderCase& c) {
        QDir().mkpath(appDir());
        if (c.templateBesideProgram)
            test::writeFile(appDir() + "/ORVTemplate.xmdb", "built");
        if (c.installedFiles) {
            QDir().mkpath(share() + "/guide");
            test::writeFile(share() + "/ORVTemplate.xmdb", "installed template");
            test::writeFile(share() + "/contact.ini", "installed contact");
            test::writeFile(share() + "/R001-1.rpt", "installed report");
            test::writeFile(share() + "/guide/index.html", "guide");
        }
        if (c.dataIsAFile)
            test::writeFile(root.filePath("home"), "in the way");
        if (c.dataAlready) {
            QDir().mkpath(data());
            test::writeFile(data() + "/contact.ini", c.dataAlready);
        }
    }
    QString appDir() const { return root.filePath("prefix/bin"); }
    QString share() const { return root.filePath("prefix/share/orvdv"); }
    QString data() const { return root.filePath("home/.local/share/orvdv"); }
    QString home() const { return root.filePath("elsewhere"); }

    QTemporaryDir root;
};

TEST_P(ProgramFolderTest, PicksTheFolderAndFillsOnlyAnInstalledOne) {
    const FolderCase& c = GetParam();
    layOut(c);
    const ProgramFolder f = resolveProgramFolder(appDir(), c.homeGiven ? home() : QString(),
                                                 c.dataGiven ? data() : QString());
    switch (c.where) {
    case Where::AppDir:
        EXPECT_EQ(f.path, appDir());
        break;
    case Where::Home:
        EXPECT_EQ(f.path, home());
        break;
    case Where::Data:
        EXPECT_EQ(f.path, data());
        EXPECT_TRUE(f.installed);
        break;
    case Where::Error:
        EXPECT_TRUE(f.path.isEmpty());
        EXPECT_FALSE(f.error.isEmpty());
        break;
    }
    if (c.where != Where::Data) {
        // Nothing is copied anywhere but into the data folder of an installed program.
        EXPECT_FALSE(QFileInfo::exists(data() + "/ORVTemplate.xmdb"));
        EXPECT_FALSE(QFileInfo::exists(home() + "/ORVTemplate.xmdb"));
        return;
    }
    EXPECT_EQ(test::readFile(data() + "/ORVTemplate.xmdb"), "installed template");
    EXPECT_EQ(test::readFile(data() + "/R001-1.rpt"), "installed report");
    EXPECT_EQ(test::readFile(data() + "/contact.ini"),
              c.dataAlready ? QByteArray(c.dataAlready) : QByteArray("installed contact"));
    EXPECT_FALSE(QFileInfo::exists(data() + "/guide"));
    EXPECT_TRUE(QFileInfo::exists(share() + "/guide/index.html"));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProgramFolderTest,
    ::testing::Values(
        FolderCase{"build tree", true, false, false, true, false, nullptr, Where::AppDir},
        FolderCase{"build tree inside a prefix", true, true, false, true, false, nullptr,
                   Where::AppDir},
        FolderCase{"installed, first start", false, true, false, true, false, nullptr, Where::Data},
        FolderCase{"installed, contact details set by the agency", false, true, false, true, false,
                   "agency's help desk", Where::Data},
        FolderCase{"installed with --home", false, true, true, true, false, nullptr, Where::Home},
        FolderCase{"build tree with --home", true, false, true, true, false, nullptr, Where::Home},
        FolderCase{"a lone executable", false, false, false, true, false, nullptr, Where::AppDir},
        FolderCase{"installed, no data folder known", false, true, false, false, false, nullptr,
                   Where::Error},
        FolderCase{"installed, data folder cannot be made", false, true, false, true, true, nullptr,
                   Where::Error}));

// A newer package brings its files to a data folder that still holds them as copied, and leaves
// alone those the user changed.
TEST(ProgramFolderUpgradeTest, RefreshesOnlyUneditedCopies) {
    QTemporaryDir root;
    const QString app = root.filePath("prefix/bin");
    const QString share = root.filePath("prefix/share/orvdv");
    const QString data = root.filePath("data");
    QDir().mkpath(app);
    QDir().mkpath(share);
    test::writeFile(share + "/R001-1.rpt", "report 1");
    test::writeFile(share + "/contact.ini", "contact 1");
    ASSERT_EQ(resolveProgramFolder(app, {}, data).path, data);

    test::writeFile(data + "/contact.ini", "agency's help desk");
    test::writeFile(share + "/R001-1.rpt", "report 2");
    test::writeFile(share + "/contact.ini", "contact 2");
    test::writeFile(share + "/ORVDV.DLL", "tips");
    ASSERT_EQ(resolveProgramFolder(app, {}, data).path, data);
    EXPECT_EQ(test::readFile(data + "/R001-1.rpt"), "report 2");
    EXPECT_EQ(test::readFile(data + "/contact.ini"), "agency's help desk");
    EXPECT_EQ(test::readFile(data + "/ORVDV.DLL"), "tips");
}

} // namespace

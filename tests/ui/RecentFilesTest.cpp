#include "ShellFixture.h"

#include "MainMenu.h"
#include "RecentFiles.h"

#include <QDir>
#include <QFile>
#include <QMenu>

namespace orv::test {

TEST(RecentFiles, NewestFirstEachOnceAtMostEight) {
    QStringList eight;
    for (int i = 1; i <= ui::kRecentFilesMax; ++i)
        eight << QStringLiteral("/d/%1.mdb").arg(i);
    const struct {
        QStringList before;
        QString path;
        QStringList after;
    } cases[] = {
        {{}, "/d/a.mdb", {"/d/a.mdb"}},
        {{"/d/a.mdb", "/d/b.mdb"}, "/d/b.mdb", {"/d/b.mdb", "/d/a.mdb"}},
        {{"/d/a.mdb"}, "/d/x/../a.mdb", {"/d/a.mdb"}},
        {{"/d/a.mdb"}, "", {"/d/a.mdb"}},
        {eight, "/d/new.mdb", QStringList{"/d/new.mdb"} + eight.mid(0, ui::kRecentFilesMax - 1)},
        {{}, "rel.mdb", {QDir::cleanPath(QDir::current().absoluteFilePath("rel.mdb"))}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ui::withRecentFile(c.before, c.path), c.after) << c.path.toStdString();
}

TEST_F(ShellTest, OpenRecentListsTheDatabasesOpenedAndOpensOne) {
    createDatabase(QStringLiteral("a.mdb"));
    createDatabase(QStringLiteral("b.mdb"));
    auto* recent = window->findChild<QMenu*>(QStringLiteral("mnuRecent"));
    ASSERT_TRUE(recent);
    auto entries = [&] {
        emit recent->aboutToShow();
        return recent->actions();
    };
    ASSERT_EQ(entries().size(), 2);
    EXPECT_TRUE(entries()[0]->text().endsWith(QLatin1String("b.mdb")));
    // A database gone since is listed, but cannot be chosen.
    ASSERT_TRUE(QFile::remove(dir.file("b.mdb")));
    EXPECT_FALSE(entries()[0]->isEnabled());
    QAction* a = entries()[1];
    EXPECT_TRUE(a->isEnabled());
    a->trigger();
    EXPECT_EQ(session().databasePath(), dir.file("a.mdb"));
    EXPECT_TRUE(screen("U003"));
    EXPECT_TRUE(entries()[0]->text().endsWith(QLatin1String("a.mdb")));
}

// orvdv FILE: the file opens as File > Open opens it, with its messages.
TEST_F(ShellTest, ADatabaseNamedAtStartUpOpensAsFileOpenDoes) {
    test::writeFile(dir.file("damaged.mdb"), "just some words\n");
    ASSERT_TRUE(QFile::copy(test::templatePath(), dir.file("good.mdb")));
    const struct {
        const char* file;
        const char* message; // the start of the one message shown; empty for none
        bool opens;
    } cases[] = {
        {"missing.mdb", "Unable to attach to database!\nCould not find file", false},
        {"damaged.mdb", "Unable to attach to database!\n", false},
        {"good.mdb", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        fe().clearRecords();
        ui::openDatabaseFile(*window, dir.file(c.file));
        if (*c.message) {
            ASSERT_EQ(fe().messages().size(), 1);
            EXPECT_TRUE(fe().messages()[0].text.startsWith(QString::fromUtf8(c.message)))
                << fe().messages()[0].text.toStdString();
            EXPECT_EQ(fe().messages()[0].icon, Icon::Critical);
        } else {
            EXPECT_TRUE(fe().messages().isEmpty()) << fe().lastMessage().toStdString();
        }
        EXPECT_EQ(screen("U003") != nullptr, c.opens);
        EXPECT_EQ(fe().recentFiles().contains(dir.file(c.file)), c.opens);
    }
    EXPECT_EQ(session().databasePath(), dir.file("good.mdb"));
}

} // namespace orv::test

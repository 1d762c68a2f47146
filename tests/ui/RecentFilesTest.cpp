#include "ShellFixture.h"

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

} // namespace orv::test

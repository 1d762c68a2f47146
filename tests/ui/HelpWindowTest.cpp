#include "WorksheetFixture.h"

#include "HelpWindow.h"

#include <QDirIterator>
#include <QListWidget>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBrowser>

using namespace orv;
using orv::test::ShellTest;

namespace {

QString guideSource() {
    return QStringLiteral(ORV_SOURCE_DIR "/docs/guide");
}

void copyTree(const QString& from, const QString& to) {
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = QDir(to).filePath(QDir(from).relativeFilePath(file));
        QDir().mkpath(QFileInfo(target).absolutePath());
        ASSERT_TRUE(QFile::copy(file, target)) << target.toStdString();
    }
}

// The page and anchor a help window shows, as "import.html#import-screen".
QString shownPage(const ui::HelpWindow* help) {
    if (!help)
        return QStringLiteral("<no help window>");
    const QUrl url = help->source();
    QString page = QFileInfo(url.toLocalFile()).fileName();
    if (url.hasFragment())
        page += QLatin1Char('#') + url.fragment();
    return page;
}

// The program folder's guide first, then the one beside the executable (a build tree's), then
// the installed one; a moved program folder still finds those beside the executable.
TEST(GuideLookup, ProgramFolderFirstThenInstalledLayout) {
    struct Case {
        const char* what;
        bool moved; // the program folder is not the executable's
        bool inBin;
        bool installed;
        const char* expected; // "bin", "installed" or ""
    };
    const Case cases[] = {
        {"both: the program folder's", false, true, true, "bin"},
        {"only the installed one", false, false, true, "installed"},
        {"only the program folder's", false, true, false, "bin"},
        {"none", false, false, false, ""},
        {"moved: the installed one", true, false, true, "installed"},
        {"moved: the built one beside the executable", true, true, true, "bin"},
    };
    for (const Case& c : cases) {
        QTemporaryDir root;
        const QString bin = root.filePath("bin");
        const QString installed = root.filePath("share/orvdv/guide/index.html");
        QDir().mkpath(bin + "/guide");
        QDir().mkpath(QFileInfo(installed).absolutePath());
        if (c.inBin)
            test::writeFile(bin + "/guide/index.html", "<html></html>");
        if (c.installed)
            test::writeFile(installed, "<html></html>");
        const QString expected = QString::fromLatin1(c.expected) == "bin"
                                     ? bin + "/guide/index.html"
                                 : QString::fromLatin1(c.expected) == "installed" ? installed
                                                                                  : QString();
        EXPECT_EQ(ui::findGuide(c.moved ? root.filePath("elsewhere") : bin, bin),
                  QDir::cleanPath(expected))
            << c.what;
    }
}

// Every link and picture of the guide leads somewhere: a broken one is a fault staff meet.
TEST(GuidePages, LinksAnchorsAndPicturesExist) {
    const QDir guide(guideSource());
    const QList<ui::GuidePage> contents = ui::readGuideContents(guide.filePath("index.html"));
    ASSERT_GE(contents.size(), 10);

    static const QRegularExpression href(QStringLiteral("<a href=\"([^\"]+)\""));
    static const QRegularExpression img(QStringLiteral("<img src=\"([^\"]+)\""));
    static const QRegularExpression css(
        QStringLiteral("<link rel=\"stylesheet\" href=\"([^\"]+)\""));
    QStringList pages = guide.entryList({"*.html"}, QDir::Files);
    QStringList usedImages;
    auto anchorExists = [&](const QString& file, const QString& anchor) {
        return QString::fromUtf8(test::readFile(guide.filePath(file)))
            .contains(QStringLiteral("id=\"%1\"").arg(anchor));
    };
    for (const QString& page : pages) {
        const QString html = QString::fromUtf8(test::readFile(guide.filePath(page)));
        EXPECT_TRUE(html.startsWith("<!DOCTYPE html>")) << page.toStdString();
        EXPECT_TRUE(html.contains("</html>")) << page.toStdString();
        for (auto m = css.globalMatch(html); m.hasNext();)
            EXPECT_TRUE(guide.exists(m.next().captured(1))) << page.toStdString();
        for (auto m = href.globalMatch(html); m.hasNext();) {
            const QString target = m.next().captured(1);
            if (target.contains(':'))
                continue; // mail and web addresses
            const QString file = target.section('#', 0, 0);
            const QString anchor = target.section('#', 1);
            ASSERT_FALSE(file.isEmpty()) << page.toStdString() << " " << target.toStdString();
            EXPECT_TRUE(guide.exists(file)) << page.toStdString() << " -> " << target.toStdString();
            if (!anchor.isEmpty()) {
                EXPECT_TRUE(anchorExists(file, anchor))
                    << page.toStdString() << " -> " << target.toStdString();
            }
        }
        for (auto m = img.globalMatch(html); m.hasNext();) {
            const QString src = m.next().captured(1);
            EXPECT_TRUE(guide.exists(src)) << page.toStdString() << " -> " << src.toStdString();
            usedImages << src;
        }
    }

    // Every page is in the contents, and every picture shipped is shown somewhere.
    QStringList listed;
    for (const ui::GuidePage& p : contents) {
        EXPECT_FALSE(p.title.isEmpty()) << p.file.toStdString();
        listed << p.file;
    }
    pages.removeAll("index.html");
    for (const QString& page : pages)
        EXPECT_TRUE(listed.contains(page)) << page.toStdString() << " is not in the contents";
    for (const QString& image : QDir(guide.filePath("images")).entryList(QDir::Files))
        EXPECT_TRUE(usedImages.contains("images/" + image)) << image.toStdString() << " unused";

    // F1 on every screen leads to a page and a place on it.
    for (const QString& id : ui::guideScreenIds()) {
        const QString target = ui::guidePageFor(id);
        const QString file = target.section('#', 0, 0);
        EXPECT_TRUE(listed.contains(file)) << id.toStdString() << " -> " << target.toStdString();
        EXPECT_TRUE(anchorExists(file, target.section('#', 1)))
            << id.toStdString() << " -> " << target.toStdString();
    }
}

// The program with its guide in the program folder, as the build lays it out, signed in with a
// sample drawn.
class HelpTest : public test::WorksheetTest {
protected:
    void SetUp() override {
        copyTree(guideSource(), dir.file("guide"));
        WorksheetTest::SetUp();
    }
    ui::HelpWindow* help() { return window->helpWindow(); }
    void pressF1(QWidget* on) {
        ASSERT_TRUE(on);
        on->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(on, Qt::Key_F1);
        QApplication::processEvents();
    }
};

TEST_F(HelpTest, HelpContentsOpensOneSharedWindowAtTheContents) {
    menu("mnuHelpHelp", 0)->trigger();
    ui::HelpWindow* first = help();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(shownPage(first), "index.html");
    EXPECT_TRUE(fe().messages().isEmpty()) << fe().lastMessage().toStdString();
    EXPECT_GE(first->pages().size(), 10);

    // Another page, then the menu again: the same window, back at the contents.
    first->openPage("sample.html#find");
    EXPECT_EQ(shownPage(first), "sample.html#find");
    first->hide();
    menu("mnuHelpHelp", 0)->trigger();
    EXPECT_EQ(help(), first);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(shownPage(first), "index.html");
    first->browser()->backward();
    EXPECT_EQ(shownPage(first), "sample.html#find");
}

TEST_F(HelpTest, F1OpensThePageOfTheScreenWithTheFocus) {
    pressF1(window.get());
    EXPECT_EQ(shownPage(help()), "starting.html#main-window");

    fe().setNextFileName(QString()); // the import screen's file dialog, cancelled
    menu("mnuImpDat", 0)->trigger();
    pressF1(control<QPushButton>("U011", "cmdExit1"));
    EXPECT_EQ(shownPage(help()), "import.html#import-screen");

    menu("mnuCPop", 1)->trigger();
    pressF1(control<QLineEdit>("U003", "txtFiscalYear"));
    EXPECT_EQ(shownPage(help()), "sign-in.html#report-options");
    // One help window throughout, and F1 inside it is its own.
    ui::HelpWindow* shared = help();
    pressF1(shared->browser());
    EXPECT_EQ(help(), shared);
    EXPECT_EQ(shownPage(help()), "sign-in.html#report-options");
    menu("mnuMakePack", -1)->trigger();
    pressF1(control<QLineEdit>("frmMakePack", "txtValidator"));
    EXPECT_EQ(shownPage(help()), "fieldwork.html#make");

    // The worksheet takes its own keys; F1 still goes to the help, marking nothing.
    openList()->openWorksheet(0);
    pressF1(worksheetControl<QLineEdit>("txtOBS"));
    EXPECT_EQ(shownPage(help()), "worksheets.html#worksheet");
    ASSERT_TRUE(worksheet());
    EXPECT_FALSE(worksheet()->worksheet().isModified());
}

TEST(HelpSearch, ListsThePagesThatHoldEveryWordMostMentionsFirst) {
    ui::HelpWindow help(guideSource() + "/index.html");
    struct Case {
        const char* query;
        const char* firstHit; // empty: no page
    };
    const Case cases[] = {
        {"Abort the process", "import.html"},
        {"exceptions MISSING record", "worksheets.html"},
        {"ParticipantGroup1.1.txt", "exports.html"},
        {"zoom", "reports.html"},
        {"xylophone", ""},
        {"   ", ""},
    };
    for (const Case& c : cases) {
        const QList<ui::GuidePage> hits = help.search(QString::fromLatin1(c.query));
        if (*c.firstHit == '\0') {
            EXPECT_TRUE(hits.isEmpty()) << c.query;
            continue;
        }
        ASSERT_FALSE(hits.isEmpty()) << c.query;
        EXPECT_EQ(hits.first().file, c.firstHit) << c.query;
    }

    // Typed into the box: the hits are listed, and a click opens one.
    auto* box = help.findChild<QLineEdit*>("txtSearch");
    ASSERT_TRUE(box);
    box->setText("Abort the process");
    QTest::keyClick(box, Qt::Key_Return);
    ASSERT_GE(help.hitList()->count(), 1);
    emit help.hitList()->itemClicked(help.hitList()->item(0));
    EXPECT_EQ(shownPage(&help), "import.html");
    EXPECT_TRUE(help.browser()->textCursor().hasSelection());
}

} // namespace

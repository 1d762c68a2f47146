#include "ShellFixture.h"

#include "AboutScreen.h"
#include "CalendarScreen.h"
#include "ContactScreen.h"
#include "SystemInfoDialog.h"
#include "TipScreen.h"
#include "program/Version.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QMap>
#include <QPushButton>
#include <QSysInfo>

using namespace orv;
using orv::test::ShellTest;

namespace {

struct KeyCase {
    QDate from;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    QDate to;
};

void PrintTo(const KeyCase& c, std::ostream* os) {
    *os << c.from.toString(Qt::ISODate).toStdString() << " key " << c.key << " mod "
        << c.modifiers.toInt();
}

class CalendarKeysTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(CalendarKeysTest, Keys) {
    const KeyCase& c = GetParam();
    ui::CalendarScreen screen(c.from);
    screen.show();
    QTest::keyClick(screen.calendar(), c.key, c.modifiers);
    EXPECT_EQ(screen.date(), c.to);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CalendarKeysTest,
    ::testing::Values(KeyCase{{2006, 7, 1}, Qt::Key_Left, Qt::NoModifier, {2006, 6, 30}},
                      KeyCase{{2006, 7, 1}, Qt::Key_Right, Qt::NoModifier, {2006, 7, 2}},
                      KeyCase{{2006, 7, 1}, Qt::Key_Up, Qt::NoModifier, {2006, 7, 8}},
                      KeyCase{{2006, 7, 1}, Qt::Key_Down, Qt::NoModifier, {2006, 6, 24}},
                      KeyCase{{2006, 7, 1}, Qt::Key_PageUp, Qt::NoModifier, {2006, 6, 1}},
                      KeyCase{{2006, 7, 1}, Qt::Key_PageDown, Qt::NoModifier, {2006, 8, 1}},
                      KeyCase{{2006, 1, 15}, Qt::Key_PageUp, Qt::NoModifier, {2005, 12, 15}},
                      KeyCase{{2006, 12, 15}, Qt::Key_PageDown, Qt::NoModifier, {2007, 1, 15}},
                      KeyCase{{2006, 7, 1}, Qt::Key_PageUp, Qt::ShiftModifier, {2005, 7, 1}},
                      KeyCase{{2006, 7, 1}, Qt::Key_PageDown, Qt::ShiftModifier, {2007, 7, 1}}));

TEST(CalendarScreen, EveryWayOfClosingReturnsTheDateShown) {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        ui::CalendarScreen screen(QDate(2006, 7, 1));
        screen.show();
        QTest::keyClick(screen.calendar(), Qt::Key_Right);
        QTest::keyClick(screen.calendar(), key);
        EXPECT_FALSE(screen.isVisible());
        EXPECT_EQ(screen.date(), QDate(2006, 7, 2));
    }
    ui::CalendarScreen screen{QDate()};
    EXPECT_EQ(screen.date(), QDate::currentDate());
    EXPECT_EQ(screen.windowTitle(), "U004 - Calendar");
}

class TipsTest : public ShellTest {
protected:
    ui::TipScreen* openTips() {
        window->showTipOfTheDay();
        return qobject_cast<ui::TipScreen*>(screen("U014"));
    }
    void click(ui::TipScreen* tips, const char* name) {
        QTest::mouseClick(tips->findChild<QWidget*>(name), Qt::LeftButton);
    }
};

TEST_F(TipsTest, TipsCycleInFileOrder) {
    test::writeFile(dir.file("ORVDV.DLL"), "first tip\ntwo words&on two lines\nthird tip\n");
    ui::TipScreen* tips = openTips();
    ASSERT_TRUE(tips);
    EXPECT_EQ(tips->windowTitle(), "Tip of the Day");
    EXPECT_EQ(tips->tipCount(), 3);
    EXPECT_EQ(tips->tipText(), "first tip");
    click(tips, "cmdNextTip");
    EXPECT_EQ(tips->tipText(), "two words\non two lines");
    click(tips, "cmdNextTip");
    EXPECT_EQ(tips->tipText(), "third tip");
    click(tips, "cmdNextTip");
    EXPECT_EQ(tips->tipText(), "first tip");
    EXPECT_TRUE(tips->findChild<QCheckBox*>("chkLoadTipsAtStartup")->isChecked());
    click(tips, "cmdClose");
    EXPECT_EQ(screen("U014"), nullptr);
}

TEST_F(TipsTest, MissingTipsFile) {
    ui::TipScreen* tips = openTips();
    ASSERT_TRUE(tips);
    EXPECT_TRUE(tips->tipText().startsWith("That the ORVDV.DLL file was not found? "));
    EXPECT_FALSE(tips->loadTips(QString()));
}

TEST_F(TipsTest, ClearingShowTipsIsStored) {
    signInWith2008();
    ui::TipScreen* tips = qobject_cast<ui::TipScreen*>(screen("U014"));
    ASSERT_TRUE(tips);
    click(tips, "chkLoadTipsAtStartup");
    EXPECT_EQ(stored("showtips").toInt(), 0);
    EXPECT_FALSE(window->action(MenuEntry::ShowTipsAtStartup)->isChecked());
}

TEST_F(TipsTest, NoTipsWhenSwitchedOff) {
    createDatabase();
    session().db().execute("UPDATE tblsystem SET showtips = 0");
    type(control<QLineEdit>("U003", "txtFiscalYear"), "2008");
    QTest::mouseClick(control<QWidget>("U003", "cmdsignin"), Qt::LeftButton);
    EXPECT_EQ(screen("U003"), nullptr);
    EXPECT_EQ(screen("U014"), nullptr);
    EXPECT_FALSE(window->action(MenuEntry::ShowTipsAtStartup)->isChecked());
}

// Core reads the file; until the agency fills it the screen says how, with nothing empty shown
// and nothing a link, and once filled shows each detail as plain text.
TEST_F(ShellTest, ContactDetailsComeFromTheFileBesideTheProgram) {
    auto open = [&] {
        menu("mnuHelpHelp", 5)->trigger();
        return qobject_cast<ui::ContactScreen*>(screen("U008"));
    };
    auto shown = [](QWidget* s, const char* name) {
        return !s->findChild<QWidget*>(name)->isHidden();
    };
    // As shipped, with its placeholder.
    ASSERT_TRUE(QFile::copy(QStringLiteral(ORV_SOURCE_DIR "/src/app/contact.ini"),
                            dir.file("contact.ini")));
    ui::ContactScreen* placeholder = open();
    ASSERT_TRUE(placeholder);
    EXPECT_TRUE(
        placeholder->findChild<QLabel*>("lblNotSet")->text().contains(dir.file("contact.ini")));
    for (const char* name : {"lblCompany", "lblAddress", "lblPhone1", "lblContact2", "lblFax",
                             "picFax", "lblMailLink", "lblweblink"})
        EXPECT_FALSE(shown(placeholder, name)) << name;
    QTest::mouseClick(placeholder->findChild<QWidget*>("cmdExit"), Qt::LeftButton);
    EXPECT_EQ(screen("U008"), nullptr);
    QFile::remove(dir.file("contact.ini"));

    test::writeFile(dir.file("contact.ini"), "[Contact]\nOrganisation = Agency <i>ORV</i>\n"
                                             "Address1 = 1 Main St\nAddress2 = City\n"
                                             "Phone1 = 555-0100\nEmail = help@agency.example\n");
    ui::ContactScreen* contact = open();
    ASSERT_TRUE(contact);
    EXPECT_EQ(contact->windowTitle(), "Contact Us.");
    auto* company = contact->findChild<QLabel*>("lblCompany");
    EXPECT_EQ(company->text(), "Agency <i>ORV</i>");
    EXPECT_EQ(company->textFormat(), Qt::PlainText);
    EXPECT_EQ(contact->findChild<QLabel*>("lblAddress")->text(), "1 Main St\nCity");
    EXPECT_EQ(contact->mailUrl(), "mailto:help@agency.example?subject=ORV Help Request ");
    EXPECT_FALSE(shown(contact, "lblNotSet"));
    EXPECT_TRUE(shown(contact, "lblPhone1"));
    EXPECT_FALSE(shown(contact, "lblPhone2"));
}

TEST_F(ShellTest, SystemInfoTellsWhatASupportDeskAsksFor) {
    createDatabase();
    menu("mnuHelpHelp", 7)->trigger();
    auto* about = qobject_cast<ui::AboutScreen*>(screen("U009"));
    ASSERT_TRUE(about);
    auto* info = about->findChild<QPushButton*>("cmdInfo");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->text(), "&SysInfo");
    EXPECT_FALSE(info->isHidden());
    QTest::mouseClick(info, Qt::LeftButton);
    auto* dialog = about->findChild<ui::SystemInfoDialog*>("dlgSysInfo");
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->isVisible());

    QMap<QString, QString> lines;
    for (const QString& l : dialog->text().split('\n', Qt::SkipEmptyParts))
        lines.insert(l.section(": ", 0, 0), l.section(": ", 1, -1));
    auto line = [&](const char* label) { return lines.value(label); };
    EXPECT_EQ(line("Program"), QStringLiteral("ORV Data Validation System. Version %1")
                                   .arg(QString::fromLatin1(orv::kPackageVersion)));
    EXPECT_TRUE(line("Qt").startsWith(qVersion()));
    EXPECT_TRUE(line("SQLite").startsWith("3."));
    EXPECT_EQ(line("Operating system").section(',', 0, 0), QSysInfo::prettyProductName());
    EXPECT_EQ(line("Program folder"), dir.path());
    EXPECT_EQ(line("Open database"), dir.file("run.mdb"));
    EXPECT_TRUE(line("Data source").startsWith("ORVDataVal -> " + dir.file("run.mdb")));
    EXPECT_TRUE(line("ODBC driver").startsWith("SQLite3 ("));
    EXPECT_FALSE(line("ODBC driver").contains("cannot"));
    EXPECT_EQ(lines.size(), 8) << dialog->text().toStdString();

    QGuiApplication::clipboard()->clear();
    QTest::mouseClick(dialog->findChild<QPushButton*>("cmdCopy"), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), dialog->text());
    QTest::mouseClick(dialog->findChild<QPushButton*>("cmdClose"), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(about->findChild<ui::SystemInfoDialog*>(), nullptr);
}

} // namespace

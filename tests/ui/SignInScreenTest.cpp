#include "ShellFixture.h"

#include "CalendarScreen.h"
#include "SignInScreen.h"

#include <QCalendarWidget>

#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <functional>

using namespace orv;
using orv::test::ShellTest;

namespace {

class SignInScreenTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        createDatabase();
    }
    QLineEdit* box(const char* name) { return control<QLineEdit>("U003", name); }
    QComboBox* combo(const char* name) { return control<QComboBox>("U003", name); }
    void click(const char* name) {
        QTest::mouseClick(control<QWidget>("U003", name), Qt::LeftButton);
        QApplication::processEvents();
    }
    void signInWithFiscalYear() {
        type(box("txtFiscalYear"), "2008");
        click("cmdsignin");
        ASSERT_EQ(screen("U003"), nullptr) << fe().lastMessage().toStdString();
    }
    void addMaster(const char* office, const char* wib, const char* caseMgr) {
        session().db().execute(
            "INSERT INTO tblORVmaster (OfficeName, WibName, CaseMgr) VALUES (?, ?, ?)",
            {office, wib, caseMgr});
    }
};

TEST_F(SignInScreenTest, SignInModeLayout) {
    EXPECT_TRUE(box("txtFiscalYear")->isVisible());
    EXPECT_TRUE(combo("cboPopulation")->isVisible());
    EXPECT_EQ(combo("cboPopulation")->currentText(), "1- Halvern");
    EXPECT_EQ(combo("cboPopulation")->itemText(0), "1-Halvern");
    EXPECT_FALSE(control<QWidget>("U003", "Frame3")->isVisible());
    EXPECT_FALSE(combo("cboOffice")->isVisible());
    EXPECT_EQ(control<QPushButton>("U003", "cmdsignin")->text(), "&Sign In");
    EXPECT_TRUE(control<QPushButton>("U003", "cmdExit")->isEnabled());
}

struct TypedDate {
    const char* typed;
    const char* shown;
};

void PrintTo(const TypedDate& c, std::ostream* os) {
    *os << '"' << c.typed << '"';
}

class DateEntryTest : public SignInScreenTest, public ::testing::WithParamInterface<TypedDate> {};

TEST_P(DateEntryTest, LeavingADateBox) {
    const TypedDate& c = GetParam();
    for (const char* name : {"txtperiod", "txtPeriodEnd", "txtSampleDate"}) {
        fe().clearRecords();
        type(box(name), c.typed);
        EXPECT_EQ(box(name)->text().toStdString(), c.shown) << name << " typed " << c.typed;
        if (*c.shown) {
            EXPECT_TRUE(fe().messages().isEmpty());
        } else {
            ASSERT_EQ(fe().messages().size(), 1);
            EXPECT_EQ(fe().lastMessage(), "Please enter a valid date.");
            EXPECT_EQ(fe().messages().first().icon, Icon::Exclamation);
        }
    }
}

// Each box reads a date by the rules of core; one valid and one invalid date show it does.
INSTANTIATE_TEST_SUITE_P(Table, DateEntryTest,
                         ::testing::Values(TypedDate{"7/1/06", "07/01/2006"},
                                           TypedDate{"13012006", ""}));

// Core holds the fiscal year's rules; the box applies them when left, and a refusal is plain.
TEST_F(SignInScreenTest, FiscalYearBoxAppliesTheRules) {
    type(box("txtFiscalYear"), "2010");
    EXPECT_EQ(box("txtperiod")->text() + '-' + box("txtPeriodEnd")->text(),
              "07/01/2008-06/30/2009");
    box("txtperiod")->clear();
    box("txtPeriodEnd")->clear();
    type(box("txtFiscalYear"), "FY");
    EXPECT_EQ(fe().lastMessage(), "Fiscal Year must be numeric.");
    EXPECT_EQ(fe().messages().first().icon, Icon::None);
}

// Core holds the checks; a refusal is told and keeps the screen open.
TEST_F(SignInScreenTest, ChecksKeepTheScreenOpen) {
    type(box("txtFiscalYear"), "2008");
    type(box("txtPeriodEnd"), "06302006");
    click("cmdsignin");
    EXPECT_EQ(fe().lastMessage(),
              "Invalid Dates -- The Period End Date is before the Period Start Date.");
    EXPECT_EQ(fe().messages().last().icon, Icon::Exclamation);
    ASSERT_TRUE(screen("U003"));
    EXPECT_FALSE(enabled(MenuEntry::Utilities));
    EXPECT_TRUE(stored("Period").isNull());

    // Equal ends are a period of one day.
    type(box("txtPeriodEnd"), "07012006");
    click("cmdsignin");
    EXPECT_EQ(screen("U003"), nullptr);
    EXPECT_EQ(panel(2), "Reporting Period - 07/01/2006 - 07/01/2006");
}

TEST_F(SignInScreenTest, ExitInSignInModeEndsWithoutAsking) {
    click("cmdExit");
    EXPECT_TRUE(window->hasEnded());
    EXPECT_TRUE(fe().questions().isEmpty());
}

TEST_F(SignInScreenTest, CalendarPicksADateByButtonOrKey) {
    // The pop-up is modal: answer it with the keys a user would press.
    struct Way {
        const char* box;
        std::function<void()> open;
        const char* picked;
    };
    const Way ways[] = {
        {"txtperiod", [&] { click("Picture1"); }, "08/02/2006"},
        {"txtPeriodEnd",
         [&] { QTest::keyClick(box("txtPeriodEnd"), Qt::Key_Down, Qt::AltModifier); },
         "08/02/2006"},
        {"txtSampleDate", [&] { QTest::keyClick(box("txtSampleDate"), Qt::Key_F4); }, "08/02/2006"},
    };
    for (const Way& w : ways) {
        SCOPED_TRACE(w.box);
        type(box(w.box), "07012006");
        box(w.box)->setFocus();
        bool answered = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* popup = QApplication::activeModalWidget();
            if (!popup || answered)
                return;
            answered = true;
            EXPECT_EQ(popup->objectName(), "U004");
            auto* calendar = popup->findChild<QCalendarWidget*>("calSelect");
            QTest::keyClick(calendar, Qt::Key_PageDown);
            QTest::keyClick(calendar, Qt::Key_Right);
            QTest::keyClick(calendar, Qt::Key_Return);
        });
        poll.start(10);
        w.open();
        EXPECT_TRUE(answered);
        EXPECT_EQ(box(w.box)->text(), w.picked);
    }
}

TEST_F(SignInScreenTest, ReportOptionsSave) {
    addMaster("North", "W1", "Ann");
    addMaster("South", "W2", "Ann");
    signInWithFiscalYear();
    menu("mnuCPop", 1)->trigger();
    ASSERT_TRUE(screen("U003"));
    EXPECT_EQ(qobject_cast<ui::SignInScreen*>(screen("U003"))->mode(), SignInMode::ReportOptions);
    EXPECT_EQ(screen("U003")->windowTitle(), "U003r - Change Report Options");
    EXPECT_EQ(control<QPushButton>("U003", "cmdsignin")->text(), "&Save");
    EXPECT_FALSE(control<QPushButton>("U003", "cmdExit")->isEnabled());
    EXPECT_FALSE(box("txtSampleDate")->isEnabled());
    EXPECT_FALSE(control<QToolButton>("U003", "Picture3")->isVisible());
    EXPECT_FALSE(combo("cboPopulation")->isVisible());
    EXPECT_TRUE(control<QWidget>("U003", "Frame3")->isVisible());
    QStringList offices;
    for (int i = 0; i < combo("cboOffice")->count(); ++i)
        offices << combo("cboOffice")->itemText(i);
    EXPECT_EQ(offices, QStringList({" ", "North", "South"}));

    // A reporting period of its own, and an office.
    type(box("txtperiod"), "01012007");
    combo("cboOffice")->setCurrentIndex(1);
    click("cmdsignin");
    EXPECT_EQ(screen("U003"), nullptr);
    EXPECT_EQ(panel(5), "Filter (ON)");
    EXPECT_EQ(panel(2), "Reporting Period - 01/01/2007 - 06/30/2007");
    EXPECT_EQ(session().settings().reportingPeriodStart, QDate(2007, 1, 1));
    EXPECT_EQ(session().recordFilter().periodStart, QDate(2007, 1, 1));

    // Clear Filter, then Save: the filter is off.
    menu("mnuCPop", 1)->trigger();
    EXPECT_EQ(combo("cboOffice")->currentText(), "North");
    click("cmdClear");
    EXPECT_EQ(combo("cboOffice")->currentText(), "");
    click("cmdsignin");
    EXPECT_EQ(stored("OfficeName").toString(), " ");
    EXPECT_EQ(panel(5), "Filter (OFF)");
}

} // namespace

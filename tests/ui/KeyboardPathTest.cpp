#include "ExtractLines.h"
#include "ShellFixture.h"

#include "SampleListModel.h"
#include "SampleSummaryScreen.h"

#include <QFileInfo>
#include <QTableView>
#include <QTimer>

#include <functional>

namespace orv::test {
namespace {

// A validator's day without a mouse: every step below is keys sent where the keyboard's focus
// is, as a user without a mouse would press them.
class KeyboardPath : public ShellTest {
protected:
    // To the open menu, the modal window or the focused control, whichever takes keys now.
    // A desktop gives the main window back its turn when a dialog or a progress window it
    // showed has gone; the offscreen platform leaves that to us.
    void backToWindow() {
        if (!QApplication::activePopupWidget() && !QApplication::activeModalWidget() &&
            !QApplication::activeWindow()) {
            window->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        }
    }
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        backToWindow();
        QWidget* target = QApplication::activePopupWidget();
        if (!target)
            target = QApplication::activeModalWidget();
        if (!target)
            target = QApplication::focusWidget();
        if (!target)
            target = window.get();
        QTest::keyClick(target, key, modifiers);
        QApplication::processEvents();
    }
    void typeText(const QString& text) {
        QTest::keyClicks(QApplication::focusWidget(), text);
        QApplication::processEvents();
    }
    // A menu entry by its keys: Alt and the menu's letter, then the entry's.
    void choose(Qt::Key menuKey, Qt::Key entryKey) {
        press(menuKey, Qt::AltModifier);
        ASSERT_TRUE(QApplication::activePopupWidget()) << "no menu opened";
        press(entryKey);
    }
    // Keys for a modal window that `open` brings up, sent once it is up.
    void whileModal(const std::function<void()>& open, const std::function<void(QWidget*)>& keys) {
        bool reached = false;
        QTimer poll;
        poll.setInterval(0);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || reached)
                return;
            reached = true;
            poll.stop();
            keys(modal);
        });
        poll.start();
        open();
        poll.stop();
        EXPECT_TRUE(reached);
    }
};

TEST_F(KeyboardPath, SignInToAWorksheetSavedAndItsReportAsPdf) {
    // File > New, then the sign-in: the fiscal year is where the cursor starts, Enter signs in.
    fe().setNextFileName(dir.file("run.mdb"));
    choose(Qt::Key_F, Qt::Key_N);
    ASSERT_TRUE(screen("U003"));
    typeText("2008");
    press(Qt::Key_Return);
    ASSERT_EQ(screen("U003"), nullptr) << fe().lastMessage().toStdString();

    // Import Data > Import from Extract File; the import screen ends with Escape.
    QByteArray extract;
    for (int obs = 1; obs <= 20; ++obs)
        extract += line(validRecord(obs));
    writeFile(dir.file("extract.csv"), extract);
    fe().setNextFileName(dir.file("extract.csv"));
    fe().setNextAnswer(true);
    choose(Qt::Key_I, Qt::Key_I);
    ASSERT_TRUE(screen("U011"));
    press(Qt::Key_Escape);

    // Data Validation > Edit Worksheets: the sample list, with the cursor in it.
    choose(Qt::Key_V, Qt::Key_E);
    auto* list = qobject_cast<ui::SampleSummaryScreen*>(screen("U010"));
    ASSERT_TRUE(list);
    ASSERT_EQ(QApplication::focusWidget(), list->list());
    const QString wanted = list->model()->rows().back().obs;

    // Ctrl+F, the OBS, Enter finds it; Escape closes Find.
    whileModal([&] { press(Qt::Key_F, Qt::ControlModifier); },
               [&](QWidget* find) {
                   EXPECT_EQ(find->objectName(), "U019");
                   typeText(wanted);
                   press(Qt::Key_Return);
                   press(Qt::Key_Escape);
               });
    ASSERT_EQ(list->model()->rows().at(list->selectedRow()).obs, wanted);
    const qint64 rowId = list->model()->rows().at(list->selectedRow()).rowId;

    // The cursor is back on the list, at the row found.
    backToWindow();
    ASSERT_EQ(QApplication::focusWidget(), list->list());
    // Enter opens the worksheet; P passes the first line, Down and F fail the next; Ctrl+S saves.
    press(Qt::Key_Return);
    ASSERT_TRUE(screen("U015"));
    press(Qt::Key_P);
    press(Qt::Key_Down);
    press(Qt::Key_F);
    press(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(screen("U015"), nullptr) << fe().lastMessage().toStdString();
    const auto stored = [&](int element) {
        return session()
            .db()
            .scalar(QStringLiteral("SELECT \"%1\" FROM tblsample WHERE rowid = ?")
                        .arg(QLatin1String(kDataElements[element].markColumn))
                        .toStdString(),
                    {rowId})
            .toString();
    };
    EXPECT_EQ(stored(0), "0");
    EXPECT_EQ(stored(1), "1");

    // Data Validation > Print Worksheets, then the viewer's Save as PDF by its Alt key.
    choose(Qt::Key_V, Qt::Key_P);
    ASSERT_TRUE(viewer());
    const QString pdf = dir.file("worksheets.pdf");
    fe().setNextFileName(pdf);
    press(Qt::Key_D, Qt::AltModifier);
    // A button's key shows it pressed for a moment before it acts.
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(pdf); }));
    EXPECT_TRUE(readFile(pdf).startsWith("%PDF")) << fe().lastMessage().toStdString();
}

} // namespace
} // namespace orv::test

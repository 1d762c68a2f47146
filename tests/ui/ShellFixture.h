#pragma once

#include "TestSupport.h"

#include "MainWindow.h"
#include "ReportLayout.h"
#include "ReportViewerScreen.h"
#include "SplashScreen.h"
#include "reports/ReportEngine.h"

#include "session/DatabaseFiles.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <memory>

namespace orv {
// The GUI's own menu ids, as the tests name them.
using ui::MenuEntry;
} // namespace orv

namespace orv::test {

// The program as it starts: splash, then the main window, with every message box and file
// dialog answered through the front end's script.
class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("ODBCINI", dir.file("odbc.ini").toLocal8Bit());
        ui::GuiFrontEnd::setScriptedByDefault(true);
        auto* splash = new ui::SplashScreen(dir.path());
        window.reset(splash->finish());
        ASSERT_TRUE(window);
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    void TearDown() override {
        window.reset();
        QApplication::processEvents();
        ui::GuiFrontEnd::setScriptedByDefault(false);
        qunsetenv("ODBCINI");
    }

    ui::GuiFrontEnd& fe() { return window->frontEnd(); }
    Session& session() { return window->session(); }
    QAction* menu(const char* array, int index) {
        QAction* a = window->menuAction(QString::fromLatin1(array), index);
        EXPECT_TRUE(a) << array << "(" << index << ")";
        return a;
    }
    bool enabled(MenuEntry e) { return window->action(e)->isEnabled(); }
    QString panel(int n) { return window->statusPanel(n)->text(); }
    QWidget* screen(const char* id) {
        QApplication::processEvents();
        return window->loadedScreen(QString::fromLatin1(id));
    }
    template <typename T> T* control(const char* id, const char* name) {
        QWidget* s = screen(id);
        return s ? s->findChild<T*>(QString::fromLatin1(name)) : nullptr;
    }
    QVariant stored(const char* column) {
        return session().db().scalar(
            QStringLiteral("SELECT %1 FROM tblsystem").arg(column).toStdString());
    }

    // File > New on a fresh file; the sign-in screen opens.
    void createDatabase(const QString& name = QStringLiteral("run.mdb")) {
        fe().setNextFileName(dir.file(name));
        menu("mnuFile", 0)->trigger();
        ASSERT_TRUE(screen("U003"));
    }

    // Types into a box as a user does and leaves it with Tab.
    void type(QLineEdit* box, const QString& text) {
        ASSERT_TRUE(box);
        box->setFocus(Qt::MouseFocusReason);
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Tab);
        QApplication::processEvents();
    }

    void signInWith2008() {
        createDatabase();
        type(control<QLineEdit>("U003", "txtFiscalYear"), "2008");
        QTest::mouseClick(control<QWidget>("U003", "cmdsignin"), Qt::LeftButton);
        ASSERT_EQ(screen("U003"), nullptr) << fe().lastMessage().toStdString();
    }

    // The report the viewer shows, laid out whole: every page's text, page after page.
    ui::ReportViewerScreen* viewer() {
        return qobject_cast<ui::ReportViewerScreen*>(screen("U005"));
    }
    QStringList reportLines() {
        ui::ReportViewerScreen* v = viewer();
        if (!v || !v->layout())
            return {};
        v->layout()->layoutAll();
        QStringList lines;
        for (int p = 0; p < v->layout()->pageCount(); ++p)
            lines += v->layout()->pageText(p).split(QLatin1Char('\n'));
        return lines;
    }

    // The lines of a CSV file the program wrote.
    static QStringList csvLines(const QString& path) {
        return QString::fromUtf8(readFile(path)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }

    ProgramDir dir;
    std::unique_ptr<ui::MainWindow> window;
};

} // namespace orv::test

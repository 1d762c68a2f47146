#pragma once

#include "ExtractLines.h"
#include "ShellFixture.h"

#include "SampleListModel.h"
#include "SampleSummaryScreen.h"
#include "WorksheetScreen.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include <functional>

namespace orv::test {

// Signed in, with a small extract imported through the menu, so that the sample has rows.
class WorksheetTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        signInWith2008();
        importExtract(extractLines());
        ASSERT_EQ(sampleRows(), kRecords);
    }

    // Small enough to be drawn whole. The SSNs fall as the OBS rise, so that a sort by SSN is
    // told apart from the list's own order.
    static constexpr int kRecords = 30;
    static QByteArray extractLines() {
        QByteArray out;
        for (int obs = 1; obs <= kRecords; ++obs) {
            auto r = validRecord(obs);
            r[3] = QString::number(100000100 - obs);
            out += line(r);
        }
        return out;
    }
    // Lines 5 to 7 of these records report nothing, so they cannot be marked.
    static bool markable(int line) { return line < 4 || line > 6; }

    void importExtract(const QByteArray& content) {
        const QString extract = dir.file(QStringLiteral("extract.csv"));
        writeFile(extract, content);
        fe().setNextFileName(extract);
        fe().setNextAnswer(true); // reload the master
        menu("mnuImpDat", 0)->trigger();
        if (QWidget* exit = control<QPushButton>("U011", "cmdExit1"))
            QTest::mouseClick(exit, Qt::LeftButton);
        fe().clearRecords();
    }
    qint64 sampleRows() {
        return session().db().scalar("SELECT count(*) FROM tblsample").toLongLong();
    }
    QVariant sampleValue(qint64 rowId, const QString& column) {
        return session().db().scalar(
            QStringLiteral("SELECT %1 FROM tblsample WHERE rowid = ?").arg(column).toStdString(),
            {QVariant::fromValue<qlonglong>(rowId)});
    }
    QVariant mark(qint64 rowId, int element) {
        return sampleValue(rowId, quotedColumn(kDataElements[element].markColumn));
    }

    // Data Validation > Edit Worksheets.
    ui::SampleSummaryScreen* openList() {
        menu("mnuwks1", 0)->trigger();
        return qobject_cast<ui::SampleSummaryScreen*>(screen("U010"));
    }
    ui::SampleSummaryScreen* list() {
        return qobject_cast<ui::SampleSummaryScreen*>(screen("U010"));
    }
    ui::WorksheetScreen* worksheet() { return qobject_cast<ui::WorksheetScreen*>(screen("U015")); }
    QTableView* view() { return list() ? list()->list() : nullptr; }
    QPoint cellCentre(int row, int column) {
        return view()->visualRect(view()->model()->index(row, column)).center();
    }
    void doubleClickRow(int row) {
        view()->scrollTo(view()->model()->index(row, 0));
        // As a user does: the first click presses the row, the second is the double-click.
        const QPoint at = cellCentre(row, 0);
        QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view()->viewport(), Qt::LeftButton, {}, at);
        QApplication::processEvents();
    }
    void clickHeader(int column) {
        QHeaderView* header = view()->horizontalHeader();
        view()->scrollTo(view()->model()->index(0, column));
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }
    // Right-clicks a list column, which opens the find screen modally; drive runs while it is
    // open, and the screen is closed afterwards if drive left it open.
    void withFindScreen(int column, const std::function<void(QWidget*)>& drive) {
        // Before the timer: finding the list lets pending events run.
        QWidget* viewport = view()->viewport();
        const QPoint at = cellCentre(0, column);
        withFindScreenOpenedBy(
            [&] {
                QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
                QApplication::sendEvent(viewport, &event);
            },
            drive);
    }
    void withFindScreenOpenedBy(const std::function<void()>& open,
                                const std::function<void(QWidget*)>& drive) {
        // Waits for the screen, as a key's way there may let events run before it opens.
        bool opened = false;
        QTimer poll;
        poll.setInterval(0);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* find = window->loadedScreen(QStringLiteral("U019"));
            if (!find || opened)
                return;
            opened = true;
            poll.stop();
            drive(find);
            if (QWidget* still = window->loadedScreen(QStringLiteral("U019")))
                QTest::mouseClick(still->findChild<QPushButton*>("cmdExit"), Qt::LeftButton);
        });
        poll.start();
        open();
        poll.stop();
        EXPECT_TRUE(opened);
        EXPECT_EQ(screen("U019"), nullptr);
    }
    QWidget* linesPage() { return worksheetControl<QWidget>(QStringLiteral("SSTab1Page0")); }
    void key(Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(linesPage(), k, modifiers);
    }
    template <typename T> T* worksheetControl(const QString& name) {
        return worksheet() ? worksheet()->findChild<T*>(name) : nullptr;
    }
    QCheckBox* passBox(int line) {
        return worksheetControl<QCheckBox>(QStringLiteral("Check1(%1)").arg(line));
    }
    QCheckBox* failBox(int line) {
        return worksheetControl<QCheckBox>(QStringLiteral("Check2(%1)").arg(line));
    }
    QString labelText(const char* id, const char* name) {
        auto* l = control<QLabel>(id, name);
        return l ? l->text() : QStringLiteral("<none>");
    }
};

} // namespace orv::test

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

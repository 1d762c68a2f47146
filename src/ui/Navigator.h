#pragma once

#include "GuiFrontEnd.h"

#include "program/FrontEnd.h"
#include "session/Session.h"
#include "session/SignIn.h"
#include "worksheet/SampleList.h"

#include <QList>
#include <QString>
#include <QWidget>

class QAction;

namespace orv::ui {

// How showForm opens a screen: inside the frame, or over it, waiting until it closes.
enum class ScreenMode { Normal, Modal };

// The Window menu's ways of laying out the open screens.
enum class Arrangement { Cascade, TileHorizontal, TileVertical };

// What the sample list keeps while its screen is closed for the worksheet's visits.
struct SampleListState {
    SampleOrder order;
    // A worksheet has been opened since the sample list was last closed.
    bool worksheetVisited = false;
};

// What the screens and the menu's commands need from the frame they open in. Each screen
// exists once: it is found by its type, built on first use and built afresh after a close.
class Navigator {
public:
    virtual ~Navigator() = default;

    virtual Session& session() = 0;
    virtual GuiFrontEnd& frontEnd() = 0;

    // Opens a screen, modeless inside the frame or modal over it. The frame takes ownership;
    // a screen closed by its user is deleted.
    virtual void showForm(QWidget* screen, ScreenMode mode = ScreenMode::Normal) = 0;
    // Hides a screen without closing it; showForm shows it again.
    virtual void hideForm(QWidget* screen) = 0;
    // Closes a screen if it is open; it is built afresh when next opened.
    virtual void closeForm(QWidget* screen) = 0;
    // The open screens, hidden ones included.
    virtual QList<QWidget*> openScreens() const = 0;

    // The open screen of a kind, or null; or the open one or a new one.
    template <typename Screen> Screen* screen() const {
        for (QWidget* open : openScreens()) {
            if (auto* found = qobject_cast<Screen*>(open))
                return found;
        }
        return nullptr;
    }
    template <typename Screen> Screen* screenOrNew() {
        if (auto* open = screen<Screen>())
            return open;
        return new Screen(*this);
    }
    template <typename Screen> void closeScreen() {
        if (auto* open = screen<Screen>())
            closeForm(open);
    }

    // Closes the screens that show records: after a database is opened or an import has
    // replaced the records, their rows are gone.
    virtual void unloadRecordScreens() = 0;
    // A sign-in follows every database created, opened or switched to.
    virtual void showSignIn(SignInMode mode) = 0;
    virtual void showTipOfTheDay() = 0;
    // Opens a report in the viewer, for one record when an OBS is given; a report that cannot
    // be read or run is told as "Error in viewing report " and the reason.
    virtual void printReport(const QString& id, const QString& obs = QString()) = 0;
    virtual SampleListState& sampleListState() = 0;
    // True while an import runs: nothing may close the database under it.
    virtual bool isImporting() const = 0;

    // The frame itself: the window that a screen's pop-ups and dialogs belong to.
    virtual QWidget* dialogParent() = 0;
    virtual QAction* action(MenuEntry entry) const = 0;
    // A menu entry by its menu array and index (-1 for a menu that is no array).
    virtual QAction* menuAction(const QString& array, int index) const = 0;
    // Puts the program's caption back on the frame, as every sign-in does.
    virtual void restoreCaption() = 0;
    // While a command yields to the window, nothing else may start from the menu or from
    // another screen.
    virtual void setMenuBarEnabled(bool enabled) = 0;
    virtual void setOtherScreensEnabled(const QWidget* keep, bool enabled) = 0;
    virtual void arrangeScreens(Arrangement how) = 0;
    // Opens the help window at a page of the user's guide ("worksheets.html#marks"; empty for
    // its contents). Without the guide it says that help is unavailable and returns false.
    virtual bool showHelp(const QString& page = QString()) = 0;
    // Asks before the program ends; on Yes clears the stored filters. Returns true when the
    // user cancelled.
    virtual bool confirmExit() = 0;
    // Ends the program without asking.
    virtual void endProgram() = 0;
    virtual bool hasEnded() const = 0;
};

} // namespace orv::ui

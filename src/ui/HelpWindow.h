#pragma once

#include <QList>
#include <QString>
#include <QUrl>
#include <QWidget>

class QLayout;
class QLineEdit;
class QListWidget;
class QTabWidget;
class QTextBrowser;
class QToolButton;

namespace orv::ui {

// The user's guide's contents page: first <programDir>/guide/index.html (the build lays it
// there), then <executableDir>/../share/orvdv/guide/index.html (the installed layout). Empty
// when neither exists.
QString findGuide(const QString& programDir, const QString& executableDir);

struct GuidePage {
    QString title;
    QString file; // relative to the guide's folder
};

// The pages that the contents page lists, in its order: the links of its
// <ol class="contents"> list. Empty when the file cannot be read.
QList<GuidePage> readGuideContents(const QString& indexFile);

// The page, with its anchor, that tells about a screen (U000 ... U019, U003r for the sign-in
// screen in its report-options mode); empty for a screen the guide does not cover.
QString guidePageFor(const QString& screenId);
// Every screen the guide covers, for the checks of the guide's pages.
QStringList guideScreenIds();

// The id of the screen a widget is part of: the nearest widget up its parents whose
// objectName is that of a screen the guide covers. Empty when there is none.
QString screenIdOf(const QWidget* widget);

// The help window: the guide's contents and a search over its pages beside the page shown,
// with back, forward and home. One for the whole program (MainWindow keeps it).
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(const QString& indexFile, QWidget* parent = nullptr);

    // A page of the guide, relative to its folder, optionally with an anchor
    // ("worksheets.html#marks"); empty for the contents page.
    void openPage(const QString& page);
    // Opens a page and brings the window up in front.
    void present(const QString& page);
    QUrl source() const;
    QTextBrowser* browser() const { return mBrowser; }
    const QList<GuidePage>& pages() const { return mPages; }

    // The pages that hold every word of the query, most mentions first.
    QList<GuidePage> search(const QString& query);
    // Runs the search box's query and lists its hits.
    void runSearch();
    QListWidget* hitList() const { return mHits; }

private:
    QLayout* buildToolRow();
    void buildContents();
    QWidget* buildSearchPane();
    void openHit(int row);
    void loadTexts();

    QString mIndexFile;
    QString mFolder;
    QList<GuidePage> mPages;
    QStringList mTexts; // lower-case plain text of each page, read on the first search
    QList<GuidePage> mLastHits;
    QString mLastQuery;
    QTextBrowser* mBrowser = nullptr;
    QTabWidget* mSide = nullptr;
    QListWidget* mContents = nullptr;
    QLineEdit* mQuery = nullptr;
    QListWidget* mHits = nullptr;
};

} // namespace orv::ui

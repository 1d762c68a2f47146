#include "HelpWindow.h"

#include "Icons.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

namespace orv::ui {

namespace {

const QString kIndex = QStringLiteral("index.html");

struct ScreenPage {
    const char* id;
    const char* page;
};

const ScreenPage kScreenPages[] = {
    {"U000", "starting.html#start"},
    {"U001", "starting.html#main-window"},
    {"U002", "outcome-groups.html#source-table"},
    {"U003", "sign-in.html#sign-in"},
    {"U003r", "sign-in.html#report-options"},
    {"U004", "sign-in.html#calendar"},
    {"U005", "reports.html#viewer"},
    {"U006", "outcome-groups.html#groups-screen"},
    {"U008", "tools.html#contact"},
    {"U009", "tools.html#about"},
    {"U010", "sample.html#sample-list"},
    {"U011", "import.html#import-screen"},
    {"U012", "database.html#open"},
    {"U014", "sign-in.html#tips"},
    {"U015", "worksheets.html#worksheet"},
    {"U018", "error-rates.html#comments"},
    {"U019", "sample.html#find"},
    {"frmMakePack", "fieldwork.html#make"},
    {"frmMergeConflicts", "fieldwork.html#conflicts"},
};

QString readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QString plainText(const QString& html) {
    return QTextDocumentFragment::fromHtml(html).toPlainText().simplified();
}

QStringList queryWords(const QString& query) {
    static const QRegularExpression separators(QStringLiteral("[^\\w/+-]+"));
    QStringList words = query.toLower().split(separators, Qt::SkipEmptyParts);
    words.removeDuplicates();
    return words;
}

} // namespace

QString findGuide(const QString& programDir, const QString& executableDir) {
    QStringList candidates;
    if (!programDir.isEmpty())
        candidates << QDir(programDir).filePath(QStringLiteral("guide/") + kIndex);
    // Beside the executable as built, then as installed: a program folder moved elsewhere
    // (--home) has no guide of its own.
    if (!executableDir.isEmpty())
        candidates
            << QDir(executableDir).filePath(QStringLiteral("guide/") + kIndex)
            << QDir(executableDir).filePath(QStringLiteral("../share/orvdv/guide/") + kIndex);
    for (const QString& path : candidates) {
        const QFileInfo info(path);
        if (info.isFile())
            return QDir::cleanPath(info.absoluteFilePath());
    }
    return {};
}

QList<GuidePage> readGuideContents(const QString& indexFile) {
    static const QRegularExpression list(QStringLiteral("<ol class=\"contents\">(.*?)</ol>"),
                                         QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression link(QStringLiteral("<a href=\"([^\"]+)\">(.*?)</a>"),
                                         QRegularExpression::DotMatchesEverythingOption);
    QList<GuidePage> pages;
    const QRegularExpressionMatch block = list.match(readText(indexFile));
    if (!block.hasMatch())
        return pages;
    auto links = link.globalMatch(block.captured(1));
    while (links.hasNext()) {
        const QRegularExpressionMatch m = links.next();
        pages.append({plainText(m.captured(2)), m.captured(1)});
    }
    return pages;
}

QString guidePageFor(const QString& screenId) {
    for (const ScreenPage& s : kScreenPages) {
        if (screenId == QLatin1String(s.id))
            return QString::fromLatin1(s.page);
    }
    return {};
}

QStringList guideScreenIds() {
    QStringList ids;
    for (const ScreenPage& s : kScreenPages)
        ids << QString::fromLatin1(s.id);
    return ids;
}

QString screenIdOf(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        if (guidePageFor(w->objectName()).isEmpty())
            continue;
        // The sign-in screen opened for the reporting options has a page of its own.
        if (w->objectName() == QLatin1String("U003") &&
            w->windowTitle().startsWith(QLatin1String("U003r")))
            return QStringLiteral("U003r");
        return w->objectName();
    }
    return {};
}

HelpWindow::HelpWindow(const QString& indexFile, QWidget* parent)
    : QWidget(parent, Qt::Window), mIndexFile(indexFile),
      mFolder(QFileInfo(indexFile).absolutePath()), mPages(readGuideContents(indexFile)) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("ORV Data Validation System. - Help"));
    setWindowIcon(programIcon());

    // The parts are made in tab order, which is the order their widgets are made in.
    mBrowser = new QTextBrowser(this);
    mBrowser->setObjectName(QStringLiteral("txtHelpPage"));
    mBrowser->setOpenExternalLinks(true);
    mBrowser->setSearchPaths({mFolder});
    QLayout* tools = buildToolRow();
    buildContents();
    QWidget* searchPane = buildSearchPane();

    mSide = new QTabWidget(this);
    mSide->setObjectName(QStringLiteral("tabHelp"));
    mSide->addTab(mContents, QStringLiteral("Contents"));
    mSide->addTab(searchPane, QStringLiteral("Search"));
    auto* split = new QSplitter(this);
    split->addWidget(mSide);
    split->addWidget(mBrowser);
    split->setStretchFactor(1, 1);
    split->setSizes({230, 650});

    auto* outer = new QVBoxLayout(this);
    outer->addLayout(tools);
    outer->addWidget(split, 1);
    resize(900, 640);
    openPage(QString());
}

// Back, Forward and Contents over the page, each with its Alt key.
QLayout* HelpWindow::buildToolRow() {
    auto tool = [this](const char* name, const QString& text, const QString& tip) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(text);
        b->setToolTip(tip);
        b->setAutoRaise(true);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        return b;
    };
    auto* back = tool("cmdBack", QStringLiteral("< Back"), QStringLiteral("Back (Alt+Left)"));
    auto* forward =
        tool("cmdForward", QStringLiteral("Forward >"), QStringLiteral("Forward (Alt+Right)"));
    auto* home = tool("cmdHome", QStringLiteral("Contents"), QStringLiteral("Contents (Alt+Home)"));
    back->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
    forward->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));
    home->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Home));
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(back, &QToolButton::clicked, mBrowser, &QTextBrowser::backward);
    connect(forward, &QToolButton::clicked, mBrowser, &QTextBrowser::forward);
    connect(home, &QToolButton::clicked, this, [this] { openPage(QString()); });
    connect(mBrowser, &QTextBrowser::backwardAvailable, back, &QToolButton::setEnabled);
    connect(mBrowser, &QTextBrowser::forwardAvailable, forward, &QToolButton::setEnabled);

    auto* tools = new QHBoxLayout;
    tools->addWidget(back);
    tools->addWidget(forward);
    tools->addWidget(home);
    tools->addStretch(1);
    return tools;
}

// The guide's pages by title; the one shown is selected, whichever way it was reached.
void HelpWindow::buildContents() {
    mContents = new QListWidget(this);
    mContents->setObjectName(QStringLiteral("lstContents"));
    mContents->setAccessibleName(QStringLiteral("Contents"));
    for (const GuidePage& p : mPages)
        mContents->addItem(p.title);
    connect(mContents, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { openPage(mPages.value(mContents->row(item)).file); });
    connect(mContents, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { openPage(mPages.value(mContents->row(item)).file); });
    connect(mBrowser, &QTextBrowser::sourceChanged, this, [this](const QUrl& url) {
        const QString file = QDir(mFolder).relativeFilePath(url.toLocalFile());
        for (int i = 0; i < mPages.size(); ++i) {
            if (mPages[i].file == file) {
                mContents->setCurrentRow(i);
                return;
            }
        }
        mContents->clearSelection();
    });
}

QWidget* HelpWindow::buildSearchPane() {
    auto* searchPane = new QWidget(this);
    mQuery = new QLineEdit(searchPane);
    mQuery->setObjectName(QStringLiteral("txtSearch"));
    mQuery->setPlaceholderText(QStringLiteral("Words to find"));
    mQuery->setAccessibleName(QStringLiteral("Words to find"));
    mQuery->setClearButtonEnabled(true);
    auto* find = new QPushButton(QStringLiteral("&Search"), searchPane);
    find->setObjectName(QStringLiteral("cmdSearch"));
    find->setAutoDefault(false);
    mHits = new QListWidget(searchPane);
    mHits->setObjectName(QStringLiteral("lstHits"));
    mHits->setAccessibleName(QStringLiteral("Pages found"));
    connect(mQuery, &QLineEdit::returnPressed, this, &HelpWindow::runSearch);
    connect(find, &QPushButton::clicked, this, &HelpWindow::runSearch);
    connect(mHits, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { openHit(mHits->row(item)); });
    connect(mHits, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { openHit(mHits->row(item)); });
    auto* queryRow = new QHBoxLayout;
    queryRow->addWidget(mQuery, 1);
    queryRow->addWidget(find);
    auto* searchLayout = new QVBoxLayout(searchPane);
    searchLayout->setContentsMargins(0, 0, 0, 0);
    searchLayout->addLayout(queryRow);
    searchLayout->addWidget(mHits, 1);
    return searchPane;
}

void HelpWindow::openPage(const QString& page) {
    const QString target = page.isEmpty() ? kIndex : page;
    const qsizetype hash = target.indexOf(QLatin1Char('#'));
    QUrl url = QUrl::fromLocalFile(QDir(mFolder).filePath(hash < 0 ? target : target.left(hash)));
    if (hash >= 0)
        url.setFragment(target.mid(hash + 1));
    mBrowser->setSource(url);
}

void HelpWindow::present(const QString& page) {
    openPage(page);
    show();
    // Asked for from a modal screen (Find., the calendar, a question), the help window would be
    // blocked like every other window: it belongs to that screen for as long as it is open.
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != this) {
        if (windowHandle() && modal->windowHandle())
            windowHandle()->setTransientParent(modal->windowHandle());
    } else if (windowHandle()) {
        windowHandle()->setTransientParent(nullptr);
    }
    raise();
    activateWindow();
}

QUrl HelpWindow::source() const {
    return mBrowser->source();
}

void HelpWindow::loadTexts() {
    if (mTexts.size() == mPages.size())
        return;
    mTexts.clear();
    for (const GuidePage& p : mPages)
        mTexts << plainText(readText(QDir(mFolder).filePath(p.file))).toLower();
}

QList<GuidePage> HelpWindow::search(const QString& query) {
    const QStringList words = queryWords(query);
    if (words.isEmpty())
        return {};
    loadTexts();
    struct Hit {
        int page;
        qsizetype mentions;
    };
    QList<Hit> hits;
    for (int i = 0; i < mPages.size(); ++i) {
        qsizetype mentions = 0;
        bool all = true;
        for (const QString& w : words) {
            const qsizetype n = mTexts[i].count(w);
            all = all && n > 0;
            mentions += n;
        }
        if (all)
            hits.append({i, mentions});
    }
    std::stable_sort(hits.begin(), hits.end(),
                     [](const Hit& a, const Hit& b) { return a.mentions > b.mentions; });
    QList<GuidePage> found;
    for (const Hit& h : hits)
        found << mPages[h.page];
    return found;
}

void HelpWindow::runSearch() {
    mLastQuery = mQuery->text();
    mLastHits = search(mLastQuery);
    mHits->clear();
    for (const GuidePage& p : mLastHits)
        mHits->addItem(p.title);
    if (mLastHits.isEmpty() && !queryWords(mLastQuery).isEmpty())
        mHits->addItem(QStringLiteral("No page holds all of these words."));
    mSide->setCurrentIndex(1);
}

// Opens a hit at the first place one of the words stands.
void HelpWindow::openHit(int row) {
    if (row < 0 || row >= mLastHits.size())
        return;
    openPage(mLastHits[row].file);
    const QStringList words = queryWords(mLastQuery);
    if (!words.isEmpty()) {
        mBrowser->moveCursor(QTextCursor::Start);
        mBrowser->find(words.first());
    }
}

} // namespace orv::ui

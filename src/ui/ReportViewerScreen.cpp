#include "ReportViewerScreen.h"

#include "GuiFrontEnd.h"
#include "Navigator.h"
#include "ReportLayout.h"
#include "reports/ReportEngine.h"
#include "session/Session.h"
#include "validation/MasterPager.h"

#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

namespace orv::ui {

// One sheet of paper, drawn at the viewer's scale.
class ReportPageView : public QWidget {
public:
    explicit ReportPageView(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("CRViewer"));
    }

    void show(ReportLayout* layout, int page, qreal scale) {
        mLayout = layout;
        mPage = page;
        mScale = scale;
        const QSizeF sheet = layout ? layout->pageSize() * scale : QSizeF(0, 0);
        setFixedSize(sheet.toSize() + QSize(2 * kGap, 2 * kGap));
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Dark));
        if (!mLayout || mPage >= mLayout->pageCount())
            return;
        const QRectF sheet(kGap, kGap, width() - 2 * kGap, height() - 2 * kGap);
        painter.fillRect(sheet.translated(3, 3), QColor(0, 0, 0, 60));
        painter.fillRect(sheet, Qt::white);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.translate(sheet.topLeft());
        painter.scale(mScale, mScale);
        const QRectF paint = mLayout->pageLayout().paintRect(QPageLayout::Point);
        painter.translate(paint.topLeft());
        try {
            mLayout->paintPage(mPage, painter);
        } catch (const ReportError&) {
            // Told by the viewer when it laid the page out.
        }
    }

private:
    static constexpr int kGap = 12;
    ReportLayout* mLayout = nullptr;
    int mPage = 0;
    qreal mScale = 1;
};

namespace {

// A button shown as a sign is named for a screen reader by its tip's words before the key.
QPushButton* toolButton(QWidget* parent, const char* name, const QString& text,
                        const QString& tip) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(tip);
    if (!text.front().isLetter())
        b->setAccessibleName(tip.section(QLatin1String(" ("), 0, 0));
    b->setAutoDefault(false);
    return b;
}

} // namespace

ReportViewerScreen::ReportViewerScreen(Navigator& window) : mWindow(window) {
    setObjectName(QStringLiteral("U005"));
    setWindowTitle(QStringLiteral("ORV Report Viewer"));
    // Its keys (the pages, Print) are its own: it takes the focus it shows a report with.
    setFocusPolicy(Qt::StrongFocus);

    mFirst = toolButton(this, "cmdFirst", QStringLiteral("|<"), tr("First page (Home)"));
    mPrevious = toolButton(this, "cmdPrevious", QStringLiteral("<"), tr("Previous page (Page Up)"));
    mNext = toolButton(this, "cmdNext", QStringLiteral(">"), tr("Next page (Page Down)"));
    mLast = toolButton(this, "cmdLast", QStringLiteral(">|"), tr("Last page (End)"));
    mPageBox = new QSpinBox(this);
    mPageBox->setObjectName(QStringLiteral("txtPage"));
    mPageBox->setMinimum(1);
    mPageBox->setKeyboardTracking(false);
    mPageBox->setAccessibleName(tr("Page"));
    mPageCount = new QLabel(this);
    mPageCount->setObjectName(QStringLiteral("lblPages"));
    mZoomBox = new QComboBox(this);
    mZoomBox->setObjectName(QStringLiteral("cboZoom"));
    mZoomBox->setAccessibleName(tr("Zoom"));
    mZoomBox->addItem(tr("Page width"), 0);
    for (int z : {50, 75, 100, 125, 150, 200})
        mZoomBox->addItem(QStringLiteral("%1%").arg(z), z);
    auto* printButton = toolButton(this, "cmdPrint", tr("&Print..."), tr("Print (Ctrl+P)"));
    auto* pdfButton = toolButton(this, "cmdSavePdf", tr("Save as P&DF..."), tr("Save as PDF"));
    auto* closeButton = toolButton(this, "cmdClose", tr("&Close"), tr("Close the viewer"));

    connect(mFirst, &QPushButton::clicked, this, [this] { goToPage(0); });
    connect(mPrevious, &QPushButton::clicked, this, [this] { goToPage(mPage - 1); });
    connect(mNext, &QPushButton::clicked, this, [this] { goToPage(mPage + 1); });
    connect(mLast, &QPushButton::clicked, this, [this] {
        // The last page is known once everything is laid out.
        while (mLayout && !mLayout->complete())
            layoutNext();
        if (mLayout)
            goToPage(mLayout->pageCount() - 1);
    });
    connect(mPageBox, &QSpinBox::valueChanged, this, [this](int v) { goToPage(v - 1); });
    connect(mZoomBox, &QComboBox::activated, this,
            [this](int index) { setZoom(mZoomBox->itemData(index).toInt()); });
    connect(printButton, &QPushButton::clicked, this, &ReportViewerScreen::print);
    connect(pdfButton, &QPushButton::clicked, this, &ReportViewerScreen::askSavePdf);
    connect(closeButton, &QPushButton::clicked, this, [this] { mWindow.closeForm(this); });

    auto* tools = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{mFirst, mPrevious, mPageBox, mPageCount,
                                                      mNext, mLast, mZoomBox})
        tools->addWidget(w);
    tools->addStretch(1);
    tools->addWidget(printButton);
    tools->addWidget(pdfButton);
    tools->addWidget(closeButton);

    mView = new ReportPageView(this);
    mScroll = new QScrollArea(this);
    mScroll->setObjectName(QStringLiteral("scrPage"));
    mScroll->setAccessibleName(tr("Report page"));
    mScroll->setWidget(mView);
    mScroll->setAlignment(Qt::AlignHCenter);
    mScroll->setBackgroundRole(QPalette::Dark);
    mScroll->viewport()->installEventFilter(this);

    auto* outer = new QVBoxLayout(this);
    outer->addLayout(tools);
    outer->addWidget(mScroll, 1);

    mLayoutTimer = new QTimer(this);
    mLayoutTimer->setSingleShot(true);
    mLayoutTimer->setInterval(0);
    connect(mLayoutTimer, &QTimer::timeout, this, &ReportViewerScreen::layoutNext);
    resize(820, 640);
}

ReportViewerScreen::~ReportViewerScreen() = default;

void ReportViewerScreen::showReport(std::unique_ptr<ReportLayout> layout) {
    mLayout = std::move(layout);
    mPage = 0;
    updateControls();
    // The page keys work at once, without a click on the page first.
    setFocus(Qt::OtherFocusReason);
    if (!mLayout->complete())
        mLayoutTimer->start();
    else
        emit layoutFinished();
}

void ReportViewerScreen::layoutNext() {
    if (!mLayout || mLayout->complete())
        return;
    // A grid building its index lets the window paint, and nothing may read the connection
    // meanwhile (nor replace its progress handler, as a report's query does): later.
    if (MasterPager::isBusy(mWindow.session().db())) {
        mLayoutTimer->start();
        return;
    }
    try {
        mLayout->layoutMore();
    } catch (const Error& e) {
        reportFailure(e.message());
        return;
    }
    updateControls();
    if (mLayout->complete())
        emit layoutFinished();
    else
        mLayoutTimer->start();
}

void ReportViewerScreen::reportFailure(const QString& text) {
    mLayoutTimer->stop();
    QMessageBox::warning(this, windowTitle(), QStringLiteral("Error in viewing report ") + text);
}

qreal ReportViewerScreen::scale() const {
    const qreal pointsToPixels = logicalDpiX() / 72.0;
    if (mZoom > 0 || !mLayout)
        return pointsToPixels * (mZoom > 0 ? mZoom : 100) / 100.0;
    const qreal available = mScroll->viewport()->width() - 2 * 12 - 4;
    return std::max(0.2, available / mLayout->pageSize().width());
}

void ReportViewerScreen::updateControls() {
    const int pages = mLayout ? mLayout->pageCount() : 0;
    const bool complete = mLayout && mLayout->complete();
    mPage = std::clamp(mPage, 0, std::max(0, pages - 1));
    {
        const QSignalBlocker block(mPageBox);
        mPageBox->setMaximum(std::max(1, pages));
        mPageBox->setValue(mPage + 1);
    }
    mPageCount->setText(complete ? tr("of %1").arg(pages) : tr("of %1+").arg(pages));
    mFirst->setEnabled(mPage > 0);
    mPrevious->setEnabled(mPage > 0);
    mNext->setEnabled(mPage + 1 < pages);
    mLast->setEnabled(!complete || mPage + 1 < pages);
    mView->show(mLayout.get(), mPage, scale());
}

void ReportViewerScreen::goToPage(int page) {
    if (!mLayout)
        return;
    while (page >= mLayout->pageCount() && !mLayout->complete())
        layoutNext();
    mPage = std::clamp(page, 0, std::max(0, mLayout->pageCount() - 1));
    updateControls();
    mScroll->verticalScrollBar()->setValue(0);
}

void ReportViewerScreen::setZoom(int percent) {
    mZoom = percent;
    const int index = mZoomBox->findData(percent);
    if (index >= 0)
        mZoomBox->setCurrentIndex(index);
    updateControls();
}

// Page width follows the viewport, whose size settles after the screen's own.
bool ReportViewerScreen::eventFilter(QObject* watched, QEvent* event) {
    if (watched == mScroll->viewport() && event->type() == QEvent::Resize && mZoom == 0 && mLayout)
        mView->show(mLayout.get(), mPage, scale());
    return QWidget::eventFilter(watched, event);
}

void ReportViewerScreen::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Print)) {
        print();
        return;
    }
    switch (event->key()) {
    case Qt::Key_PageDown:
        goToPage(mPage + 1);
        return;
    case Qt::Key_PageUp:
        goToPage(mPage - 1);
        return;
    case Qt::Key_Home:
        goToPage(0);
        return;
    case Qt::Key_End:
        mLast->click();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void ReportViewerScreen::print() {
    if (!mLayout)
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(mLayout->pageLayout());
    printer.setDocName(mLayout->run().title());
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QProgressDialog progress(tr("Printing..."), tr("Cancel"), 0, 0, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    try {
        // False only when the user cancelled, who needs no word about it.
        static_cast<void>(mLayout->print(printer, [&](int page) {
            progress.setLabelText(tr("Printing page %1...").arg(page));
            progress.setValue(page);
            return !progress.wasCanceled();
        }));
    } catch (const ReportError& e) {
        reportFailure(e.message());
    }
    updateControls();
}

bool ReportViewerScreen::savePdf(const QString& path) {
    if (!mLayout)
        return false;
    QProgressDialog progress(tr("Saving %1...").arg(QDir::toNativeSeparators(path)), tr("Cancel"),
                             0, 0, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    bool saved = false;
    try {
        saved = mLayout->writePdf(path, [&](int page) {
            progress.setValue(page);
            return !progress.wasCanceled();
        });
    } catch (const ReportError& e) {
        QMessageBox::warning(this, windowTitle(), e.message());
    }
    updateControls();
    return saved;
}

void ReportViewerScreen::askSavePdf() {
    if (!mLayout)
        return;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    // Through the front end, which tests script as they script every other file dialog.
    const QString path = mWindow.frontEnd().gridExportFileName(
        tr("Save as PDF"), tr("PDF files (*.pdf)"),
        QDir(folder).filePath(mLayout->run().definition().id + ".pdf"));
    if (path.isEmpty())
        return;
    savePdf(path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive) ? path : path + ".pdf");
}

} // namespace orv::ui

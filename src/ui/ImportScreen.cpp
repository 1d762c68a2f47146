#include "ImportScreen.h"

#include "GuiFrontEnd.h"
#include "Navigator.h"
#include "ReportValidationScreen.h"
#include "SampleSummaryScreen.h"
#include "SourceTableScreen.h"

#include "import/ReportedCounts.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace orv::ui {

namespace {
// 8505 x 5430 twips at 15 twips a pixel.
constexpr QSize kSize(567, 362);
} // namespace

ImportScreen::ImportScreen(Navigator& window) : mWindow(window), mDriver(window.session(), *this) {
    setObjectName(QStringLiteral("U011"));
    setWindowTitle(QStringLiteral("U011 -  Import File."));
    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setFrameShape(QFrame::StyledPanel);
    auto* inner = new QVBoxLayout(frame);
    for (int i = 0; i < 3; ++i) {
        mLabels[i] = new QLabel(frame);
        mLabels[i]->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        mLabels[i]->setWordWrap(true);
        mLabels[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        inner->addWidget(mLabels[i]);
        if (i == 1) {
            mProgress = new QProgressBar(frame);
            mProgress->setObjectName(QStringLiteral("prgImport"));
            mProgress->setRange(0, 1000);
            mProgress->setValue(0);
            inner->addWidget(mProgress);
        }
    }
    inner->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    mCancel = new QPushButton(QStringLiteral("&Cancel"), frame);
    mCancel->setObjectName(QStringLiteral("cmdCancel1"));
    mExit = new QPushButton(QStringLiteral("&Exit"), frame);
    mExit->setObjectName(QStringLiteral("cmdExit1"));
    buttons->addWidget(mCancel);
    buttons->addWidget(mExit);
    inner->addLayout(buttons);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(frame);
    resize(kSize);
    connect(mCancel, &QPushButton::clicked, this, &ImportScreen::cancelClicked);
    connect(mExit, &QPushButton::clicked, this, &ImportScreen::exitClicked);
}

void ImportScreen::startImport(ImportKind kind) {
    if (mImporting)
        return;
    FrontEnd& ui = mWindow.session().ui();
    const bool counts = kind == ImportKind::ReportedCounts;
    const QString path = mWindow.frontEnd().extractFileName();
    if (path.isEmpty()) {
        setLabel(1, QStringLiteral("No file has been selected."));
    } else {
        mImporting = true;
        ui.setBusy(true);
        ui.workStatus(QStringLiteral("Importing File. Please wait...."));
        setLabel(1, QStringLiteral("Importing File: ") + path);
        setLabel(2, QString());
        setLabel(3, QString());
        mProgress->setValue(0);
        mExit->setEnabled(false);
        mCancel->setEnabled(!counts);
        // Nothing else may touch the database while the import yields to the window: neither
        // the menu nor any other screen (a worksheet's Save, say).
        mWindow.setMenuBarEnabled(false);
        mWindow.setOtherScreensEnabled(this, false);
        bool replacedSample = false;
        if (counts) {
            // Its progress and outcome are shown on this screen's labels as it goes.
            static_cast<void>(ImportReportedCounts(mWindow.session(), path, this));
        } else {
            const quint32 seed =
                static_cast<quint32>(QDateTime::currentMSecsSinceEpoch()); // a new draw each time
            replacedSample = mDriver.importExtractFile(path, ImportOptions{seed}).outcome !=
                             ImportOutcome::Declined;
        }
        mWindow.setOtherScreensEnabled(this, true);
        mWindow.setMenuBarEnabled(true);
        mImporting = false;
        if (replacedSample)
            mWindow.unloadRecordScreens();
        ui.workStatus(QString());
    }
    ui.setBusy(false);
    ui.workStatus(QString());
    mExit->setEnabled(true);
    mCancel->setEnabled(false);
}

void ImportScreen::setLabel(int label, const QString& text) {
    if (label >= 1 && label <= 3)
        mLabels[label - 1]->setText(text);
}

void ImportScreen::refresh() {
    QApplication::processEvents();
}

void ImportScreen::setProgress(qint64 done, qint64 total) {
    mProgress->setValue(total > 0 ? static_cast<int>(done * 1000 / total) : 0);
}

void ImportScreen::cancelClicked() {
    FrontEnd& ui = mWindow.session().ui();
    if (ui.askYesNo(QStringLiteral("Abort the process?"), Icon::Question)) {
        mDriver.requestCancel();
        mExit->setEnabled(true);
        mCancel->setEnabled(false);
    }
    ui.setBusy(false);
    ui.workStatus(QString());
}

void ImportScreen::exitClicked() {
    if (mDriver.cancelRequested() && !mImporting) {
        mWindow.closeScreen<SourceTableScreen>();
        mWindow.closeScreen<ReportValidationScreen>();
        mWindow.closeScreen<SampleSummaryScreen>();
        mWindow.closeForm(this);
    }
    mWindow.session().ui().workStatus(QString());
}

void ImportScreen::closeEvent(QCloseEvent* event) {
    // Closing mid-import would pull the screen from under the running load.
    if (mImporting) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

} // namespace orv::ui

#include "GridProgress.h"

#include "session/Session.h"

#include <QCoreApplication>
#include <QProgressDialog>

namespace orv::ui {

namespace {
// Shorter builds show nothing; the window gets a turn this often.
constexpr qint64 kShowAfterMs = 400;
constexpr qint64 kEventsEveryMs = 40;
} // namespace

GridProgress::GridProgress(QWidget* parent, QString text)
    : mParent(parent), mText(std::move(text)) {
    mStarted.start();
    mSinceEvents.start();
}

GridProgress::~GridProgress() {
    delete mDialog;
}

bool GridProgress::update(qint64 done, qint64 total) {
    if (mCancelled)
        return false;
    if (mSinceEvents.elapsed() < kEventsEveryMs)
        return true;
    mSinceEvents.restart();
    if (!mDialog && mStarted.elapsed() >= kShowAfterMs) {
        mDialog = new QProgressDialog(mText, QStringLiteral("Cancel"), 0, 0, mParent);
        mDialog->setObjectName(QStringLiteral("dlgSortProgress"));
        mDialog->setWindowModality(Qt::ApplicationModal);
        mDialog->setMinimumDuration(0);
        mDialog->setAutoClose(false);
        mDialog->setAutoReset(false);
        mDialog->show();
        mShown = true;
    }
    if (mDialog) {
        // Copying the keys counts rows; sorting them has no count to show.
        if (total > 0) {
            mDialog->setMaximum(1000);
            mDialog->setValue(static_cast<int>(std::min<qint64>(1000, done * 1000 / total)));
        } else {
            mDialog->setMaximum(0);
        }
    }
    // Until the modal dialog is up nothing may be clicked: the screen that waits for the build
    // must still be there when it ends.
    QCoreApplication::processEvents(mDialog ? QEventLoop::AllEvents
                                            : QEventLoop::ExcludeUserInputEvents);
    mCancelled = mDialog && mDialog->wasCanceled();
    return !mCancelled;
}

std::unique_ptr<MasterPager> openPager(Session& session, QWidget* parent, std::optional<int> group,
                                       const MasterOrder& order, const QString& progressText) {
    auto pager = std::make_unique<MasterPager>(session.db(), session.recordFilter(), group, order);
    GridProgress progress(parent, progressText);
    bool opened = false;
    session.ui().setBusy(true);
    try {
        opened = pager->open(&progress);
    } catch (const DbError& e) {
        session.ui().setBusy(false);
        session.ui().message(e.message(), Icon::Exclamation);
        return nullptr;
    }
    session.ui().setBusy(false);
    return opened ? std::move(pager) : nullptr;
}

} // namespace orv::ui

#pragma once

#include "validation/MasterPager.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>

class QProgressDialog;
class QWidget;

namespace orv {
class Session;
}

namespace orv::ui {

// Shows how the build of a grid's temporary index goes, with Cancel, once it has taken long
// enough to notice; until then, and between its repaints, the window keeps painting.
class GridProgress : public BuildProgress {
public:
    GridProgress(QWidget* parent, QString text);
    ~GridProgress() override;
    [[nodiscard]] bool update(qint64 done, qint64 total) override;
    bool wasShown() const { return mShown; }

private:
    QWidget* mParent;
    QString mText;
    QPointer<QProgressDialog> mDialog;
    QElapsedTimer mStarted;
    QElapsedTimer mSinceEvents;
    bool mShown = false;
    bool mCancelled = false;
};

// Opens a pager for a grid, with this progress while its order is built and the busy pointer.
// Null when it failed (the failure is shown) or the user cancelled.
std::unique_ptr<MasterPager> openPager(Session& session, QWidget* parent, std::optional<int> group,
                                       const MasterOrder& order, const QString& progressText);

} // namespace orv::ui

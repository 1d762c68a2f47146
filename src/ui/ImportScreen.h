#pragma once

#include "import/ImportDriver.h"

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace orv::ui {

class Navigator;

// What the screen loads: a participant extract, or the reported counts.
enum class ImportKind { Extract, ReportedCounts };

// U011: asks for an extract, loads it with a live count, progress and Cancel, and shows the
// outcome.
class ImportScreen : public QWidget, private ImportView {
    Q_OBJECT
public:
    explicit ImportScreen(Navigator& window);

    // Asks for the extract and imports it (what the menu command does each time it shows the
    // screen).
    void startImport(ImportKind kind);
    bool isImporting() const { return mImporting; }
    ImportDriver& driver() { return mDriver; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void setLabel(int label, const QString& text) override;
    void refresh() override;
    void setProgress(qint64 done, qint64 total) override;
    void cancelClicked();
    void exitClicked();

    Navigator& mWindow;
    ImportDriver mDriver;
    QLabel* mLabels[3] = {};
    QProgressBar* mProgress = nullptr;
    QPushButton* mExit = nullptr;
    QPushButton* mCancel = nullptr;
    bool mImporting = false;
};

} // namespace orv::ui

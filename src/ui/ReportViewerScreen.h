#pragma once

#include <QWidget>

#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QTimer;

namespace orv {
class ReportLayout;
}

namespace orv::ui {

class Navigator;
class ReportPageView;

// The report viewer: one page at a time with navigation and zoom, Print through the system's
// print dialog and Save as PDF. The pages are laid out in the background, a chunk per turn of
// the event loop, so that the first page shows at once.
class ReportViewerScreen : public QWidget {
    Q_OBJECT
public:
    explicit ReportViewerScreen(Navigator& window);
    ~ReportViewerScreen() override;

    // Shows a report whose first chunk is laid out.
    void showReport(std::unique_ptr<ReportLayout> layout);
    ReportLayout* layout() const { return mLayout.get(); }

    int currentPage() const { return mPage; }
    void goToPage(int page);
    // Zoom in percent; 0 fits the page's width into the window.
    void setZoom(int percent);
    // Writes the whole report to a PDF file; false (told) when it failed or was cancelled.
    bool savePdf(const QString& path);

signals:
    void layoutFinished();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void layoutNext();
    void updateControls();
    void print();
    void askSavePdf();
    void reportFailure(const QString& text);
    qreal scale() const;

    Navigator& mWindow;
    std::unique_ptr<ReportLayout> mLayout;
    int mPage = 0;
    int mZoom = 0;
    QTimer* mLayoutTimer = nullptr;
    ReportPageView* mView = nullptr;
    QScrollArea* mScroll = nullptr;
    QSpinBox* mPageBox = nullptr;
    QLabel* mPageCount = nullptr;
    QComboBox* mZoomBox = nullptr;
    QPushButton* mFirst = nullptr;
    QPushButton* mPrevious = nullptr;
    QPushButton* mNext = nullptr;
    QPushButton* mLast = nullptr;
};

} // namespace orv::ui

#include "SourceTableScreen.h"

#include "GridExportAction.h"
#include "GridProgress.h"
#include "GuiFrontEnd.h"
#include "MasterTableModel.h"
#include "Navigator.h"
#include "ScreenGeometry.h"

#include "exports/MasterGridSources.h"
#include "session/Session.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace orv::ui {

SourceTableScreen::SourceTableScreen(Navigator& window) : mWindow(window) {
    setObjectName(QStringLiteral("U002"));
    setWindowTitle(QStringLiteral("U002 - Source Data Table"));

    mModel = new MasterTableModel(this);
    // An import yields to the window as it replaces the records: the grid must not read them.
    mModel->setReadAllowed([this] { return !mWindow.isImporting(); });
    mGrid = makeRecordsGrid(this, mModel, QStringLiteral("grdsourcefile"));
    mGrid->setAccessibleName(QStringLiteral("Source data table"));
    connect(mGrid->horizontalHeader(), &QHeaderView::sectionDoubleClicked, this,
            &SourceTableScreen::sortByColumn);
    addRecordsFind(mWindow, mGrid, mModel);
    addSortAction(mGrid, [this](int column) { sortByColumn(column); });

    addGridExportMenu(mGrid, addGridExportActions(mWindow, this, [this] {
                          MasterPager* shown = mModel->pager();
                          return shown ? std::make_unique<MasterPagerSource>(*shown) : nullptr;
                      }));

    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    auto* totalCaption = new QLabel(QStringLiteral("Total Number of Records: "), frame);
    totalCaption->setObjectName(QStringLiteral("Label1"));
    mCount = new QLabel(frame);
    mCount->setObjectName(QStringLiteral("Label2"));
    mCurrentRow = new QLabel(frame);
    mCurrentRow->setObjectName(QStringLiteral("Label3"));
    mCurrentRow->hide();
    auto* exit = new QPushButton(QStringLiteral("E&xit"), frame);
    exit->setObjectName(QStringLiteral("cmdExit"));
    connect(exit, &QPushButton::clicked, this, &SourceTableScreen::exitScreen);
    auto* frameLayout = new QHBoxLayout(frame);
    frameLayout->setContentsMargins(0, 0, 0, 0);
    frameLayout->addWidget(mCurrentRow);
    frameLayout->addSpacing(twips(600));
    frameLayout->addWidget(totalCaption);
    frameLayout->addWidget(mCount);
    frameLayout->addSpacing(twips(300));
    frameLayout->addWidget(exit);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(frame);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(twips(60), twips(60), twips(60), twips(60));
    outer->addWidget(mGrid, 1);
    outer->addLayout(bottom);
    fitScreen(this, 12000, 7200);

    load(QString(), QString());
    // After the model is set, as each load replaces the model's rows, not the model.
    connect(mGrid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!current.isValid())
                    return;
                mCurrentRow->setText(QStringLiteral("Current Row Number ") +
                                     QString::number(current.row() + 1));
                mCurrentRow->show();
            });
}

SourceTableScreen::~SourceTableScreen() {
    mWindow.frontEnd().setStatus(1, QString());
}

Session& SourceTableScreen::session() {
    return mWindow.session();
}

qint64 SourceTableScreen::totalRows() const {
    return mModel->totalRows();
}

// Reads the records in an order; false when it failed (the failure is shown) or the sort was
// cancelled, the grid then showing what it showed.
bool SourceTableScreen::load(const QString& column, const QString& direction) {
    auto pager = openPager(
        session(), this, std::nullopt, MasterOrder{column, direction == QLatin1String("Desc")},
        column.isEmpty() ? QStringLiteral("Reading the source table.")
                         : QStringLiteral("Sorting the source table by %1.").arg(column));
    if (!pager)
        return false;
    mModel->setPager(std::move(pager));
    startAtFirstRow(mGrid);
    mCount->setText(QString::number(mModel->totalRows()));
    showCount();
    return true;
}

void SourceTableScreen::sortByColumn(int column) {
    const MasterPager* shown = mModel->pager();
    if (!shown || column < 0 || column >= shown->columns().shown())
        return;
    const QString next = nextSortDirection(mDirection);
    if (load(shown->columns().names[column], next))
        mDirection = next;
}

void SourceTableScreen::showCount() {
    if (isVisible())
        mWindow.frontEnd().setStatus(1, QStringLiteral("Number of Records in Source Table: ") +
                                            QString::number(mModel->totalRows()));
}

void SourceTableScreen::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    showCount();
}

void SourceTableScreen::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    showCount();
}

void SourceTableScreen::exitScreen() {
    mWindow.frontEnd().setStatus(1, QString());
    // Hidden, not closed: opened again it shows what it showed.
    mWindow.hideForm(this);
    mWindow.frontEnd().setBusy(false);
}

} // namespace orv::ui

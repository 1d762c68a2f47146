#include "ValidationRowsScreen.h"

#include "MainWindow.h"
#include "ScreenGeometry.h"

#include "validation/MasterPager.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace orv::ui {

ValidationRowsScreen::ValidationRowsScreen(MainWindow& window) : mWindow(window) {
    setObjectName(QStringLiteral("ValidationRows"));
    setWindowTitle(QStringLiteral("Performance Report"));

    auto* note = new QLabel(QStringLiteral("The performance report (R003-1) is not available "
                                           "yet; these are the rows it will print, as just "
                                           "computed."),
                            this);
    note->setObjectName(QStringLiteral("lblNote"));
    note->setWordWrap(true);
    mTable = new QTableWidget(0, 3, this);
    mTable->setObjectName(QStringLiteral("grdValidation"));
    mTable->setHorizontalHeaderLabels(
        {QStringLiteral("description"), QStringLiteral("value"), QStringLiteral("rtype")});
    mTable->verticalHeader()->hide();
    mTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    mTable->setWordWrap(false);
    auto* exit = new QPushButton(QStringLiteral("Exit"), this);
    exit->setObjectName(QStringLiteral("cmdExit"));
    connect(exit, &QPushButton::clicked, this, [this] { mWindow.unloadScreen(objectName()); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(exit);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(note);
    outer->addWidget(mTable, 1);
    outer->addLayout(buttons);
    fitScreen(this, 9000, 4800);
}

void ValidationRowsScreen::showRows(const std::vector<ValidationRow>& rows) {
    mTable->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const ValidationRow& row = rows[static_cast<size_t>(r)];
        mTable->setItem(r, 0, new QTableWidgetItem(row.description));
        auto* value = new QTableWidgetItem(cellText(row.value));
        value->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        mTable->setItem(r, 1, value);
        mTable->setItem(r, 2, new QTableWidgetItem(row.rtype));
    }
    mTable->resizeColumnsToContents();
}

} // namespace orv::ui

#include "ErrorRatesScreen.h"

#include "MainWindow.h"
#include "ScreenGeometry.h"

#include "worksheet/DataElements.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace orv::ui {

namespace {
constexpr int kColumns = static_cast<int>(std::size(kErrorRateColumns));
}

ErrorRatesScreen::ErrorRatesScreen(MainWindow& window) : mWindow(window) {
    setObjectName(QStringLiteral("ErrorRates"));
    setWindowTitle(QStringLiteral("Summary/Analytical Error Rates"));

    auto* note = new QLabel(
        QStringLiteral("The Summary/Analytical report and the summary export are not available "
                       "yet; these are the error rates they will show, as just computed."),
        this);
    note->setObjectName(QStringLiteral("lblNote"));
    note->setWordWrap(true);
    mTable = new QTableWidget(0, kColumns, this);
    mTable->setObjectName(QStringLiteral("grdErrorRates"));
    QStringList headers;
    for (const char* column : kErrorRateColumns)
        headers << QString::fromLatin1(column);
    mTable->setHorizontalHeaderLabels(headers);
    mTable->verticalHeader()->hide();
    mTable->verticalHeader()->setDefaultSectionSize(mTable->fontMetrics().height() + 6);
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
    fitScreen(this, 12600, 6600);
}

void ErrorRatesScreen::showRows(const std::vector<ErrorRateRow>& rows) {
    mTable->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const QStringList cells = errorRateCells(rows[static_cast<size_t>(r)]);
        for (int c = 0; c < kColumns; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c >= 3 && c != 7 && c != 10)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            mTable->setItem(r, c, item);
        }
    }
    mTable->resizeColumnsToContents();
}

} // namespace orv::ui

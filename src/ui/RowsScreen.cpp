#include "RowsScreen.h"

#include "MainWindow.h"
#include "ScreenGeometry.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace orv::ui {

RowsScreen::RowsScreen(MainWindow& window, const Layout& layout)
    : mWindow(window), mNumberColumns(layout.numberColumns) {
    setObjectName(QString::fromLatin1(layout.id));
    setWindowTitle(QString::fromLatin1(layout.title));

    auto* note = new QLabel(QString::fromLatin1(layout.note), this);
    note->setObjectName(QStringLiteral("lblNote"));
    note->setWordWrap(true);
    mTable = new QTableWidget(0, static_cast<int>(layout.headers.size()), this);
    mTable->setObjectName(QString::fromLatin1(layout.tableName));
    mTable->setHorizontalHeaderLabels(layout.headers);
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
    fitScreen(this, layout.widthTwips, layout.heightTwips);
}

void RowsScreen::showRows(const std::vector<QStringList>& rows) {
    mTable->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const QStringList& cells = rows[static_cast<size_t>(r)];
        for (int c = 0; c < mTable->columnCount(); ++c) {
            auto* item = new QTableWidgetItem(cells.value(c));
            if (mNumberColumns.contains(c))
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            mTable->setItem(r, c, item);
        }
    }
    mTable->resizeColumnsToContents();
}

} // namespace orv::ui

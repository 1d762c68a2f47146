#include "GridExportAction.h"

#include "GuiFrontEnd.h"
#include "Navigator.h"

#include "db/Database.h"

#include <QAbstractItemView>
#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>

namespace orv::ui {

namespace {

QAction* exportAction(Navigator& window, QWidget* screen, const QString& text,
                      const QKeySequence& key, GridFileKind kind, const GridSourceFactory& source) {
    auto* action = new QAction(text, screen);
    action->setObjectName(kind == GridFileKind::Excel ? QStringLiteral("actExportExcel")
                                                      : QStringLiteral("actExportCsv"));
    action->setShortcut(key);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(action, &QAction::triggered, screen, [&window, screen, kind, source] {
        std::unique_ptr<GridRowSource> rows;
        try {
            rows = source();
        } catch (const DbError& e) {
            window.frontEnd().message(e.message(), Icon::Exclamation);
            return;
        }
        if (rows)
            exportGrid(window, screen, *rows, kind);
    });
    screen->addAction(action);
    return action;
}

} // namespace

GridExportActions addGridExportActions(Navigator& window, QWidget* screen,
                                       GridSourceFactory source) {
    GridExportActions a;
    a.excel =
        exportAction(window, screen, QStringLiteral("Export to &Excel..."),
                     QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E), GridFileKind::Excel, source);
    a.csv = exportAction(window, screen, QStringLiteral("Export to &CSV..."),
                         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C), GridFileKind::Csv, source);
    return a;
}

void addGridExportMenu(QAbstractItemView* grid, const GridExportActions& actions) {
    grid->addAction(actions.excel);
    grid->addAction(actions.csv);
    grid->setContextMenuPolicy(Qt::ActionsContextMenu);
}

QAction* addSortAction(QAbstractItemView* grid, std::function<void(int column)> sort) {
    auto* action = new QAction(QStringLiteral("Sort by This Column"), grid);
    action->setObjectName(QStringLiteral("actSortByColumn"));
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(action, &QAction::triggered, grid, [grid, sort = std::move(sort)] {
        const QModelIndex current = grid->currentIndex();
        sort(current.isValid() ? current.column() : 0);
    });
    grid->addAction(action);
    return action;
}

void exportGrid(Navigator& window, QWidget* parent, GridRowSource& source, GridFileKind kind) {
    GuiFrontEnd& ui = window.frontEnd();
    const bool excel = kind == GridFileKind::Excel;
    const QString path = ui.gridExportFileName(
        excel ? QStringLiteral("Export to Excel") : QStringLiteral("Export to CSV"),
        excel ? QStringLiteral("Excel Workbook (*.xlsx)")
              : QStringLiteral("Comma Separated Values File (*.csv)"));
    if (path.isEmpty())
        return;
    const QString file = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());

    // Modal, so the grid cannot be sorted or closed under the rows being read.
    QProgressDialog progress(QStringLiteral("Exporting to %1.").arg(file), QStringLiteral("Cancel"),
                             0, 0, parent);
    progress.setObjectName(QStringLiteral("dlgExportProgress"));
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    bool cancel = false;
    QObject::connect(&progress, &QProgressDialog::canceled, [&cancel] { cancel = true; });
    progress.show();

    const GridExportControl control{&ui, &cancel};
    const GridExportResult r =
        excel ? exportGridXlsx(source, path, control) : exportGridCsv(source, path, control);
    progress.hide();
    switch (r.outcome) {
    case GridExportOutcome::Written:
        ui.message(QStringLiteral("%1 rows were exported to %2.").arg(r.rows).arg(file),
                   Icon::Information);
        break;
    case GridExportOutcome::Cancelled:
        ui.message(QStringLiteral("The export was cancelled; %1 was not written.").arg(file),
                   Icon::Information);
        break;
    case GridExportOutcome::Failed:
        ui.message(QStringLiteral("The export failed. ") + r.error, Icon::Exclamation);
        break;
    }
}

} // namespace orv::ui

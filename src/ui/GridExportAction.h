#pragma once

#include "exports/GridExport.h"

#include <functional>
#include <memory>

class QAbstractItemView;
class QAction;
class QWidget;

namespace orv::ui {

class Navigator;

enum class GridFileKind { Excel, Csv };

// The rows of the grid to export, as it is at the moment; null when it shows none. May throw
// DbError.
using GridSourceFactory = std::function<std::unique_ptr<GridRowSource>()>;

struct GridExportActions {
    QAction* excel = nullptr;
    QAction* csv = nullptr;
};

// "Export to Excel..." (Ctrl+Shift+E) and "Export to CSV..." (Ctrl+Shift+C) on a screen, their
// keys working wherever its focus is.
GridExportActions addGridExportActions(Navigator& window, QWidget* screen,
                                       GridSourceFactory source);
// Both actions as the grid's right-click menu.
void addGridExportMenu(QAbstractItemView* grid, const GridExportActions& actions);

// "Sort by This Column" (Ctrl+Shift+S) on a grid: what the mouse does on the heading of the
// column the cursor is in, for the keyboard.
QAction* addSortAction(QAbstractItemView* grid, std::function<void(int column)> sort);
// Asks for the file, writes the rows under a progress dialog with Cancel, then tells where
// they went, that the export was cancelled, or why it failed.
void exportGrid(Navigator& window, QWidget* parent, GridRowSource& source, GridFileKind kind);

} // namespace orv::ui

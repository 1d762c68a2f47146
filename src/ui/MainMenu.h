#pragma once

#include <QString>

#include <span>

class QMenu;

namespace orv::ui {

class Navigator;

// What a menu entry does: a command of the program, or a screen it opens.
using MenuCommand = void (*)(Navigator&);

constexpr int kNoEntry = -1;

// One row of the menu tree: level 0 is a menu of the bar, 1 an entry of it, 2 an entry of the
// sub-menu opened by the level-1 entry above it. Index -1 marks a menu that is no array.
// Entries that are off are not part of the program as delivered. None has a shortcut key.
struct MenuItem {
    int level;
    const char* array;
    int index;
    const char* caption;
    bool off;
    MenuCommand command;
    // The MenuEntry by which the program enables or checks the entry, or kNoEntry.
    int entry;
};

// The frame's menu tree, top to bottom.
std::span<const MenuItem> mainMenu();

// Opens a validation database as File > Open does, with its questions, and signs in; the
// database joins File > Open Recent.
void openDatabaseFile(Navigator& nav, const QString& path);

// Fills File > Open Recent: the databases opened last, a missing one shown but disabled.
void fillRecentMenu(Navigator& nav, QMenu& menu);

} // namespace orv::ui

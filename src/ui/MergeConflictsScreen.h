#pragma once

#include "db/Database.h"
#include "fieldwork/Merge.h"

#include <QWidget>

#include <vector>

class QComboBox;
class QPushButton;
class QTableWidget;

namespace orv::ui {

class Navigator;

// Data Validation > Field Work > Merge Pack: asks for the pack and its passphrase and merges
// it; conflicts open MergeConflictsScreen, and nothing is merged until they are settled.
void mergePackFile(Navigator& window);

// The records a pack and its validation database both changed since the pack was made, item by
// item, with the user's choice of whose record wins; Merge applies them all in one go.
class MergeConflictsScreen : public QWidget {
    Q_OBJECT
public:
    MergeConflictsScreen(Navigator& window, LockedPack pack, std::vector<MergeConflict> conflicts);

    QTableWidget* table() const { return mTable; }
    // Every record's choice at once.
    void chooseAll(Prefer prefer);

public slots:
    // Merges with the choices made; told, and the screen closes, once it is done.
    void merge();

private:
    void finish();
    void fillTable();
    void choicesChanged();
    MergeChoices choices() const;

    Navigator& mWindow;
    LockedPack mPack;  // held until the screen closes
    QString mDatabase; // the one the conflicts were found in
    std::vector<MergeConflict> mConflicts;
    QTableWidget* mTable = nullptr;
    std::vector<QComboBox*> mChoices; // one per conflict, in order
    QPushButton* mMerge = nullptr;
};

} // namespace orv::ui

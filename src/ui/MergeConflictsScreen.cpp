#include "MergeConflictsScreen.h"

#include "GridExportAction.h"
#include "Navigator.h"
#include "SampleSummaryScreen.h"
#include "ScreenGeometry.h"
#include "WorksheetScreen.h"

#include "session/FieldPack.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace orv::ui {

namespace {

enum Column { Obs, Ssn, Element, AtPack, InMain, InPack, Keep, ColumnCount };
const char* const kHeaders[] = {"OBS",         "SSN", "Element", "At pack time", "In the database",
                                "In the pack", "Keep"};
// The choice box's entries: none yet, then one per Prefer.
const char* const kChoiceTexts[] = {"", "Keep the pack's", "Keep the database's"};

class ConflictRows : public GridRowSource {
public:
    explicit ConflictRows(std::vector<QStringList> rows) : mRows(std::move(rows)) {}
    QStringList columns() const override {
        QStringList names;
        for (const char* h : kHeaders)
            names << QString::fromLatin1(h);
        return names;
    }
    qint64 rowCount() const override { return qint64(mRows.size()); }
    QString sheetName() const override { return QStringLiteral("Merge Conflicts"); }
    void forEachRow(const std::function<bool(const QStringList&)>& visit) override {
        for (const QStringList& row : mRows)
            if (!visit(row))
                return;
    }

private:
    std::vector<QStringList> mRows;
};

QString counted(qint64 n, const QString& noun) {
    return QStringLiteral("%1 %2%3").arg(n).arg(noun, n == 1 ? QString() : QStringLiteral("s"));
}

// The list shows the merged marks; an open worksheet was refused before the merge began.
void merged(Navigator& window, const MergeResult& result) {
    window.frontEnd().message(
        QStringLiteral("Merged: %1 changed.").arg(counted(result.changedRecords, "record")),
        Icon::Information);
    if (auto* list = window.screen<SampleSummaryScreen>())
        list->fillFormValDetail(list->order());
}

} // namespace

void mergePackFile(Navigator& window) {
    GuiFrontEnd& ui = window.frontEnd();
    // Its unsaved marks would be written over the merged ones.
    if (window.screen<WorksheetScreen>()) {
        ui.message(QStringLiteral("Save or leave the open worksheet before you merge a pack."),
                   Icon::Exclamation);
        return;
    }
    const QString path = ui.packFileName(QStringLiteral("Merge Pack"));
    if (path.isEmpty())
        return;
    const std::optional<QString> passphrase = ui.askPassphrase(
        QStringLiteral("The passphrase of the field pack %1:").arg(QFileInfo(path).fileName()),
        false);
    if (!passphrase)
        return;
    try {
        ui.setBusy(true);
        LockedPack pack = openPackToMerge(QFileInfo(path).absoluteFilePath(), *passphrase);
        MergeResult result = mergePack(window.session().db(), pack.db, {});
        ui.setBusy(false);
        switch (result.outcome) {
        case MergeResult::Outcome::AlreadyMerged:
            ui.message(result.alreadyMergedText(), Icon::Information);
            return;
        case MergeResult::Outcome::Conflicts:
            window.closeScreen<MergeConflictsScreen>();
            window.showForm(
                new MergeConflictsScreen(window, std::move(pack), std::move(result.conflicts)));
            return;
        case MergeResult::Outcome::Merged:
            merged(window, result);
            return;
        }
    } catch (const Error& e) {
        ui.setBusy(false);
        ui.message(e.message(), Icon::Exclamation);
    }
}

MergeConflictsScreen::MergeConflictsScreen(Navigator& window, LockedPack pack,
                                           std::vector<MergeConflict> conflicts)
    : mWindow(window), mPack(std::move(pack)), mDatabase(window.session().databasePath()),
      mConflicts(std::move(conflicts)) {
    setObjectName(QStringLiteral("frmMergeConflicts"));
    setWindowTitle(QStringLiteral("Merge Conflicts"));

    mTable = new QTableWidget(this);
    mTable->setObjectName(QStringLiteral("grdConflicts"));
    mTable->setAccessibleName(QStringLiteral("Conflicts"));
    mTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    mTable->verticalHeader()->hide();
    // Tab goes on to the records' choice boxes rather than from cell to cell.
    mTable->setTabKeyNavigation(false);
    fillTable();

    auto* packForAll = new QPushButton(QStringLiteral("&Pack for all"), this);
    packForAll->setObjectName(QStringLiteral("cmdPackForAll"));
    auto* mainForAll = new QPushButton(QStringLiteral("&Database for all"), this);
    mainForAll->setObjectName(QStringLiteral("cmdDatabaseForAll"));
    mMerge = new QPushButton(QStringLiteral("&Merge"), this);
    mMerge->setObjectName(QStringLiteral("cmdMerge"));
    auto* exportButton = new QPushButton(QStringLiteral("&Export..."), this);
    exportButton->setObjectName(QStringLiteral("cmdExport"));
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));

    const GridExportActions exports = addGridExportActions(mWindow, this, [this] {
        std::vector<QStringList> rows;
        for (std::size_t i = 0; i < mConflicts.size(); ++i) {
            const MergeConflict& c = mConflicts[i];
            for (const MergeItem& item : c.items)
                rows.push_back({c.obs, c.ssn, item.item, item.atPack, item.inMain, item.inPack,
                                mChoices[i]->currentText()});
        }
        return std::make_unique<ConflictRows>(std::move(rows));
    });
    addGridExportMenu(mTable, exports);
    auto* exportMenu = new QMenu(exportButton);
    exportMenu->addAction(exports.excel);
    exportMenu->addAction(exports.csv);
    exportButton->setMenu(exportMenu);

    connect(packForAll, &QPushButton::clicked, this, [this] { chooseAll(Prefer::Pack); });
    connect(mainForAll, &QPushButton::clicked, this, [this] { chooseAll(Prefer::Main); });
    connect(mMerge, &QPushButton::clicked, this, &MergeConflictsScreen::merge);
    connect(cancel, &QPushButton::clicked, this, &MergeConflictsScreen::finish);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, cancel, &QPushButton::click);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {packForAll, mainForAll})
        buttons->addWidget(b);
    buttons->addStretch(1);
    for (QPushButton* b : {exportButton, mMerge, cancel})
        buttons->addWidget(b);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(mTable, 1);
    outer->addLayout(buttons);
    choicesChanged();
    fitScreen(this, 11400, 5400);
}

void MergeConflictsScreen::fillTable() {
    int rows = 0;
    for (const MergeConflict& c : mConflicts)
        rows += int(c.items.size());
    mTable->setColumnCount(ColumnCount);
    mTable->setRowCount(rows);
    QStringList headers;
    for (const char* h : kHeaders)
        headers << QString::fromLatin1(h);
    mTable->setHorizontalHeaderLabels(headers);
    int row = 0;
    for (const MergeConflict& c : mConflicts) {
        const int first = row;
        const int span = int(c.items.size());
        for (const MergeItem& item : c.items) {
            const QString cells[] = {c.obs,       c.ssn,       item.item,
                                     item.atPack, item.inMain, item.inPack};
            for (int col = 0; col < Keep; ++col)
                mTable->setItem(row, col, new QTableWidgetItem(cells[col]));
            ++row;
        }
        // The choice is the record's: one box beside all of its items.
        auto* choice = new QComboBox(mTable);
        choice->setObjectName(QStringLiteral("cboKeep(%1)").arg(mChoices.size()));
        choice->setAccessibleName(QStringLiteral("Keep for OBS %1").arg(c.obs));
        for (const char* text : kChoiceTexts)
            choice->addItem(QString::fromLatin1(text));
        connect(choice, &QComboBox::currentIndexChanged, this,
                &MergeConflictsScreen::choicesChanged);
        mTable->setCellWidget(first, Keep, choice);
        if (span > 1)
            for (int col : {int(Obs), int(Ssn), int(Keep)})
                mTable->setSpan(first, col, span, 1);
        mChoices.push_back(choice);
    }
    mTable->resizeColumnsToContents();
    mTable->horizontalHeader()->setStretchLastSection(true);
}

void MergeConflictsScreen::chooseAll(Prefer prefer) {
    for (QComboBox* choice : mChoices)
        choice->setCurrentIndex(prefer == Prefer::Pack ? 1 : 2);
}

void MergeConflictsScreen::choicesChanged() {
    mMerge->setEnabled(std::all_of(mChoices.begin(), mChoices.end(),
                                   [](const QComboBox* c) { return c->currentIndex() > 0; }));
}

MergeChoices MergeConflictsScreen::choices() const {
    MergeChoices choices;
    for (std::size_t i = 0; i < mConflicts.size(); ++i) {
        const int index = mChoices[i]->currentIndex();
        if (index > 0)
            choices.records[mConflicts[i].row] = index == 1 ? Prefer::Pack : Prefer::Main;
    }
    return choices;
}

void MergeConflictsScreen::merge() {
    if (!mMerge->isEnabled())
        return;
    GuiFrontEnd& ui = mWindow.frontEnd();
    // Another database, or a pack, was opened meanwhile: the choices were made for this one.
    if (!mWindow.session().isOpen() || mWindow.session().isPack() ||
        mWindow.session().databasePath() != mDatabase) {
        ui.message(QStringLiteral("Another database was opened: open %1 and merge the pack again.")
                       .arg(QDir::toNativeSeparators(mDatabase)),
                   Icon::Exclamation);
        finish();
        return;
    }
    try {
        ui.setBusy(true);
        const MergeResult result = mergePack(mWindow.session().db(), mPack.db, choices());
        ui.setBusy(false);
        if (result.outcome == MergeResult::Outcome::Conflicts) {
            // Another change since the table was filled: the new conflicts take its place.
            mConflicts = result.conflicts;
            mChoices.clear();
            mTable->setRowCount(0);
            mTable->clearSpans();
            fillTable();
            choicesChanged();
            ui.message(QStringLiteral("The database changed meanwhile: choose again."),
                       Icon::Exclamation);
            return;
        }
        if (result.outcome == MergeResult::Outcome::AlreadyMerged)
            ui.message(result.alreadyMergedText(), Icon::Information);
        else
            merged(mWindow, result);
    } catch (const Error& e) {
        ui.setBusy(false);
        ui.message(e.message(), Icon::Exclamation);
        return;
    }
    finish();
}

// The pack is let go at once: a closed screen is deleted only later.
void MergeConflictsScreen::finish() {
    mPack = LockedPack{};
    mWindow.closeForm(this);
}

} // namespace orv::ui

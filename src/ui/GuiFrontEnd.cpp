#include "GuiFrontEnd.h"

#include "MainWindow.h"
#include "RecentFiles.h"

#include "fieldwork/Pack.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QSettings>
#include <QUrl>
#include <QVBoxLayout>

namespace orv::ui {

namespace {

QMessageBox::Icon boxIcon(Icon icon) {
    switch (icon) {
    case Icon::Information:
        return QMessageBox::Information;
    case Icon::Question:
        return QMessageBox::Question;
    case Icon::Exclamation:
        return QMessageBox::Warning;
    case Icon::Critical:
        return QMessageBox::Critical;
    case Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

const QString kDatabaseFilter = QStringLiteral("Database (*.mdb)");
const QString kPackFilter = QStringLiteral("Field packs (*.orvpack)");
// File > Open takes a field pack as well as a database.
const QString kOpenFilter = QStringLiteral("Databases and field packs (*.mdb *.orvpack);;") +
                            kDatabaseFilter + QStringLiteral(";;") + kPackFilter;

// The menus that open with a database and close when it is given up: all that work on it.
constexpr MenuEntry kDataMenus[] = {MenuEntry::ReportValidation, MenuEntry::DataValidation,
                                    MenuEntry::ImportData,       MenuEntry::ChangeReportingOptions,
                                    MenuEntry::CompactDatabase,  MenuEntry::FixDatabase};

bool gScriptedByDefault = false;

} // namespace

GuiFrontEnd::GuiFrontEnd(MainWindow& window) : mWindow(window), mScripted(gScriptedByDefault) {}

void GuiFrontEnd::setScriptedByDefault(bool scripted) {
    gScriptedByDefault = scripted;
}

GuiFrontEnd::~GuiFrontEnd() {
    setBusy(false);
}

bool GuiFrontEnd::askYesNo(const QString& text, Icon icon) {
    return ask(text, icon, false);
}

bool GuiFrontEnd::askOkCancel(const QString& text, Icon icon) {
    return ask(text, icon, true);
}

bool GuiFrontEnd::ask(const QString& text, Icon icon, bool okCancel) {
    if (mScripted) {
        mQuestions << text;
        return mAnswers.isEmpty() ? false : mAnswers.dequeue();
    }
    // The question must be seen even while the pointer says busy.
    const bool wasBusy = mBusy;
    setBusy(false);
    const auto yes = okCancel ? QMessageBox::Ok : QMessageBox::Yes;
    const auto no = okCancel ? QMessageBox::Cancel : QMessageBox::No;
    QMessageBox box(boxIcon(icon), mWindow.windowTitle(), text, yes | no, &mWindow);
    box.setDefaultButton(no);
    const bool answer = box.exec() == yes;
    setBusy(wasBusy);
    return answer;
}

void GuiFrontEnd::message(const QString& text, Icon icon) {
    if (mScripted) {
        mShown.push_back({text, icon});
        return;
    }
    const bool wasBusy = mBusy;
    setBusy(false);
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(boxIcon(icon), mWindow.windowTitle(), shown, QMessageBox::Ok, &mWindow);
    box.exec();
    setBusy(wasBusy);
}

void GuiFrontEnd::workStatus(const QString& text) {
    setStatus(1, text);
}

void GuiFrontEnd::setStatus(int panel, const QString& text) {
    QLabel* label = mWindow.statusPanel(panel);
    if (!label)
        return;
    label->setText(text);
    // An empty panel would show as a bare frame; panel 1 keeps its room for progress.
    if (panel != 1 && panel != 4)
        label->setVisible(!text.isEmpty());
}

void GuiFrontEnd::setBusy(bool busy) {
    if (busy == mBusy)
        return;
    mBusy = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void GuiFrontEnd::processEvents() {
    QApplication::processEvents();
}

void GuiFrontEnd::setMenuEnabled(MenuEntry entry, bool enabled) {
    if (QAction* action = mWindow.action(entry))
        action->setEnabled(enabled);
}

void GuiFrontEnd::setDataMenus(bool enabled) {
    for (MenuEntry e : kDataMenus)
        setMenuEnabled(e, enabled);
}

void GuiFrontEnd::databaseOpened(const QString& name) {
    setStatus(3, QStringLiteral("DB: ") + name);
    setDataMenus(true);
}

void GuiFrontEnd::databaseClosed() {
    setDataMenus(false);
}

void GuiFrontEnd::signedIn() {
    setDataMenus(true);
    for (MenuEntry e :
         {MenuEntry::ViewOutcomeGroups, MenuEntry::ViewPerformanceReport, MenuEntry::Utilities})
        setMenuEnabled(e, true);
}

void GuiFrontEnd::periodChanged(const QString& text) {
    setStatus(2, text);
}

void GuiFrontEnd::recordFilterChanged(const QString& stateText) {
    setStatus(5, stateText);
}

void GuiFrontEnd::showTipsChanged(bool show) {
    if (QAction* action = mWindow.action(MenuEntry::ShowTipsAtStartup))
        action->setChecked(show);
}

void GuiFrontEnd::endProgram() {
    mWindow.endProgram();
}

std::optional<FileResult> GuiFrontEnd::runFileCommand(const std::function<FileResult()>& command) {
    try {
        return command();
    } catch (const FileCommandError& e) {
        message(e.message(), e.icon());
        if (e.endsProgram())
            endProgram();
        return std::nullopt;
    }
}

bool GuiFrontEnd::openDocument(const QString& path) {
    if (mScripted) {
        mOpened << path;
        return true;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

std::optional<QString> GuiFrontEnd::askPassphrase(const QString& prompt, bool confirm) {
    for (;;) {
        const auto typed = typePassphrase(prompt, confirm);
        if (!typed)
            return std::nullopt;
        if (!confirm)
            return typed->first;
        QString problem = typed->first == typed->second
                              ? passphraseProblem(typed->first)
                              : QStringLiteral("The two passphrases are not the same.");
        if (problem.isEmpty())
            return typed->first;
        message(problem + QStringLiteral(" Type it again."), Icon::Exclamation);
    }
}

std::optional<std::pair<QString, QString>> GuiFrontEnd::typePassphrase(const QString& prompt,
                                                                       bool confirm) {
    if (mScripted) {
        mQuestions << prompt;
        if (mPassphrases.size() < (confirm ? 2 : 1)) {
            mPassphrases.clear();
            return std::nullopt;
        }
        const QString first = mPassphrases.dequeue();
        return std::pair{first, confirm ? mPassphrases.dequeue() : QString()};
    }
    QDialog dialog(&mWindow);
    dialog.setObjectName(QStringLiteral("dlgPassphrase"));
    dialog.setWindowTitle(mWindow.windowTitle());
    auto* text = new QLabel(prompt, &dialog);
    text->setWordWrap(true);
    text->setMinimumWidth(text->fontMetrics().averageCharWidth() * 50);
    auto* form = new QFormLayout;
    QLineEdit* boxes[2] = {};
    const char* const names[] = {"txtPassphrase", "txtAgain"};
    const char* const labels[] = {"&Passphrase:", "&Again:"};
    for (int i = 0; i < (confirm ? 2 : 1); ++i) {
        boxes[i] = new QLineEdit(&dialog);
        boxes[i]->setObjectName(QString::fromLatin1(names[i]));
        boxes[i]->setEchoMode(QLineEdit::Password);
        auto* label = new QLabel(QString::fromLatin1(labels[i]), &dialog);
        label->setBuddy(boxes[i]);
        form->addRow(label, boxes[i]);
    }
    boxes[0]->setAccessibleName(QStringLiteral("Passphrase"));
    if (boxes[1])
        boxes[1]->setAccessibleName(QStringLiteral("Passphrase again"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(text);
    layout->addLayout(form);
    layout->addWidget(buttons);
    const bool wasBusy = mBusy;
    setBusy(false);
    const bool given = dialog.exec() == QDialog::Accepted;
    setBusy(wasBusy);
    if (!given)
        return std::nullopt;
    return std::pair{boxes[0]->text(), boxes[1] ? boxes[1]->text() : QString()};
}

QString GuiFrontEnd::saveFileName(const QString& title) {
    return fileName(title, true);
}

QString GuiFrontEnd::openFileName(const QString& title) {
    return fileName(title, false);
}

namespace {
constexpr const char* kRecentKey = "file/recentDatabases";
} // namespace

QStringList GuiFrontEnd::recentFiles() const {
    if (mScripted)
        return mRecentFiles;
    return QSettings().value(kRecentKey).toStringList();
}

void GuiFrontEnd::rememberRecentFile(const QString& path) {
    const QStringList list = withRecentFile(recentFiles(), path);
    if (mScripted)
        mRecentFiles = list;
    else
        QSettings().setValue(kRecentKey, list);
}

QByteArray GuiFrontEnd::storedGeometry(const QString& key) const {
    if (mScripted)
        return mGeometries.value(key);
    return QSettings().value(key).toByteArray();
}

void GuiFrontEnd::storeGeometry(const QString& key, const QByteArray& geometry) {
    if (mScripted)
        mGeometries.insert(key, geometry);
    else
        QSettings().setValue(key, geometry);
}

QString GuiFrontEnd::extractFileName() {
    if (mScripted)
        return mFileNames.isEmpty() ? QString() : mFileNames.dequeue();
    const char* key = "import/lastFolder";
    QSettings settings;
    QFileDialog dialog(&mWindow, QStringLiteral("Select FIle."), settings.value(key).toString(),
                       QStringLiteral("Text (*.txt);;Comma Separated Values File (*.csv)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    const bool wasBusy = mBusy;
    setBusy(false);
    const bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    setBusy(wasBusy);
    if (!chosen)
        return {};
    const QString file = dialog.selectedFiles().first();
    settings.setValue(key, QFileInfo(file).absolutePath());
    return file;
}

QString GuiFrontEnd::gridExportFileName(const QString& title, const QString& filter,
                                        const QString& start) {
    if (mScripted)
        return mFileNames.isEmpty() ? QString() : mFileNames.dequeue();
    QFileDialog dialog(&mWindow, title, start, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const qsizetype star = filter.indexOf(QLatin1String("*."));
    if (star >= 0)
        dialog.setDefaultSuffix(filter.mid(star + 2).section(QLatin1Char(')'), 0, 0));
    const bool wasBusy = mBusy;
    setBusy(false);
    const bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    setBusy(wasBusy);
    return chosen ? dialog.selectedFiles().first() : QString();
}

QString GuiFrontEnd::packFileName(const QString& title) {
    return fileName(title, false, true);
}

QString GuiFrontEnd::fileName(const QString& title, bool save, bool packOnly) {
    if (mScripted)
        return mFileNames.isEmpty() ? QString() : mFileNames.dequeue();
    QFileDialog dialog(&mWindow, title, QString(),
                       packOnly ? kPackFilter : (save ? kDatabaseFilter : kOpenFilter));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (save) {
        dialog.setDefaultSuffix(QStringLiteral("mdb"));
        // The commands ask their own question about an existing file.
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    }
    const bool wasBusy = mBusy;
    setBusy(false);
    const bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    setBusy(wasBusy);
    return chosen ? dialog.selectedFiles().first() : QString();
}

void GuiFrontEnd::beginProgress(const QString& text, bool cancellable) {
    endProgress();
    mProgressText = text;
    mCancellable = cancellable;
    mCancelled = false;
    mSteps = 0;
    mProgressTexts << text;
    mProgressStarted.start();
    mSinceEvents.start();
}

bool GuiFrontEnd::stepProgress(qint64 done, qint64 total) {
    if (mScripted) {
        if (mCancellable && mCancelAtStep >= 0 && mSteps++ >= mCancelAtStep) {
            mCancelAtStep = -1;
            mCancelled = true;
        }
        return !mCancelled;
    }
    // Short work shows nothing; the window gets a turn this often.
    constexpr qint64 kShowAfterMs = 400;
    constexpr qint64 kEventsEveryMs = 40;
    if (mCancelled || mSinceEvents.elapsed() < kEventsEveryMs)
        return !mCancelled;
    mSinceEvents.restart();
    if (!mProgress && mProgressStarted.elapsed() >= kShowAfterMs) {
        mProgress = new QProgressDialog(mProgressText, QStringLiteral("Cancel"), 0, 0, &mWindow);
        mProgress->setObjectName(QStringLiteral("dlgProgress"));
        mProgress->setWindowTitle(mWindow.windowTitle());
        if (!mCancellable)
            mProgress->setCancelButton(nullptr);
        mProgress->setWindowModality(Qt::WindowModal);
        mProgress->setMinimumDuration(0);
        mProgress->setAutoClose(false);
        mProgress->setAutoReset(false);
        mProgress->show();
    }
    if (mProgress) {
        if (total > 0) {
            mProgress->setMaximum(1000);
            mProgress->setValue(int(std::min<qint64>(1000, done * 1000 / total)));
        } else {
            mProgress->setMaximum(0);
        }
    }
    // Until the modal dialog is up nothing may be clicked.
    QCoreApplication::processEvents(mProgress ? QEventLoop::AllEvents
                                              : QEventLoop::ExcludeUserInputEvents);
    mCancelled = mCancellable && mProgress && mProgress->wasCanceled();
    return !mCancelled;
}

void GuiFrontEnd::endProgress() {
    delete mProgress;
    mCancelled = false;
}

} // namespace orv::ui

#include "MakePackScreen.h"

#include "Navigator.h"
#include "ScreenGeometry.h"

#include "fieldwork/Pack.h"

#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace orv::ui {

namespace {

const QString kPackFilter = QStringLiteral("Field packs (*.orvpack)");

QString osUser() {
    for (const char* name : {"USER", "LOGNAME", "USERNAME"})
        if (const QString user = qEnvironmentVariable(name); !user.isEmpty())
            return user;
    return {};
}

} // namespace

MakePackScreen::MakePackScreen(Navigator& window) : mWindow(window) {
    setObjectName(QStringLiteral("frmMakePack"));
    setWindowTitle(QStringLiteral("Make Field Pack"));

    auto* records = new QGroupBox(QStringLiteral("Records"), this);
    records->setObjectName(QStringLiteral("fraRecords"));
    mByObs = new QRadioButton(QStringLiteral("OB&S:"), records);
    mByObs->setObjectName(QStringLiteral("optObs"));
    mObs = new QLineEdit(records);
    mObs->setObjectName(QStringLiteral("txtObs"));
    mObs->setAccessibleName(QStringLiteral("OBS, separated by commas"));
    mObs->setPlaceholderText(QStringLiteral("3, 8, 12"));
    mByOffice = new QRadioButton(QStringLiteral("Offic&e:"), records);
    mByOffice->setObjectName(QStringLiteral("optOffice"));
    mOffice = new QComboBox(records);
    mOffice->setObjectName(QStringLiteral("cboOffice"));
    mOffice->setAccessibleName(QStringLiteral("Office"));
    mByUnit = new QRadioButton(QStringLiteral("Sampling u&nit:"), records);
    mByUnit->setObjectName(QStringLiteral("optUnit"));
    mUnit = new QComboBox(records);
    mUnit->setObjectName(QStringLiteral("cboUnit"));
    mUnit->setAccessibleName(QStringLiteral("Sampling unit"));
    mAll = new QRadioButton(QStringLiteral("Whole s&ample"), records);
    mAll->setObjectName(QStringLiteral("optAll"));
    mAll->setChecked(true);
    auto* grid = new QGridLayout(records);
    grid->addWidget(mByObs, 0, 0);
    grid->addWidget(mObs, 0, 1);
    grid->addWidget(mByOffice, 1, 0);
    grid->addWidget(mOffice, 1, 1);
    grid->addWidget(mByUnit, 2, 0);
    grid->addWidget(mUnit, 2, 1);
    grid->addWidget(mAll, 3, 0, 1, 2);
    grid->setColumnStretch(1, 1);

    try {
        const PackChoices choices = packChoices(mWindow.session().db());
        mOffice->addItems(choices.offices);
        for (qint64 unit : choices.units)
            mUnit->addItem(QString::number(unit), unit);
    } catch (const DbError& e) {
        mWindow.frontEnd().message(e.message(), Icon::Exclamation);
    }
    mByOffice->setEnabled(mOffice->count() > 0);
    mByUnit->setEnabled(mUnit->count() > 0);
    // Typing or picking in a box chooses its way of selecting.
    connect(mObs, &QLineEdit::textEdited, mByObs, [this] { mByObs->setChecked(true); });
    connect(mOffice, &QComboBox::activated, mByOffice, [this] { mByOffice->setChecked(true); });
    connect(mUnit, &QComboBox::activated, mByUnit, [this] { mByUnit->setChecked(true); });

    auto* validatorLabel = new QLabel(QStringLiteral("Vali&dator:"), this);
    mValidator = new QLineEdit(osUser(), this);
    mValidator->setObjectName(QStringLiteral("txtValidator"));
    validatorLabel->setBuddy(mValidator);
    auto* fileLabel = new QLabel(QStringLiteral("Fi&le:"), this);
    mFile = new QLineEdit(defaultFile(), this);
    mFile->setObjectName(QStringLiteral("txtFile"));
    fileLabel->setBuddy(mFile);
    auto* browse = new QPushButton(QStringLiteral("&Browse..."), this);
    browse->setObjectName(QStringLiteral("cmdBrowse"));
    browse->setAccessibleName(QStringLiteral("Browse for the pack file"));
    connect(mValidator, &QLineEdit::textChanged, this, [this] {
        if (!mFileNamed)
            mFile->setText(defaultFile());
    });
    connect(mFile, &QLineEdit::textEdited, this, [this] { mFileNamed = true; });
    connect(browse, &QPushButton::clicked, this, &MakePackScreen::chooseFile);

    auto* who = new QGridLayout;
    who->addWidget(validatorLabel, 0, 0);
    who->addWidget(mValidator, 0, 1, 1, 2);
    who->addWidget(fileLabel, 1, 0);
    who->addWidget(mFile, 1, 1);
    who->addWidget(browse, 1, 2);
    who->setColumnStretch(1, 1);

    auto* ok = new QPushButton(QStringLiteral("O&K"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(ok, &QPushButton::clicked, this, &MakePackScreen::makePack);
    connect(cancel, &QPushButton::clicked, this, [this] { mWindow.closeForm(this); });
    // Enter in a box is OK, as in a dialog; Escape is Cancel.
    for (QLineEdit* box : {mObs, mValidator, mFile})
        connect(box, &QLineEdit::returnPressed, ok, &QPushButton::click);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, cancel, &QPushButton::click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(records);
    outer->addLayout(who);
    outer->addStretch(1);
    outer->addLayout(buttons);

    QWidget* const order[] = {mByObs, mObs,       mByOffice, mOffice, mByUnit, mUnit,
                              mAll,   mValidator, mFile,     browse,  ok,      cancel};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    fitScreen(this, 6600, 4200);
}

QString MakePackScreen::defaultFile() const {
    const QString folder = QFileInfo(mWindow.session().databasePath()).absolutePath();
    const QString validator = mValidator ? mValidator->text().trimmed() : QString();
    return QDir::toNativeSeparators(
        QDir(folder).filePath(QStringLiteral("%1-%2.orvpack")
                                  .arg(validator, QDate::currentDate().toString(Qt::ISODate))));
}

void MakePackScreen::chooseFile() {
    const QString chosen =
        mWindow.frontEnd().gridExportFileName(QStringLiteral("Make Field Pack"), kPackFilter);
    if (chosen.isEmpty())
        return;
    mFile->setText(QDir::toNativeSeparators(chosen));
    mFileNamed = true;
}

void MakePackScreen::makePack() {
    PackRequest request;
    PackSelection& selection = request.selection;
    if (mByObs->isChecked()) {
        selection.kind = PackSelection::Kind::Obs;
        for (const QString& obs : mObs->text().split(QLatin1Char(','), Qt::SkipEmptyParts))
            if (!obs.trimmed().isEmpty())
                selection.obs << obs.trimmed();
    } else if (mByOffice->isChecked()) {
        selection.kind = PackSelection::Kind::Office;
        selection.office = mOffice->currentText();
    } else if (mByUnit->isChecked()) {
        selection.kind = PackSelection::Kind::Unit;
        selection.unit = mUnit->currentData().toLongLong();
    }
    request.validator = mValidator->text();
    const QString file = QDir::fromNativeSeparators(mFile->text().trimmed());
    if (file.isEmpty()) {
        mWindow.frontEnd().message(QStringLiteral("Name the file the pack is written to."),
                                   Icon::Exclamation);
        return;
    }
    request.path = QFileInfo(file).absoluteFilePath();
    GuiFrontEnd& ui = mWindow.frontEnd();
    try {
        const PackInfo info = orv::makePack(mWindow.session().db(), request, ui);
        ui.message(QStringLiteral("The field pack %1 was written: %2. Give the passphrase to the "
                                  "validator apart from the pack.")
                       .arg(QDir::toNativeSeparators(request.path), info.title()),
                   Icon::Information);
    } catch (const Error& e) {
        ui.message(e.message(), Icon::Exclamation);
        return;
    }
    mWindow.closeForm(this);
}

} // namespace orv::ui

#include "SystemInfoDialog.h"

#include "program/SystemInfo.h"
#include "session/Session.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orv::ui {

SystemInfoDialog::SystemInfoDialog(Session& session, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("dlgSysInfo"));
    setWindowTitle(QStringLiteral("System Info"));
    mText = new QPlainTextEdit(this);
    mText->setObjectName(QStringLiteral("txtInfo"));
    mText->setReadOnly(true);
    mText->setAccessibleName(QStringLiteral("System information"));
    mText->setLineWrapMode(QPlainTextEdit::NoWrap);
    mText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    mText->setPlainText(systemInfoText(
        systemInfo(session.programDir(), session.isOpen() ? session.databasePath() : QString())));

    auto* copy = new QPushButton(QStringLiteral("&Copy"), this);
    copy->setObjectName(QStringLiteral("cmdCopy"));
    copy->setToolTip(QStringLiteral("Copy these lines, to paste them into a message"));
    auto* close = new QPushButton(QStringLiteral("C&lose"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    close->setDefault(true);
    connect(copy, &QPushButton::clicked, this, &SystemInfoDialog::copyToClipboard);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(copy);
    buttons->addWidget(close);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(mText, 1);
    outer->addLayout(buttons);
    resize(760, 300);
}

QString SystemInfoDialog::text() const {
    return mText->toPlainText();
}

void SystemInfoDialog::copyToClipboard() {
    QGuiApplication::clipboard()->setText(text());
}

} // namespace orv::ui

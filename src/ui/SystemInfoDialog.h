#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace orv {
class Session;
}

namespace orv::ui {

// What a support desk asks for, one "label: value" line each, with a button that copies it
// all to the clipboard.
class SystemInfoDialog : public QDialog {
    Q_OBJECT
public:
    SystemInfoDialog(Session& session, QWidget* parent);

    QString text() const;
    void copyToClipboard();

private:
    QPlainTextEdit* mText = nullptr;
};

} // namespace orv::ui

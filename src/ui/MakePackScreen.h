#pragma once

#include <QWidget>

class QComboBox;
class QLineEdit;
class QRadioButton;

namespace orv::ui {

class Navigator;

// Makes a field pack of chosen sampled records for one validator, sealed with a passphrase
// asked as it is written.
class MakePackScreen : public QWidget {
    Q_OBJECT
public:
    explicit MakePackScreen(Navigator& window);

public slots:
    // Writes the pack; a failure is told and the screen stays for another try.
    void makePack();

private:
    void chooseFile();
    // The file the pack goes to unless the user named one: beside the database, by validator
    // and day.
    QString defaultFile() const;

    Navigator& mWindow;
    QRadioButton* mByObs = nullptr;
    QRadioButton* mByOffice = nullptr;
    QRadioButton* mByUnit = nullptr;
    QRadioButton* mAll = nullptr;
    QLineEdit* mObs = nullptr;
    QComboBox* mOffice = nullptr;
    QComboBox* mUnit = nullptr;
    QLineEdit* mValidator = nullptr;
    QLineEdit* mFile = nullptr;
    bool mFileNamed = false;
};

} // namespace orv::ui

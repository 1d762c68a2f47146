#pragma once

#include "session/SignIn.h"

#include <QWidget>

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace orv::ui {

class Navigator;

// U003: signs in after a database is opened ("U003 - Sign In"), or changes the reporting
// period and the record filters ("U003r - Change Report Options").
class SignInScreen : public QWidget {
    Q_OBJECT
public:
    SignInScreen(Navigator& window, SignInMode mode);

    SignInMode mode() const { return mMode; }
    // The boxes' texts as they stand.
    SignInForm form() const;

public slots:
    void signIn();
    void exit();
    void clearFilter();
    void pickDate(int box);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildLayout();
    QLayout* buildDates();
    QWidget* buildFilters();
    QWidget* buildButtons();
    void loadSettings();
    void fillFilterLists();
    void fiscalYearLeft();
    void dateBoxLeft(QLineEdit* box);
    void endOfEvent();

    Navigator& mWindow;
    SignInMode mMode;

    QLineEdit* mFiscalYear = nullptr;
    QLineEdit* mPeriod = nullptr;
    QLineEdit* mPeriodEnd = nullptr;
    QLineEdit* mSampleDate = nullptr;
    QToolButton* mPickers[3] = {};
    QLabel* mOfficeLabel = nullptr;
    QLabel* mWibLabel = nullptr;
    QComboBox* mOffice = nullptr;
    QComboBox* mWibName = nullptr;
    QComboBox* mCaseMgr = nullptr;
    QGroupBox* mFilters = nullptr;
    QPushButton* mClear = nullptr;
    QComboBox* mPopulation = nullptr;
    QFrame* mButtons = nullptr;
    QPushButton* mSignIn = nullptr;
    QPushButton* mExit = nullptr;
};

} // namespace orv::ui

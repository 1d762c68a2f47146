#pragma once

#include <QWidget>

class QLabel;

namespace orv::ui {

class MainWindow;

// U008, "Contact Us.": whom to call or write for help; the mail and web addresses open the
// mail program and the browser.
class ContactScreen : public QWidget {
    Q_OBJECT
public:
    explicit ContactScreen(MainWindow& window);

    // What a click on the mail or web label opens.
    QString mailUrl() const;
    QString webUrl() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MainWindow& mWindow;
    QLabel* mMail = nullptr;
    QLabel* mWeb = nullptr;
};

} // namespace orv::ui

#pragma once

#include "program/ContactDetails.h"

#include <QWidget>

class QLabel;

namespace orv::ui {

class Navigator;

// U008, "Contact Us.": whom to call or write for help, as the agency set it in the contact
// file beside the program; the mail and web addresses, when set, open the mail program and
// the browser.
class ContactScreen : public QWidget {
    Q_OBJECT
public:
    explicit ContactScreen(Navigator& window);

    const ContactDetails& details() const { return mDetails; }
    // What a click on the mail or web label opens; empty when the address is not set.
    QString mailUrl() const;
    QString webUrl() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Navigator& mWindow;
    ContactDetails mDetails;
    QLabel* mMail = nullptr;
    QLabel* mWeb = nullptr;
};

} // namespace orv::ui

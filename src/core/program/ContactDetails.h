#pragma once

#include <QString>
#include <QStringList>

namespace orv {

// The settings file beside the program with whom the agency's staff call or write for help.
inline constexpr const char* kContactFile = "contact.ini";

// Whom to ask for help, as the agency set it. Any part may be empty.
struct ContactDetails {
    QString organisation;
    QStringList address; // the lines that are set, in order
    QString contact1;
    QString phone1;
    QString contact2;
    QString phone2;
    QString fax;
    QString email;
    QString web;

    // Whether the agency has said how to reach someone: a name alone (the shipped file's
    // placeholder, say) reaches nobody.
    bool isSet() const;
};

// Reads the [Contact] section of a contact file (keys Organisation, Address1-Address3,
// Contact1, Phone1, Contact2, Phone2, Fax, Email, Web; any case). A missing file, or one that
// is no such text file (unreadable, binary, not UTF-8, too big), gives empty details.
ContactDetails readContactDetails(const QString& path);

// What a click on the address opens; empty when none is set.
QString contactMailUrl(const ContactDetails& details);
QString contactWebUrl(const ContactDetails& details);

} // namespace orv

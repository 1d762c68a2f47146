#include "program/ContactDetails.h"

#include "program/IniText.h"

#include <QFile>
#include <QStringDecoder>

namespace orv {

namespace {

// A few lines of text; anything larger is not the file people edit.
constexpr qint64 kMaxBytes = 64 * 1024;

bool isText(const QByteArray& bytes) {
    if (bytes.contains('\0'))
        return false;
    QStringDecoder utf8(QStringDecoder::Utf8);
    [[maybe_unused]] const QString text = utf8(bytes);
    return !utf8.hasError();
}

} // namespace

ContactDetails readContactDetails(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxBytes)
        return {};
    QByteArray bytes = file.read(kMaxBytes + 1);
    if (bytes.size() > kMaxBytes || !isText(bytes))
        return {};
    // Notepad starts its UTF-8 files with a byte-order mark.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    const IniText ini(bytes);
    auto value = [&](const char* key) {
        return ini.value(QStringLiteral("Contact"), QString::fromLatin1(key));
    };
    ContactDetails d;
    d.organisation = value("Organisation");
    for (const char* key : {"Address1", "Address2", "Address3"}) {
        const QString line = value(key);
        if (!line.isEmpty())
            d.address << line;
    }
    d.contact1 = value("Contact1");
    d.phone1 = value("Phone1");
    d.contact2 = value("Contact2");
    d.phone2 = value("Phone2");
    d.fax = value("Fax");
    d.email = value("Email");
    d.web = value("Web");
    return d;
}

bool ContactDetails::isSet() const {
    return !address.isEmpty() || !phone1.isEmpty() || !phone2.isEmpty() || !fax.isEmpty() ||
           !email.isEmpty() || !web.isEmpty();
}

QString contactMailUrl(const ContactDetails& details) {
    if (details.email.isEmpty())
        return {};
    return QStringLiteral("mailto:") + details.email + QStringLiteral("?subject=ORV Help Request ");
}

QString contactWebUrl(const ContactDetails& details) {
    if (details.web.isEmpty())
        return {};
    // An address written with its scheme is taken as it is.
    if (details.web.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
        details.web.startsWith(QLatin1String("https://"), Qt::CaseInsensitive))
        return details.web;
    return QStringLiteral("http://") + details.web;
}

} // namespace orv

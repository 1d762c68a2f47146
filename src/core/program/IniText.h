#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

namespace orv {

// The text of an ini file ("[section]" headers, "key = value" lines, "#" or ";" comments),
// changed a key at a time: every line that is not changed stays byte for byte, so the other
// entries and the comments people keep in such files survive. Section and key names compare
// without regard to case, as the ODBC driver manager reads them.
class IniText {
public:
    IniText() = default;
    explicit IniText(const QByteArray& bytes);

    QByteArray bytes() const;

    QStringList sections() const;
    bool hasSection(const QString& section) const;
    // Empty when the section or the key is absent.
    QString value(const QString& section, const QString& key) const;
    // Replaces the key's line, or adds it at the end of the section (made when missing).
    void set(const QString& section, const QString& key, const QString& value);

private:
    int headerLine(const QString& section) const;
    int sectionEnd(int header) const;
    int keyLine(int header, const QString& key) const;

    QVector<QByteArray> mLines;
};

// Reads an ini file; a missing file reads as empty. Throws DbError when it cannot be read.
IniText readIniFile(const QString& path);
// Replaces an ini file in one step, following a symbolic link to the file it names, so a
// crash leaves the old file or the new one, never half of it. Throws DbError.
void writeIniFile(const QString& path, const IniText& ini);

} // namespace orv

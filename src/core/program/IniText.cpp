#include "program/IniText.h"

#include "db/Database.h"
#include "db/SafeFile.h"

#include <QFile>

namespace orv {

namespace {

QByteArray trimmed(const QByteArray& line) {
    return line.trimmed(); // blanks, tabs and a Windows line end
}

bool isComment(const QByteArray& t) {
    return t.startsWith('#') || t.startsWith(';');
}

// The section a header line names; empty for any other line.
QString headerName(const QByteArray& line) {
    const QByteArray t = trimmed(line);
    if (!t.startsWith('['))
        return {};
    const int close = t.indexOf(']');
    if (close < 0)
        return {};
    return QString::fromUtf8(t.mid(1, close - 1)).trimmed();
}

bool isHeader(const QByteArray& line) {
    return !headerName(line).isEmpty();
}

// Splits "key = value"; false for blanks, comments and lines without "=".
bool keyValue(const QByteArray& line, QString* key, QString* value) {
    const QByteArray t = trimmed(line);
    if (t.isEmpty() || isComment(t) || t.startsWith('['))
        return false;
    const int eq = t.indexOf('=');
    if (eq <= 0)
        return false;
    *key = QString::fromUtf8(t.left(eq)).trimmed();
    *value = QString::fromUtf8(t.mid(eq + 1)).trimmed();
    return !key->isEmpty();
}

QByteArray keyLineText(const QString& key, const QString& value) {
    return key.toUtf8() + '=' + value.toUtf8();
}

} // namespace

IniText::IniText(const QByteArray& bytes) {
    if (bytes.isEmpty())
        return;
    const QList<QByteArray> lines = bytes.split('\n');
    mLines = QVector<QByteArray>(lines.begin(), lines.end());
    // The last line break ends a line; it does not start an empty one.
    if (bytes.endsWith('\n'))
        mLines.removeLast();
}

QByteArray IniText::bytes() const {
    QByteArray out;
    for (const QByteArray& line : mLines) {
        out += line;
        out += '\n';
    }
    return out;
}

QStringList IniText::sections() const {
    QStringList out;
    for (const QByteArray& line : mLines) {
        const QString name = headerName(line);
        if (!name.isEmpty() && !out.contains(name, Qt::CaseInsensitive))
            out << name;
    }
    return out;
}

bool IniText::hasSection(const QString& section) const {
    return headerLine(section) >= 0;
}

int IniText::headerLine(const QString& section) const {
    for (int i = 0; i < mLines.size(); ++i) {
        if (headerName(mLines[i]).compare(section, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int IniText::sectionEnd(int header) const {
    int i = header + 1;
    while (i < mLines.size() && !isHeader(mLines[i]))
        ++i;
    return i;
}

int IniText::keyLine(int header, const QString& key) const {
    const int end = sectionEnd(header);
    for (int i = header + 1; i < end; ++i) {
        QString k;
        QString v;
        if (keyValue(mLines[i], &k, &v) && k.compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString IniText::value(const QString& section, const QString& key) const {
    const int header = headerLine(section);
    if (header < 0)
        return {};
    const int line = keyLine(header, key);
    if (line < 0)
        return {};
    QString k;
    QString v;
    keyValue(mLines[line], &k, &v);
    return v;
}

void IniText::set(const QString& section, const QString& key, const QString& value) {
    const QByteArray text = keyLineText(key, value);
    int header = headerLine(section);
    if (header < 0) {
        if (!mLines.isEmpty() && !trimmed(mLines.last()).isEmpty())
            mLines.push_back(QByteArray());
        mLines.push_back('[' + section.toUtf8() + ']');
        mLines.push_back(text);
        return;
    }
    const int line = keyLine(header, key);
    if (line >= 0) {
        mLines[line] = text;
        return;
    }
    // After the section's last line that is not blank, so the blank line before the next
    // section stays where it was.
    int at = sectionEnd(header);
    while (at > header + 1 && trimmed(mLines[at - 1]).isEmpty())
        --at;
    mLines.insert(at, text);
}

IniText readIniFile(const QString& path) {
    QFile file(path);
    if (!file.exists())
        return IniText();
    if (!file.open(QIODevice::ReadOnly))
        throw DbError(QStringLiteral("Cannot read '%1': %2").arg(path, file.errorString()));
    return IniText(file.readAll());
}

void writeIniFile(const QString& path, const IniText& ini) {
    files::writeWholeFile(path, ini.bytes());
}

} // namespace orv

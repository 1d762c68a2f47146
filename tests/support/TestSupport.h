#pragma once

#include <QString>
#include <QTemporaryDir>

namespace orv::test {

// A temporary program folder holding a copy of the built template database.
class ProgramDir {
public:
    ProgramDir();
    QString path() const { return mDir.path(); }
    QString file(const QString& name) const { return mDir.filePath(name); }

private:
    QTemporaryDir mDir;
};

QString templatePath();
QString reportDefinitionsDir();
void writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);
// The permission bits of a file, -1 when it cannot be read.
int modeOf(const QString& path);

} // namespace orv::test

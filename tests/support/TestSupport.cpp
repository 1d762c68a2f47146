#include "TestSupport.h"

#include <QDir>
#include <QFile>

#include <stdexcept>
#include <sys/stat.h>

namespace orv::test {

QString templatePath() {
    return QStringLiteral(ORV_TEMPLATE_FILE);
}

QString reportDefinitionsDir() {
    return QStringLiteral(ORV_SOURCE_DIR "/src/core/reports/definitions");
}

// A program folder as the build makes one: the template and the report definitions.
ProgramDir::ProgramDir() {
    if (!mDir.isValid() || !QFile::copy(templatePath(), file(QStringLiteral("ORVTemplate.xmdb"))))
        throw std::runtime_error("cannot prepare a program folder");
    const QDir definitions(reportDefinitionsDir());
    for (const QString& name : definitions.entryList({QStringLiteral("*.rpt")}, QDir::Files))
        if (!QFile::copy(definitions.filePath(name), file(name)))
            throw std::runtime_error("cannot copy the report definitions");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write test file");
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

int modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

} // namespace orv::test

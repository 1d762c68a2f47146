#include "TestSupport.h"

#include <QFile>

#include <stdexcept>

namespace orv::test {

QString templatePath() {
    return QStringLiteral(ORV_TEMPLATE_FILE);
}

ProgramDir::ProgramDir() {
    if (!mDir.isValid() || !QFile::copy(templatePath(), file(QStringLiteral("ORVTemplate.xmdb"))))
        throw std::runtime_error("cannot prepare a program folder");
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

} // namespace orv::test

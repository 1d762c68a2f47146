#include "TestSupport.h"

#include "db/Database.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>

namespace orv {
namespace {

struct Magic {
    QByteArray value;
    qint64 offset = 0;
};

// The globs and the nested magic strings of the installed MIME type, all of which must match.
void readMimeType(QStringList& globs, std::vector<Magic>& magic) {
    QFile file(QStringLiteral(ORV_SOURCE_DIR "/src/app/org.orvdv.DataValidation.mime.xml"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto a = xml.attributes();
        if (xml.name() == QLatin1String("glob"))
            globs << a.value(QLatin1String("pattern")).toString();
        if (xml.name() == QLatin1String("match"))
            magic.push_back({a.value(QLatin1String("value")).toLatin1().replace("\\000", {"\0", 1}),
                             a.value(QLatin1String("offset")).toLongLong()});
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
}

bool matches(const std::vector<Magic>& magic, const QByteArray& bytes) {
    for (const Magic& m : magic)
        if (bytes.mid(m.offset, m.value.size()) != m.value)
            return false;
    return !magic.empty();
}

} // namespace

TEST(MimeType, AValidationDatabaseIsKnownByItsNameAndItsContent) {
    QStringList globs;
    std::vector<Magic> magic;
    readMimeType(globs, magic);
    ASSERT_EQ(globs, QStringList{"*.mdb"});
    EXPECT_TRUE(QRegularExpression(QRegularExpression::wildcardToRegularExpression(globs[0]))
                    .match(QStringLiteral("run.mdb"))
                    .hasMatch());

    test::ProgramDir dir;
    ASSERT_TRUE(QFile::copy(test::templatePath(), dir.file("validation.bin")));
    { Database(dir.file("other.bin"), Database::Mode::Create).exec("CREATE TABLE t (x)"); }
    auto bytes = [&](const char* name) {
        QFile f(dir.file(name));
        return f.open(QIODevice::ReadOnly) ? f.read(512) : QByteArray();
    };
    EXPECT_TRUE(matches(magic, bytes("validation.bin")));
    EXPECT_FALSE(matches(magic, bytes("other.bin")));
}

} // namespace orv

#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QXmlStreamReader>

#include <zlib.h>

namespace orv::test {

// One member of a zip archive, found through the central directory; a null array when it is
// missing or does not inflate to the size the directory gives.
inline QByteArray zipMember(const QByteArray& zip, const QString& name) {
    auto u16 = [&zip](qsizetype at) -> quint32 {
        return quint32(quint8(zip[at])) | quint32(quint8(zip[at + 1])) << 8;
    };
    auto u32 = [&u16](qsizetype at) -> quint32 { return u16(at) | u16(at + 2) << 16; };
    const qsizetype end = zip.lastIndexOf(QByteArray("PK\x05\x06", 4));
    if (end < 0 || end + 22 > zip.size())
        return {};
    const quint32 entries = u16(end + 10);
    qsizetype at = u32(end + 16);
    for (quint32 i = 0; i < entries; ++i) {
        if (at + 46 > zip.size() || u32(at) != 0x02014b50)
            return {};
        const quint32 method = u16(at + 10);
        const quint32 packed = u32(at + 20);
        const quint32 size = u32(at + 24);
        const quint32 nameLength = u16(at + 28);
        const qsizetype local = u32(at + 42);
        const QByteArray entry = zip.mid(at + 46, nameLength);
        at += 46 + nameLength + u16(at + 30) + u16(at + 32);
        if (entry != name.toUtf8())
            continue;
        if (local + 30 > zip.size() || u32(local) != 0x04034b50)
            return {};
        QByteArray raw = zip.mid(local + 30 + u16(local + 26) + u16(local + 28), packed);
        if (method == 0)
            return raw;
        if (method != 8)
            return {};
        QByteArray out(size, '\0');
        z_stream z{};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
            return {};
        z.next_in = reinterpret_cast<Bytef*>(raw.data());
        z.avail_in = static_cast<uInt>(raw.size());
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = size;
        const int rc = inflate(&z, Z_FINISH);
        inflateEnd(&z);
        return rc == Z_STREAM_END && z.total_out == size ? out : QByteArray();
    }
    return {};
}

// The text of every cell of a worksheet's XML by its reference ("A1"), a number's as written;
// with types, each cell's type as well: "n" for a number, else its t attribute.
inline QMap<QString, QString> sheetCells(const QByteArray& sheetXml,
                                         QMap<QString, QString>* types = nullptr) {
    QMap<QString, QString> cells;
    QXmlStreamReader xml(sheetXml);
    QString ref;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("c")) {
            ref = xml.attributes().value(QLatin1String("r")).toString();
            const QString type = xml.attributes().value(QLatin1String("t")).toString();
            if (types)
                (*types)[ref] = type.isEmpty() ? QStringLiteral("n") : type;
        } else if (xml.isStartElement() &&
                   (xml.name() == QLatin1String("t") || xml.name() == QLatin1String("v"))) {
            cells[ref] += xml.readElementText();
        }
    }
    if (xml.hasError())
        cells[QStringLiteral("error")] = xml.errorString();
    return cells;
}

} // namespace orv::test

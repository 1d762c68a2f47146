#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>

namespace orv::test {

// The columns of an extract line that passes every check: employed in all three quarters on
// wage records (group 1), exit 10/15/2006. Change columns by position, then make a line.
inline std::map<int, QString> validRecord(int obs) {
    static const char* const kValues[64] = {
        "",    "NY", "",         "19700101", "1",        "0",     "0",   "0",
        "0",   "0",  "0",        "1",        "1",        "2",     "2",   "1",
        "2",   "12", "20050101", "5",        "20050110", "12345", "1",   "20050201",
        "",    "",   "",         "",         "",         "0",     "",    "",
        "",    "",   "2",        "2",        "2",        "0",     "2",   "2",
        "",    "0",  "20061015", "",         "1",        "1",     "",    "1",
        "1",   "1",  "1",        "1000",     "1000",     "1000",  "500", "600",
        "700", "2",  "2",        "Office A", "WIB A",    "Mgr A", "10",  "U1"};
    std::map<int, QString> r;
    for (int i = 0; i < 64; ++i)
        r[i + 1] = QString::fromLatin1(kValues[i]);
    r[1] = QString::number(obs);
    r[3] = QString::number(100000000 + obs);
    return r;
}

inline QByteArray line(const std::map<int, QString>& r) {
    QStringList cells;
    for (const auto& [pos, value] : r)
        cells << value;
    return cells.join(',').toUtf8() + "\r\n";
}

inline QByteArray validLines(int from, int to) {
    QByteArray out;
    for (int obs = from; obs <= to; ++obs)
        out += line(validRecord(obs));
    return out;
}

} // namespace orv::test

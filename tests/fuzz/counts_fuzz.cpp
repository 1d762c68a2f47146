// The reported counts file, line by line as its import reads it, without a database.
#include "import/ReportedCounts.h"

#include <QString>
#include <QStringList>

#include <cmath>
#include <cstdlib>

using namespace orv;

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArray file(reinterpret_cast<const char*>(data), qsizetype(size));
    if (file.startsWith("\xEF\xBB\xBF"))
        file.remove(0, 3);
    int lineNumber = 0;
    qsizetype at = 0;
    while (at < file.size()) {
        qsizetype end = file.indexOf('\n', at);
        end = end < 0 ? file.size() : end + 1;
        const QString line = decodeCountsLine(file.mid(at, end - at));
        at = end;
        ++lineNumber;
        require(!line.endsWith(QLatin1Char('\n')));

        const QStringList fields = line.split(QLatin1Char(','));
        require(GetCsvField(line, 0).isEmpty());
        // The fields the import asks for, and those past the end.
        const int count = int(fields.size());
        for (int n : {1, 2, 3, 7, 11, 12, count - 1, count, count + 1, count + 2}) {
            if (n < 1)
                continue;
            const QString field = GetCsvField(line, n);
            require(n < count ? field == fields[n - 1] : field == fields.last().trimmed());
        }
        if (line.trimmed().isEmpty())
            continue;
        CountsLine counts;
        QString error;
        if (parseCountsLine(line, lineNumber, counts, error)) {
            require(error.isEmpty());
            require(counts.cell == GetCsvField(line, 1));
            for (double c : counts.counts)
                require(std::isfinite(c));
        } else {
            require(!error.isEmpty());
        }
    }
    return 0;
}

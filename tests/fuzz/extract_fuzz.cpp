// Feeds bytes as an extract file through the reader and every check a line meets on its way
// into the master, as the import does, without a database.
#include "import/ExtractReader.h"
#include "rules/CrossChecks.h"
#include "rules/FieldChecks.h"
#include "rules/ImportErrors.h"
#include "rules/RecordRules.h"

#include <QDir>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

using namespace orv;

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

const QString& scratchPath() {
    static const QString path = [] {
        QString p = QDir::tempPath() + QStringLiteral("/orv-extract-fuzz-%1.csv").arg(getpid());
        static QByteArray name = QFile::encodeName(p);
        std::atexit([] { std::remove(name.constData()); });
        return p;
    }();
    return path;
}

const CheckContext& context() {
    static const CheckContext c(QSet<QString>{QStringLiteral("NY"), QStringLiteral("PA"),
                                              QStringLiteral("OH"), QStringLiteral("TX")},
                                QDate(2006, 7, 1), QDate(2007, 6, 30));
    return c;
}

bool within(std::string_view part, std::string_view whole) {
    return part.empty() || (part.data() >= whole.data() &&
                            part.data() + part.size() <= whole.data() + whole.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    {
        std::FILE* f = std::fopen(QFile::encodeName(scratchPath()).constData(), "wb");
        require(f != nullptr);
        require(std::fwrite(data, 1, size, f) == size);
        require(std::fclose(f) == 0);
    }
    // The smallest buffer the reader takes: lines cross its refills and make it grow.
    ExtractReader reader(scratchPath(), 64);
    ExtractRecord record;
    std::int64_t lines = 0;
    while (reader.next()) {
        require(reader.lineNumber() == ++lines);
        require(reader.bytesRead() >= 0);
        const std::string_view line = reader.line();
        const bool text = reader.lineLooksLikeText();
        const std::string_view obs = GetDelimitedField(line, ',', 1);
        require(within(obs, line));
        require(line.find('\'') == std::string_view::npos);
        const bool complete = reader.readRecord(record);
        require(complete == (reader.columnCount() == kExtractColumns));
        if (!complete || !text)
            continue;
        for (const FieldValue& v : record.values) {
            require(within(v.text, line));
            require(!v.isNumber() || v.numeric);
            if (v.isBlank())
                require(valueText(v).isEmpty());
            const YmdKey key = parseYmdKey(v);
            require(key == 0 || ymdKeyToDate(key).isValid());
        }
        QString state;
        int reported = 0;
        const ErrorSink sink = [&](const QString& message) {
            require(!message.isEmpty());
            ++reported;
        };
        try {
            const int failures = runFieldChecks(record, context(), sink, state);
            require(failures == reported);
            const int weight = ComputeRecordWeight(record);
            require(weight >= 0 && weight <= 3);
            if (failures == 0) {
                const CrossCheckResult cross = CrossCheckRecord(record, context());
                require(cross.warnings >= 0 && cross.warnings <= cross.messages.size());
            }
        } catch (const TypeMismatch& e) {
            require(e.column() >= 1 && e.column() <= kExtractColumns);
        }
        const int mismatch = firstTypeMismatch(record);
        require(mismatch >= 0 && mismatch <= kExtractColumns);
    }
    return 0;
}

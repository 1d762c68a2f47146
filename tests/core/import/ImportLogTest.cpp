#include "import/ImportRun.h"

#include <gtest/gtest.h>

#include <QBuffer>

using namespace orv;

// Past the entries kept in memory the rest wait on disk; the report gets all, in order.
TEST(ImportLogTest, VeryManyEntriesKeepTheirOrder) {
    ImportLog log;
    const int total = ImportLog::kInMemory + 5;
    for (int i = 0; i < total; ++i)
        log.add(QStringLiteral("  entry %1 ").arg(i));
    log.errorCount += 2; // a duplicate group counts more than it writes
    EXPECT_EQ(log.entries.size(), ImportLog::kInMemory);
    EXPECT_EQ(log.errorCount, total + 2);

    QBuffer out;
    out.open(QIODevice::WriteOnly);
    log.writeTo(out);
    const QList<QByteArray> lines = out.data().split('\n');
    ASSERT_EQ(lines.size(), total + 1); // the last CR LF ends the text
    for (int i = 0; i < total; ++i)
        ASSERT_EQ(lines[i], QStringLiteral("entry %1\r").arg(i).toUtf8()) << i;

    // Written twice, the same text: the report may be written again.
    QBuffer again;
    again.open(QIODevice::WriteOnly);
    log.writeTo(again);
    EXPECT_EQ(again.data(), out.data());
}

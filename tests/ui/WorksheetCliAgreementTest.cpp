// The batch front end and the screens show one database alike.
#include "WorksheetFixture.h"

#include "../cli/CliRunner.h"

#include <QPlainTextEdit>
#include <QTableWidget>

using namespace orv;

namespace {

using WorksheetCliAgreement = test::WorksheetTest;

QString ssnOf(int obs) {
    return QString::number(100000100 - obs);
}

TEST_F(WorksheetCliAgreement, ListCountsAndRatesAgree) {
    const QString db = session().databasePath();
    const QString home = dir.path();
    // One record marked from the command line, one on the screen.
    test::CliResult r =
        test::runCli(home, {"worksheet", db, "--obs", "3", "--ssn", ssnOf(3), "--pass", "1,2,13",
                            "--fail", "3", "--wrong-ssn", "on", "--comments", "O'Neil's file"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    ASSERT_TRUE(openList());
    auto* model = qobject_cast<ui::SampleListModel*>(view()->model());
    ASSERT_TRUE(model);
    doubleClickRow(model->rowOf(model->rows()[0].rowId));
    ASSERT_TRUE(worksheet());
    for (int line = 0; line < kElementCount; ++line) {
        if (markable(line))
            key(line == 16 ? Qt::Key_F : Qt::Key_P);
        key(Qt::Key_Down);
    }
    key(Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(worksheet(), nullptr) << fe().lastMessage().toStdString();

    r = test::runCli(home, {"sample", db});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    const auto& rows = model->rows();
    ASSERT_EQ(lines.size(), 1 + static_cast<int>(rows.size()) + 6 + kElementCount);
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const QStringList cells = lines[i + 1].split('\t');
        ASSERT_EQ(cells.size(), kListColumnCount + 1);
        for (int c = 0; c < kListColumnCount; ++c) {
            const QModelIndex index = model->index(i, c);
            const QString shown =
                isMarkColumn(c) ? markLetter(static_cast<Mark>(
                                      model->data(index, ui::SampleListModel::MarkRole).toInt()))
                                : model->data(index).toString();
            EXPECT_EQ(cells[c], shown) << "row " << i << " column " << c;
        }
        EXPECT_EQ(cells.last(), rows[i].completed ? "Yes" : "");
    }
    const char* labels[] = {"lblTotalSampled", "lblInspected",      "lblWrongSSN",
                            "lblInvalidRec",   "lblUnableToLocate", "lblMissingRec"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(lines[1 + rows.size() + i],
                  QString::fromLatin1(kTotalLabels[i]) + ' ' + labelText("U010", labels[i]));
    EXPECT_EQ(labelText("U010", "lblInspected"), "1");
    EXPECT_EQ(labelText("U010", "lblWrongSSN"), "1");
    auto* sums = control<QTableWidget>("U010", "grdsumm");
    ASSERT_TRUE(sums);
    for (int e = 0; e < kElementCount; ++e)
        EXPECT_EQ(
            lines[1 + rows.size() + 6 + e],
            QStringLiteral("Failed %1: %2")
                .arg(QString::fromLatin1(kDataElements[e].failSumName), sums->item(0, e)->text()));

    // Print Summary/Analytical Report shows the rates the command line prints.
    menu("mnuwks1", 2)->trigger();
    const QStringList shown = reportLines();
    r = test::runCli(home, {"error-rates", db});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    const QStringList rateLines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rateLines.size(), 1 + kElementCount);
    int from = 0;
    for (int row = 0; row < kElementCount; ++row) {
        // rptcell, subpops, ctype, cfield, cval, cweight, pct, Ref, seq, allchecked, ...
        const QStringList cells = rateLines[row + 1].split('\t');
        from = int(shown.indexOf(cells[0], from));
        ASSERT_GE(from, 1) << cells[0].toStdString();
        EXPECT_EQ(shown[from - 1], cells[7]);
        EXPECT_EQ(shown.mid(from + 1, 5),
                  QStringList({cells[3], cells[9], cells[6], cells[4], cells[5]}))
            << row;
    }
}

} // namespace

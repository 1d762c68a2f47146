#include "SampleListModel.h"
#include "Icons.h"
#include "MarkDelegate.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QColor>
#include <QHeaderView>
#include <QImage>
#include <QSignalSpy>
#include <QTableView>

using namespace orv;
using ui::SampleListModel;

namespace {

SampleListRow row(int obs, std::initializer_list<Mark> marks, bool completed = false) {
    SampleListRow r;
    r.rowId = 100 + obs;
    r.obs = QString::number(obs);
    r.ssn = QString::number(100000000 + obs);
    r.samplingUnit = QStringLiteral("10");
    for (int i = 0; i < kElementCount; ++i)
        r.values[i] = QStringLiteral("v%1").arg(i);
    int i = 0;
    for (Mark m : marks)
        r.marks[i++] = m;
    r.completed = completed;
    return r;
}

std::vector<SampleListRow> rows(int count) {
    std::vector<SampleListRow> out;
    for (int obs = 1; obs <= count; ++obs)
        out.push_back(row(obs, {Mark::Pass, Mark::Fail}, obs % 3 == 0));
    return out;
}

// Collects what the model tester complains about.
QStringList gFailures;
void collect(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtDebugMsg && QLatin1String(context.category) == QLatin1String("qt.modeltest"))
        gFailures << text;
}

TEST(SampleListModel, PassesTheModelTester) {
    gFailures.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collect);
    {
        SampleListModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::Warning);
        model.setRows(rows(5));
        model.setRows({});
        model.setRows(rows(150));
    }
    qInstallMessageHandler(previous);
    EXPECT_TRUE(gFailures.isEmpty()) << gFailures.join('\n').toStdString();
}

TEST(SampleListModel, ShowsTheRowsByRole) {
    SampleListModel model;
    model.setRows({row(7, {Mark::Fail, Mark::Pass, Mark::None}, true), row(8, {})});
    ASSERT_EQ(model.rowCount(), 2);
    ASSERT_EQ(model.columnCount(), kListColumnCount);

    // What a screen reader reads: the mark's word for a picture, "Done" on a completed row.
    struct Cell {
        int row;
        int column;
        const char* text;
        QVariant mark; // invalid where the column holds no mark
        const char* spoken;
        const char* description;
    };
    const Cell cells[] = {{0, 0, "7", {}, "7", "Done"},
                          {0, 1, "100000007", {}, "100000007", "Done"},
                          {0, 2, "10", {}, "10", "Done"},
                          {0, 3, "v0", {}, "v0", "Done"},
                          {0, 4, "", int(Mark::Fail), "Fail", "Done"},
                          {0, 5, "v1", {}, "v1", "Done"},
                          {0, 6, "", int(Mark::Pass), "Pass", "Done"},
                          {0, 8, "", int(Mark::None), "not marked", "Done"},
                          {1, 3, "v0", {}, "v0", ""},
                          {1, 4, "", int(Mark::None), "not marked", ""}};
    for (const Cell& c : cells) {
        const QModelIndex index = model.index(c.row, c.column);
        EXPECT_EQ(index.data().toString(), QString::fromLatin1(c.text)) << c.row << c.column;
        EXPECT_EQ(index.data(SampleListModel::MarkRole), c.mark) << c.row << c.column;
        EXPECT_EQ(index.data(SampleListModel::RowIdRole).toLongLong(), 107 + c.row) << c.column;
        EXPECT_EQ(index.data(Qt::AccessibleTextRole).toString(), c.spoken) << c.row << c.column;
        EXPECT_EQ(index.data(Qt::AccessibleDescriptionRole).toString(), c.description)
            << c.row << c.column;
    }
    EXPECT_EQ(model.headerData(0, Qt::Vertical, Qt::AccessibleTextRole).toString(), "1 Done");
    EXPECT_EQ(model.headerData(1, Qt::Vertical, Qt::AccessibleTextRole).toString(), "");
    EXPECT_EQ(model.headerData(4, Qt::Horizontal, Qt::AccessibleTextRole).toString(),
              "Vet pass/fail");
    EXPECT_EQ(model.index(0, 3).data(Qt::BackgroundRole).value<QColor>(), QColor(192, 189, 239));
    EXPECT_FALSE(model.index(1, 3).data(Qt::BackgroundRole).isValid());

    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "obs");
    EXPECT_EQ(model.headerData(4, Qt::Horizontal).toString(), "Pass/Fail");
    EXPECT_EQ(model.headerData(1, Qt::Vertical).toInt(), 2) << "rows numbered from 1";
    EXPECT_EQ(model.headerData(0, Qt::Vertical).toString(), "1 Done") << "not by colour alone";

    EXPECT_EQ(model.rowOf(108), 1);
    EXPECT_EQ(model.rowOf(999), -1);
    EXPECT_EQ(model.columnTexts(1), QStringList({"100000007", "100000008"}));
    EXPECT_EQ(model.columnTexts(4), QStringList({"", ""}));
}

TEST(SampleListModel, ALongSampleIsOneReset) {
    SampleListModel model;
    QTableView view;
    view.setModel(&model);
    view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserts(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
    model.setRows(rows(5000));
    EXPECT_EQ(model.rowCount(), 5000);
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(inserts.count(), 0);
    EXPECT_EQ(changes.count(), 0);
}

// Counts the pixels of a cell that are mostly of one hue.
struct Hues {
    int darkRed = 0;
    int green = 0;
};
Hues huesIn(const QImage& image, const QRect& cell) {
    Hues h;
    for (int y = cell.top(); y <= cell.bottom(); ++y) {
        for (int x = cell.left(); x <= cell.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 100 && c.green() < 70 && c.blue() < 70)
                ++h.darkRed;
            if (c.green() > 80 && c.green() > c.red() + 40 && c.green() > c.blue() + 20)
                ++h.green;
        }
    }
    return h;
}

TEST(MarkDelegate, PaintsEachMarkAsItsPicture) {
    SampleListModel model;
    model.setRows({row(1, {Mark::Fail, Mark::Pass, Mark::None})});
    QTableView view;
    view.setModel(&model);
    view.setItemDelegate(new ui::MarkDelegate(&view));
    view.resize(900, 200);
    view.verticalHeader()->setDefaultSectionSize(24);
    view.show();
    const QImage image = view.viewport()->grab().toImage();
    auto cell = [&](int column) { return view.visualRect(model.index(0, column)); };

    const Hues fail = huesIn(image, cell(4));
    const Hues pass = huesIn(image, cell(6));
    const Hues none = huesIn(image, cell(8));
    EXPECT_GT(fail.darkRed, 40);
    EXPECT_EQ(fail.green, 0);
    EXPECT_GT(pass.green, 10);
    EXPECT_EQ(pass.darkRed, 0);
    EXPECT_EQ(none.green + none.darkRed, 0);

    // Told apart without colour too: the fail mark is mostly dark, the pass mark mostly light.
    auto darkShare = [](const QIcon& icon) {
        const QImage img = icon.pixmap(16, 16).toImage();
        int dark = 0, opaque = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const QColor c = img.pixelColor(x, y);
                if (c.alpha() < 128)
                    continue;
                ++opaque;
                dark += qGray(c.rgb()) < 100 ? 1 : 0;
            }
        }
        return double(dark) / opaque;
    };
    EXPECT_GT(darkShare(ui::failMarkIcon()), 0.5);
    EXPECT_LT(darkShare(ui::passMarkIcon()), 0.5);
}

} // namespace

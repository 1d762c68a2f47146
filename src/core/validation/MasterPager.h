#pragma once

#include "db/Database.h"
#include "rules/RecordFilter.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <list>
#include <map>
#include <optional>
#include <unordered_map>
#include <vector>

namespace orv {

// The master's columns as the browse grids show them: every column but the seven the import
// derives, headed by its name, the two date columns by their short names.
struct MasterColumns {
    QStringList names;    // every column of tblORVmaster, in table order
    QStringList headings; // one per shown column
    int shown() const { return static_cast<int>(headings.size()); }

    // Throws DbError.
    static MasterColumns read(Database& db);
    // The shown column named by its column name or its heading, any case; -1 when none is.
    int find(const QString& nameOrHeading) const;
};

// The text a grid shows for a value: Null empty, numbers as written (no exponent for the
// amounts a record holds), text as stored.
QString cellText(const QVariant& value);
QString cellText(const Statement& st, int column);

// Told how building a temporary index goes, often (every few thousand rows, or every thousand
// engine instructions): `done` of `total`, or total 0 while there is no telling how far it
// is. Returns false to cancel. One that lets the window paint should do so only now and then,
// and must not read the database while MasterPager::isBusy says so.
class BuildProgress {
public:
    virtual ~BuildProgress() = default;
    [[nodiscard]] virtual bool update(qint64 done, qint64 total) = 0;
};

// The order of a browse: by a shown column, ascending or descending; by obs when no column is
// named. Rows of equal value come by outcome group, then in the order they were loaded (the
// other way round when descending).
struct MasterOrder {
    QString column;
    bool descending = false;
};

// The master records of a browse grid (those of one outcome group, or every grouped record)
// that pass the record filter, in a chosen order, read a page at a time.
//
// Pages are found by keyset: each read starts after the (value, group, rowid) key of a row
// already seen, on an index in that order, so no read ever skips rows one by one from the top.
// The ordering index is the master's own for the order by obs when the filter lets every row
// of the scope through; otherwise the rows' keys are first copied into a temporary table with
// an index of its own. The keys of page starts are remembered, so a jump anywhere walks only
// index entries from the nearest known page, or from either end.
class MasterPager {
public:
    static constexpr int kPageRows = 256;

    // group: an outcome group (spopnum), or none for every grouped record.
    MasterPager(Database& db, RecordFilter filter, std::optional<int> group,
                MasterOrder order = {});
    ~MasterPager();
    MasterPager(const MasterPager&) = delete;
    MasterPager& operator=(const MasterPager&) = delete;

    // Counts the rows and builds the temporary index the order needs, if any. Returns false
    // when the build was cancelled; the pager then has no rows. Throws DbError (an unknown
    // column included).
    [[nodiscard]] bool open(BuildProgress* progress = nullptr);
    bool isOpen() const { return mOpen; }
    // Whether the order is served by a temporary index (known once open).
    bool usesTemporaryIndex() const { return !mKeysTable.isEmpty(); }

    qint64 rowCount() const { return mCount; }
    const MasterColumns& columns() const { return mColumns; }
    const MasterOrder& order() const { return mOrder; }
    std::optional<int> group() const { return mGroup; }

    // The shown texts of a row, counted from 0; empty texts when it cannot be read.
    QStringList row(qint64 index);
    QString cell(qint64 index, int column) { return row(index).value(column); }
    // Whether the row's page is in memory, so that reading it touches no database.
    bool isLoaded(qint64 row) const;

    // Visits the rows in order, with no page kept: memory stays flat however many there are.
    // Stops after `limit` rows (all when negative) or when visit returns false. Throws DbError.
    void forEach(qint64 limit, const std::function<bool(const QStringList&)>& visit);
    // The first row after `after` (-1 for the first row) whose cell of the shown column matches,
    // or -1; read as forEach reads, for Find Next over a grid of any size. Throws DbError.
    qint64 findAfter(qint64 after, int column, const std::function<bool(const QString&)>& matches);

    // True while a connection runs a statement that lets the window paint from inside it: no
    // other statement may run on it then, so grids must show only rows already in memory.
    static bool isBusy(const Database& db);
    bool isBusy() const { return isBusy(mDb); }

private:
    // A row's place in the order: its values of the order's columns (only the first may be
    // Null), then its rowid.
    struct Key {
        QVariantList values;
        qint64 rowId = 0;
    };
    // Where a walk starts: before the first row, after the last, or at a row's key.
    struct Bound {
        enum Kind { Start, End, At } kind = Start;
        Key key;
        bool inclusive = true;
    };
    struct Source {
        QString keysFrom; // FROM of a walk over keys only
        QString rowsFrom; // FROM of a walk that reads the rows too
        QStringList keys; // the order's columns; the rowid breaks ties
        QString rid;
        QString scope; // condition every row meets; empty when none
        QVariantList scopeParams;
    };
    using Page = std::vector<QStringList>;

    bool chooseIndex();
    bool filterLetsAllThrough();
    [[nodiscard]] bool buildKeysTable(BuildProgress* progress);
    void createKeysTable();
    void copyKeys(BuildProgress* progress);
    void indexKeys(BuildProgress* progress);
    void dropKeysTable() noexcept;
    QString scopeCondition() const;
    QString columnList() const;

    // Steps through the rows in the order from a bound, forward or backward, reading their
    // shown columns when withRows; visit returns false to stop. The statement's columns are
    // the key's values, the rowid, then the shown columns (from firstShown()).
    void walk(const Bound& from, bool forward, bool withRows, qint64 limit,
              const std::function<bool(const Statement&)>& visit);
    Key keyOf(const Statement& st) const;
    int firstShown() const { return static_cast<int>(mSource.keys.size()) + 1; }
    const Page& page(qint64 index);
    Page readPage(qint64 index);
    void findPageStart(qint64 index);

    Database& mDb;
    RecordFilter mFilter;
    std::optional<int> mGroup;
    MasterOrder mOrder;
    MasterColumns mColumns;
    int mOrderColumn = 0; // index into mColumns.names
    Source mSource;
    QString mKeysTable;
    bool mOpen = false;
    qint64 mCount = 0;
    // Key of the first row of each page whose start is known, in ascending order.
    std::map<qint64, Key> mPageStarts;
    std::unordered_map<qint64, Page> mPages;
    std::list<qint64> mRecent; // most recently used first
    QStringList mEmptyRow;
};

} // namespace orv

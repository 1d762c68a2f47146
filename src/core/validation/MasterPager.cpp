#include "validation/MasterPager.h"

#include "db/Savepoint.h"

#include <QSet>

#include <algorithm>
#include <optional>

namespace orv {

namespace {

// The import's own columns, at the end of the master, which the grids leave out.
constexpr int kDerivedColumns = 7;

struct ShortHeading {
    const char* column;
    const char* heading;
};
constexpr ShortHeading kShortHeadings[] = {{"WIARegDate", "RegDate"}, {"WIAExitDate", "ExitDate"}};

// The master's indexes (schema.sql) that serve the browse orders, the counts and the filter
// check.
const QString kObsIndex = QStringLiteral("idx_master_obs");       // obs, spopnum where > 0
const QString kPeriodIndex = QStringLiteral("idx_master_period"); // spopnum, fWIAexitdate, pop

// Enough pages for a screenful scrolled both ways and a jump back; a few MB at most.
constexpr size_t kCachedPages = 16;
// Rowids copied in one statement while a temporary index is built: a few dozen milliseconds.
constexpr qint64 kCopySlice = 32768;

struct Cancelled {};

QSet<const sqlite3*>& busyConnections() {
    static QSet<const sqlite3*> connections;
    return connections;
}

bool hasIndex(Database& db, const QString& name) {
    return db.scalar("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ?", {name})
        .isValid();
}

// The collation the master declares for a column, so that a copy of its values sorts alike.
QString collationOf(Database& db, const QString& column) {
    const QString collation = db.declaredCollation(QStringLiteral("tblORVmaster"), column);
    for (const char* known : {"NOCASE", "RTRIM"}) {
        if (collation.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(known);
    }
    return QStringLiteral("BINARY");
}

// Runs one long statement while the progress is told and may cancel it. Nothing else may run
// on the connection meanwhile (see MasterPager::isBusy). An index build sorts its keys in runs
// the size of the main page cache and merges a run in one step: small runs keep each step,
// and so the time between two reports, short.
class YieldingBuild {
public:
    YieldingBuild(Database& db, BuildProgress* progress, qint64 rows)
        : mDb(db), mProgress(progress), mRows(rows) {
        mCacheSize = mDb.scalar("PRAGMA main.cache_size").toLongLong();
        mDb.exec("PRAGMA main.cache_size = -2000");
        busyConnections().insert(mDb.handle());
        if (mProgress)
            mHook.emplace(mDb, 1000, [this] { return keepGoing(); });
    }
    ~YieldingBuild() {
        mHook.reset();
        busyConnections().remove(mDb.handle());
        try {
            mDb.exec("PRAGMA main.cache_size = " + std::to_string(mCacheSize));
        } catch (const DbError&) {
        }
    }
    bool cancelled() const { return mCancelled; }
    YieldingBuild(const YieldingBuild&) = delete;
    YieldingBuild& operator=(const YieldingBuild&) = delete;

private:
    bool keepGoing() {
        if (!mCancelled)
            mCancelled = !mProgress->update(mRows, 0);
        return !mCancelled;
    }
    Database& mDb;
    BuildProgress* mProgress;
    qint64 mRows;
    qint64 mCacheSize = 0;
    bool mCancelled = false;
    std::optional<ProgressHook> mHook;
};

} // namespace

MasterColumns MasterColumns::read(Database& db) {
    MasterColumns out;
    Statement st = db.prepare("SELECT * FROM tblORVmaster LIMIT 0");
    for (int i = 0; i < st.columnCount(); ++i)
        out.names << st.columnName(i);
    const int shown = std::max(0, static_cast<int>(out.names.size()) - kDerivedColumns);
    for (int i = 0; i < shown; ++i) {
        QString heading = out.names[i];
        for (const ShortHeading& s : kShortHeadings) {
            if (heading.compare(QLatin1String(s.column), Qt::CaseInsensitive) == 0)
                heading = QLatin1String(s.heading);
        }
        out.headings << heading;
    }
    return out;
}

int MasterColumns::find(const QString& nameOrHeading) const {
    for (int i = 0; i < shown(); ++i) {
        if (names[i].compare(nameOrHeading, Qt::CaseInsensitive) == 0 ||
            headings[i].compare(nameOrHeading, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString cellText(const QVariant& value) {
    if (value.isNull() || !value.isValid())
        return QString();
    if (value.typeId() == QMetaType::Double)
        return QString::number(value.toDouble(), 'g', 15);
    return value.toString();
}

QString cellText(const Statement& st, int column) {
    switch (st.columnType(column)) {
    case Statement::Null:
        return QString();
    case Statement::Integer:
        return QString::number(st.int64(column));
    case Statement::Float:
        return QString::number(st.real(column), 'g', 15);
    default:
        return st.text(column);
    }
}

MasterPager::MasterPager(Database& db, RecordFilter filter, std::optional<int> group,
                         MasterOrder order)
    : mDb(db), mFilter(std::move(filter)), mGroup(group), mOrder(std::move(order)) {}

MasterPager::~MasterPager() {
    dropKeysTable();
}

bool MasterPager::isBusy(const Database& db) {
    return busyConnections().contains(db.handle());
}

bool MasterPager::open(BuildProgress* progress) {
    mColumns = MasterColumns::read(mDb);
    const QString column = mOrder.column.isEmpty() ? QStringLiteral("obs") : mOrder.column;
    mOrderColumn = mColumns.find(column);
    if (mOrderColumn < 0)
        throw DbError(QStringLiteral("The master table has no column %1.").arg(column));
    mEmptyRow.clear();
    for (int i = 0; i < mColumns.shown(); ++i)
        mEmptyRow << QString();
    if (!chooseIndex() && !buildKeysTable(progress))
        return false;
    mOpen = true;
    return true;
}

QString MasterPager::scopeCondition() const {
    return mGroup ? QStringLiteral("tblORVmaster.spopnum = ?")
                  : QStringLiteral("tblORVmaster.spopnum <> 0");
}

QString MasterPager::columnList() const {
    QStringList out;
    for (int i = 0; i < mColumns.shown(); ++i)
        out << QStringLiteral("tblORVmaster.") + quoteIdentifier(mColumns.names[i]);
    return out.join(QLatin1String(", "));
}

// The master's index of grouped records by obs (and group) serves the order by obs when the
// record filter lets every row of the scope through: walks then need nothing but its entries,
// a group's by their group number in them.
bool MasterPager::chooseIndex() {
    if (mColumns.names[mOrderColumn].compare(QLatin1String("obs"), Qt::CaseInsensitive) != 0)
        return false;
    if (!hasIndex(mDb, kObsIndex) || (mGroup && *mGroup <= 0) || !filterLetsAllThrough())
        return false;
    // The index holds the groups above 0: every grouped record unless a group is below 0,
    // which the import never writes.
    if (!mGroup && mDb.scalar("SELECT 1 FROM tblORVmaster WHERE spopnum < 0 LIMIT 1").isValid())
        return false;
    mSource.scope = QStringLiteral("tblORVmaster.spopnum > 0");
    mSource.scopeParams.clear();
    if (mGroup) {
        mSource.scope += QStringLiteral(" AND tblORVmaster.spopnum = ?");
        mSource.scopeParams << *mGroup;
    }
    mSource.keysFrom = mSource.rowsFrom = QStringLiteral("tblORVmaster INDEXED BY ") + kObsIndex;
    mSource.keys =
        QStringList{QStringLiteral("tblORVmaster.") + quoteIdentifier(mColumns.names[mOrderColumn]),
                    QStringLiteral("tblORVmaster.spopnum")};
    mSource.rid = QStringLiteral("tblORVmaster.rowid");
    // The period index counts a group, or all of them, from one seek to the next.
    const QString countFrom = hasIndex(mDb, kPeriodIndex)
                                  ? QStringLiteral("tblORVmaster INDEXED BY ") + kPeriodIndex
                                  : mSource.keysFrom;
    mCount =
        mDb.scalar(("SELECT count(*) FROM " + countFrom + " WHERE " + mSource.scope).toStdString(),
                   mSource.scopeParams)
            .toLongLong();
    return true;
}

// True when no record of the scope lies outside the reporting period and no other filter is
// set, found by a few index seeks per outcome group.
bool MasterPager::filterLetsAllThrough() {
    if (mFilter.anyFilter() || !hasIndex(mDb, kPeriodIndex))
        return false;
    const QVariantList period = mFilter.params(); // the start and end only: no other filter
    Statement probe = mDb.prepare(
        "SELECT EXISTS (SELECT 1 FROM tblORVmaster WHERE spopnum = ?1 AND fWIAexitdate IS NULL) "
        "OR EXISTS (SELECT 1 FROM tblORVmaster WHERE spopnum = ?1 AND fWIAexitdate < ?2) "
        "OR EXISTS (SELECT 1 FROM tblORVmaster WHERE spopnum = ?1 AND fWIAexitdate > ?3)");
    auto outside = [&](const QVariant& group) {
        probe.reset();
        probe.bind(1, group);
        probe.bind(2, period.value(0));
        probe.bind(3, period.value(1));
        return probe.step() && probe.int64(0) != 0;
    };
    if (mGroup)
        return !outside(*mGroup);
    // Every group value but 0, one seek each.
    Statement next = mDb.prepare(("SELECT spopnum FROM tblORVmaster INDEXED BY " + kPeriodIndex +
                                  " WHERE spopnum > ? ORDER BY spopnum LIMIT 1")
                                     .toStdString());
    QVariant value = mDb.scalar("SELECT min(spopnum) FROM tblORVmaster");
    while (!value.isNull()) {
        const bool zero = value.typeId() != QMetaType::QString && value.toDouble() == 0;
        if (!zero && outside(value))
            return false;
        next.reset();
        next.bind(1, value);
        value = next.step() ? next.value(0) : QVariant();
    }
    return true;
}

// Copies the keys of the rows that pass the filter into a temporary table, then indexes it.
bool MasterPager::buildKeysTable(BuildProgress* progress) {
    createKeysTable();
    try {
        copyKeys(progress);
        mCount = mDb.scalar(("SELECT count(*) FROM temp." + mKeysTable).toStdString()).toLongLong();
        indexKeys(progress);
    } catch (const Cancelled&) {
        mCount = 0;
        dropKeysTable();
        return false;
    } catch (...) {
        mCount = 0;
        dropKeysTable();
        throw;
    }
    const QString table = QStringLiteral("temp.") + mKeysTable + QStringLiteral(" AS t");
    mSource.keysFrom = table;
    mSource.rowsFrom =
        table + QStringLiteral(" CROSS JOIN tblORVmaster ON tblORVmaster.rowid = t.rid");
    mSource.keys = QStringList{QStringLiteral("t.k"), QStringLiteral("t.g")};
    mSource.rid = QStringLiteral("t.rid");
    mSource.scope.clear();
    mSource.scopeParams.clear();
    return true;
}

void MasterPager::createKeysTable() {
    static int made = 0;
    mKeysTable = QStringLiteral("orv_keys_%1").arg(++made);
    mDb.exec(("CREATE TEMP TABLE " + mKeysTable + " (k COLLATE " +
              collationOf(mDb, mColumns.names[mOrderColumn]) + ", g, rid INTEGER)")
                 .toStdString());
}

// Throws Cancelled when the progress says stop; the keys copied so far are rolled back.
void MasterPager::copyKeys(BuildProgress* progress) {
    QVariantList params;
    if (mGroup)
        params << *mGroup;
    params += mFilter.params();
    const QString copy = "INSERT INTO temp." + mKeysTable + " (k, g, rid) SELECT tblORVmaster." +
                         quoteIdentifier(mColumns.names[mOrderColumn]) +
                         ", tblORVmaster.spopnum, tblORVmaster.rowid FROM tblORVmaster WHERE " +
                         scopeCondition() + " AND " + mFilter.sql();
    Savepoint sp(mDb, "orv_keys");
    if (mGroup) {
        // A group is read on its index in one statement.
        Statement st = mDb.prepare(copy.toStdString());
        st.bindAll(params);
        YieldingBuild build(mDb, progress, 0);
        try {
            st.run();
        } catch (const DbError&) {
            if (!build.cancelled())
                throw;
        }
        // Unwinding rolls the savepoint back before the table is dropped.
        if (build.cancelled())
            throw Cancelled();
    } else {
        // Every grouped record: the table in slices of rowids, in its own order, the
        // connection free between two.
        // Each its own query, so that each is one seek.
        Statement range = mDb.prepare("SELECT (SELECT min(rowid) FROM tblORVmaster), "
                                      "(SELECT max(rowid) FROM tblORVmaster)");
        range.step(); // one row, always
        const qint64 first = range.int64(0), last = range.int64(1);
        Statement st =
            mDb.prepare((copy + " AND tblORVmaster.rowid BETWEEN ? AND ?").toStdString());
        for (qint64 from = first; from <= last; from += kCopySlice) {
            st.bindAll(params + QVariantList{from, from + kCopySlice - 1});
            st.run();
            st.reset();
            if (progress && !progress->update(std::min(last, from + kCopySlice - 1) - first + 1,
                                              last - first + 1))
                throw Cancelled();
        }
    }
    sp.release();
}

// Throws Cancelled when the progress says stop.
void MasterPager::indexKeys(BuildProgress* progress) {
    YieldingBuild build(mDb, progress, mCount);
    try {
        mDb.exec(("CREATE INDEX temp." + mKeysTable + "_k ON " + mKeysTable + " (k, g, rid)")
                     .toStdString());
    } catch (const DbError&) {
        if (!build.cancelled())
            throw;
    }
    if (build.cancelled())
        throw Cancelled();
}

void MasterPager::dropKeysTable() noexcept {
    if (mKeysTable.isEmpty())
        return;
    try {
        mDb.exec(("DROP TABLE IF EXISTS temp." + mKeysTable).toStdString());
    } catch (const DbError&) {
        // The connection is gone, and its temporary tables with it.
    }
    mKeysTable.clear();
}

MasterPager::Key MasterPager::keyOf(const Statement& st) const {
    Key key;
    const int n = static_cast<int>(mSource.keys.size());
    for (int i = 0; i < n; ++i)
        key.values << st.value(i);
    key.rowId = st.int64(n);
    return key;
}

// Rows whose first key is Null come first (the engine sorts Null lowest); then the others.
// Each run is ordered by the key's columns and the rowid, and starts at its bound by an index
// seek on a row value, so a walk is one or two statements whatever it skips.
void MasterPager::walk(const Bound& from, bool forward, bool withRows, qint64 limit,
                       const std::function<bool(const Statement&)>& visit) {
    struct Run {
        QString condition;
        QVariantList params;
    };
    const Source& s = mSource;
    const QString first = s.keys.first();
    const QString nulls = first + QStringLiteral(" IS NULL");
    const QString values = first + QStringLiteral(" IS NOT NULL");
    const QString op = forward ? (from.inclusive ? QStringLiteral(">=") : QStringLiteral(">"))
                               : (from.inclusive ? QStringLiteral("<=") : QStringLiteral("<"));
    // (a, b, rowid) op (?, ?, ?), over the columns from `start` on.
    auto after = [&](int start) {
        QStringList columns = s.keys.mid(start);
        columns << s.rid;
        QVariantList params = from.key.values.mid(start);
        params << from.key.rowId;
        QStringList marks;
        for (int i = 0; i < columns.size(); ++i)
            marks << QStringLiteral("?");
        const QString left = columns.size() == 1
                                 ? columns.first()
                                 : QLatin1Char('(') + columns.join(QLatin1String(", ")) + ')';
        const QString right = columns.size() == 1
                                  ? marks.first()
                                  : QLatin1Char('(') + marks.join(QLatin1String(", ")) + ')';
        return Run{left + QLatin1Char(' ') + op + QLatin1Char(' ') + right, params};
    };
    std::vector<Run> runs;
    if (from.kind == Bound::Start) {
        runs = {{nulls, {}}, {values, {}}};
    } else if (from.kind == Bound::End) {
        runs = {{values, {}}, {nulls, {}}};
    } else if (from.key.values.first().isNull()) {
        Run inNulls = after(1);
        inNulls.condition = nulls + QStringLiteral(" AND ") + inNulls.condition;
        runs = {inNulls};
        if (forward)
            runs.push_back({values, {}});
    } else {
        runs = {after(0)};
        if (!forward)
            runs.push_back({nulls, {}});
    }
    const QString direction = forward ? QString() : QStringLiteral(" DESC");
    QStringList order;
    for (const QString& k : s.keys)
        order << k + direction;
    order << s.rid + direction;
    qint64 seen = 0;
    for (const Run& run : runs) {
        if (limit >= 0 && seen >= limit)
            return;
        QString sql = QStringLiteral("SELECT ") + s.keys.join(QLatin1String(", ")) +
                      QStringLiteral(", ") + s.rid;
        if (withRows)
            sql += QStringLiteral(", ") + columnList();
        sql += QStringLiteral(" FROM ") + (withRows ? s.rowsFrom : s.keysFrom) +
               QStringLiteral(" WHERE ");
        if (!s.scope.isEmpty())
            sql += s.scope + QStringLiteral(" AND ");
        sql += run.condition + QStringLiteral(" ORDER BY ") + order.join(QLatin1String(", ")) +
               QStringLiteral(" LIMIT ?");
        Statement st = mDb.prepare(sql.toStdString());
        st.bindAll(s.scopeParams + run.params +
                   QVariantList{limit < 0 ? qint64(-1) : limit - seen});
        while (st.step()) {
            ++seen;
            if (!visit(st))
                return;
        }
    }
}

// Walks index entries from the nearest page whose start is known, or from either end, to the
// start of the page, noting the start of every page it passes.
void MasterPager::findPageStart(qint64 index) {
    if (index == 0 || mPageStarts.count(index))
        return;
    const qint64 target = index * kPageRows;
    qint64 lowRow = 0;
    Bound low{Bound::Start, {}, true};
    auto above = mPageStarts.upper_bound(index);
    if (above != mPageStarts.begin()) {
        auto below = std::prev(above);
        lowRow = below->first * kPageRows;
        low = {Bound::At, below->second, true};
    }
    qint64 highRow = mCount; // the walk back visits highRow - 1 first
    Bound high{Bound::End, {}, false};
    if (above != mPageStarts.end()) {
        highRow = above->first * kPageRows;
        high = {Bound::At, above->second, false};
    }
    if (target - lowRow <= highRow - target) {
        qint64 at = lowRow;
        walk(low, true, false, target - lowRow + 1, [&](const Statement& st) {
            if (at % kPageRows == 0)
                mPageStarts.emplace(at / kPageRows, keyOf(st));
            ++at;
            return true;
        });
    } else {
        qint64 at = highRow;
        walk(high, false, false, highRow - target, [&](const Statement& st) {
            --at;
            if (at % kPageRows == 0)
                mPageStarts.emplace(at / kPageRows, keyOf(st));
            return true;
        });
    }
}

MasterPager::Page MasterPager::readPage(qint64 index) {
    const qint64 rows = std::min<qint64>(kPageRows, mCount - index * kPageRows);
    Page page;
    page.reserve(static_cast<size_t>(rows));
    findPageStart(index);
    const auto start = mPageStarts.find(index);
    if (index != 0 && start == mPageStarts.end())
        return page; // the rows changed under the pager
    const Bound from =
        index == 0 ? Bound{Bound::Start, {}, true} : Bound{Bound::At, start->second, true};
    const int shown = mColumns.shown();
    const int shownAt = firstShown();
    // One row more than the page, for the start of the next.
    walk(from, true, true, rows + 1, [&](const Statement& st) {
        if (static_cast<qint64>(page.size()) == rows) {
            mPageStarts.emplace(index + 1, keyOf(st));
            return false;
        }
        QStringList cells;
        cells.reserve(shown);
        for (int c = 0; c < shown; ++c)
            cells << cellText(st, shownAt + c);
        page.push_back(std::move(cells));
        return true;
    });
    return page;
}

const MasterPager::Page& MasterPager::page(qint64 index) {
    if (auto it = mPages.find(index); it != mPages.end()) {
        mRecent.remove(index);
        mRecent.push_front(index);
        return it->second;
    }
    Page read = readPage(index);
    while (mPages.size() >= kCachedPages) {
        mPages.erase(mRecent.back());
        mRecent.pop_back();
    }
    mRecent.push_front(index);
    return mPages.emplace(index, std::move(read)).first->second;
}

bool MasterPager::isLoaded(qint64 row) const {
    if (!mOpen || row < 0 || row >= mCount)
        return true;
    const qint64 at = mOrder.descending ? mCount - 1 - row : row;
    return mPages.count(at / kPageRows) != 0;
}

QStringList MasterPager::row(qint64 index) {
    if (!mOpen || index < 0 || index >= mCount)
        return mEmptyRow;
    const qint64 at = mOrder.descending ? mCount - 1 - index : index;
    try {
        const Page& p = page(at / kPageRows);
        const auto offset = static_cast<size_t>(at % kPageRows);
        return offset < p.size() ? p[offset] : mEmptyRow;
    } catch (const DbError&) {
        // A row that cannot be read shows empty, as the grid's loading always did.
        return mEmptyRow;
    }
}

void MasterPager::forEach(qint64 limit, const std::function<bool(const QStringList&)>& visit) {
    if (!mOpen || mCount == 0)
        return;
    const int shown = mColumns.shown();
    const int shownAt = firstShown();
    const Bound from = mOrder.descending ? Bound{Bound::End, {}, true} : Bound{};
    walk(from, !mOrder.descending, true, limit, [&](const Statement& st) {
        QStringList cells;
        cells.reserve(shown);
        for (int c = 0; c < shown; ++c)
            cells << cellText(st, shownAt + c);
        return visit(cells);
    });
}

qint64 MasterPager::findAfter(qint64 after, int column,
                              const std::function<bool(const QString&)>& matches) {
    qint64 index = -1;
    qint64 found = -1;
    forEach(-1, [&](const QStringList& cells) {
        if (++index > after && matches(cells.value(column)))
            found = index;
        return found < 0;
    });
    return found;
}

} // namespace orv

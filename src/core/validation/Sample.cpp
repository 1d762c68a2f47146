#include "validation/Sample.h"

#include "db/Savepoint.h"
#include "db/SpillFile.h"
#include "session/Session.h"

#include <QDateTime>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <optional>
#include <random>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace orv {

namespace {

// Nearest whole number, halves to even.
qint64 roundEven(double x) {
    return static_cast<qint64>(std::nearbyint(x));
}

double roundEven2(double x) {
    return std::nearbyint(x * 100.0) / 100.0;
}

qint64 intPart(double x) {
    return static_cast<qint64>(std::floor(x));
}

// Uniform in [0, 1) with single precision (24 random bits). mt19937 and this conversion give
// the same sequence for a seed with every compiler and library.
class Uniform {
public:
    explicit Uniform(quint32 seed) : mGen(seed) {}
    double next() { return static_cast<double>(mGen() >> 8) / 16777216.0; }

private:
    std::mt19937 mGen;
};

// The master columns a sample row copies, in the order of tblsample.
constexpr const char* kCopiedColumns =
    "obs, ssn, SamplingUnit, WibName, OfficeName, Vet, UCStatus, PellGrant, DislocDate, "
    "AppDate, Petition, PartDate, EnterTrainDate, TrainEndDate, TrainComp, Travel, Subsistence, "
    "RecvdOccTrain, OJT, RemedialTrain, TRA, Waiver, JobSearchAllow, UserId, Relocation, "
    "WIARegDate, FedCoenroll, WIAExitDate, \"EmpQtr+1\", OccCode, \"Empqtr+3\", "
    "Earn3QTRPriorToParticipation, Earn2QTRPriorToParticipation, Earn1QTRAfterExit, "
    "Earn2QTRAfterExit, Earn3QTRAfterExit, Recalled, randno, Weight";

// Copied by rowid: randno is meant to be unique, but a repeated one must not copy two records
// for one draw. A record without a unit was drawn in unit 999999, and its sample row says so.
std::string copySql() {
    std::string source = kCopiedColumns;
    const std::string unit = "SamplingUnit";
    source.replace(source.find(unit), unit.size(), "IFNULL(SamplingUnit, 999999)");
    return std::string("INSERT INTO tblsample (seqno, sampletype, chk, ") + kCopiedColumns +
           ") SELECT ?1, ?2, NULL, " + source + " FROM tblORVmaster WHERE rowid = ?3";
}

struct Unit {
    QVariant value;
    qint64 count = 0;       // grouped records
    qint64 weight = 0;      // their total weight, rounded
    double exactWeight = 0; // and as summed
    qint64 allCount = 0;    // every record of the unit, grouped or not
    QVariant allWeight;
    bool certain = false;
    bool drawn = false;
};

struct DrawCounts {
    qint64 population = 0;
    qint64 units = 0;
};

// Systematic selection from records in a fixed order: each record adds its weight to a running
// sum, and a record is taken when the sum reaches the next pick, which then moves on by one
// interval. Start 0 with interval 0 takes the first `count` records.
class SystematicDraw {
public:
    SystematicDraw(double start, double interval, qint64 count)
        : mPick(start), mInterval(interval), mCount(count) {}
    bool done() const { return static_cast<qint64>(mPicks.size()) >= mCount; }
    void offer(qint64 rowid, double weight) {
        if (done())
            return;
        mRunning = roundEven(static_cast<double>(mRunning) + weight);
        if (static_cast<double>(mRunning) >= mPick) {
            mPick += mInterval;
            mPicks.push_back(rowid);
        }
    }
    const std::vector<qint64>& picks() const { return mPicks; }

private:
    double mPick;
    double mInterval;
    qint64 mCount;
    qint64 mRunning = 0;
    std::vector<qint64> mPicks;
};

// Records without a unit count as unit 999999 throughout.
constexpr const char* kUnitTotals =
    "SELECT IFNULL(SamplingUnit, 999999) AS unit, count(CASE WHEN spopnum <> 0 THEN 1 END), "
    "sum(CASE WHEN spopnum <> 0 THEN Weight END), count(*), sum(Weight) "
    "FROM tblORVmaster GROUP BY unit ORDER BY unit";
constexpr const char* kCertaintyPool =
    "SELECT m.rowid, m.Weight FROM tblORVmaster AS m "
    "WHERE IFNULL(m.SamplingUnit, 999999) IN (SELECT SamplingUnit FROM tblsupport "
    "WHERE sType = 'U') AND m.spopnum <> 0 ORDER BY IFNULL(m.SamplingUnit, 999999), m.randno, "
    "m.rowid";
constexpr const char* kDrawnUnits =
    "SELECT d.pool, m.rowid, m.Weight FROM tblORVmaster AS m "
    "JOIN temp.orv_drawn_unit AS d ON d.unit = IFNULL(m.SamplingUnit, 999999) "
    "ORDER BY d.pool, m.Weight, m.randno, m.rowid";

// The records the draw reads, wherever they are.
class PopulationSource {
public:
    virtual ~PopulationSource() = default;
    // The sampling units that hold grouped records, in ascending order, with their totals.
    virtual std::vector<Unit> units() = 0;
    // The grouped records of the certainty units (marked in `units`), by unit and randno.
    virtual void offerCertaintyPool(const std::vector<Unit>& units, SystematicDraw& pool) = 0;
    // Every record of the drawn units, grouped or not, unit by unit in weight and randno order;
    // `poolOf` gives each unit's draw, -1 for a unit not drawn.
    virtual void offerDrawnUnits(const std::vector<Unit>& units, const std::vector<int>& poolOf,
                                 std::vector<SystematicDraw>& draws) = 0;
};

// The master, read as the draw goes.
class MasterSource : public PopulationSource {
public:
    explicit MasterSource(Database& db) : mDb(db) {}

    std::vector<Unit> units() override {
        std::vector<Unit> out;
        Statement st = mDb.prepare(kUnitTotals);
        while (st.step()) {
            Unit u;
            u.value = st.value(0);
            u.count = st.int64(1);
            if (u.count == 0)
                continue; // a unit without grouped records is no sampling unit
            u.exactWeight = st.isNull(2) ? 0.0 : st.real(2);
            u.weight = roundEven(u.exactWeight);
            u.allCount = st.int64(3);
            u.allWeight = st.value(4);
            out.push_back(u);
        }
        return out;
    }

    void offerCertaintyPool(const std::vector<Unit>&, SystematicDraw& pool) override {
        Statement st = mDb.prepare(kCertaintyPool);
        while (!pool.done() && st.step())
            pool.offer(st.int64(0), st.isNull(1) ? 0.0 : st.real(1));
    }

    void offerDrawnUnits(const std::vector<Unit>& units, const std::vector<int>& poolOf,
                         std::vector<SystematicDraw>& draws) override {
        mDb.exec("CREATE TEMP TABLE IF NOT EXISTS orv_drawn_unit (unit PRIMARY KEY, "
                 "pool INTEGER)");
        mDb.exec("DELETE FROM temp.orv_drawn_unit");
        {
            Statement ins =
                mDb.prepare("INSERT INTO temp.orv_drawn_unit (unit, pool) VALUES (?, ?)");
            for (size_t i = 0; i < units.size(); ++i) {
                if (poolOf[i] < 0)
                    continue;
                ins.bind(1, units[i].value);
                ins.bind(2, poolOf[i]);
                ins.run();
                ins.reset();
            }
            Statement st = mDb.prepare(kDrawnUnits);
            while (st.step())
                draws[static_cast<size_t>(st.int64(0))].offer(st.int64(1),
                                                              st.isNull(2) ? 0.0 : st.real(2));
        }
        mDb.exec("DROP TABLE temp.orv_drawn_unit");
    }

private:
    Database& mDb;
};

// The master as an import just loaded it.
class LoadedSource : public PopulationSource {
public:
    explicit LoadedSource(const SamplePopulation& population) : mPopulation(population) {}

    std::vector<Unit> units() override {
        std::vector<Unit> all(mPopulation.units.size());
        std::vector<qint64> allWeight(all.size(), 0);
        std::vector<qint64> groupedWeight(all.size(), 0);
        mPopulation.forEachRecord([&](const SampleRecord& r) {
            const auto i = static_cast<size_t>(r.unit);
            ++all[i].allCount;
            allWeight[i] += r.weight;
            if (r.grouped) {
                ++all[i].count;
                groupedWeight[i] += r.weight;
            }
        });
        std::vector<Unit> out;
        mUnitIndex.assign(all.size(), -1);
        for (size_t i = 0; i < all.size(); ++i) {
            Unit& u = all[i];
            if (u.count == 0)
                continue; // a unit without grouped records is no sampling unit
            u.value = mPopulation.units[i];
            u.weight = groupedWeight[i];
            u.exactWeight = static_cast<double>(groupedWeight[i]);
            u.allWeight = QVariant(static_cast<qlonglong>(allWeight[i]));
            mUnitIndex[i] = static_cast<int>(out.size());
            out.push_back(u);
        }
        return out;
    }

    void offerCertaintyPool(const std::vector<Unit>& units, SystematicDraw& pool) override {
        SpillSorter<Ordered, ByKeys> order(mPopulation.memoryRecords);
        mPopulation.forEachRecord([&](const SampleRecord& r) {
            const int u = mUnitIndex[static_cast<size_t>(r.unit)];
            if (r.grouped && u >= 0 && units[static_cast<size_t>(u)].certain)
                order.add({r.rowid, r.unit, r.randno, 0, r.weight});
        });
        order.drain([&](const Ordered& r) {
            if (pool.done())
                return false;
            pool.offer(r.rowid, r.weight);
            return true;
        });
    }

    void offerDrawnUnits(const std::vector<Unit>&, const std::vector<int>& poolOf,
                         std::vector<SystematicDraw>& draws) override {
        SpillSorter<Ordered, ByKeys> order(mPopulation.memoryRecords);
        mPopulation.forEachRecord([&](const SampleRecord& r) {
            const int u = mUnitIndex[static_cast<size_t>(r.unit)];
            if (u >= 0 && poolOf[static_cast<size_t>(u)] >= 0)
                order.add({r.rowid, poolOf[static_cast<size_t>(u)], r.weight, r.randno, r.weight});
        });
        order.drain([&](const Ordered& r) {
            draws[static_cast<size_t>(r.first)].offer(r.rowid, r.weight);
            return true;
        });
    }

private:
    // A record in the order a draw reads it: by `first`, then `second`, then `third`, then rowid.
    struct Ordered {
        qint64 rowid;
        std::int32_t first;
        std::int32_t second;
        std::int32_t third;
        std::int32_t weight;
    };
    struct ByKeys {
        bool operator()(const Ordered& a, const Ordered& b) const {
            return std::tuple(a.first, a.second, a.third, a.rowid) <
                   std::tuple(b.first, b.second, b.third, b.rowid);
        }
    };

    const SamplePopulation& mPopulation;
    std::vector<int> mUnitIndex; // population unit -> units(), -1 for none
};

// What the certainty units took.
struct Certainty {
    qint64 weight = 0;  // certW
    qint64 records = 0; // certCnt
    qint64 units = 0;
};

class Draw {
public:
    Draw(Session& session, PopulationSource& source, quint32 seed, DrawCounts& counts)
        : mSession(session), mDb(session.db()), mSource(source), mRandom(seed), mCounts(counts),
          mCopy(mDb.prepare(copySql())),
          mSupport(mDb.prepare("INSERT INTO tblsupport (SamplingUnit, weight, totrec, sType) "
                               "VALUES (?, ?, ?, ?)")) {}

    void run();

private:
    void loadUnits();
    // Units heavy enough are taken with certainty; the threshold is worked out again over what
    // is left until a pass takes none.
    Certainty markCertaintyUnits(qint64 unitsToDraw);
    // The other units, heaviest first (tbltemp keeps them for the reports).
    std::vector<size_t> listCandidates();
    // Units drawn with probability proportional to weight, systematically from a random start.
    std::vector<size_t> drawUnits(const std::vector<size_t>& candidates, qint64 weight,
                                  qint64 count);
    // Records of the certainty units as one pool; returns how many were to be drawn (nC1).
    qint64 drawCertaintyPool(const Certainty& certainty, qint64 sampleSize);
    // Up to the quota from each drawn unit, all of them when the unit has no more grouped
    // records than that.
    void drawFromUnits(const std::vector<size_t>& drawnUnits, qint64 quota);
    void addSupportRow(const Unit& unit, const char* type);
    // Copies the drawn records into the sample. A failure ends the whole draw: a sample short
    // of a stratum would pass for a complete one.
    void copy(const SystematicDraw& draw, const char* type);
    // Rewrites the weight of the rows that `sql` lists (rowid, record weight, unit weight).
    template <typename F> void reweight(const char* sql, F sampleWeight);

    Session& mSession;
    Database& mDb;
    PopulationSource& mSource;
    Uniform mRandom;
    DrawCounts& mCounts;
    Statement mCopy;
    Statement mSupport;
    std::vector<Unit> mUnits;
    qint64 mTotalWeight = 0;
    qint64 mSeq = 0;
};

void Draw::loadUnits() {
    mUnits = mSource.units();
    double total = 0;
    for (const Unit& u : mUnits) {
        total += u.exactWeight;
        mCounts.population += u.count;
    }
    mCounts.units = static_cast<qint64>(mUnits.size());
    mTotalWeight = roundEven(total);
}

void Draw::addSupportRow(const Unit& unit, const char* type) {
    mSupport.bind(1, unit.value);
    mSupport.bind(2, unit.allWeight);
    mSupport.bind(3, static_cast<std::int64_t>(unit.allCount));
    mSupport.bind(4, QString::fromLatin1(type));
    mSupport.run();
    mSupport.reset();
}

void Draw::copy(const SystematicDraw& draw, const char* type) {
    Savepoint sp(mDb, "orv_draw");
    const QString sampleType = QString::fromLatin1(type);
    for (qint64 rowid : draw.picks()) {
        ++mSeq;
        mCopy.bind(1, static_cast<std::int64_t>(mSeq));
        mCopy.bind(2, sampleType);
        mCopy.bind(3, static_cast<std::int64_t>(rowid));
        mCopy.run();
        mCopy.reset();
    }
    sp.release();
}

template <typename F> void Draw::reweight(const char* sql, F sampleWeight) {
    std::vector<std::pair<qint64, double>> updates;
    {
        Statement st = mDb.prepare(sql);
        while (st.step()) {
            const double record = st.isNull(1) ? 0.0 : st.real(1);
            const double unit = st.isNull(2) ? 0.0 : st.real(2);
            // A record of no weight gets no sampling weight: nothing is divided by it.
            double w = 0.0;
            if (record != 0.0) {
                const double v = sampleWeight(record, unit);
                if (std::isfinite(v))
                    w = roundEven2(v);
            }
            updates.emplace_back(st.int64(0), w);
        }
    }
    Statement up = mDb.prepare("UPDATE tblsample SET Weight = ?1 WHERE rowid = ?2");
    for (const auto& [row, w] : updates) {
        up.bind(1, w);
        up.bind(2, static_cast<std::int64_t>(row));
        up.run();
        up.reset();
    }
}

Certainty Draw::markCertaintyUnits(qint64 unitsToDraw) {
    Certainty c;
    const qint64 W = mTotalWeight;
    qint64 threshold = roundEven(static_cast<double>(W) / static_cast<double>(unitsToDraw));
    qint64 remW = W;
    qint64 remM = unitsToDraw;
    for (bool marked = true; marked;) {
        marked = false;
        for (Unit& u : mUnits) {
            if (u.certain || u.weight < threshold)
                continue;
            u.certain = marked = true;
            c.weight += u.weight;
            c.records += u.count;
            remW -= u.weight;
            --remM;
            ++c.units;
        }
        if (remM != 0)
            threshold = roundEven(static_cast<double>(remW) / static_cast<double>(remM));
    }
    return c;
}

std::vector<size_t> Draw::listCandidates() {
    std::unordered_map<qint64, size_t> unitOfRow;
    {
        Statement ins =
            mDb.prepare("INSERT INTO tbltemp (rptcell, subpops, ctype, cfield, cval, cweight, "
                        "seq) VALUES (?1, ?1, '', '', ?2, ?3, ?1)");
        for (size_t i = 0; i < mUnits.size(); ++i) {
            const Unit& u = mUnits[i];
            if (u.certain)
                continue;
            ins.bind(1, u.value);
            ins.bind(2, static_cast<std::int64_t>(u.count));
            ins.bind(3, static_cast<std::int64_t>(u.weight));
            ins.run();
            ins.reset();
            unitOfRow[mDb.lastInsertRowId()] = i;
        }
    }
    std::vector<size_t> candidates;
    Statement st = mDb.prepare("SELECT rowid FROM tbltemp ORDER BY cweight DESC, rowid");
    while (st.step())
        candidates.push_back(unitOfRow.at(st.int64(0)));
    return candidates;
}

std::vector<size_t> Draw::drawUnits(const std::vector<size_t>& candidates, qint64 weight,
                                    qint64 count) {
    const double interval =
        (weight == 0 || count == 0)
            ? 0.0
            : std::abs(static_cast<double>(weight) / static_cast<double>(count));
    qint64 pick = intPart((interval - 1.0) * mRandom.next());
    qint64 running = 0;
    std::vector<size_t> drawn;
    for (size_t i : candidates) {
        if (static_cast<qint64>(drawn.size()) >= count)
            break;
        running += mUnits[i].weight;
        if (running >= pick) {
            mUnits[i].drawn = true;
            drawn.push_back(i);
            pick = roundEven(static_cast<double>(pick) + interval);
        }
    }
    return drawn;
}

qint64 Draw::drawCertaintyPool(const Certainty& certainty, qint64 sampleSize) {
    const qint64 W = mTotalWeight;
    qint64 nC1 = W != 0 ? intPart(static_cast<double>(certainty.weight) / static_cast<double>(W) *
                                  static_cast<double>(sampleSize))
                        : 0;
    double i1 = 0.0;
    double s1 = 0.0;
    if (nC1 >= certainty.records) {
        nC1 = certainty.records; // the whole pool
    } else if (nC1 > 0) {
        i1 = static_cast<double>(certainty.weight) / static_cast<double>(nC1);
        s1 = static_cast<double>(intPart(mRandom.next() * i1));
    }
    mSeq = 0;
    for (const Unit& u : mUnits)
        if (u.certain)
            addSupportRow(u, "U");
    SystematicDraw pool(s1, i1, nC1);
    if (nC1 > 0)
        mSource.offerCertaintyPool(mUnits, pool);
    copy(pool, "C1");
    return nC1;
}

void Draw::drawFromUnits(const std::vector<size_t>& drawnUnits, qint64 quota) {
    std::vector<SystematicDraw> draws;
    std::vector<int> poolOf(mUnits.size(), -1);
    for (size_t i : drawnUnits) {
        const Unit& u = mUnits[i];
        double i2 = 0.0;
        double s2 = 0.0;
        if (u.count > quota) {
            i2 = static_cast<double>(u.weight) / static_cast<double>(quota);
            s2 = static_cast<double>(intPart(mRandom.next() * i2));
        }
        poolOf[i] = static_cast<int>(draws.size());
        draws.emplace_back(s2, i2, quota);
    }
    mSource.offerDrawnUnits(mUnits, poolOf, draws);
    for (size_t k = 0; k < draws.size(); ++k) {
        copy(draws[k], "C2");
        addSupportRow(mUnits[drawnUnits[k]], "V");
    }
}

void Draw::run() {
    loadUnits();
    if (mCounts.population == 0)
        return;
    const qint64 W = mTotalWeight;
    const qint64 m = GetUnitSampleSize(mCounts.units);
    const Certainty certainty = markCertaintyUnits(m);
    const std::vector<size_t> candidates = listCandidates();
    const qint64 W2 = W - certainty.weight;
    const qint64 M2 = m - certainty.units;
    const std::vector<size_t> drawnUnits = drawUnits(candidates, W2, M2);

    const qint64 S = sampleSizeFor(mCounts.population);
    const qint64 nC1 = certainty.weight != 0 ? drawCertaintyPool(certainty, S) : 0;

    mSeq = 0;
    const qint64 quota =
        M2 != 0 ? intPart(static_cast<double>(S - nC1) / static_cast<double>(M2)) + 1 : 0;
    if (quota > 0 && !drawnUnits.empty())
        drawFromUnits(drawnUnits, quota);

    if (nC1 > 0 && W != 0) {
        reweight("SELECT a.rowid, a.Weight, b.weight FROM tblsample AS a "
                 "JOIN tblsupport AS b ON a.SamplingUnit = b.SamplingUnit AND b.sType = 'U'",
                 [&](double record, double) {
                     return 1.0 / ((record * static_cast<double>(nC1)) / static_cast<double>(W));
                 });
    }
    if (W2 != 0 && W != 0) {
        const double unitsDrawn = static_cast<double>(drawnUnits.size());
        reweight("SELECT a.rowid, a.Weight, b.weight FROM tblsample AS a "
                 "JOIN tblsupport AS b ON a.SamplingUnit = b.SamplingUnit AND b.sType = 'V'",
                 [&](double record, double unit) {
                     if (unit == 0.0)
                         return 0.0;
                     const double p = ((unit * unitsDrawn) / static_cast<double>(W)) *
                                      ((static_cast<double>(quota) * record) / unit);
                     return p != 0.0 ? 1.0 / p : 0.0;
                 });
    }
}

void writeLog(Database& db, const QString& drawnAt, quint32 seed, const DrawCounts& counts) {
    db.execute("INSERT INTO tblSampleLog (DrawnAt, Seed, Population, Units, SampleSize) "
               "VALUES (?, ?, ?, ?, (SELECT count(*) FROM tblsample))",
               {drawnAt, static_cast<qlonglong>(seed), counts.population, counts.units});
}

} // namespace

qint64 GetUnitSampleSize(qint64 units) {
    struct Step {
        qint64 from;
        qint64 draw;
    };
    static constexpr Step kSteps[] = {{250, 30}, {200, 25}, {100, 20}, {75, 15}, {30, 10}, {7, 7}};
    for (const Step& s : kSteps)
        if (units >= s.from)
            return s.draw;
    return units > 0 ? units : 0;
}

qint64 sampleSizeFor(qint64 grouped) {
    if (grouped <= 0)
        return 0;
    const double N = static_cast<double>(grouped);
    const double d = grouped < 300 ? 0.0016 : 0.035 * 0.035;
    qint64 n = intPart(1.0 / (1.0 / N + d / 0.36496));
    if (n < 50)
        n = std::min<qint64>(grouped, 50);
    if (n > 150)
        n = 150;
    return n;
}

qint64 GetSampleSize(Session& session) {
    try {
        return sampleSizeFor(session.db()
                                 .scalar("SELECT count(*) FROM tblORVmaster WHERE spopnum <> 0")
                                 .toLongLong());
    } catch (const DbError&) {
        return 0;
    }
}

quint32 clockSeed() {
    return QRandomGenerator::system()->generate();
}

void BuildSample(Session& session, quint32 seed, const SamplePopulation* population) {
    const QString drawnAt =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    DrawCounts counts;
    Database& db = session.db();
    // All of a draw or none of it: a half-drawn sample with record weights in place of sampling
    // weights would pass for a real one.
    Savepoint sp(db, "orv_sample");
    db.exec("DELETE FROM tbltemp");
    db.exec("DELETE FROM tblsupport WHERE sType <> 'S'");
    db.exec("DELETE FROM tblsample");
    {
        MasterSource master(db);
        std::optional<LoadedSource> loaded;
        if (population)
            loaded.emplace(*population);
        Draw draw(session, loaded ? static_cast<PopulationSource&>(*loaded) : master, seed, counts);
        draw.run();
    }
    writeLog(db, drawnAt, seed, counts);
    sp.release();
}

} // namespace orv

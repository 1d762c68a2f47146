// Times the report validation and the browse grids' reads on a signed-in, imported database:
//   rv_bench DB [RUNS]
// Every figure is the best of RUNS (3 by default), each on a fresh connection, so the engine's
// page cache starts empty as when a screen first opens (the file may be in the system's cache).
#include "program/FrontEnd.h"
#include "session/Session.h"
#include "session/SignIn.h"
#include "validation/MasterPager.h"
#include "validation/OutcomeGroupSummary.h"
#include "validation/ReportValidation.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

using namespace orv;

namespace {

constexpr int kScreenRows = 40;

std::unique_ptr<Session> openSession(const QString& path) {
    auto session = std::make_unique<Session>(QFileInfo(path).absolutePath());
    try {
        session->openDatabaseConnection(path);
    } catch (const DbError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        std::exit(1);
    }
    loadGlobals(*session, SignInMode::ReportOptions);
    buildRecordFilter(*session);
    return session;
}

void screenful(MasterPager& pager, qint64 first) {
    for (qint64 r = first; r < std::min(pager.rowCount(), first + kScreenRows); ++r)
        (void)pager.row(r);
}

// The pager of the grid being timed; it goes before the session it reads.
std::unique_ptr<MasterPager> pager;

// Best time in ms of `runs` runs of `timed`; `setUp` runs first, untimed, on the same session.
double best(const QString& path, int runs, const std::function<void(Session&)>& setUp,
            const std::function<void(Session&)>& timed) {
    double out = 1e300;
    for (int i = 0; i < runs; ++i) {
        auto session = openSession(path);
        setUp(*session);
        QElapsedTimer t;
        t.start();
        timed(*session);
        out = std::min(out, t.nsecsElapsed() / 1e6);
        pager.reset();
    }
    return out;
}

void report(const char* what, double ms) {
    std::printf("%-58s %9.1f ms\n", what, ms);
}

// The largest group: the Detail tab's worst case.
int largestGroup(Session& s) {
    return static_cast<int>(s.db()
                                .scalar("SELECT spopnum FROM tblORVmaster WHERE spopnum > 0 "
                                        "GROUP BY spopnum ORDER BY count(*) DESC LIMIT 1")
                                .toLongLong());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DB [RUNS]\n", argv[0]);
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const auto nothing = [](Session&) {};

    int group = 0;
    qint64 records = 0;
    {
        auto s = openSession(path);
        group = largestGroup(*s);
        records = s->db().scalar("SELECT count(*) FROM tblORVmaster").toLongLong();
    }
    std::printf("master: %lld records; Detail of group %d; best of %d runs\n",
                static_cast<long long>(records), group, runs);

    report("ComputeReportValidation (rv)",
           best(path, runs, nothing, [](Session& s) { ComputeReportValidation(s); }));
    report("outcome group summary (one query)", best(path, runs, nothing, [](Session& s) {
               (void)readOutcomeGroupSummary(s.db(), s.recordFilter());
           }));

    // Each pager lives across setUp and the timed part.
    auto openPager = [&](std::optional<int> g, MasterOrder order = {}) {
        return [g, order](Session& s) {
            pager = std::make_unique<MasterPager>(s.db(), s.recordFilter(), g, order);
            if (!pager->open())
                std::exit(1);
            screenful(*pager, 0);
        };
    };
    auto jump = [&](double at) {
        return [at](Session&) {
            screenful(*pager, static_cast<qint64>((pager->rowCount() - 1) * at));
        };
    };

    report("Detail: open and first screen", best(path, runs, nothing, openPager(group)));
    report("Detail: jump to the last row", best(path, runs, openPager(group), jump(1)));
    report("Detail: drag to the middle", best(path, runs, openPager(group), jump(0.5)));
    report("Detail: sort by SSN (temporary index) and first screen",
           best(path, runs, nothing, openPager(group, {QStringLiteral("SSN"), false})));

    report("browser: open and first screen", best(path, runs, nothing, openPager({})));
    report("browser: jump to the last row (Ctrl+End)", best(path, runs, openPager({}), jump(1)));
    report("browser: drag to the middle", best(path, runs, openPager({}), jump(0.5)));
    report("browser: drag to 37%, then to 38%", best(path, runs, openPager({}), [&](Session& s) {
               jump(0.37)(s);
               jump(0.38)(s);
           }));
    // Scrolling: the slowest of a thousand screenfuls read one after another.
    double slowest = 0;
    best(path, 1, openPager({}), [&](Session&) {
        for (qint64 r = 0; r < 1000 * kScreenRows; r += kScreenRows) {
            QElapsedTimer t;
            t.start();
            screenful(*pager, r);
            slowest = std::max(slowest, t.nsecsElapsed() / 1e6);
        }
    });
    report("browser: slowest of 1000 screenfuls scrolled down", slowest);

    report("browser: sort by SSN (temporary index) and first screen",
           best(path, runs, nothing, openPager({}, {QStringLiteral("SSN"), false})));
    report("browser by SSN: jump to the last row",
           best(path, runs, openPager({}, {QStringLiteral("SSN"), false}), jump(1)));
    // The two steps of a temporary index: copying the keys, then sorting them.
    {
        // The window paints only when told: the longest silence is how long it could freeze.
        struct Steps : BuildProgress {
            QElapsedTimer t;
            double copied = -1, last = 0, longest = 0;
            bool update(qint64, qint64 total) override {
                const double now = t.nsecsElapsed() / 1e6;
                if (total == 0 && copied < 0)
                    copied = now;
                longest = std::max(longest, now - last);
                last = now;
                return true;
            }
        } steps;
        auto session = openSession(path);
        MasterPager p(session->db(), session->recordFilter(), std::nullopt,
                      {QStringLiteral("SSN"), false});
        steps.t.start();
        if (!p.open(&steps))
            std::exit(1);
        const double all = steps.t.nsecsElapsed() / 1e6;
        report("  of which copying the keys", steps.copied);
        report("  of which indexing them", all - steps.copied);
        report("  longest time without a progress report",
               std::max(steps.longest, all - steps.last));
    }
    report("browser: sort by Gender descending and first screen",
           best(path, runs, nothing, openPager({}, {QStringLiteral("Gender"), true})));

    // An office filter: every order needs the temporary index.
    report("browser with an office filter: open and first screen",
           best(path, runs, nothing, [&](Session& s) {
               RecordFilter filter = s.recordFilter();
               filter.officeName = s.db()
                                       .scalar("SELECT OfficeName FROM tblORVmaster "
                                               "WHERE spopnum > 0 LIMIT 1")
                                       .toString();
               pager = std::make_unique<MasterPager>(s.db(), filter, std::nullopt);
               if (!pager->open())
                   std::exit(1);
               screenful(*pager, 0);
           }));
    report("outcome group summary with an office filter",
           best(path, runs, nothing, [&](Session& s) {
               RecordFilter filter = s.recordFilter();
               filter.officeName = s.db()
                                       .scalar("SELECT OfficeName FROM tblORVmaster "
                                               "WHERE spopnum > 0 LIMIT 1")
                                       .toString();
               (void)readOutcomeGroupSummary(s.db(), filter);
           }));
    return 0;
}

// Times making a field pack and merging it back, on an imported database:
//   pack_bench DB [RECORDS] [RUNS]
// The sample is topped up to RECORDS (500 by default) with master records, as a large run may
// draw. Every figure is the best of RUNS (3 by default). Making includes the key's derivation,
// the sealing and the write; merging includes reading and opening the pack, with every record
// changed in the field.
#include "fieldwork/Merge.h"
#include "fieldwork/Pack.h"
#include "program/FrontEnd.h"
#include "session/Session.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>

using namespace orv;

namespace {

const QString kPassphrase = QStringLiteral("correct horse battery");

class Passphrase : public SilentFrontEnd {
public:
    std::optional<QString> askPassphrase(const QString&, bool) override { return kPassphrase; }
};

void topUp(Database& db, qint64 records) {
    const qint64 have = db.scalar("SELECT count(*) FROM tblsample").toLongLong();
    if (have >= records)
        return;
    db.execute("INSERT INTO tblsample (obs, ssn, randno, SamplingUnit, OfficeName, Weight, Vet, "
               "WIAExitDate) SELECT obs, SSN, randno, SamplingUnit, OfficeName, 1, Vet, "
               "WIAExitDate FROM tblORVmaster WHERE randno NOT IN (SELECT randno FROM tblsample) "
               "LIMIT ?",
               {records - have});
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: pack_bench DB [RECORDS] [RUNS]\n");
        return 2;
    }
    const QString path = QFileInfo(args[1]).absoluteFilePath();
    const qint64 records = args.size() > 2 ? args[2].toLongLong() : 500;
    const int runs = args.size() > 3 ? args[3].toInt() : 3;
    Passphrase ui;
    Session session(QFileInfo(path).absolutePath(), &ui);
    try {
        session.openDatabaseConnection(path);
        Database& db = session.db();
        topUp(db, records);
        PackSelection all;
        const QString packPath = path + QStringLiteral(".orvpack");
        double make = 1e300, merge = 1e300;
        qint64 packed = 0, changed = 0;
        for (int run = 0; run < runs; ++run) {
            QElapsedTimer t;
            t.start();
            packed = makePack(db, {all, QStringLiteral("Bench"), packPath}, ui).records;
            make = std::min(make, t.nsecsElapsed() / 1e6);
            {
                std::optional<SealKey> key;
                Database pack = openSealedPack(packPath, kPassphrase, key);
                // Each run marks every record otherwise than the run before.
                pack.execute("UPDATE tblsample SET \"VetP/F\" = ?, Comments = ?",
                             {run % 2, QStringLiteral("run %1").arg(run)});
                writeSealedPack(pack, *key, packPath);
            }
            t.restart();
            std::optional<SealKey> key;
            Database pack = openSealedPack(packPath, kPassphrase, key);
            changed = mergePack(db, pack, {}).changedRecords;
            merge = std::min(merge, t.nsecsElapsed() / 1e6);
        }
        std::printf("make a pack of %lld records   %9.1f ms\n", static_cast<long long>(packed),
                    make);
        std::printf("merge it (%lld records changed) %9.1f ms\n", static_cast<long long>(changed),
                    merge);
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    return 0;
}

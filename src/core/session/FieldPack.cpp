#include "session/FieldPack.h"

#include "db/SafeFile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

namespace orv {

QString PackInfo::title() const {
    const QDateTime made = QDateTime::fromString(madeAt, Qt::ISODate);
    return QStringLiteral("Field pack: %1 record%2, made %3 for %4")
        .arg(records)
        .arg(records == 1 ? QString() : QStringLiteral("s"))
        .arg(made.isValid() ? made.toLocalTime().toString(QStringLiteral("MM/dd/yyyy")) : madeAt,
             validator);
}

QString PackInfo::historySource() const {
    return QStringLiteral("pack %1 (%2)").arg(id, validator);
}

std::optional<PackInfo> readPackInfo(Database& db) {
    if (!db.tableExists(QString::fromLatin1(kPackInfoTable)))
        return std::nullopt;
    Statement st = db.prepare("SELECT PackId, MadeAt, Validator, Records, Selection, "
                              "ImportStartedAt, SampleDrawnAt, SampleSeed FROM tblPackInfo");
    if (!st.step())
        return std::nullopt;
    PackInfo info;
    info.id = st.text(0);
    info.madeAt = st.text(1);
    info.validator = st.text(2);
    info.records = st.int64(3);
    info.selection = st.text(4);
    info.importStartedAt = st.text(5);
    info.sampleDrawnAt = st.text(6);
    info.sampleSeed = st.value(7);
    return info;
}

bool isPackFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && isSealed(file.read(kSealMagicSize));
}

Database openSealedPack(const QString& path, const QString& passphrase,
                        std::optional<SealKey>& key) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw DbError(QStringLiteral("The pack %1 could not be read: %2")
                          .arg(QFileInfo(path).fileName(), file.errorString()));
    const QByteArray sealed = file.readAll();
    QByteArray plain;
    try {
        plain = unseal(sealed, passphrase, &key);
    } catch (const SealError& e) {
        throw DbError(e.message());
    }
    try {
        Database db = Database::fromBytes(plain, path);
        if (!readPackInfo(db))
            throw DbError(kSealRefused);
        return db;
    } catch (const DbError&) {
        // Sealed right but no pack inside: made by something else.
        throw DbError(kSealRefused);
    }
}

LockedPack openPackToMerge(const QString& path, const QString& passphrase) {
    LockedPack pack;
    if (!pack.lock.acquire(path))
        throw DbError(QStringLiteral("The pack %1 is open in another copy of the program: close "
                                     "it there before you merge it.")
                          .arg(QFileInfo(path).fileName()));
    std::optional<SealKey> key;
    pack.db = openSealedPack(path, passphrase, key);
    return pack;
}

void writeSealedPack(Database& db, const SealKey& key, const QString& path) {
    QByteArray sealed;
    try {
        sealed = seal(db.serialize(), key);
    } catch (const SealError& e) {
        throw DbError(e.message());
    }
    files::AtomicFile file(path);
    file.write(sealed);
    file.commit();
}

} // namespace orv

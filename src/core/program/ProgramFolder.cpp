#include "program/ProgramFolder.h"

#include "db/Database.h"
#include "db/SafeFile.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace orv {

namespace {

// Its presence beside the executable marks a build tree's program folder.
const QString kBuildMarker = QStringLiteral("ORVTemplate.xmdb");
// What was copied from the installation, one "sha256 name" line per file: a file that still
// has its hash was not edited and may follow a newer package.
const QString kManifest = QStringLiteral(".installed-files");

QString fileHash(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return {};
    return QString::fromLatin1(hash.result().toHex());
}

QHash<QString, QString> readManifest(const QString& path) {
    QHash<QString, QString> hashes;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return hashes;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        const qsizetype space = line.indexOf(QLatin1Char(' '));
        if (space > 0)
            hashes.insert(line.mid(space + 1), line.left(space));
    }
    return hashes;
}

// Whole or not at all: a copy cut short must not pass for the file next time.
bool copyFile(const QString& from, const QString& to, QString& error) {
    try {
        files::copyWholeFile(from, to);
        return true;
    } catch (const DbError& e) {
        error = e.message();
        return false;
    }
}

bool writeManifest(const QString& path, const QHash<QString, QString>& hashes, QString& error) {
    QStringList names = hashes.keys();
    names.sort();
    QByteArray text;
    for (const QString& name : names)
        text += hashes.value(name).toLatin1() + ' ' + name.toUtf8() + '\n';
    try {
        files::writeWholeFile(path, text);
        return true;
    } catch (const DbError& e) {
        error = e.message();
        return false;
    }
}

// Gives the data folder each installed file it lacks, and a newer copy of each it holds
// unchanged from an older package.
QString fillDataFolder(const QString& installed, const QString& data) {
    try {
        files::makePrivateFolder(data);
    } catch (const DbError& e) {
        return QStringLiteral("The folder %1 for the program's files cannot be created: %2")
            .arg(QDir::toNativeSeparators(data), e.message());
    }
    const QDir dataDir(data);
    const QString manifestPath = dataDir.filePath(kManifest);
    QHash<QString, QString> copied = readManifest(manifestPath);
    bool changed = false;
    // The guide is read where it is installed; only files are copied.
    const QFileInfoList files = QDir(installed).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo& source : files) {
        const QString name = source.fileName();
        const QString target = dataDir.filePath(name);
        const QString sourceHash = fileHash(source.filePath());
        if (QFileInfo::exists(target)) {
            const QString last = copied.value(name);
            if (last.isEmpty() || last == sourceHash || fileHash(target) != last)
                continue;
        }
        QString why;
        if (sourceHash.isEmpty() || !copyFile(source.filePath(), target, why))
            return QStringLiteral("Unable to copy %1 to %2: %3")
                .arg(QDir::toNativeSeparators(source.filePath()), QDir::toNativeSeparators(target),
                     why.isEmpty() ? QStringLiteral("it cannot be read") : why);
        copied.insert(name, sourceHash);
        changed = true;
    }
    QString why;
    if (changed && !writeManifest(manifestPath, copied, why))
        return QStringLiteral("Unable to write %1: %2")
            .arg(QDir::toNativeSeparators(manifestPath), why);
    return {};
}

} // namespace

void setProgramNames() {
    QCoreApplication::setApplicationName(QString::fromLatin1(kApplicationName));
    QCoreApplication::setOrganizationName(QString::fromLatin1(kOrganizationName));
}

QString installedDataFolder(const QString& appDir) {
    const QString folder = QDir::cleanPath(appDir + QStringLiteral("/../share/orvdv"));
    return QFileInfo(folder).isDir() ? folder : QString();
}

ProgramFolder resolveProgramFolder(const QString& appDir, const QString& homeOverride,
                                   const QString& dataLocation) {
    if (!homeOverride.isEmpty())
        return {homeOverride, {}, false};
    const QString installed = installedDataFolder(appDir);
    if (installed.isEmpty() || QFileInfo::exists(QDir(appDir).filePath(kBuildMarker)))
        return {appDir, {}, false};
    if (dataLocation.isEmpty())
        return {
            {}, QStringLiteral("No folder for the user's data was found (is HOME set?)."), true};
    const QString error = fillDataFolder(installed, dataLocation);
    if (!error.isEmpty())
        return {{}, error, true};
    return {dataLocation, {}, true};
}

} // namespace orv

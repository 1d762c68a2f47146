#include "exports/ParticipantGroups.h"

#include "db/Database.h"
#include "db/SafeFile.h"
#include "session/Session.h"
#include "validation/OutcomeGroups.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <array>
#include <memory>

namespace orv {

namespace {

const QString kExporting = QStringLiteral("Exporting Participant Groups...");
constexpr qint64 kRecordsPerYield = 5000;

struct ExportFailure {
    QString why;
};
// The user stopped the export.
struct ExportStopped {};

QString subpopOf(int group) {
    return QStringLiteral("1.%1").arg(group);
}

// Whole amounts as the extract gave them (1000, not 1000.0), others with 15 digits.
void appendReal(QByteArray& line, double d) {
    if (d == static_cast<double>(static_cast<long long>(d)) && d > -1e15 && d < 1e15)
        line += QByteArray::number(static_cast<long long>(d));
    else
        line += QByteArray::number(d, 'g', 15);
}

void appendValue(QByteArray& line, const Statement& st, int column) {
    switch (st.columnType(column)) {
    case Statement::Null:
        return;
    case Statement::Float:
        appendReal(line, st.real(column));
        return;
    default: {
        const std::string_view text = st.utf8(column);
        line.append(text.data(), qsizetype(text.size()));
        return;
    }
    }
}

// The new set of group files, written beside the old one in a folder of its own and moved in
// once complete.
class NewGroupFiles {
public:
    explicit NewGroupFiles(const QString& folder)
        : mFolder(QDir::toNativeSeparators(folder)),
          mStaging(folder + QStringLiteral("/.export-XXXXXX")) {
        if (!mStaging.isValid())
            throw ExportFailure{QStringLiteral("No files can be made in %1: %2")
                                    .arg(folder, mStaging.errorString())};
    }

    void write(int group, const QByteArray& line) {
        std::unique_ptr<files::AtomicFile>& file = mFiles[group - 1];
        try {
            if (!file)
                file = std::make_unique<files::AtomicFile>(mStaging.filePath(groupFileName(group)));
        } catch (const DbError& e) {
            fail(e.message());
        }
        if (file->write(line) != line.size())
            fail(file->failure());
    }

    void commit() {
        try {
            for (auto& file : mFiles) {
                if (file)
                    file->commit();
            }
        } catch (const DbError& e) {
            fail(e.message());
        }
    }

    bool has(int group) const { return mFiles[group - 1] != nullptr; }

    // Moves the old group files aside and the new ones in; on a failed move puts everything
    // back as it was.
    void swapInto(const QString& folder) {
        QTemporaryDir previous(folder + QStringLiteral("/.previous-XXXXXX"));
        if (!previous.isValid())
            throw ExportFailure{QStringLiteral("No files can be made in %1: %2")
                                    .arg(folder, previous.errorString())};
        const QDir target(folder);
        QStringList asideNames, inNames;
        auto undo = [&] {
            for (const QString& name : inNames)
                QFile::remove(target.filePath(name));
            for (const QString& name : asideNames)
                QFile::rename(previous.filePath(name), target.filePath(name));
        };
        auto move = [&](const QString& from, const QString& to, QStringList& done,
                        const QString& name) {
            QFile file(from);
            if (file.rename(to)) {
                done << name;
                return;
            }
            const QString why = QStringLiteral("%1 could not be replaced: %2")
                                    .arg(target.filePath(name), file.errorString());
            undo();
            throw ExportFailure{why};
        };
        for (int g = 1; g <= kGroupCount; ++g) {
            const QString name = groupFileName(g);
            if (QFileInfo::exists(target.filePath(name)))
                move(target.filePath(name), previous.filePath(name), asideNames, name);
        }
        for (int g = 1; g <= kGroupCount; ++g) {
            const QString name = groupFileName(g);
            if (!has(g))
                continue;
            // A file written anew keeps the permissions its owner gave the one it replaces.
            if (asideNames.contains(name)) {
                try {
                    files::copyOwnerAndMode(previous.filePath(name), mStaging.filePath(name));
                } catch (const DbError& e) {
                    undo();
                    throw ExportFailure{e.message()};
                }
            }
            move(mStaging.filePath(name), target.filePath(name), inNames, name);
        }
        files::syncFolder(folder);
    }

private:
    // Told by the name the file would have had, not the staging folder's.
    [[noreturn]] void fail(QString why) const {
        throw ExportFailure{why.replace(QDir::toNativeSeparators(mStaging.path()), mFolder)};
    }

    QString mFolder;
    QTemporaryDir mStaging;
    // Destroyed before the staging folder, which removes what is left of them.
    std::array<std::unique_ptr<files::AtomicFile>, kGroupCount> mFiles;
};

// One pass over the master writes every group's file; each record goes to its group's file in
// the order the records were loaded, as a statement per group would return them.
void writeGroups(Session& session, NewGroupFiles& files, GroupExportResult& result) {
    const RecordFilter& filter = session.recordFilter();
    QString sql = QStringLiteral("SELECT tblORVMaster.subpop, * FROM tblORVMaster, tblsystem "
                                 "WHERE ") +
                  filter.sql() + QStringLiteral(" AND tblORVMaster.subpop IN (");
    QVariantList params = filter.params();
    for (int g = 1; g <= kGroupCount; ++g) {
        sql += g > 1 ? QStringLiteral(", ?") : QStringLiteral("?");
        params << subpopOf(g);
    }
    sql += QStringLiteral(") ORDER BY tblORVMaster.rowid");
    Statement st = session.db().prepare(sql.toStdString());
    st.bindAll(params);
    // Column 0 is the group; the joined row follows.
    const int last = std::min(kGroupFileColumns, st.columnCount() - 1);
    ProgressScope progress(session.ui(), QStringLiteral("Exporting the outcome groups..."), true);
    QByteArray line;
    while (st.step()) {
        const int group = st.text(0).mid(2).toInt();
        if (group < 1 || group > kGroupCount)
            continue;
        line.clear();
        for (int c = 1; c <= last; ++c) {
            if (c > 1)
                line += ',';
            appendValue(line, st, c);
        }
        line += "\r\n";
        files.write(group, line);
        if (++result.records % kRecordsPerYield == 0) {
            session.ui().workStatus(kExporting + QStringLiteral(" %1 records").arg(result.records));
            session.ui().processEvents();
            if (!progress.step(result.records, 0))
                throw ExportStopped{};
        }
    }
    files.commit();
}

} // namespace

QString groupFileName(int group) {
    return QStringLiteral("ParticipantGroup1.") + subpopOf(group) + QStringLiteral(".txt");
}

GroupExportResult ExportParticipantGroups(Session& session, const QString& folder) {
    GroupExportResult result;
    result.folder =
        folder.isEmpty() ? session.programFile(kGroupFolderName) : QDir(folder).absolutePath();
    FrontEnd& ui = session.ui();
    ui.setBusy(true);
    ui.workStatus(kExporting);
    QString failure;
    try {
        files::makePrivateFolder(result.folder);
        NewGroupFiles files(result.folder);
        writeGroups(session, files, result);
        files.swapInto(result.folder);
        for (int g = 1; g <= kGroupCount; ++g) {
            if (files.has(g))
                result.files << groupFileName(g);
        }
        result.ok = true;
    } catch (const ExportFailure& e) {
        failure = e.why;
    } catch (const ExportStopped&) {
        result.stopped = true;
    } catch (const DbError& e) {
        failure = e.message();
    }
    ui.workStatus(QString());
    ui.setBusy(false);
    if (result.stopped) {
        result.files.clear();
        result.records = 0;
        ui.message(QStringLiteral("The export was stopped; the group files in %1 are as they were.")
                       .arg(result.folder),
                   Icon::Information);
        return result;
    }
    if (!result.ok) {
        result.files.clear();
        result.records = 0;
        ui.message(failure + QStringLiteral("\nNo group files were exported; those in %1 are "
                                            "as they were.")
                                 .arg(result.folder),
                   Icon::Exclamation);
        return result;
    }
    ui.message(result.files.isEmpty()
                   ? QStringLiteral("Export Done.\nNo record passed the record filter: there "
                                    "are no group files in %1.")
                         .arg(result.folder)
                   : QStringLiteral("Export Done.\n%1 group files, %2 records, in %3.")
                         .arg(result.files.size())
                         .arg(result.records)
                         .arg(result.folder),
               Icon::Information);
    return result;
}

} // namespace orv

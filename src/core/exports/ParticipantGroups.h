#pragma once

#include <QString>
#include <QStringList>

namespace orv {

class Session;

// The folder of the group files, inside the program folder.
inline const QString kGroupFolderName = QStringLiteral("Participants Extract");
// A line holds this many leading columns of the record joined with tblsystem: all of them the
// master's, up to Earn3QTRAfterExit.
inline constexpr int kGroupFileColumns = 57;

// "ParticipantGroup1.1.7.txt" for group 7 (subpop '1.7').
QString groupFileName(int group);

struct [[nodiscard]] GroupExportResult {
    bool ok = false;
    bool stopped = false; // by the user, with nothing changed
    QString folder;
    QStringList files; // the group files written, in group order
    qint64 records = 0;
};

// Writes one text file per performance outcome group with its master records that pass the
// session's record filter: a line per record (in the order they were loaded), the first
// kGroupFileColumns values as text, Null empty, separated by "," with no quoting, ended by
// CRLF; no header. A group without records gets no file, and its old file goes.
//
// The new set replaces the old one only once all of it is written: a failure leaves the
// group files as they were. Other files of the folder are never touched. Tells the outcome
// (and where the files are) through the session's front end.
//
// folder: where the files go; empty for "Participants Extract" in the program folder.
GroupExportResult ExportParticipantGroups(Session& session, const QString& folder = {});

} // namespace orv

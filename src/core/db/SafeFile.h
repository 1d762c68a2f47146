#pragma once

#include <QString>

namespace orv::files {

// The file steps of the database commands. Each throws DbError with a text a user can act on;
// a full disk is told as such, with the folder that ran out of space.

QString diskFullText(const QString& folder);

// Creates an empty file that only its owner can read, in place of any file of that name.
void createPrivateFile(const QString& path);
// Gives file the permission bits and, where this process may, the owner and group of model.
void copyOwnerAndMode(const QString& model, const QString& file);
// Gives a file the permissions of any new file of this user (as the user's umask says).
void useNewFileMode(const QString& path);
// Copies the bytes of from into the existing file to, replacing its contents.
void copyBytes(const QString& from, const QString& to);
// Flushes a file, or a folder's list of names, to the disk.
void syncFile(const QString& path);
void syncFolder(const QString& folder);
// Puts file in place of target in one step; both lie in the same folder.
void renameOver(const QString& file, const QString& target);
// True when the file's permission bits forbid writing to it, whoever runs the program: a file
// made read-only stays so for an administrator too.
bool isReadOnly(const QString& path);

} // namespace orv::files

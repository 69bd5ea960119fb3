// Writing files on a machine that other users share: nothing planted beforehand is followed
// into, and nothing is left half written.
#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

// Replaces the content of the file at path in one step: the bytes go to a new file in the same
// folder, are flushed to disk, and the new file is renamed over the old one; the folder is
// flushed too, so after a crash the file holds either the old or the new content. A symlink is
// followed and its target replaced, so the link stays a link. An existing file keeps its mode;
// a new one gets newFileMode. Returns false with the system's reason in error.
bool replaceFileAtomically(const QString &path, const QByteArray &bytes, mode_t newFileMode, QString *error);

// Creates a new file at path for writing, failing when anything (a file, a symlink) is there
// already. Returns the open descriptor, or -1 with errno set.
int createFileExclusively(const QString &path, mode_t mode);

// Writes all bytes to a descriptor and flushes them to disk; false with errno set on failure.
bool writeAndSync(int fd, const QByteArray &bytes);

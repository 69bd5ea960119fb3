#pragma once

#include <QString>

// Files the program keeps for the user (the history of what ran, the SQL editor's text) live in a
// folder of the user's own, ~/.local/share/orvessa (XDG_DATA_HOME when set). On a shared machine
// nothing there may belong to someone else or be open to their changes, and no symlink is
// followed: a file or folder that fails those tests is neither read nor written.

QString userDataFolder();

// True when the folder is missing, or is a real folder of the user's that nobody else can write
// to; otherwise false with the reason.
bool isOwnFolder(const QString &folder, QString *error);
// Makes the folder with mode 0700 when it is missing (its parents as usual), and checks it.
bool makeOwnFolder(const QString &folder, QString *error);

// Opens a plain file of the user's, never through a symlink, and makes it private (0600) when it
// is not; flags as for open(2) (a new file is created 0600). -1 with the reason in error, which
// stays empty when a file opened for reading is simply not there.
int openOwnFile(const QString &path, int flags, QString *error);

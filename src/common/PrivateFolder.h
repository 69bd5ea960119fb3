#pragma once

#include <QString>

// The program's own temporary folder for this run: created on first use with mode 0700 under
// XDG_RUNTIME_DIR when that folder is private to the user, else under the shared temporary
// folder, and removed with its contents when the program ends. Other users can neither list
// it nor plant files in it, so fixed file names inside it are safe. Throws AppError when no
// such folder can be made.
QString privateTempFolder();

// True when path is a real folder (not a symlink) owned by this user that nobody else may
// enter or write to.
bool isPrivateFolder(const QString &path);

#pragma once

#include <QString>

// The demo database the connection dialog starts on. The one installed beside the program may be
// one the user cannot write (a package puts it in root-owned /usr/lib/orvessa), and a demo whose
// grid cannot be edited shows little: on first use such a file is copied into the user's data
// folder (XDG_DATA_HOME, else ~/.local/share, then "orvessa") and the copy is the demo from then
// on; an existing copy is never replaced. The installed file itself where the user may write it,
// or where no copy can be made (the reason it stays read-only is then told when it opens).
QString demoDatabaseFile(const QString &appFolder);

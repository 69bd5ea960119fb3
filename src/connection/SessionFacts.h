#pragma once

#include "connection/DialectAnalysis.h"

#include <QString>

// What the after-connect analysis learnt of the session: what the connection string told
// (DialectFacts: the dialect flags, more than one of which may be true, SQLite being the embedded
// fifth dialect; the database's name, the tree's root and the report's root element; the database
// file, Access file or compaction target) and the server's version, the caption's tail. They keep
// their values after a disconnect.
struct SessionFacts : DialectFacts
{
    QString serverVersion;
};

// The current connection profile: the connection string waiting to be applied, or last loaded,
// edited or saved, and the profile file it belongs to (empty when none).
struct Profile
{
    QString connectionString;
    QString fileName;
};

#pragma once

#include <QString>

// What the after-connect analysis learnt of the session: the dialect flags (more than one may be
// true; SQLite is the embedded fifth dialect), the database's name (the tree's root, the report's
// root element), the database file (Access file or compaction target) and the server's version
// (the caption's tail). They keep their values after a disconnect.
struct SessionFacts
{
    bool isAccess = false;
    bool isSqlServer = false;
    bool isMySql = false;
    bool isPostgreSql = false;
    bool isSqlite = false;
    QString databaseName;
    QString databaseFileName;
    QString serverVersion;
};

// The current connection profile: the connection string waiting to be applied, or last loaded,
// edited or saved, and the profile file it belongs to (empty when none).
struct Profile
{
    QString connectionString;
    QString fileName;
};

#pragma once

#include <QString>

// The highlighting the SQL editor gets for the dialect found; the window maps it onto the
// editor's own enumeration.
enum class HighlightChoice { Standard, SqlServer7, SqlServer2000, MySql, PostgreSql, Sqlite };

// What the after-connect analysis learns from the connection string alone.
struct DialectFacts
{
    bool isAccess = false;
    bool isSqlServer = false;
    bool isMySql = false;
    bool isPostgreSql = false;
    bool isSqlite = false;
    QString databaseName;
    QString databaseFileName;
    QString location;      // the caption's text in parentheses
    QString accessVersion; // "Microsoft Access ..." for Access, else empty
    QString versionQuery;  // empty when no query runs
    HighlightChoice highlight = HighlightChoice::Standard;
};

// The version text after its clean-up: what goes to the log and what the caption shows.
struct VersionText
{
    QString logged;
    QString serverVersion;
};

// Dialect detection and the version and caption texts, as pure functions of their inputs.
class DialectAnalysis
{
public:
    // reported: the connection string as the connection reports it; profile: the pending
    // profile's connection string; defaultDatabase: what the open connection names as its current
    // database; previousFileName: the database file as it stands (kept for non-Access strings).
    // The values of secret entries (passwords) take no part in any rule.
    static DialectFacts analyse(const QString &reported, const QString &profile,
                                const QString &defaultDatabase, const QString &previousFileName);

    // The server's version once the version query (if any) has answered.
    static QString answeredVersion(const DialectFacts &facts, bool queryAnswered, const QString &answer);

    // Prefix, blank and line clean-up, then the cut for each dialect. An empty version stays empty
    // and is not logged.
    static VersionText cleanVersion(const QString &serverVersion, const DialectFacts &facts);

    static QString caption(const QString &title, const QString &location, const QString &serverVersion);

    // The file-name part of a path as the analysis takes it: after the last "\", ":" or "/".
    static QString fileNamePart(const QString &path);
};

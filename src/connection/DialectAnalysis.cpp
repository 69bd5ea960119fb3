#include "connection/DialectAnalysis.h"

#include "connection/NameValueList.h"
#include "connection/PasswordMask.h"

#include <algorithm>

namespace {

bool contains(const QString &upper, const char *what)
{
    return upper.contains(QLatin1String(what));
}

} // namespace

QString DialectAnalysis::fileNamePart(const QString &path)
{
    qsizetype cut = -1;
    for (QChar c : {QLatin1Char('\\'), QLatin1Char(':'), QLatin1Char('/')})
        cut = std::max(cut, path.lastIndexOf(c));
    return path.mid(cut + 1);
}

DialectFacts DialectAnalysis::analyse(const QString &reportedString, const QString &profileString,
                                      const QString &defaultDatabase, const QString &previousFileName)
{
    // A password must not steer anything here (a password holding "mysql" or ".mdb"), nor
    // show up in the caption: every rule reads the strings with their secret values masked.
    const QString reported = maskPasswords(reportedString);
    const QString profile = maskPasswords(profileString);
    DialectFacts f;
    f.databaseName = defaultDatabase;
    f.databaseFileName = previousFileName;

    const QString u = reported.toUpper();
    f.isAccess = contains(u, "JET.OLEDB") || contains(u, "ACCESS.OLEDB") || contains(u, "ACE.OLEDB") ||
                 contains(u, ".MDB");
    f.isSqlServer = contains(u, "SQL SERVER") || contains(u, "SQLOLEDB") || contains(u, "SQLNCLI");
    f.isMySql = contains(u, "MYSQL");
    f.isPostgreSql = contains(u, "POSTGRESQL") || contains(profile.toUpper(), "POSTGRESQL");

    const NameValueList list(profile.isEmpty() ? reported : profile);
    f.isSqlite = list.value(QStringLiteral("Provider")).toUpper().startsWith(QLatin1String("SQLITE"));

    if (f.isAccess) {
        f.location = list.value(QStringLiteral("Provider"));
        f.databaseName = list.value(QStringLiteral("Data Source"));
        if (f.databaseName.isEmpty())
            f.databaseName = list.value(QStringLiteral("DBQ"));
        f.databaseFileName = f.databaseName;
        f.databaseName = fileNamePart(f.databaseName);
    } else {
        f.location = list.value(QStringLiteral("Data Source"));
        if (f.location.isEmpty())
            f.location = list.value(QStringLiteral("Server"));
        if (f.location.isEmpty())
            f.location = defaultDatabase;
        for (const char *name : {"Database", "Initial Catalog", "location"}) {
            if (!f.databaseName.isEmpty())
                break;
            f.databaseName = list.value(QLatin1String(name));
        }
    }

    if (f.isAccess) {
        // Tested on the string as reported, with its letter case.
        f.accessVersion = QStringLiteral("Microsoft Access");
        if (reported.contains(QLatin1String("Microsoft.Jet.OLEDB.4.0")))
            f.accessVersion += QLatin1String(" 97-2003");
        if (reported.contains(QLatin1String("Microsoft.Access.OLEDB.10.0")))
            f.accessVersion += QLatin1String(" 97-2007");
        if (reported.contains(QLatin1String("Microsoft.ACE.OLEDB.12.0")))
            f.accessVersion += QLatin1String(" 97-2010");
    }

    if (f.isSqlServer)
        f.versionQuery = QStringLiteral("SELECT @@VERSION AS VER");
    if (f.isMySql)
        f.versionQuery = QStringLiteral("SELECT @@VERSION AS VER");
    if (f.isPostgreSql)
        f.versionQuery = QStringLiteral("SELECT version() AS VER");
    if (f.isSqlite)
        f.versionQuery = QStringLiteral("SELECT sqlite_version() AS VER");

    if (f.isSqlServer)
        f.highlight = contains(u, "SQLNCLI") ? HighlightChoice::SqlServer2000 : HighlightChoice::SqlServer7;
    if (f.isMySql)
        f.highlight = HighlightChoice::MySql;
    if (f.isPostgreSql)
        f.highlight = HighlightChoice::PostgreSql;
    if (f.isSqlite)
        f.highlight = HighlightChoice::Sqlite;
    return f;
}

QString DialectAnalysis::answeredVersion(const DialectFacts &facts, bool queryAnswered, const QString &answer)
{
    if (!queryAnswered)
        return facts.accessVersion;
    // sqlite_version() gives the bare number; the caption names the product like the others do.
    if (facts.isSqlite)
        return QStringLiteral("SQLite ") + answer;
    return answer;
}

VersionText DialectAnalysis::cleanVersion(const QString &serverVersion, const DialectFacts &facts)
{
    VersionText v;
    if (serverVersion.isEmpty())
        return v;
    QString s = serverVersion;
    if (facts.isMySql)
        s.prepend(QLatin1String("MySQL "));
    s.replace(QLatin1Char('\n'), QLatin1String(" - "));
    s.replace(QLatin1Char('\t'), QLatin1Char(' '));
    // One left-to-right pass: three or four blanks in a row become two.
    s.replace(QLatin1String("  "), QLatin1String(" "));
    v.logged = s;

    if (facts.isSqlServer && s.contains(QLatin1Char('('))) {
        // A "(" without a closing ")" keeps the whole text rather than none of it.
        const qsizetype close = s.indexOf(QLatin1Char(')'));
        if (close >= 0)
            s.truncate(close + 1);
    }
    if (facts.isMySql && s.contains(QLatin1Char('-')))
        s.truncate(s.indexOf(QLatin1Char('-')));
    if (facts.isPostgreSql && s.contains(QLatin1String(" on ")))
        s.truncate(s.indexOf(QLatin1String(" on ")));
    v.serverVersion = s;
    return v;
}

QString DialectAnalysis::caption(const QString &title, const QString &location, const QString &serverVersion)
{
    return title + QLatin1String(" (") + location + QLatin1String(") ") + serverVersion;
}

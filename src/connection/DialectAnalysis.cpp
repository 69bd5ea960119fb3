#include "connection/DialectAnalysis.h"

#include "db/Backends.h"
#include "db/ConnectionString.h"

#include <algorithm>
#include <initializer_list>
#include <optional>

namespace {

// The names a connection string gives its source by: the OLE DB provider and, for ODBC, the
// driver. Host, file, database and user names, and secrets, never steer the analysis.
struct SourceNames
{
    std::optional<ProviderKind> kind;
    QString provider; // as written
    QString upper;    // provider and driver, upper-cased
};

SourceNames sourceNames(const ConnectionString &cs)
{
    SourceNames names;
    names.kind = providerKind(cs);
    names.provider = cs.value(QStringLiteral("Provider"));
    names.upper = (names.provider + QLatin1Char('\n') + cs.value(QStringLiteral("Driver"))).toUpper();
    return names;
}

bool names(const SourceNames &source, std::initializer_list<const char *> words)
{
    return std::any_of(words.begin(), words.end(),
                       [&source](const char *word) { return source.upper.contains(QLatin1String(word)); });
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
    // Read as the backends read them: names trimmed and without letter case, values unquoted.
    // Strings the analysis only looks at are read leniently: a quote left open swallows the
    // rest, so nothing inside a value (a password) is ever taken for an entry.
    const ConnectionString reported = ConnectionString::lenient(reportedString);
    const ConnectionString profile = ConnectionString::lenient(profileString);
    const SourceNames source = sourceNames(reported);
    const SourceNames pending = sourceNames(profile);
    DialectFacts f;
    f.databaseName = defaultDatabase;
    f.databaseFileName = previousFileName;

    f.isAccess = source.kind == ProviderKind::Access ||
                 names(source, {"JET.OLEDB", "ACCESS.OLEDB", "ACE.OLEDB", ".MDB"});
    f.isSqlServer =
        source.kind == ProviderKind::SqlServer || names(source, {"SQL SERVER", "SQLOLEDB", "SQLNCLI"});
    f.isMySql = source.kind == ProviderKind::Mysql || names(source, {"MYSQL", "MARIADB"});
    f.isPostgreSql = source.kind == ProviderKind::Postgres || names(source, {"POSTGRESQL"}) ||
                     pending.kind == ProviderKind::Postgres || names(pending, {"POSTGRESQL"});

    const ConnectionString &list = profileString.isEmpty() ? reported : profile;
    f.isSqlite =
        list.value(QStringLiteral("Provider")).startsWith(QLatin1String("SQLITE"), Qt::CaseInsensitive);

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
        // Tested on the provider as written, with its letter case.
        f.accessVersion = QStringLiteral("Microsoft Access");
        if (source.provider.contains(QLatin1String("Microsoft.Jet.OLEDB.4.0")))
            f.accessVersion += QLatin1String(" 97-2003");
        if (source.provider.contains(QLatin1String("Microsoft.Access.OLEDB.10.0")))
            f.accessVersion += QLatin1String(" 97-2007");
        if (source.provider.contains(QLatin1String("Microsoft.ACE.OLEDB.12.0")))
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
        f.highlight =
            names(source, {"SQLNCLI"}) ? HighlightChoice::SqlServer2000 : HighlightChoice::SqlServer7;
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

#include "connection/DataLinkSettings.h"

#include "db/ConnectionString.h"
#include "db/DataAccess.h"

#include <QStringList>

namespace {

bool is(const QString &a, const char *b)
{
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

// Takes the first entry named like one of names out of entries; "" when none is there.
QString take(QList<DataLinkEntry> &entries, std::initializer_list<const char *> names)
{
    QString found;
    bool have = false;
    for (qsizetype i = 0; i < entries.size();) {
        bool match = false;
        for (const char *n : names)
            match = match || is(entries[i].name, n);
        if (!match) {
            ++i;
            continue;
        }
        if (!have) {
            found = entries[i].value;
            have = true;
        }
        entries.removeAt(i);
    }
    return found;
}

void add(QList<DataLinkEntry> &entries, const char *name, const QString &value, bool evenEmpty = false)
{
    if (evenEmpty || !value.isEmpty())
        entries.append({QLatin1String(name), value});
}

} // namespace

QList<DataLinkEntry> DataLinkSettings::parse(const QString &s)
{
    QList<DataLinkEntry> entries;
    for (const auto &pair : parseConnectionString(s))
        entries.append({pair.first, pair.second});
    return entries;
}

QString DataLinkSettings::join(const QList<DataLinkEntry> &entries)
{
    ConnectionStringPairs pairs;
    for (const DataLinkEntry &e : entries)
        pairs.append({e.name, e.value});
    return composeConnectionString(pairs);
}

DataLinkKind DataLinkSettings::kindOfProvider(const QString &provider)
{
    const QString p = provider.trimmed().toUpper();
    auto starts = [&p](const char *prefix) { return p.startsWith(QLatin1String(prefix)); };
    if (starts("SQLITE"))
        return DataLinkKind::Sqlite;
    if (starts("POSTGRESQL") || starts("PGNP"))
        return DataLinkKind::PostgreSql;
    if (starts("MYSQL") || starts("MARIADB"))
        return DataLinkKind::MySql;
    if (starts("SQLOLEDB") || starts("SQLNCLI") || starts("MSOLEDBSQL"))
        return DataLinkKind::SqlServer;
    if (starts("MICROSOFT.JET.OLEDB") || starts("MICROSOFT.ACE.OLEDB") || starts("MICROSOFT.ACCESS.OLEDB"))
        return DataLinkKind::Access;
    if (starts("MSDASQL"))
        return DataLinkKind::Odbc;
    return DataLinkKind::Other;
}

QString DataLinkSettings::displayName(DataLinkKind kind)
{
    switch (kind) {
    case DataLinkKind::Sqlite:
        return QStringLiteral("SQLite");
    case DataLinkKind::PostgreSql:
        return QStringLiteral("PostgreSQL");
    case DataLinkKind::MySql:
        return QStringLiteral("MySQL/MariaDB");
    case DataLinkKind::SqlServer:
        return QStringLiteral("SQL Server");
    case DataLinkKind::Access:
        return QStringLiteral("Access");
    case DataLinkKind::Odbc:
        return QStringLiteral("ODBC data source");
    case DataLinkKind::Other:
        break;
    }
    return QStringLiteral("Other");
}

DataLinkSettings DataLinkSettings::defaults(const QString &appFolder)
{
    DataLinkSettings d;
    d.kind = DataLinkKind::Sqlite;
    d.file = appFolder + QStringLiteral("demo.sqlite");
    return d;
}

DataLinkSettings DataLinkSettings::fromString(const QString &connectionString)
{
    DataLinkSettings d;
    QList<DataLinkEntry> rest;
    try {
        rest = parse(connectionString);
    } catch (const DataAccessError &) {
        // A quote or brace left open: offered for editing as it stands.
        d.kind = DataLinkKind::Other;
        d.unparsed = connectionString;
        return d;
    }
    bool hasProvider = false;
    for (const DataLinkEntry &e : rest)
        hasProvider = hasProvider || is(e.name, "Provider");
    if (!hasProvider) {
        bool odbc = false;
        for (const DataLinkEntry &e : rest)
            odbc = odbc || is(e.name, "Driver") || is(e.name, "DSN");
        d.kind = odbc ? DataLinkKind::Odbc : DataLinkKind::Other;
    } else {
        QList<DataLinkEntry> copy = rest;
        d.kind = kindOfProvider(take(copy, {"Provider"}));
    }
    if (d.kind == DataLinkKind::Other) {
        d.extras = rest;
        return d;
    }
    take(rest, {"Provider"});
    switch (d.kind) {
    case DataLinkKind::Sqlite:
        d.file = take(rest, {"Data Source"});
        break;
    case DataLinkKind::Access:
        d.file = take(rest, {"Data Source", "DBQ"});
        break;
    case DataLinkKind::PostgreSql:
    case DataLinkKind::MySql:
    case DataLinkKind::SqlServer:
        d.host = take(rest, {"Data Source", "Server"});
        d.port = take(rest, {"Port"});
        d.database = take(rest, {"Initial Catalog", "Database"});
        d.user = take(rest, {"User ID", "UID"});
        d.password = take(rest, {"Password", "PWD"});
        if (d.kind != DataLinkKind::SqlServer) {
            d.sslMode = take(rest, {"SSL Mode"});
            d.sslCaFile = take(rest, {"SSL CA File"});
            d.sslCertFile = take(rest, {"SSL Cert File"});
            d.sslKeyFile = take(rest, {"SSL Key File"});
            d.sshHost = take(rest, {"SSH Host"});
            d.sshPort = take(rest, {"SSH Port"});
            d.sshUser = take(rest, {"SSH User"});
            d.sshAuth = take(rest, {"SSH Auth"});
            d.sshKeyFile = take(rest, {"SSH Key File"});
        }
        if (d.kind == DataLinkKind::SqlServer && d.port.isEmpty()) {
            const qsizetype comma = d.host.lastIndexOf(QLatin1Char(','));
            if (comma >= 0) {
                d.port = d.host.mid(comma + 1).trimmed();
                d.host = d.host.left(comma).trimmed();
            }
        }
        break;
    case DataLinkKind::Odbc: {
        QList<DataLinkEntry> probe = rest;
        d.dsn = take(probe, {"DSN"});
        d.odbcUsesDsn = !d.dsn.isEmpty();
        if (d.odbcUsesDsn) {
            rest = probe;
            d.user = take(rest, {"UID", "User ID"});
            d.password = take(rest, {"PWD", "Password"});
        } else {
            d.driverString = join(rest);
            rest.clear();
        }
        break;
    }
    case DataLinkKind::Other:
        break;
    }
    d.extras = rest;
    return d;
}

QString DataLinkSettings::toString() const
{
    QList<DataLinkEntry> e;
    switch (kind) {
    case DataLinkKind::Sqlite:
        add(e, "Provider", QStringLiteral("SQLite"));
        add(e, "Data Source", file, true);
        break;
    case DataLinkKind::Access:
        add(e, "Provider",
            file.endsWith(QLatin1String(".accdb"), Qt::CaseInsensitive)
                ? QStringLiteral("Microsoft.ACE.OLEDB.12.0")
                : QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
        add(e, "Data Source", file, true);
        break;
    case DataLinkKind::PostgreSql:
    case DataLinkKind::MySql:
        add(e, "Provider",
            kind == DataLinkKind::PostgreSql ? QStringLiteral("PostgreSQL") : QStringLiteral("MySQL"));
        add(e, "Data Source", host, true);
        add(e, "Port", port);
        add(e, "Initial Catalog", database);
        add(e, "User ID", user);
        add(e, "Password", password);
        add(e, "SSL Mode", sslMode);
        add(e, "SSL CA File", sslCaFile);
        add(e, "SSL Cert File", sslCertFile);
        add(e, "SSL Key File", sslKeyFile);
        add(e, "SSH Host", sshHost);
        add(e, "SSH Port", sshPort);
        add(e, "SSH User", sshUser);
        add(e, "SSH Auth", sshAuth);
        add(e, "SSH Key File", sshKeyFile);
        break;
    case DataLinkKind::SqlServer:
        add(e, "Provider", QStringLiteral("SQLOLEDB.1"));
        add(e, "Data Source", port.isEmpty() ? host : host + QLatin1Char(',') + port, true);
        add(e, "Initial Catalog", database);
        add(e, "User ID", user);
        add(e, "Password", password);
        break;
    case DataLinkKind::Odbc:
        if (!odbcUsesDsn) {
            QString s = driverString.trimmed();
            if (!extras.isEmpty())
                s += (s.isEmpty() ? QString() : QStringLiteral(";")) + join(extras);
            return s;
        }
        add(e, "Provider", QStringLiteral("MSDASQL"));
        add(e, "DSN", dsn, true);
        add(e, "UID", user);
        add(e, "PWD", password);
        break;
    case DataLinkKind::Other:
        if (extras.isEmpty())
            return unparsed;
        break;
    }
    e += extras;
    return join(e);
}

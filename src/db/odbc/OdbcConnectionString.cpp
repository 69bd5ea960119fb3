#include "db/odbc/OdbcConnectionString.h"

#include "db/ConnectionString.h"

#include <QStringList>

namespace {

void append(QStringList &entries, const QString &name, const QString &value)
{
    entries.append(name + QLatin1Char('=') + odbcValue(value));
}

bool isTrue(const QString &value)
{
    return value.compare(QLatin1String("SSPI"), Qt::CaseInsensitive) == 0 ||
           value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
           value.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0;
}

QString sqlServerString(const ConnectionString &cs)
{
    QString server = cs.value({QStringLiteral("Data Source"), QStringLiteral("Server"),
                               QStringLiteral("Address"), QStringLiteral("Addr")});
    if (server.startsWith(QLatin1String("tcp:"), Qt::CaseInsensitive))
        server.remove(0, 4);
    QString port;
    const qsizetype comma = server.indexOf(QLatin1Char(','));
    if (comma >= 0) {
        port = server.mid(comma + 1).trimmed();
        server = server.left(comma).trimmed();
    }
    // The Windows names of the local machine.
    const qsizetype backslash = server.indexOf(QLatin1Char('\\'));
    const QString host = backslash >= 0 ? server.left(backslash) : server;
    if (host == QLatin1String(".") || host.compare(QLatin1String("(local)"), Qt::CaseInsensitive) == 0)
        server.replace(0, host.size(), QStringLiteral("localhost"));
    // A named instance is found through the server's browser service unless a port is given.
    if (port.isEmpty() && backslash < 0)
        port = QStringLiteral("1433");

    QStringList entries;
    append(entries, QStringLiteral("Driver"), QStringLiteral("FreeTDS"));
    append(entries, QStringLiteral("Server"), server);
    if (!port.isEmpty())
        append(entries, QStringLiteral("Port"), port);
    const QString database = cs.value({QStringLiteral("Initial Catalog"), QStringLiteral("Database")});
    if (!database.isEmpty())
        append(entries, QStringLiteral("Database"), database);
    const QString user = cs.value({QStringLiteral("User ID"), QStringLiteral("UID")});
    if (!user.isEmpty())
        append(entries, QStringLiteral("UID"), user);
    const QString password = cs.value({QStringLiteral("Password"), QStringLiteral("PWD")});
    if (!password.isEmpty())
        append(entries, QStringLiteral("PWD"), password);
    if (user.isEmpty() && (isTrue(cs.value(QStringLiteral("Integrated Security"))) ||
                           isTrue(cs.value(QStringLiteral("Trusted_Connection")))))
        append(entries, QStringLiteral("Trusted_Connection"), QStringLiteral("Yes"));
    append(entries, QStringLiteral("TDS_Version"), QStringLiteral("7.4"));
    return entries.join(QLatin1Char(';'));
}

QString passThroughString(const ConnectionString &cs)
{
    ConnectionStringPairs pairs;
    for (const auto &pair : cs.pairs()) {
        if (holdsConnectionString(pair.first))
            pairs.append(ConnectionString(pair.second).pairs());
        else
            pairs.append(pair);
    }
    auto has = [&pairs](const char *name) {
        for (const auto &pair : std::as_const(pairs)) {
            if (pair.first.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                return true;
        }
        return false;
    };
    const bool namesDriver = has("Driver") || has("DSN") || has("FileDSN");
    QStringList entries;
    for (const auto &pair : std::as_const(pairs)) {
        QString name = pair.first;
        if (name.compare(QLatin1String("Provider"), Qt::CaseInsensitive) == 0 ||
            name.compare(QLatin1String("Persist Security Info"), Qt::CaseInsensitive) == 0)
            continue;
        if (name.compare(QLatin1String("Data Source"), Qt::CaseInsensitive) == 0) {
            if (namesDriver)
                continue;
            name = QStringLiteral("DSN");
        } else if (name.compare(QLatin1String("User ID"), Qt::CaseInsensitive) == 0) {
            name = QStringLiteral("UID");
        } else if (name.compare(QLatin1String("Password"), Qt::CaseInsensitive) == 0) {
            name = QStringLiteral("PWD");
        } else if (name.compare(QLatin1String("Initial Catalog"), Qt::CaseInsensitive) == 0) {
            name = QStringLiteral("Database");
        }
        append(entries, name, pair.second);
    }
    return entries.join(QLatin1Char(';'));
}

} // namespace

QString odbcValue(const QString &value)
{
    const bool needsBraces = value.contains(QLatin1Char(';')) || value.contains(QLatin1Char('{')) ||
                             value.contains(QLatin1Char('}')) || value.trimmed() != value;
    if (!needsBraces)
        return value;
    QString escaped = value;
    escaped.replace(QLatin1Char('}'), QLatin1String("}}"));
    return QLatin1Char('{') + escaped + QLatin1Char('}');
}

QString odbcConnectionString(const QString &connectionString, bool sqlServer)
{
    const ConnectionString cs(connectionString);
    return sqlServer ? sqlServerString(cs) : passThroughString(cs);
}

#include "db/Backends.h"
#include "db/ConnectionString.h"
#include "db/SqlDialectRules.h"
#include "db/fetch/Fetch.h"

#include <arpa/inet.h>

#include <cstring>

namespace {

const QString KnownProviders = QStringLiteral("SQLite, PostgreSQL, MySQL, MariaDB, SQLOLEDB, SQLNCLI, "
                                              "MSOLEDBSQL, Microsoft.Jet.OLEDB, Microsoft.ACE.OLEDB, "
                                              "MSDASQL");

bool startsWith(const QString &text, const char *prefix)
{
    return text.startsWith(QLatin1StringView(prefix), Qt::CaseInsensitive);
}

bool equals(const QString &text, const char *name)
{
    return text.compare(QLatin1StringView(name), Qt::CaseInsensitive) == 0;
}

// "Name" or "Name.<version>".
bool isVersioned(const QString &text, const char *name)
{
    return equals(text, name) || startsWith(text, (QByteArray(name) + '.').constData());
}

} // namespace

ProviderKind providerKindFor(const QString &connectionString)
{
    const ConnectionString cs(connectionString);
    const QString provider = cs.value(QStringLiteral("Provider"));
    if (provider.isEmpty()) {
        if (!cs.value(QStringLiteral("Driver")).isEmpty() || !cs.value(QStringLiteral("DSN")).isEmpty())
            return ProviderKind::Odbc;
        throw DataAccessError(
            QStringLiteral("No provider was given. Known providers: %1.").arg(KnownProviders));
    }
    if (isVersioned(provider, "SQLite"))
        return ProviderKind::Sqlite;
    if (isVersioned(provider, "PostgreSQL") || equals(provider, "PostgreSQL OLE DB Provider") ||
        isVersioned(provider, "PGNP"))
        return ProviderKind::Postgres;
    if (isVersioned(provider, "MySQL") || isVersioned(provider, "MariaDB") ||
        isVersioned(provider, "MySQLProv"))
        return ProviderKind::Mysql;
    if (startsWith(provider, "SQLOLEDB") || startsWith(provider, "SQLNCLI") ||
        startsWith(provider, "MSOLEDBSQL"))
        return ProviderKind::SqlServer;
    if (startsWith(provider, "Microsoft.Jet.OLEDB") || startsWith(provider, "Microsoft.ACE.OLEDB") ||
        startsWith(provider, "Microsoft.Access.OLEDB"))
        return ProviderKind::Access;
    if (startsWith(provider, "MSDASQL"))
        return ProviderKind::Odbc;
    throw DataAccessError(QStringLiteral("The provider \"%1\" is not known. Known providers: %2.")
                              .arg(provider, KnownProviders));
}

std::unique_ptr<Backend> Backend::create(const QString &connectionString, const ConnectAsker &asker)
{
    const ProviderKind kind = providerKindFor(connectionString);
    if (ConnectionString(connectionString).contains(QStringLiteral("SSH Host")))
        return createTunnelBackend(connectionString, kind, asker);
    switch (kind) {
    case ProviderKind::Sqlite:
        return createSqliteBackend(connectionString);
    case ProviderKind::Postgres:
        return createPostgresBackend(connectionString);
    case ProviderKind::Mysql:
        return createMysqlBackend(connectionString);
    case ProviderKind::SqlServer:
        return createOdbcBackend(connectionString, true);
    case ProviderKind::Access:
        return createAccessBackend(connectionString);
    case ProviderKind::Odbc:
        return createOdbcBackend(connectionString, false);
    }
    throw DataAccessError(QStringLiteral("No provider was given. Known providers: %1.").arg(KnownProviders));
}

ExecResult Backend::execute(const QString &sql, std::atomic<qint64> *rowsFetched)
{
    return fetchAll(openCursor(sql, nullptr), rowsFetched);
}

ExecResult Backend::executeParams(const QString &sql, const QList<QVariant> &params)
{
    return fetchAll(openCursor(sql, &params), nullptr);
}

std::unique_ptr<StatementCursor> Backend::openCursor(const QString &, const QList<QVariant> *)
{
    throw DataAccessError(QStringLiteral("This provider cannot read results step by step."));
}

QString Backend::quoteIdentifier(const QString &name) const
{
    return SqlDialectRules::of(dialect()).quoteIdentifier(name);
}

void Backend::beginTransaction()
{
    execute(QStringLiteral("BEGIN"));
}

void Backend::commitTransaction()
{
    execute(QStringLiteral("COMMIT"));
}

void Backend::rollbackTransaction()
{
    execute(QStringLiteral("ROLLBACK"));
}

void Backend::endEdit(bool savepoint, bool commit, const std::function<void(const char *)> &run)
{
    if (!savepoint) {
        run(commit ? "COMMIT" : "ROLLBACK");
        return;
    }
    if (!commit)
        run("ROLLBACK TO SAVEPOINT orvessa_edit");
    run("RELEASE SAVEPOINT orvessa_edit");
}

bool SessionSecurity::isLocalHost(const QString &host)
{
    const QString h = host.trimmed();
    if (h.isEmpty() || h.startsWith(QLatin1Char('/')) ||
        h.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QByteArray text = h.toLatin1();
    unsigned char address[16];
    if (inet_pton(AF_INET, text.constData(), address) == 1)
        return address[0] == 127;
    return inet_pton(AF_INET6, text.constData(), address) == 1 &&
           std::memcmp(address, &in6addr_loopback, sizeof address) == 0;
}

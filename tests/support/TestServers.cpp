#include "TestServers.h"

#include "connection/dataaccess/Backends.h"

#include <QStringList>

namespace TestServers {

QString pgConnectionString()
{
    return qEnvironmentVariable("ORVESSA_TEST_PG");
}

QString mysqlConnectionString()
{
    return qEnvironmentVariable("ORVESSA_TEST_MYSQL");
}

bool requiredByCi()
{
    return qEnvironmentVariable("CI").compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

QString withEntry(const QString &connectionString, const QString &name, const QString &value)
{
    QStringList entries = connectionString.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    bool replaced = false;
    for (QString &entry : entries) {
        const QString key = entry.section(QLatin1Char('='), 0, 0).trimmed();
        if (key.compare(name, Qt::CaseInsensitive) == 0) {
            entry = name + QLatin1Char('=') + value;
            replaced = true;
        }
    }
    if (!replaced)
        entries.append(name + QLatin1Char('=') + value);
    return entries.join(QLatin1Char(';'));
}

QString freshDatabase(const QString &serverConnectionString, const QString &name)
{
    const bool postgres = serverConnectionString.contains(QLatin1String("PostgreSQL"), Qt::CaseInsensitive);
    std::unique_ptr<Backend> backend =
        postgres ? createPostgresBackend(serverConnectionString) : createMysqlBackend(serverConnectionString);
    backend->connect();
    const QString quoted = backend->quoteIdentifier(name);
    if (postgres) {
        backend->execute(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(quoted));
        backend->execute(QStringLiteral("CREATE DATABASE %1").arg(quoted));
    } else {
        backend->execute(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(quoted));
        backend->execute(QStringLiteral("CREATE DATABASE %1 CHARACTER SET utf8mb4").arg(quoted));
    }
    backend->disconnect();
    return withEntry(serverConnectionString, QStringLiteral("Initial Catalog"), name);
}

} // namespace TestServers

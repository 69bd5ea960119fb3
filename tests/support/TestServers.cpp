#include "TestServers.h"

#include "db/Backends.h"
#include "db/ConnectionString.h"

#include <QProcess>
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

QString withEntries(const QString &connectionString, const QString &entries)
{
    QString result = connectionString;
    const ConnectionString given(entries);
    for (const auto &pair : given.pairs())
        result = withEntry(result, pair.first, quoteConnectionStringValue(pair.second));
    return result;
}

QString pgOdbcConnectionString(const QString &pgConnectionString)
{
    const ConnectionString cs(pgConnectionString);
    return QStringLiteral(
               "Driver={PostgreSQL Unicode};Server=%1;Port=%2;Database=%3;UID=%4;PWD=%5;UseDeclareFetch=1;"
               "CommLog=0;Debug=0")
        .arg(cs.value(QStringLiteral("Data Source")), cs.value(QStringLiteral("Port")),
             cs.value(QStringLiteral("Initial Catalog")), cs.value(QStringLiteral("User ID")),
             cs.value(QStringLiteral("Password")));
}

bool controlServer(const QString &action, const QString &server)
{
    const QString script = QStringLiteral(ORVESSA_SCRIPTS_DIR "/test-server-control");
    return QProcess::execute(QStringLiteral("bash"), {script, action, server}) == 0;
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

#pragma once

#include "db/DataAccess.h"

// The backends Backend::create chooses from, one per source file.
std::unique_ptr<Backend> createSqliteBackend(const QString &connectionString);
std::unique_ptr<Backend> createPostgresBackend(const QString &connectionString);
std::unique_ptr<Backend> createMysqlBackend(const QString &connectionString);
// sqlServer: the string names a SQL Server provider and is mapped onto the installed driver.
std::unique_ptr<Backend> createOdbcBackend(const QString &connectionString, bool sqlServer);
std::unique_ptr<Backend> createAccessBackend(const QString &connectionString);

// Which backend a connection string asks for.
enum class ProviderKind { Sqlite, Postgres, Mysql, SqlServer, Access, Odbc };

// A backend of kind (PostgreSQL or MySQL) whose session runs through the SSH tunnel that the
// string's SSH keys describe; asker answers the tunnel's questions.
std::unique_ptr<Backend> createTunnelBackend(const QString &connectionString, ProviderKind kind,
                                             const ConnectAsker &asker);

// The backend chosen by the Provider= value (or Driver=/DSN= without a provider). Throws
// DataAccessError for an empty string or an unknown provider, naming the known providers.
ProviderKind providerKindFor(const QString &connectionString);

#pragma once

#include "connection/dataaccess/DataAccess.h"

// The backends Backend::create chooses from, one per source file.
std::unique_ptr<Backend> createSqliteBackend(const QString &connectionString);
std::unique_ptr<Backend> createPostgresBackend(const QString &connectionString);
std::unique_ptr<Backend> createMysqlBackend(const QString &connectionString);
// sqlServer: the string names a SQL Server provider and is mapped onto the installed driver.
std::unique_ptr<Backend> createOdbcBackend(const QString &connectionString, bool sqlServer);
std::unique_ptr<Backend> createAccessBackend(const QString &connectionString);

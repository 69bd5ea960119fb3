#pragma once

#include <QString>
#include <QtTest/QTest>

// The PostgreSQL and MariaDB servers of scripts/start-test-servers, found through the
// variables of the env file it writes (ORVESSA_TEST_PG, ORVESSA_TEST_MYSQL, ...).
namespace TestServers {

// The connection strings from the environment; empty when the servers were not started.
QString pgConnectionString();
QString mysqlConnectionString();

// True in CI (CI=true), where a missing server is a failure, not a skip.
bool requiredByCi();

// The same string with one Name=Value entry replaced (or appended when absent).
QString withEntry(const QString &connectionString, const QString &name, const QString &value);
// The same string with every entry of entries (a connection string) put in as withEntry does.
QString withEntries(const QString &connectionString, const QString &entries);

// The same server and database reached through the PostgreSQL Unicode ODBC driver, without a
// DSN; rows are fetched through a cursor in batches, so they arrive while a statement runs. The
// driver's own log files (in the shared /tmp) stay off.
QString pgOdbcConnectionString(const QString &pgConnectionString);

// Stops ("stop") or starts again ("start") the PostgreSQL ("pg") or MariaDB ("mysql") test
// server with scripts/test-server-control; false when the script failed.
bool controlServer(const QString &action, const QString &server);

// Drops and creates database `name` on the server of `serverConnectionString` (PostgreSQL
// or MySQL) and returns a connection string that opens it. Throws DataAccessError.
QString freshDatabase(const QString &serverConnectionString, const QString &name);

} // namespace TestServers

// In a test function: declares `var` with the server's connection string, or skips the test
// (fails it in CI) when the servers are not running.
#define ORVESSA_REQUIRE_SERVER_(var, getter, what)                                                           \
    const QString var = getter();                                                                            \
    do {                                                                                                     \
        if (var.isEmpty()) {                                                                                 \
            if (TestServers::requiredByCi())                                                                 \
                QFAIL(what " test server not running: run scripts/start-test-servers and source "            \
                           "its env file");                                                                  \
            QSKIP(what " test server not running (scripts/start-test-servers, then source the "              \
                       "env file)");                                                                         \
        }                                                                                                    \
    } while (false)

#define ORVESSA_REQUIRE_PG(var) ORVESSA_REQUIRE_SERVER_(var, TestServers::pgConnectionString, "PostgreSQL")
#define ORVESSA_REQUIRE_MYSQL(var) ORVESSA_REQUIRE_SERVER_(var, TestServers::mysqlConnectionString, "MariaDB")

#pragma once

#include "connection/SessionFacts.h"
#include "db/DataAccess.h"
#include "query/Query.h"
#include "query/TableReader.h"

#include <memory>

// The program's one session with a database: the connection, the query the SQL page shows (also
// the version query's), the table reader, the facts of the after-connect analysis and the
// current profile.
class Session
{
public:
    Session() : m_query(std::make_unique<Query>(&m_connection)), m_tableReader(&m_connection) {}

    Connection &connection() { return m_connection; }
    Query &query() { return *m_query; }
    TableReader &tableReader() { return m_tableReader; }
    // How the open database writes its SQL: the backend's dialect, PostgreSQL's also when the
    // analysis found it behind another provider. Throws when the connection is not open.
    SqlDialect sqlDialect() const
    {
        return facts.isPostgreSql ? SqlDialect::PostgreSql : m_connection.dialect();
    }

    SessionFacts facts;
    Profile profile;

private:
    // Declared first, gone last: the query's fetch ends before the connection goes.
    Connection m_connection;
    std::unique_ptr<Query> m_query;
    TableReader m_tableReader;
};

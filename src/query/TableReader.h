#pragma once

#include "db/DataAccess.h"

#include <QString>

// The table reader: reads one table's field and index definitions.
class TableReader
{
public:
    explicit TableReader(Connection *connection) : m_connection(connection) {}

    // The table last described or queried, unquoted; the structure export names its workbook
    // after it.
    QString tableName;

    // Reads the definitions of table (unquoted) in schema (empty: the default schema).
    // Throws DataAccessError when the provider cannot open the table.
    void readDefinitions(const QString &schema, const QString &table);
    const TableMetadata &metadata() const { return m_metadata; }

private:
    Connection *m_connection;
    TableMetadata m_metadata;
};

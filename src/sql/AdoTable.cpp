#include "sql/AdoTable.h"

void AdoTable::readDefinitions(const QString &schema, const QString &table)
{
    m_metadata = m_connection->tableMetadata(schema, table);
}

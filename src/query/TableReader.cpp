#include "query/TableReader.h"

void TableReader::readDefinitions(const QString &schema, const QString &table)
{
    m_metadata = m_connection->tableMetadata(schema, table);
}

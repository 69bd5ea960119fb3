#include "connection/CatalogueReader.h"

bool CatalogueReader::listed(const TableInfo &table)
{
    return table.type == QLatin1String("TABLE") || table.type == QLatin1String("VIEW");
}

QList<TableInfo> CatalogueReader::tables() const
{
    QList<TableInfo> result;
    for (const TableInfo &t : m_connection.tables()) {
        if (listed(t))
            result.append(t);
    }
    return result;
}

QStringList CatalogueReader::columnNames(const TableInfo &table) const
{
    QStringList names;
    for (const ColumnInfo &c : m_connection.columns(table.schema, table.name))
        names.append(c.name);
    return names;
}

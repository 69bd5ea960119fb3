#pragma once

#include "connection/dataaccess/DataAccess.h"

#include <QList>
#include <QStringList>

// What the catalogue tree lists: the tables and views of the open database, and the columns of
// each, read table by table.
class CatalogueReader
{
public:
    explicit CatalogueReader(Connection &connection) : m_connection(connection) {}

    // The rows of the tables rowset whose type is exactly TABLE or VIEW, in rowset order.
    QList<TableInfo> tables() const;
    // The column names of one table, asked by schema and table so that equal names in two
    // schemas keep their own columns.
    QStringList columnNames(const TableInfo &table) const;

    // The tree panel's width for the widest column-name width (pixels, margin included).
    static int panelWidth(int widestColumn) { return widestColumn + 85; }

    static bool listed(const TableInfo &table);

private:
    Connection &m_connection;
};

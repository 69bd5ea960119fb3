#pragma once

#include "db/DataAccess.h"

#include <QList>
#include <QString>
#include <QStringList>

// One table or view of the catalogue with what could be read about it.
struct CatalogueObject
{
    TableInfo table;
    QList<ColumnInfo> columns;         // in ordinal order
    QList<KeyColumnInfo> primaryKeys;  // read with the keys only
    QList<ForeignKeyInfo> foreignKeys; // its own (as the referencing table); with the keys only
    QStringList errors;                // what could not be read, each naming the object
};

struct Catalogue
{
    QList<CatalogueObject> objects; // the TABLE and VIEW rows of the tables rowset, in its order
    // Where unqualified names are looked up; empty when the database has no schemas, when it could
    // not be read, or when it lists no objects.
    QString defaultSchema;
    // Cancel was pressed while the details were read: every object is listed, with the details
    // read until then.
    bool cancelled = false;
};

// What the catalogue tree and the structure report list: the tables and views of the open
// database with their columns (and keys), read in a few requests for the whole database rather
// than a few per table. A request that fails as a whole (one broken view can make it) is
// repeated object by object, so a broken object only costs its own details.
class CatalogueReader
{
public:
    enum class Detail { Columns, ColumnsAndKeys };

    explicit CatalogueReader(Connection &connection) : m_connection(connection) {}

    // Reads as one piece of work on the connection. Throws when the tables cannot be listed.
    Catalogue read(Detail detail) const;

    // The tree panel's width for the widest column-name width (pixels, margin included).
    static int panelWidth(int widestColumn) { return widestColumn + 85; }

    static bool listed(const TableInfo &table);
    // "name: text", the name qualified when the object lies outside the default schema.
    static QString errorLine(const TableInfo &table, const QString &defaultSchema, const QString &text);
    // Said when Cancel stopped the details.
    static QString cancelledText();

private:
    Connection &m_connection;
};

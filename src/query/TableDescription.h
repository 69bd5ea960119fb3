#pragma once

#include "db/DataAccess.h"
#include "query/ReportSink.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// One row of the structure grid: key mark, name, type, size, "null"/"not null".
struct StructureRow
{
    QString key;
    QString name;
    QString type;
    QString size;
    QString null;
};

// The description of one table: its field definitions and the key and nullable lists they
// are matched against (without regard to letter case).
class TableDescription
{
public:
    struct ForeignKey
    {
        QString column;    // the column of the described table
        QString reference; // referenced "table.column"
    };

    // Reads the lists through the connection, then the field definitions through readFields (the
    // table object), as one piece of work on the connection (log is called on its worker).
    // Errors of the key reads go to log, naming the object, and the description goes on without
    // those marks; an error of the columns read leaves every column not nullable; errors of
    // readFields, and a read that Cancel stopped, propagate. Foreign keys count only when they
    // belong to the described table.
    static TableDescription read(Connection &connection, const QString &schema, const QString &name,
                                 const std::function<QList<FieldInfo>()> &readFields,
                                 const std::function<void(const QString &)> &log);
    // The same from rowsets already read for the whole catalogue: the field definitions are the
    // table's columns.
    static TableDescription fromCatalogue(const QString &schema, const QString &name,
                                          const QList<ColumnInfo> &columns,
                                          const QList<KeyColumnInfo> &primaryKeys,
                                          const QList<ForeignKeyInfo> &foreignKeys);

    QStringList primaryKeys;
    QList<ForeignKey> foreignKeys;
    QStringList nullable;
    QList<FieldInfo> fields;

    bool isPrimaryKey(const QString &column) const;
    // The first foreign key of the column, or nullptr.
    const ForeignKey *foreignKey(const QString &column) const;
    bool isNullable(const QString &column) const;

    // A primary-key column is always "not null" in the grid.
    QList<StructureRow> gridRows() const;
    // The report keeps the nullable list's word even for primary-key columns.
    QList<ReportField> reportFields() const;
};

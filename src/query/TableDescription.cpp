#include "query/TableDescription.h"

#include "query/FieldTypes.h"

#include "common/ErrorText.h"
#include "common/NameCompare.h"

namespace {

// The foreign keys of the described table only: a rowset may be wider than asked for, and a
// column that merely shares its name with another table's foreign key is not marked.
QList<TableDescription::ForeignKey> ownForeignKeys(const QString &schema, const QString &name,
                                                   const QList<ForeignKeyInfo> &rowset)
{
    QList<TableDescription::ForeignKey> keys;
    for (const ForeignKeyInfo &fk : rowset) {
        if (!sameName(fk.fkTable, name))
            continue;
        if (!schema.isEmpty() && !fk.fkSchema.isEmpty() && fk.fkSchema != schema)
            continue;
        keys.append({fk.fkColumn, fk.pkTable + QLatin1Char('.') + fk.pkColumn});
    }
    return keys;
}

QStringList nullableColumns(const QList<ColumnInfo> &columns)
{
    QStringList names;
    for (const ColumnInfo &column : columns) {
        if (column.nullable)
            names.append(column.name);
    }
    return names;
}

} // namespace

TableDescription TableDescription::read(Connection &connection, const QString &schema, const QString &name,
                                        const std::function<QList<FieldInfo>()> &readFields,
                                        const std::function<void(const QString &)> &log)
{
    TableDescription d;
    // A read that failed because the user pressed Cancel ends the description.
    auto failed = [&](const std::exception &e) {
        letLostSessionThrough(e);
        if (connection.cancelRequested())
            throw;
        log(objectErrorText(name, errorText(e)));
    };
    connection.run([&] {
        try {
            for (const KeyColumnInfo &key : connection.primaryKeys(schema, name))
                d.primaryKeys.append(key.column);
        } catch (const std::exception &e) {
            d.primaryKeys.clear();
            failed(e);
        }
        try {
            d.foreignKeys = ownForeignKeys(schema, name, connection.foreignKeys(schema, name));
        } catch (const std::exception &e) {
            d.foreignKeys.clear();
            failed(e);
        }
        try {
            d.nullable = nullableColumns(connection.columns(schema, name));
        } catch (const std::exception &e) {
            letLostSessionThrough(e);
            if (connection.cancelRequested())
                throw;
            // Without the columns rowset every column counts as not nullable.
            d.nullable.clear();
        }
        d.fields = readFields();
    });
    return d;
}

TableDescription TableDescription::fromCatalogue(const QString &schema, const QString &name,
                                                 const QList<ColumnInfo> &columns,
                                                 const QList<KeyColumnInfo> &primaryKeys,
                                                 const QList<ForeignKeyInfo> &foreignKeys)
{
    TableDescription d;
    for (const KeyColumnInfo &key : primaryKeys)
        d.primaryKeys.append(key.column);
    d.foreignKeys = ownForeignKeys(schema, name, foreignKeys);
    d.nullable = nullableColumns(columns);
    for (const ColumnInfo &column : columns)
        d.fields.append(fieldFromColumn(column));
    return d;
}

bool TableDescription::isPrimaryKey(const QString &column) const
{
    return containsName(primaryKeys, column);
}

const TableDescription::ForeignKey *TableDescription::foreignKey(const QString &column) const
{
    for (const ForeignKey &fk : foreignKeys) {
        if (sameName(fk.column, column))
            return &fk;
    }
    return nullptr;
}

bool TableDescription::isNullable(const QString &column) const
{
    return containsName(nullable, column);
}

QList<StructureRow> TableDescription::gridRows() const
{
    QList<StructureRow> rows;
    rows.reserve(fields.size());
    for (const FieldInfo &field : fields) {
        StructureRow row;
        row.name = field.name;
        row.type = fieldTypeName(field);
        row.size = fieldSizeText(field);
        const bool primary = isPrimaryKey(field.name);
        if (primary)
            row.key = QStringLiteral("PK");
        else if (foreignKey(field.name))
            row.key = QStringLiteral("FK");
        row.null = !primary && isNullable(field.name) ? QStringLiteral("null") : QStringLiteral("not null");
        rows.append(row);
    }
    return rows;
}

QList<ReportField> TableDescription::reportFields() const
{
    QList<ReportField> result;
    result.reserve(fields.size());
    for (const FieldInfo &field : fields) {
        ReportField f;
        if (isPrimaryKey(field.name)) {
            f.key = QStringLiteral("primary");
            f.hasKey = true;
        } else if (const ForeignKey *fk = foreignKey(field.name)) {
            f.key = QStringLiteral("foreign ref ") + fk->reference;
            f.hasKey = true;
        }
        f.null = isNullable(field.name) ? QStringLiteral("true") : QStringLiteral("false");
        f.size = fieldSizeText(field);
        f.type = fieldTypeName(field);
        f.name = field.name;
        result.append(f);
    }
    return result;
}

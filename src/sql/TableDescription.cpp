#include "sql/TableDescription.h"

#include "sql/FieldTypes.h"

namespace {

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

TableDescription TableDescription::read(Connection &connection, const QString &schema, const QString &name,
                                        const std::function<QList<FieldInfo>()> &readFields,
                                        const std::function<void(const QString &)> &log)
{
    TableDescription d;
    try {
        for (const KeyColumnInfo &key : connection.primaryKeys(schema, name))
            d.primaryKeys.append(key.column);
    } catch (const std::exception &e) {
        d.primaryKeys.clear();
        log(QString::fromUtf8(e.what()));
    }
    try {
        // The rowset may be wider than asked for; keep only this table's own keys, so a column
        // that merely shares its name with another table's foreign key is not marked.
        for (const ForeignKeyInfo &fk : connection.foreignKeys(schema, name)) {
            if (!sameName(fk.fkTable, name))
                continue;
            if (!schema.isEmpty() && !fk.fkSchema.isEmpty() && fk.fkSchema != schema)
                continue;
            d.foreignKeys.append({fk.fkColumn, fk.pkTable + QLatin1Char('.') + fk.pkColumn});
        }
    } catch (const std::exception &e) {
        d.foreignKeys.clear();
        log(QString::fromUtf8(e.what()));
    }
    try {
        for (const ColumnInfo &column : connection.columns(schema, name)) {
            if (column.nullable)
                d.nullable.append(column.name);
        }
    } catch (const std::exception &) {
        // Without the columns rowset every column counts as not nullable.
        d.nullable.clear();
    }
    d.fields = readFields();
    return d;
}

bool TableDescription::isPrimaryKey(const QString &column) const
{
    return primaryKeys.contains(column, Qt::CaseInsensitive);
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
    return nullable.contains(column, Qt::CaseInsensitive);
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

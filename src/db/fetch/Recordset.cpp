#include "common/NameCompare.h"
#include "db/DataAccess.h"
#include "db/fetch/RowStore.h"

Recordset::Recordset(QList<FieldInfo> fields, std::unique_ptr<RowStore> rows)
    : m_fields(std::move(fields)), m_rows(std::move(rows))
{
}

Recordset::~Recordset() = default;

int Recordset::fieldIndex(const QString &name) const
{
    int folded = -1;
    int foldedCount = 0;
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].name == name)
            return i;
        if (sameName(m_fields[i].name, name)) {
            folded = i;
            ++foldedCount;
        }
    }
    return foldedCount == 1 ? folded : -1;
}

qint64 Recordset::rowCount() const
{
    return m_rows->rowCount();
}

QVariant Recordset::value(qint64 row, int column) const
{
    return m_rows->value(row, column);
}

FieldInfo fieldFromColumn(const ColumnInfo &column)
{
    FieldInfo field;
    field.name = column.name;
    field.type = column.type;
    field.definedSize = column.definedSize;
    field.precision = column.precision;
    field.scale = column.scale;
    field.autoIncrement = column.autoIncrement;
    field.nullable = column.nullable;
    field.baseSchema = column.schema;
    field.baseTable = column.table;
    field.baseColumn = column.name;
    return field;
}

#include "query/EditAnalysis.h"

#include <QSet>

#include <algorithm>

namespace {

struct RelationFacts
{
    bool found = false;
    bool hasChildren = false; // inheritance children, or partitions of a partitioned table
    bool partitioned = false;
    bool isTable = true;
};

// PostgreSQL: what kind of relation the table is. A key of a table with inheritance children
// holds only within each table, so the parent's key can match a row of a child as well; a
// partitioned table's key holds over all its partitions.
RelationFacts postgresRelation(Connection &connection, const QString &schema, const QString &table)
{
    QString sql = QStringLiteral("SELECT c.relkind::text, EXISTS (SELECT 1 FROM pg_catalog.pg_inherits i "
                                 "WHERE i.inhparent = c.oid) "
                                 "FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n "
                                 "ON n.oid = c.relnamespace WHERE c.relname = %1");
    QList<QVariant> params{table};
    if (schema.isEmpty()) {
        sql += QStringLiteral(" AND pg_catalog.pg_table_is_visible(c.oid)");
    } else {
        sql += QStringLiteral(" AND n.nspname = %2");
        params.append(schema);
    }
    sql = params.size() == 1 ? sql.arg(connection.placeholder(1))
                             : sql.arg(connection.placeholder(1), connection.placeholder(2));
    const ExecResult r = connection.executeParams(sql, params);
    RelationFacts facts;
    if (!r.recordset || r.recordset->rowCount() != 1)
        return facts;
    facts.found = true;
    const QString kind = r.recordset->value(0, 0).toString();
    facts.partitioned = kind == QLatin1String("p");
    facts.isTable = kind == QLatin1String("r") || facts.partitioned;
    const QVariant children = r.recordset->value(0, 1);
    facts.hasChildren = children.typeId() == QMetaType::Bool
                            ? children.toBool()
                            : children.toString().startsWith(QLatin1Char('t'), Qt::CaseInsensitive) ||
                                  children.toString() == QLatin1String("1");
    return facts;
}

EditTarget readOnly(const QString &why)
{
    EditTarget target;
    target.reason = EditAnalysis::readOnlyPrefix() + why;
    return target;
}

EditTarget analyseOrThrow(Connection &connection, const QList<FieldInfo> &fields)
{
    if (connection.readOnly())
        return readOnly(QStringLiteral("Access files are opened read-only."));
    if (fields.isEmpty())
        return readOnly(QStringLiteral("it has no columns."));

    EditTarget target;
    const QString schema = fields.first().baseSchema;
    const QString table = fields.first().baseTable;
    QSet<QString> seen;
    for (const FieldInfo &f : fields) {
        if (f.baseTable.isEmpty() || f.baseColumn.isEmpty())
            return readOnly(QStringLiteral("its column %1 does not come from a table.").arg(f.name));
        if (f.baseTable != table || f.baseSchema != schema)
            return readOnly(QStringLiteral("its columns come from more than one table."));
        // Two fields over one column would write it twice with different values.
        if (seen.contains(f.baseColumn))
            return readOnly(QStringLiteral("its column %1 appears more than once.").arg(f.baseColumn));
        seen.insert(f.baseColumn);
        target.columns.append(f.baseColumn);
        target.types.append(f.type);
        target.autoIncrement.append(f.autoIncrement);
    }
    target.schema = schema;
    target.table = table;

    // Names are matched exactly: "ID" and "id" are two columns where the database says so.
    auto fieldOf = [&target](const QString &column) { return int(target.columns.indexOf(column)); };

    const QList<ColumnInfo> columns = connection.columns(schema, table);
    QList<KeyColumnInfo> keys = connection.primaryKeys(schema, table);
    std::sort(keys.begin(), keys.end(),
              [](const KeyColumnInfo &a, const KeyColumnInfo &b) { return a.ordinal < b.ordinal; });
    for (const ColumnInfo &c : columns) {
        const int f = fieldOf(c.name);
        if (f >= 0 && c.autoIncrement)
            target.autoIncrement[f] = true;
    }

    if (connection.dialect() == SqlDialect::PostgreSql) {
        const RelationFacts relation = postgresRelation(connection, schema, table);
        if (relation.found) {
            target.keyIsUnique = relation.partitioned || !relation.hasChildren;
            target.lockable = relation.isTable;
        }
    }

    QList<int> keyFields;
    for (const KeyColumnInfo &k : keys) {
        const int f = fieldOf(k.column);
        if (f < 0) {
            keyFields.clear();
            break;
        }
        keyFields.append(f);
    }
    if (!keyFields.isEmpty()) {
        target.keyFields = keyFields;
        target.editable = true;
        return target;
    }
    // Without its key every column of the table must be there to find the row again.
    bool all = !columns.isEmpty();
    for (const ColumnInfo &c : columns)
        all = all && fieldOf(c.name) >= 0;
    if (!all) {
        return readOnly(
            (keys.isEmpty()
                 ? QStringLiteral("the table %1 has no key and not all its columns are in the result.")
                 : QStringLiteral("the key columns of the table %1 are not all in the result."))
                .arg(table));
    }
    target.keyIsUnique = false;
    target.editable = true;
    return target;
}

} // namespace

namespace EditAnalysis {

QString readOnlyPrefix()
{
    return QStringLiteral("The result is read-only: ");
}

EditTarget analyse(Connection &connection, const QList<FieldInfo> &fields)
{
    try {
        return analyseOrThrow(connection, fields);
    } catch (const AppError &e) {
        letLostSessionThrough(e);
        // A cancelled analysis is no answer: whoever ran it decides what follows.
        if (connection.cancelRequested())
            throw;
        return readOnly(e.text());
    }
}

} // namespace EditAnalysis

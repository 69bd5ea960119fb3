#include "query/SqlQuoting.h"

#include "db/SqlDialectRules.h"

#include <algorithm>

QString SqlComposer::quoteIdentifier(const QString &name) const
{
    const SqlDialectRules &rules = SqlDialectRules::of(m_dialect);
    // PostgreSQL folds unquoted names to lower case: the composed queries quote every name there.
    return m_dialect == SqlDialect::PostgreSql ? rules.enclose(name) : rules.quoteIdentifier(name);
}

QString SqlComposer::qualifiedName(const QString &schema, const QString &table) const
{
    if (schema.isEmpty() || schema == m_defaultSchema)
        return quoteIdentifier(table);
    return quoteIdentifier(schema) + QLatin1Char('.') + quoteIdentifier(table);
}

QString SqlComposer::stringLiteral(const QString &text) const
{
    return SqlDialectRules::of(m_dialect).stringLiteral(text);
}

QStringList SqlComposer::selectWholeTable(const QString &schema, const QString &table,
                                          const TableMetadata &metadata) const
{
    QStringList lines{QStringLiteral("SELECT * FROM ") + qualifiedName(schema, table)};
    if (metadata.indexes.isEmpty() || metadata.indexes.front().columns.isEmpty())
        return lines;
    const auto isColumn = [&metadata](const QString &name) {
        return !name.isEmpty() && std::any_of(metadata.fields.begin(), metadata.fields.end(),
                                              [&name](const FieldInfo &field) { return field.name == name; });
    };
    const QStringList &columns = metadata.indexes.front().columns;
    if (!std::all_of(columns.begin(), columns.end(), isColumn))
        return lines;
    QStringList keys;
    for (const QString &column : columns)
        keys.append(quoteIdentifier(column));
    lines.append(QStringLiteral("ORDER BY ") + keys.join(QStringLiteral(", ")));
    return lines;
}

#include "query/SqlQuoting.h"

#include "db/SqlDialectRules.h"

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
                                          const QList<IndexInfo> &indexes) const
{
    QStringList lines{QStringLiteral("SELECT * FROM ") + qualifiedName(schema, table)};
    // An index on expressions has key columns without a name: nothing to order by then.
    const bool ordered = !indexes.isEmpty() && !indexes.front().columns.isEmpty() &&
                         !indexes.front().columns.contains(QString());
    if (ordered) {
        QStringList keys;
        for (const QString &column : indexes.front().columns)
            keys.append(quoteIdentifier(column));
        lines.append(QStringLiteral("ORDER BY ") + keys.join(QStringLiteral(", ")));
    }
    return lines;
}

#pragma once

#include "db/DataAccess.h"

#include <QString>
#include <QStringList>

// Composes SQL text for one dialect, with names and literals written by the dialect's rules
// (SqlDialectRules).
class SqlComposer
{
public:
    explicit SqlComposer(SqlDialect dialect, QString defaultSchema = QString())
        : m_dialect(dialect), m_defaultSchema(std::move(defaultSchema))
    {
    }

    SqlDialect dialect() const { return m_dialect; }

    // Every name is quoted on PostgreSQL; elsewhere a plain name stays as it is and anything
    // else (a reserved word of the dialect included) is quoted.
    QString quoteIdentifier(const QString &name) const;
    // "schema.table" when the table lies outside the default schema, else the table alone.
    QString qualifiedName(const QString &schema, const QString &table) const;
    // 'text' with every ' doubled (backslashes too on MySQL).
    QString stringLiteral(const QString &text) const;

    // The query of a double-clicked table: "SELECT * FROM t" and, when the table has an
    // index, "ORDER BY a, b" with the key columns of its first index.
    QStringList selectWholeTable(const QString &schema, const QString &table,
                                 const QList<IndexInfo> &indexes) const;

private:
    SqlDialect m_dialect;
    QString m_defaultSchema;
};

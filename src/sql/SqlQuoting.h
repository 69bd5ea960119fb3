#pragma once

#include "connection/dataaccess/DataAccess.h"

#include <QString>
#include <QStringList>

// Composes SQL text for one dialect: identifiers and literals go through here only.
class SqlComposer
{
public:
    explicit SqlComposer(SqlDialect dialect, QString defaultSchema = QString())
        : m_dialect(dialect), m_defaultSchema(std::move(defaultSchema))
    {
    }

    SqlDialect dialect() const { return m_dialect; }

    // PostgreSQL folds unquoted names to lower case, so every name is quoted there. Elsewhere
    // a plain identifier (ASCII letter or "_", then letters, digits or "_", and no reserved
    // word) stays as it is and anything else is quoted with the quote character doubled.
    QString quoteIdentifier(const QString &name) const;
    // "schema.table" when the table lies outside the default schema, else the table alone.
    QString qualifiedName(const QString &schema, const QString &table) const;
    // 'text' with every ' doubled; MySQL also reads backslashes as escapes, so those are
    // doubled too there.
    QString stringLiteral(const QString &text) const;

    // The query of a double-clicked table: "SELECT * FROM t" and, when the table has an
    // index, "ORDER BY a, b" with the key columns of its first index.
    QStringList selectWholeTable(const QString &schema, const QString &table,
                                 const QList<IndexInfo> &indexes) const;

    static bool isPlainIdentifier(const QString &name);

private:
    SqlDialect m_dialect;
    QString m_defaultSchema;
};

#include "sql/SqlQuoting.h"

#include <QSet>

namespace {

// Words that cannot name a table or column unquoted in at least one of the dialects.
const QSet<QString> &reservedWords()
{
    static const QSet<QString> words = {
        QStringLiteral("ADD"),          QStringLiteral("ALL"),          QStringLiteral("ALTER"),
        QStringLiteral("AND"),          QStringLiteral("ANY"),          QStringLiteral("AS"),
        QStringLiteral("ASC"),          QStringLiteral("BETWEEN"),      QStringLiteral("BY"),
        QStringLiteral("CASE"),         QStringLiteral("CAST"),         QStringLiteral("CHECK"),
        QStringLiteral("COLLATE"),      QStringLiteral("COLUMN"),       QStringLiteral("CONSTRAINT"),
        QStringLiteral("CREATE"),       QStringLiteral("CROSS"),        QStringLiteral("CURRENT"),
        QStringLiteral("CURRENT_DATE"), QStringLiteral("CURRENT_TIME"), QStringLiteral("CURRENT_TIMESTAMP"),
        QStringLiteral("CURRENT_USER"), QStringLiteral("DATABASE"),     QStringLiteral("DEFAULT"),
        QStringLiteral("DELETE"),       QStringLiteral("DESC"),         QStringLiteral("DISTINCT"),
        QStringLiteral("DROP"),         QStringLiteral("ELSE"),         QStringLiteral("END"),
        QStringLiteral("EXCEPT"),       QStringLiteral("EXISTS"),       QStringLiteral("FALSE"),
        QStringLiteral("FETCH"),        QStringLiteral("FOR"),          QStringLiteral("FOREIGN"),
        QStringLiteral("FROM"),         QStringLiteral("FULL"),         QStringLiteral("GRANT"),
        QStringLiteral("GROUP"),        QStringLiteral("HAVING"),       QStringLiteral("IN"),
        QStringLiteral("INDEX"),        QStringLiteral("INNER"),        QStringLiteral("INSERT"),
        QStringLiteral("INTERSECT"),    QStringLiteral("INTO"),         QStringLiteral("IS"),
        QStringLiteral("JOIN"),         QStringLiteral("KEY"),          QStringLiteral("LEFT"),
        QStringLiteral("LIKE"),         QStringLiteral("LIMIT"),        QStringLiteral("NATURAL"),
        QStringLiteral("NOT"),          QStringLiteral("NULL"),         QStringLiteral("OFFSET"),
        QStringLiteral("ON"),           QStringLiteral("OR"),           QStringLiteral("ORDER"),
        QStringLiteral("OUTER"),        QStringLiteral("PRIMARY"),      QStringLiteral("REFERENCES"),
        QStringLiteral("RIGHT"),        QStringLiteral("SELECT"),       QStringLiteral("SET"),
        QStringLiteral("SOME"),         QStringLiteral("TABLE"),        QStringLiteral("THEN"),
        QStringLiteral("TO"),           QStringLiteral("TOP"),          QStringLiteral("TRUE"),
        QStringLiteral("UNION"),        QStringLiteral("UNIQUE"),       QStringLiteral("UPDATE"),
        QStringLiteral("USER"),         QStringLiteral("USING"),        QStringLiteral("VALUES"),
        QStringLiteral("VIEW"),         QStringLiteral("WHEN"),         QStringLiteral("WHERE"),
        QStringLiteral("WITH"),
    };
    return words;
}

bool isAsciiLetter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

QString enclose(const QString &name, QChar open, QChar close)
{
    QString escaped = name;
    escaped.replace(close, QString(2, close));
    return open + escaped + close;
}

} // namespace

bool SqlComposer::isPlainIdentifier(const QString &name)
{
    if (name.isEmpty() || !(isAsciiLetter(name.front()) || name.front() == QLatin1Char('_')))
        return false;
    for (const QChar c : name) {
        if (!isAsciiLetter(c) && !isAsciiDigit(c) && c != QLatin1Char('_'))
            return false;
    }
    return !reservedWords().contains(name.toUpper());
}

QString SqlComposer::quoteIdentifier(const QString &name) const
{
    if (m_dialect == SqlDialect::PostgreSql)
        return enclose(name, QLatin1Char('"'), QLatin1Char('"'));
    if (isPlainIdentifier(name))
        return name;
    switch (m_dialect) {
    case SqlDialect::SqlServer:
    case SqlDialect::Access:
        return enclose(name, QLatin1Char('['), QLatin1Char(']'));
    case SqlDialect::MySql:
        return enclose(name, QLatin1Char('`'), QLatin1Char('`'));
    case SqlDialect::Sqlite:
    case SqlDialect::Standard:
    case SqlDialect::PostgreSql:
        break;
    }
    return enclose(name, QLatin1Char('"'), QLatin1Char('"'));
}

QString SqlComposer::qualifiedName(const QString &schema, const QString &table) const
{
    if (schema.isEmpty() || schema == m_defaultSchema)
        return quoteIdentifier(table);
    return quoteIdentifier(schema) + QLatin1Char('.') + quoteIdentifier(table);
}

QString SqlComposer::stringLiteral(const QString &text) const
{
    QString escaped = text;
    if (m_dialect == SqlDialect::MySql)
        escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    escaped.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
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

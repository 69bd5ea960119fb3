#include "query/EditStatements.h"

#include "query/CellValues.h"

namespace {

QString joined(const QStringList &parts, const char *separator)
{
    return parts.join(QLatin1String(separator));
}

bool isVaryingText(AdoType type)
{
    return type == AdoType::VarChar || type == AdoType::VarWChar || type == AdoType::BSTR;
}

} // namespace

EditStatements::EditStatements(const Connection &connection, const EditTarget &target)
    : m_connection(connection), m_target(target), m_dialect(connection.dialect())
{
}

QString EditStatements::qualifiedTable() const
{
    if (m_target.schema.isEmpty())
        return m_connection.quoteIdentifier(m_target.table);
    return m_connection.quoteIdentifier(m_target.schema) + QLatin1Char('.') +
           m_connection.quoteIdentifier(m_target.table);
}

QString EditStatements::column(int field) const
{
    return m_connection.quoteIdentifier(m_target.columns.at(field));
}

QString EditStatements::compared(int field) const
{
    // A driver may report PostgreSQL's json, xml or array columns as plain varying text, and those
    // have no "=" with text: compared as their text, which is what was read.
    if (m_dialect == SqlDialect::PostgreSql && isVaryingText(m_target.types.value(field)))
        return column(field) + QStringLiteral("::text");
    return column(field);
}

BoundStatement EditStatements::where(const QList<QVariant> &values, const QList<int> &also,
                                     int firstParam) const
{
    QList<int> fields;
    if (m_target.hasKey()) {
        fields = m_target.keyFields;
    } else {
        for (int f = 0; f < m_target.columns.size(); ++f)
            fields.append(f);
    }
    for (int f : also) {
        if (!fields.contains(f))
            fields.append(f);
    }
    BoundStatement out;
    QStringList terms;
    for (int f : fields) {
        const bool key = m_target.keyFields.contains(f);
        if (values[f].isNull()) {
            // A NULL key finds nothing for sure; the caller refuses such rows before this.
            if (key)
                throw AppError(QStringLiteral("The key column %1 is NULL.").arg(m_target.columns[f]));
            terms.append(column(f) + QStringLiteral(" IS NULL"));
        } else if (key || CellValues::comparableOnServer(m_target.types.value(f), m_dialect)) {
            out.params.append(values[f]);
            terms.append((key ? column(f) : compared(f)) + QStringLiteral(" = ") +
                         m_connection.placeholder(firstParam + int(out.params.size())));
        }
    }
    out.sql = joined(terms, " AND ");
    return out;
}

BoundStatement EditStatements::select(const BoundStatement &where) const
{
    QStringList columns;
    for (int f = 0; f < m_target.columns.size(); ++f)
        columns.append(column(f));
    QString sql =
        QStringLiteral("SELECT ") + joined(columns, ", ") + QStringLiteral(" FROM ") + qualifiedTable();
    if (m_dialect == SqlDialect::SqlServer)
        sql += QStringLiteral(" WITH (UPDLOCK, ROWLOCK)");
    if (!where.sql.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.sql;
    if (m_target.lockable && (m_dialect == SqlDialect::PostgreSql || m_dialect == SqlDialect::MySql))
        sql += QStringLiteral(" FOR UPDATE");
    return {sql, where.params};
}

QString EditStatements::suffix() const
{
    // MySQL can bound a write to one row: with MyISAM tables there is no transaction to undo more.
    if (!m_target.hasKey() && m_dialect == SqlDialect::MySql)
        return QStringLiteral(" LIMIT 1");
    return QString();
}

BoundStatement EditStatements::update(const QList<int> &changed, const QList<QVariant> &values,
                                      const QList<QVariant> &original) const
{
    BoundStatement out;
    QStringList sets;
    for (int f : changed) {
        out.params.append(values[f]);
        sets.append(column(f) + QStringLiteral(" = ") + m_connection.placeholder(int(out.params.size())));
    }
    const BoundStatement criteria = where(original, changed, int(out.params.size()));
    out.sql = QStringLiteral("UPDATE ") + qualifiedTable() + QStringLiteral(" SET ") + joined(sets, ", ");
    if (!criteria.sql.isEmpty())
        out.sql += QStringLiteral(" WHERE ") + criteria.sql;
    out.sql += suffix();
    out.params += criteria.params;
    return out;
}

BoundStatement EditStatements::remove(const BoundStatement &where) const
{
    QString sql = QStringLiteral("DELETE FROM ") + qualifiedTable();
    if (!where.sql.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.sql;
    return {sql + suffix(), where.params};
}

BoundStatement EditStatements::insert(const QList<QVariant> &values, const QList<bool> &given) const
{
    BoundStatement out;
    QStringList columns;
    QStringList marks;
    bool identityPending = false;
    for (int f = 0; f < values.size(); ++f) {
        const bool generated = m_target.autoIncrement.value(f) && values[f].isNull();
        identityPending = identityPending || generated;
        if (!given.value(f) || generated)
            continue;
        out.params.append(values[f]);
        columns.append(column(f));
        marks.append(m_connection.placeholder(int(out.params.size())));
    }
    out.sql = QStringLiteral("INSERT INTO ") + qualifiedTable();
    if (!columns.isEmpty())
        out.sql += QStringLiteral(" (") + joined(columns, ", ") + QStringLiteral(") VALUES (") +
                   joined(marks, ", ") + QLatin1Char(')');
    else if (m_dialect == SqlDialect::MySql)
        out.sql += QStringLiteral(" () VALUES ()");
    else
        out.sql += QStringLiteral(" DEFAULT VALUES");

    if (m_dialect == SqlDialect::PostgreSql) {
        QStringList all;
        for (int f = 0; f < m_target.columns.size(); ++f)
            all.append(column(f));
        out.sql += QStringLiteral(" RETURNING ") + joined(all, ", ");
    } else if (m_dialect == SqlDialect::SqlServer && identityPending) {
        out.sql += QStringLiteral("; SELECT SCOPE_IDENTITY()");
    }
    return out;
}

BoundStatement EditStatements::selectByRowid(const QVariant &rowid) const
{
    if (m_dialect != SqlDialect::Sqlite ||
        m_target.columns.contains(QLatin1String("rowid"), Qt::CaseInsensitive))
        return {};
    return select({QStringLiteral("rowid = ") + m_connection.placeholder(1), {rowid}});
}

QString EditStatements::generatedKeyQuery() const
{
    switch (m_dialect) {
    case SqlDialect::Sqlite:
        return QStringLiteral("SELECT last_insert_rowid()");
    case SqlDialect::MySql:
        return QStringLiteral("SELECT LAST_INSERT_ID()");
    default:
        return QString();
    }
}

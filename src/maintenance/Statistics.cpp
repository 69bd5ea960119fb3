#include "maintenance/Statistics.h"

#include "query/SqlQuoting.h"

#include "common/ErrorText.h"

namespace statistics {

QStringList sqlServerText()
{
    const SqlComposer sql(SqlDialect::SqlServer);
    return {
        QStringLiteral("SELECT"),
        QStringLiteral("    t.NAME AS TableName,"),
        QStringLiteral("    p.rows AS RowCounts,"),
        QStringLiteral("    SUM(a.total_pages) * 8 AS TotalSpaceKB,"),
        QStringLiteral("    SUM(a.used_pages) * 8 AS UsedSpaceKB,"),
        QStringLiteral("    (SUM(a.total_pages) - SUM(a.used_pages)) * 8 AS UnusedSpaceKB"),
        QStringLiteral("FROM"),
        QStringLiteral("    sys.tables t"),
        QStringLiteral("INNER JOIN"),
        QStringLiteral("    sys.schemas s ON s.schema_id = t.schema_id"),
        QStringLiteral("INNER JOIN"),
        QStringLiteral("    sys.indexes i ON t.OBJECT_ID = i.object_id"),
        QStringLiteral("INNER JOIN"),
        QStringLiteral("    sys.partitions p ON i.object_id = p.OBJECT_ID AND i.index_id = p.index_id"),
        QStringLiteral("INNER JOIN"),
        QStringLiteral("    sys.allocation_units a ON p.partition_id = a.container_id"),
        QStringLiteral("WHERE"),
        QStringLiteral("    t.NAME NOT LIKE ") + sql.stringLiteral(QStringLiteral("dt%")),
        QStringLiteral("    AND t.is_ms_shipped = 0"),
        QStringLiteral("    AND i.OBJECT_ID > 255"),
        QStringLiteral("GROUP BY"),
        QStringLiteral("    t.Name, s.Name, p.Rows"),
        QStringLiteral("ORDER BY"),
        QStringLiteral("    s.Name, t.Name"),
    };
}

QStringList mySqlText(const QString &defaultDatabase)
{
    const SqlComposer sql(SqlDialect::MySql);
    return {
        QStringLiteral("SELECT table_name AS TableName,"),
        QStringLiteral("table_rows AS RowCounts,"),
        QStringLiteral("ROUND(((data_length + index_length) / 1024), 2) AS SizeKB"),
        QStringLiteral("FROM information_schema.TABLES"),
        QStringLiteral("WHERE table_schema = ") + sql.stringLiteral(defaultDatabase),
    };
}

namespace {

// SQLite refuses a compound SELECT of more than 500 terms.
constexpr int TermsPerGroup = 400;

QString sqliteTerm(const SqlComposer &sql, const TableInfo &table, bool withSizes,
                   const QString &defaultSchema)
{
    QString term = QStringLiteral("SELECT ") + sql.stringLiteral(table.name) +
                   QStringLiteral(" AS TableName, COUNT(*) AS RowCounts");
    if (withSizes) {
        if (table.schema.isEmpty() || table.schema == defaultSchema)
            term += QStringLiteral(", (SELECT ROUND(SUM(pgsize) / 1024.0, 2) FROM dbstat WHERE name IN "
                                   "(SELECT name FROM sqlite_master WHERE tbl_name = ") +
                    sql.stringLiteral(table.name) + QStringLiteral(")) AS SizeKB");
        else
            term += QStringLiteral(", NULL AS SizeKB");
    }
    return term + QStringLiteral(" FROM ") + sql.qualifiedName(table.schema, table.name);
}

} // namespace

QStringList sqliteText(const QList<TableInfo> &tables, bool withSizes, const QString &defaultSchema)
{
    const SqlComposer sql(SqlDialect::Sqlite, defaultSchema);
    if (tables.isEmpty()) {
        return {withSizes ? QStringLiteral("SELECT '' AS TableName, 0 AS RowCounts, 0 AS SizeKB WHERE 0")
                          : QStringLiteral("SELECT '' AS TableName, 0 AS RowCounts WHERE 0")};
    }
    const bool grouped = tables.size() > TermsPerGroup;
    QStringList lines;
    for (int i = 0; i < tables.size(); ++i) {
        const bool groupStart = i % TermsPerGroup == 0;
        if (i > 0)
            lines.append(grouped && groupStart ? QStringLiteral(") UNION ALL") : QStringLiteral("UNION ALL"));
        if (grouped && groupStart)
            lines.append(QStringLiteral("SELECT * FROM ("));
        lines.append(sqliteTerm(sql, tables[i], withSizes, defaultSchema));
    }
    if (grouped)
        lines.append(QStringLiteral(")"));
    return lines;
}

QStringList sqliteText(Connection &connection, QStringList &skipped)
{
    QList<TableInfo> tables;
    bool withSizes = true;
    QString defaultSchema;
    connection.run([&] {
        defaultSchema = connection.defaultSchema();
        const SqlComposer sql(SqlDialect::Sqlite, defaultSchema);
        for (const TableInfo &table : connection.tables()) {
            if (table.type != QLatin1String("TABLE"))
                continue;
            // One table SQLite cannot open would fail the whole query.
            try {
                connection.execute(QStringLiteral("SELECT 1 FROM ") +
                                   sql.qualifiedName(table.schema, table.name) + QStringLiteral(" LIMIT 0"));
                tables.append(table);
            } catch (const std::exception &e) {
                letLostSessionThrough(e);
                if (connection.cancelRequested())
                    throw;
                skipped.append(objectErrorText(table.name, errorText(e)));
            }
        }
        try {
            connection.execute(QStringLiteral("SELECT 1 FROM dbstat LIMIT 0"));
        } catch (const DataAccessError &e) {
            letLostSessionThrough(e);
            if (connection.cancelRequested())
                throw;
            withSizes = false; // a build without the dbstat table
        }
    });
    return sqliteText(tables, withSizes, defaultSchema);
}

} // namespace statistics

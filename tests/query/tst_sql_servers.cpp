#include "TestServers.h"

#include "maintenance/Statistics.h"
#include "query/Query.h"
#include "query/SqlQuoting.h"
#include "query/TableDescription.h"
#include "query/TableReader.h"

#include <QTest>

// Table structure, composed queries and statistics against the PostgreSQL and MariaDB test
// servers.
class TestSqlServers : public QObject
{
    Q_OBJECT

private slots:
    void postgresDescriptionMarksForeignKeys();
    void postgresComposedQueryRunsOnMixedCaseTableInOtherSchema();
    void postgresParenthesisedQueryShowsRows();
    void mysqlDescriptionMarksKeys();
    void mysqlStatisticsFindTablesOfOddlyNamedDatabase();

private:
    static void run(Connection &connection, const QStringList &statements);
    static QList<QStringList> grid(Connection &connection, const QString &schema, const QString &table,
                                   QStringList *log);
};

void TestSqlServers::run(Connection &connection, const QStringList &statements)
{
    for (const QString &statement : statements)
        connection.execute(statement);
}

QList<QStringList> TestSqlServers::grid(Connection &connection, const QString &schema, const QString &table,
                                        QStringList *log)
{
    TableReader adoTable(&connection);
    const TableDescription d = TableDescription::read(
        connection, schema, table,
        [&] {
            adoTable.readDefinitions(schema, table);
            return adoTable.metadata().fields;
        },
        [log](const QString &text) { log->append(text); });
    QList<QStringList> rows;
    for (const StructureRow &row : d.gridRows())
        rows.append({row.key, row.name, row.type, row.size, row.null});
    for (const ReportField &f : d.reportFields())
        rows.append({f.hasKey ? f.key : QStringLiteral("<none>"), f.null});
    return rows;
}

void TestSqlServers::postgresDescriptionMarksForeignKeys()
{
    ORVESSA_REQUIRE_PG(server);
    Connection connection;
    connection.setConnectionString(
        TestServers::freshDatabase(server, QStringLiteral("orvessa_sql_describe")));
    connection.open();
    run(connection,
        {QStringLiteral("CREATE TABLE customers (id integer PRIMARY KEY, name varchar(40) NOT NULL)"),
         QStringLiteral("CREATE TABLE orders (id serial PRIMARY KEY, customer_id integer REFERENCES "
                        "customers(id), note text)"),
         // Same column name in another table, without a foreign key.
         QStringLiteral("CREATE TABLE visits (customer_id integer, at timestamp)")});
    QStringList log;
    QCOMPARE(grid(connection, QStringLiteral("public"), QStringLiteral("orders"), &log),
             (QList<QStringList>{{"PK", "id", "AutoInc", "", "not null"},
                                 {"FK", "customer_id", "Integer", "", "null"},
                                 {"", "note", "WideMemo", "", "null"},
                                 {"primary", "false"},
                                 {"foreign ref customers.id", "true"},
                                 {"<none>", "true"}}));
    QCOMPARE(grid(connection, QStringLiteral("public"), QStringLiteral("visits"), &log),
             (QList<QStringList>{{"", "customer_id", "Integer", "", "null"},
                                 {"", "at", "DateTime", "", "null"},
                                 {"<none>", "true"},
                                 {"<none>", "true"}}));
    QVERIFY2(log.isEmpty(), qPrintable(log.join(QLatin1Char('\n'))));
}

void TestSqlServers::postgresComposedQueryRunsOnMixedCaseTableInOtherSchema()
{
    ORVESSA_REQUIRE_PG(server);
    Connection connection;
    connection.setConnectionString(TestServers::freshDatabase(server, QStringLiteral("orvessa_sql_compose")));
    connection.open();
    run(connection,
        {QStringLiteral("CREATE SCHEMA \"Sales Dept\""),
         QStringLiteral("CREATE TABLE \"Sales Dept\".\"Order Lines\" (\"Line No\" integer, \"Qty\" "
                        "integer, PRIMARY KEY (\"Qty\", \"Line No\"))"),
         QStringLiteral("INSERT INTO \"Sales Dept\".\"Order Lines\" VALUES (1, 20), (2, 10)"),
         // A table of the same name in the default schema must not be the one read.
         QStringLiteral("CREATE TABLE public.\"Order Lines\" (other integer)")});
    TableReader table(&connection);
    table.readDefinitions(QStringLiteral("Sales Dept"), QStringLiteral("Order Lines"));
    const SqlComposer sql(SqlDialect::PostgreSql, connection.defaultSchema());
    const QStringList lines = sql.selectWholeTable(QStringLiteral("Sales Dept"),
                                                   QStringLiteral("Order Lines"), table.metadata().indexes);
    QCOMPARE(lines,
             (QStringList{"SELECT * FROM \"Sales Dept\".\"Order Lines\"", "ORDER BY \"Qty\", \"Line No\""}));

    Query query(&connection);
    query.setSql(lines.join(QLatin1Char('\n')));
    QVERIFY(query.run());
    QCOMPARE(query.recordset()->rowCount(), 2);
    QCOMPARE(query.recordset()->value(0, 0).toInt(), 2);
}

void TestSqlServers::postgresParenthesisedQueryShowsRows()
{
    ORVESSA_REQUIRE_PG(server);
    Connection connection;
    connection.setConnectionString(server);
    connection.open();
    Query query(&connection);
    query.setSql(QStringLiteral("(SELECT 1 AS a UNION ALL SELECT 2) ORDER BY a"));
    QVERIFY(query.run());
    QCOMPARE(query.recordset()->rowCount(), 2);
}

void TestSqlServers::mysqlDescriptionMarksKeys()
{
    ORVESSA_REQUIRE_MYSQL(server);
    Connection connection;
    connection.setConnectionString(
        TestServers::freshDatabase(server, QStringLiteral("orvessa_sql_describe")));
    connection.open();
    run(connection,
        {QStringLiteral("CREATE TABLE customers (id int PRIMARY KEY, name varchar(40) NOT NULL)"),
         QStringLiteral("CREATE TABLE orders (id int AUTO_INCREMENT PRIMARY KEY, customer_id int, "
                        "FOREIGN KEY (customer_id) REFERENCES customers(id))"),
         QStringLiteral("CREATE TABLE visits (customer_id int)")});
    QStringList log;
    QCOMPARE(grid(connection, QString(), QStringLiteral("orders"), &log),
             (QList<QStringList>{{"PK", "id", "AutoInc", "", "not null"},
                                 {"FK", "customer_id", "Integer", "", "null"},
                                 {"primary", "false"},
                                 {"foreign ref customers.id", "true"}}));
    QCOMPARE(grid(connection, QString(), QStringLiteral("visits"), &log),
             (QList<QStringList>{{"", "customer_id", "Integer", "", "null"}, {"<none>", "true"}}));
    QCOMPARE(grid(connection, QString(), QStringLiteral("customers"), &log)[1],
             (QStringList{"", "name", "WideString", "40", "not null"}));
    QVERIFY2(log.isEmpty(), qPrintable(log.join(QLatin1Char('\n'))));
}

void TestSqlServers::mysqlStatisticsFindTablesOfOddlyNamedDatabase()
{
    ORVESSA_REQUIRE_MYSQL(server);
    const QString name = QStringLiteral("o'shop\\x");
    Connection connection;
    connection.setConnectionString(TestServers::freshDatabase(server, name));
    connection.open();
    QCOMPARE(connection.defaultDatabase(), name);
    run(connection,
        {QStringLiteral("CREATE TABLE items (id int PRIMARY KEY)"),
         QStringLiteral("INSERT INTO items VALUES (1), (2)"), QStringLiteral("ANALYZE TABLE items")});
    Query query(&connection);
    query.setSql(statistics::mySqlText(connection.defaultDatabase()).join(QLatin1Char('\n')));
    QVERIFY(query.run());
    const Recordset &rows = *query.recordset();
    QCOMPARE(rows.rowCount(), 1);
    QCOMPARE(rows.value(0, rows.fieldIndex(QStringLiteral("TableName"))).toString(), QStringLiteral("items"));
    QVERIFY(rows.fieldIndex(QStringLiteral("RowCounts")) >= 0);
    QVERIFY(rows.fieldIndex(QStringLiteral("SizeKB")) >= 0);
}

QTEST_GUILESS_MAIN(TestSqlServers)
#include "tst_sql_servers.moc"

#include "maintenance/Statistics.h"

#include <QTemporaryDir>
#include <QTest>

class TestStatistics : public QObject
{
    Q_OBJECT

private slots:
    void sqlServerTextIsTheCatalogueQuery();
    void mySqlTextQuotesTheDatabaseName_data();
    void mySqlTextQuotesTheDatabaseName();
    void sqliteListsEveryTableWithItsRowCount();
    void sqliteWithoutTablesRunsAndListsNothing();
    void sqliteManyTablesStayUnderTheCompoundLimit();

private:
    std::unique_ptr<Connection> openSqlite(QTemporaryDir &dir);
};

void TestStatistics::sqlServerTextIsTheCatalogueQuery()
{
    const QStringList lines = statistics::sqlServerText();
    QCOMPARE(lines.size(), 24);
    QCOMPARE(lines.first(), QStringLiteral("SELECT"));
    QCOMPARE(lines[1], QStringLiteral("    t.NAME AS TableName,"));
    QCOMPARE(lines[5], QStringLiteral("    (SUM(a.total_pages) - SUM(a.used_pages)) * 8 AS UnusedSpaceKB"));
    QCOMPARE(lines[13],
             QStringLiteral("    sys.partitions p ON i.object_id = p.OBJECT_ID AND i.index_id = p.index_id"));
    QCOMPARE(lines[17], QStringLiteral("    t.NAME NOT LIKE 'dt%'"));
    QCOMPARE(lines[21], QStringLiteral("    t.Name, s.Name, p.Rows"));
    QCOMPARE(lines.last(), QStringLiteral("    s.Name, t.Name"));
}

void TestStatistics::mySqlTextQuotesTheDatabaseName_data()
{
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("lastLine");
    QTest::newRow("plain") << "shop"
                           << "WHERE table_schema = 'shop'";
    QTest::newRow("quote doubled") << "o'shop"
                                   << "WHERE table_schema = 'o''shop'";
    // MySQL reads a backslash in a literal as an escape: it is doubled, not left to swallow
    // the closing quote.
    QTest::newRow("backslash doubled") << "shop\\"
                                       << "WHERE table_schema = 'shop\\\\'";
    QTest::newRow("empty") << ""
                           << "WHERE table_schema = ''";
}

void TestStatistics::mySqlTextQuotesTheDatabaseName()
{
    QFETCH(QString, database);
    QFETCH(QString, lastLine);
    const QStringList lines = statistics::mySqlText(database);
    QCOMPARE(lines, (QStringList{"SELECT table_name AS TableName,", "table_rows AS RowCounts,",
                                 "ROUND(((data_length + index_length) / 1024), 2) AS SizeKB",
                                 "FROM information_schema.TABLES", lastLine}));
}

std::unique_ptr<Connection> TestStatistics::openSqlite(QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("stats.db"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return nullptr;
    file.close();
    auto connection = std::make_unique<Connection>();
    connection->setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
    connection->open();
    return connection;
}

void TestStatistics::sqliteListsEveryTableWithItsRowCount()
{
    QTemporaryDir dir;
    auto connection = openSqlite(dir);
    QVERIFY(connection);
    const char *setup[] = {
        "CREATE TABLE alpha (id INTEGER PRIMARY KEY, t TEXT)", "CREATE INDEX alpha_t ON alpha(t)",
        "INSERT INTO alpha (t) VALUES ('a'), ('b'), ('c')",    "CREATE TABLE \"o'brien \"\"items\"\"\" (x)",
        "INSERT INTO \"o'brien \"\"items\"\"\" VALUES (1)",    "CREATE TABLE empty (x)",
        "CREATE VIEW alpha_view AS SELECT * FROM alpha",
    };
    for (const char *statement : setup)
        connection->execute(QString::fromLatin1(statement));
    // A virtual table whose module this build lacks, as a file from elsewhere may hold: it
    // cannot be counted, and must not keep the others from being counted.
    connection->execute(QStringLiteral("PRAGMA writable_schema = ON"));
    connection->execute(
        QStringLiteral("INSERT INTO sqlite_schema VALUES ('table', 'gone_module', "
                       "'gone_module', 0, 'CREATE VIRTUAL TABLE gone_module USING nosuch(x)')"));
    connection->close();
    connection->open();

    QStringList skipped;
    const QStringList text = statistics::sqliteText(*connection, skipped);
    QCOMPARE(skipped, QStringList{QStringLiteral("gone_module: no such module: nosuch")});
    ExecResult result = connection->execute(text.join(QLatin1Char('\n')));
    QVERIFY(result.recordset);
    const Recordset &rows = *result.recordset;
    QCOMPARE(rows.fieldIndex(QStringLiteral("TableName")), 0);
    QCOMPARE(rows.fieldIndex(QStringLiteral("RowCounts")), 1);
    const int size = rows.fieldIndex(QStringLiteral("SizeKB"));
    QVERIFY2(size == 2, "this build of SQLite has the dbstat table");

    QMap<QString, qint64> counts;
    for (qint64 r = 0; r < rows.rowCount(); ++r) {
        counts.insert(rows.value(r, 0).toString(), rows.value(r, 1).toLongLong());
        QVERIFY(rows.value(r, size).toDouble() > 0);
    }
    const QMap<QString, qint64> expected{
        {QStringLiteral("alpha"), 3}, {QStringLiteral("empty"), 0}, {QStringLiteral("o'brien \"items\""), 1}};
    QCOMPARE(counts, expected);
}

void TestStatistics::sqliteWithoutTablesRunsAndListsNothing()
{
    QTemporaryDir dir;
    auto connection = openSqlite(dir);
    QVERIFY(connection);
    QStringList skipped;
    ExecResult result =
        connection->execute(statistics::sqliteText(*connection, skipped).join(QLatin1Char('\n')));
    QVERIFY(skipped.isEmpty());
    QVERIFY(result.recordset);
    QCOMPARE(result.recordset->rowCount(), 0);
    QCOMPARE(result.recordset->fieldIndex(QStringLiteral("TableName")), 0);
}

void TestStatistics::sqliteManyTablesStayUnderTheCompoundLimit()
{
    QTemporaryDir dir;
    auto connection = openSqlite(dir);
    QVERIFY(connection);
    connection->execute(QStringLiteral("BEGIN"));
    for (int i = 0; i < 900; ++i)
        connection->execute(QStringLiteral("CREATE TABLE t%1 (x)").arg(i, 3, 10, QLatin1Char('0')));
    connection->execute(QStringLiteral("INSERT INTO t899 VALUES (1), (2)"));
    connection->execute(QStringLiteral("COMMIT"));

    QStringList skipped;
    ExecResult result =
        connection->execute(statistics::sqliteText(*connection, skipped).join(QLatin1Char('\n')));
    QVERIFY(skipped.isEmpty());
    QVERIFY(result.recordset);
    QCOMPARE(result.recordset->rowCount(), 900);
    QCOMPARE(result.recordset->value(899, 0).toString(), QStringLiteral("t899"));
    QCOMPARE(result.recordset->value(899, 1).toLongLong(), 2);
}

QTEST_GUILESS_MAIN(TestStatistics)
#include "tst_statistics.moc"

#include "query/SqlQuoting.h"

#include "db/SqlDialectRules.h"

#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(SqlDialect)

class TestQuoting : public QObject
{
    Q_OBJECT

private slots:
    void identifiers_data();
    void identifiers();
    void qualifiedNames_data();
    void qualifiedNames();
    void stringLiterals_data();
    void stringLiterals();
    void selectWholeTable_data();
    void selectWholeTable();
    void everySqliteKeywordCanNameATableAndColumn();
};

void TestQuoting::identifiers_data()
{
    QTest::addColumn<SqlDialect>("dialect");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");

    const SqlDialect sqlite = SqlDialect::Sqlite;
    const SqlDialect pg = SqlDialect::PostgreSql;
    const SqlDialect my = SqlDialect::MySql;
    const SqlDialect ms = SqlDialect::SqlServer;
    const SqlDialect access = SqlDialect::Access;
    const SqlDialect standard = SqlDialect::Standard;

    QTest::newRow("plain sqlite") << sqlite << "Orders"
                                  << "Orders";
    QTest::newRow("plain underscore digits") << ms << "_order_2"
                                             << "_order_2";
    QTest::newRow("plain mysql") << my << "customer"
                                 << "customer";
    QTest::newRow("plain standard") << standard << "t1"
                                    << "t1";
    QTest::newRow("postgres always quoted") << pg << "orders"
                                            << "\"orders\"";
    QTest::newRow("postgres mixed case") << pg << "Orders"
                                         << "\"Orders\"";
    QTest::newRow("postgres inner quote") << pg << "a\"b"
                                          << "\"a\"\"b\"";

    QTest::newRow("blank sqlite") << sqlite << "Order Details"
                                  << "\"Order Details\"";
    QTest::newRow("blank sql server") << ms << "Order Details"
                                      << "[Order Details]";
    QTest::newRow("blank access") << access << "Order Details"
                                  << "[Order Details]";
    QTest::newRow("blank mysql") << my << "Order Details"
                                 << "`Order Details`";
    QTest::newRow("blank standard") << standard << "Order Details"
                                    << "\"Order Details\"";

    QTest::newRow("closing bracket doubled") << ms << "a]b"
                                             << "[a]]b]";
    QTest::newRow("opening bracket kept") << access << "a[b"
                                          << "[a[b]";
    QTest::newRow("backquote doubled") << my << "a`b"
                                       << "`a``b`";
    QTest::newRow("double quote doubled") << sqlite << "say \"hi\""
                                          << "\"say \"\"hi\"\"\"";
    QTest::newRow("double quote inside brackets") << ms << "a\"b"
                                                  << "[a\"b]";
    QTest::newRow("single quote") << my << "o'shop"
                                  << "`o'shop`";
    QTest::newRow("leading digit") << sqlite << "2024sales"
                                   << "\"2024sales\"";
    QTest::newRow("hyphen") << ms << "sales-2024"
                            << "[sales-2024]";
    QTest::newRow("dot") << my << "a.b"
                         << "`a.b`";
    QTest::newRow("non-Latin letters")
        << sqlite << QString::fromUtf8("Заказы") << QString::fromUtf8("\"Заказы\"");
    QTest::newRow("accented letters")
        << ms << QString::fromUtf8("Endereço") << QString::fromUtf8("[Endereço]");
    QTest::newRow("keyword") << sqlite << "order"
                             << "\"order\"";
    QTest::newRow("keyword upper case") << ms << "ORDER"
                                        << "[ORDER]";
    QTest::newRow("keyword mysql") << my << "Group"
                                   << "`Group`";
    QTest::newRow("keyword user") << ms << "user"
                                  << "[user]";
    QTest::newRow("empty name") << sqlite << ""
                                << "\"\"";
    // Words one dialect reserves and the others do not.
    QTest::newRow("mysql range") << my << "range"
                                 << "`range`";
    QTest::newRow("mysql rows") << my << "Rows"
                                << "`Rows`";
    QTest::newRow("range elsewhere") << ms << "range"
                                     << "range";
    QTest::newRow("sqlite index") << sqlite << "index"
                                  << "\"index\"";
    QTest::newRow("sqlite pragma") << sqlite << "pragma"
                                   << "\"pragma\"";
    QTest::newRow("access takes sqlite's words") << access << "pragma"
                                                 << "[pragma]";
    QTest::newRow("sql server top") << ms << "top"
                                    << "[top]";
}

void TestQuoting::identifiers()
{
    QFETCH(SqlDialect, dialect);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(SqlComposer(dialect).quoteIdentifier(name), expected);
}

void TestQuoting::qualifiedNames_data()
{
    QTest::addColumn<SqlDialect>("dialect");
    QTest::addColumn<QString>("defaultSchema");
    QTest::addColumn<QString>("schema");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("expected");

    QTest::newRow("no schema") << SqlDialect::Sqlite << "main"
                               << ""
                               << "t"
                               << "t";
    QTest::newRow("default schema") << SqlDialect::PostgreSql << "public"
                                    << "public"
                                    << "t"
                                    << "\"t\"";
    QTest::newRow("other schema pg") << SqlDialect::PostgreSql << "public"
                                     << "sales"
                                     << "t"
                                     << "\"sales\".\"t\"";
    QTest::newRow("other schema sql server") << SqlDialect::SqlServer << "dbo"
                                             << "hr staff"
                                             << "Pay Roll"
                                             << "[hr staff].[Pay Roll]";
    QTest::newRow("other schema plain") << SqlDialect::SqlServer << "dbo"
                                        << "hr"
                                        << "staff"
                                        << "hr.staff";
    QTest::newRow("attached sqlite") << SqlDialect::Sqlite << "main"
                                     << "aux"
                                     << "my t"
                                     << "aux.\"my t\"";
    QTest::newRow("schema compared exactly") << SqlDialect::PostgreSql << "public"
                                             << "Public"
                                             << "t"
                                             << "\"Public\".\"t\"";
}

void TestQuoting::qualifiedNames()
{
    QFETCH(SqlDialect, dialect);
    QFETCH(QString, defaultSchema);
    QFETCH(QString, schema);
    QFETCH(QString, table);
    QFETCH(QString, expected);
    QCOMPARE(SqlComposer(dialect, defaultSchema).qualifiedName(schema, table), expected);
}

void TestQuoting::stringLiterals_data()
{
    QTest::addColumn<SqlDialect>("dialect");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << SqlDialect::SqlServer << "dt%"
                           << "'dt%'";
    QTest::newRow("quote doubled") << SqlDialect::SqlServer << "o'shop"
                                   << "'o''shop'";
    QTest::newRow("backslash kept") << SqlDialect::Sqlite << "a\\b"
                                    << "'a\\b'";
    QTest::newRow("mysql backslash doubled") << SqlDialect::MySql << "a\\'b"
                                             << "'a\\\\''b'";
    QTest::newRow("empty") << SqlDialect::MySql << ""
                           << "''";
}

void TestQuoting::stringLiterals()
{
    QFETCH(SqlDialect, dialect);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(SqlComposer(dialect).stringLiteral(text), expected);
}

void TestQuoting::selectWholeTable_data()
{
    QTest::addColumn<SqlDialect>("dialect");
    QTest::addColumn<QString>("schema");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QList<QStringList>>("indexColumns");
    QTest::addColumn<QStringList>("expected");

    const QList<QStringList> none;
    QTest::newRow("no index") << SqlDialect::Sqlite << ""
                              << "Customers" << none << QStringList{"SELECT * FROM Customers"};
    QTest::newRow("first index only") << SqlDialect::Sqlite << ""
                                      << "Orders" << QList<QStringList>{{"A", "B"}, {"C"}}
                                      << QStringList{"SELECT * FROM Orders", "ORDER BY A, B"};
    QTest::newRow("quoted key columns")
        << SqlDialect::SqlServer << ""
        << "Order Details" << QList<QStringList>{{"Order ID", "Line"}}
        << QStringList{"SELECT * FROM [Order Details]", "ORDER BY [Order ID], Line"};
    QTest::newRow("postgres") << SqlDialect::PostgreSql << "sales"
                              << "orders" << QList<QStringList>{{"id"}}
                              << QStringList{"SELECT * FROM \"sales\".\"orders\"", "ORDER BY \"id\""};
    QTest::newRow("mysql keyword column")
        << SqlDialect::MySql << ""
        << "t" << QList<QStringList>{{"order"}} << QStringList{"SELECT * FROM t", "ORDER BY `order`"};
    QTest::newRow("expression index")
        << SqlDialect::Sqlite << ""
        << "t" << QList<QStringList>{{"a", ""}} << QStringList{"SELECT * FROM t"};
}

void TestQuoting::selectWholeTable()
{
    QFETCH(SqlDialect, dialect);
    QFETCH(QString, schema);
    QFETCH(QString, table);
    QFETCH(QList<QStringList>, indexColumns);
    QFETCH(QStringList, expected);
    QList<IndexInfo> indexes;
    for (const QStringList &columns : indexColumns) {
        IndexInfo index;
        index.columns = columns;
        indexes.append(index);
    }
    const QString defaultSchema = dialect == SqlDialect::PostgreSql ? QStringLiteral("public") : QString();
    QCOMPARE(SqlComposer(dialect, defaultSchema).selectWholeTable(schema, table, indexes), expected);
}

void TestQuoting::everySqliteKeywordCanNameATableAndColumn()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("words.db"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    Connection connection;
    connection.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
    connection.open();
    const SqlComposer sql(SqlDialect::Sqlite);
    const QStringList words = SqlDialectRules::of(SqlDialect::Sqlite).reservedWords();
    QVERIFY(words.contains(QStringLiteral("select")));
    for (const QString &word : words) {
        connection.execute(QStringLiteral("CREATE TABLE %1 (%1 INTEGER)").arg(sql.quoteIdentifier(word)));
        IndexInfo index;
        index.columns = QStringList{word};
        const QString query = sql.selectWholeTable(QString(), word, {index}).join(QLatin1Char('\n'));
        try {
            QVERIFY(connection.execute(query).recordset);
        } catch (const DataAccessError &e) {
            QFAIL(qPrintable(query + QStringLiteral(": ") + e.text()));
        }
    }
}

QTEST_GUILESS_MAIN(TestQuoting)
#include "tst_quoting.moc"

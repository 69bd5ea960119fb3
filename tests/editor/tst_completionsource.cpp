#include "editor/CompletionSource.h"

#include <QtTest>

Q_DECLARE_METATYPE(SqlDialect)

namespace {

QList<CompletionTable> catalogue()
{
    return {
        {"public", "customer", QStringList{"customer_id", "first_name", "LastName", "home phone"}},
        {"public", "invoice", QStringList{"invoice_id", "customer_id", "total"}},
        {"public", "Order Lines", QStringList{"other"}},
        {"public", "track", std::nullopt}, // not described by the tree
        {"sales", "Order Lines", QStringList{"line_no", "qty"}},
        {"sales", "region", QStringList{"id", "name"}},
    };
}

// The columns the database gives for a table the catalogue has not described.
QStringList readColumns(const QString &schema, const QString &table)
{
    if (schema == QLatin1StringView("public") && table == QLatin1StringView("track"))
        return {"track_id", "Name"};
    if (table == QLatin1StringView("pg_class"))
        return {"oid", "relname"};
    return {};
}

} // namespace

class TestCompletionSource : public QObject
{
    Q_OBJECT

private slots:
    void offersWhatTheStatementNames_data();
    void offersWhatTheStatementNames();
    void keywordsFollowTheCaseTyped();
    void undescribedTablesAreReadOnceUntilRefresh();
};

void TestCompletionSource::offersWhatTheStatementNames_data()
{
    using D = SqlDialect;
    QTest::addColumn<SqlDialect>("dialect");
    QTest::addColumn<QString>("script"); // "|" marks the cursor
    QTest::addColumn<QStringList>("texts");
    const QStringList customer{"customer_id", "first_name", "\"home phone\"", "\"LastName\""};
    QTest::newRow("alias") << D::PostgreSql << "SELECT c.| FROM customer c" << customer;
    QTest::newRow("alias after AS, typed on")
        << D::PostgreSql
        << "SELECT i.t| FROM customer AS c JOIN invoice i ON i.customer_id = "
           "c.customer_id"
        << QStringList{"total"};
    QTest::newRow("schema-qualified table")
        << D::PostgreSql << "SELECT ol.| FROM sales.\"Order Lines\" ol" << QStringList{"line_no", "qty"};
    QTest::newRow("same name in the default schema")
        << D::PostgreSql << "SELECT \"Order Lines\".| FROM \"Order Lines\"" << QStringList{"other"};
    QTest::newRow("table name as qualifier")
        << D::PostgreSql << "SELECT customer.| FROM customer" << customer;
    QTest::newRow("schema and table as qualifier")
        << D::PostgreSql << "SELECT sales.region.| FROM sales.region" << QStringList{"id", "name"};
    QTest::newRow("unknown alias") << D::PostgreSql << "SELECT x.| FROM customer c" << QStringList{};
    QTest::newRow("table the statement does not name")
        << D::PostgreSql << "SELECT invoice.| FROM customer c" << QStringList{};
    QTest::newRow("comma list") << D::PostgreSql << "SELECT * FROM customer c, invoice i WHERE i.|"
                                << QStringList{"customer_id", "invoice_id", "total"};
    QTest::newRow("UPDATE") << D::PostgreSql << "UPDATE invoice SET total = 0 WHERE invoice.t|"
                            << QStringList{"total"};
    QTest::newRow("each statement its own aliases")
        << D::PostgreSql << "SELECT c.| FROM customer c; SELECT * FROM invoice c" << customer;
    QTest::newRow("alias of a subquery's table")
        << D::PostgreSql << "SELECT * FROM (SELECT r.| FROM sales.region r) sub" << QStringList{"id", "name"};
    QTest::newRow("columns read from the database")
        << D::PostgreSql << "SELECT t.| FROM track t" << QStringList{"\"Name\"", "track_id"};
    QTest::newRow("table outside the catalogue")
        << D::PostgreSql << "SELECT c.rel| FROM pg_catalog.pg_class c" << QStringList{"relname"};
    QTest::newRow("tables of a schema")
        << D::PostgreSql << "SELECT * FROM sales.|" << QStringList{"\"Order Lines\"", "region"};
    QTest::newRow("table of the default schema")
        << D::PostgreSql << "SELECT * FROM cust|" << QStringList{"customer"};
    QTest::newRow("name begun in quotes")
        << D::PostgreSql << "SELECT * FROM \"Ord|" << QStringList{"\"Order Lines\""};
    QTest::newRow("columns of the statement's tables first")
        << D::PostgreSql << "SELECT fir| FROM customer" << QStringList{"first_name"};
    QTest::newRow("nothing in a string") << D::PostgreSql << "SELECT 'c.|' FROM customer c" << QStringList{};
    QTest::newRow("nothing in a comment") << D::PostgreSql << "SELECT 1; -- c|" << QStringList{};
    QTest::newRow("MySQL quotes") << D::MySql << "SELECT c.| FROM `customer` c"
                                  << QStringList{"customer_id", "first_name", "`home phone`", "LastName"};
    QTest::newRow("SQL Server quotes")
        << D::SqlServer << "SELECT c.h| FROM [customer] c" << QStringList{"[home phone]"};
}

void TestCompletionSource::offersWhatTheStatementNames()
{
    QFETCH(SqlDialect, dialect);
    QFETCH(QString, script);
    QFETCH(QStringList, texts);
    const qsizetype cursor = script.indexOf(QLatin1Char('|'));
    script.remove(cursor, 1);
    CompletionSource source(dialect);
    source.setCatalogue(catalogue(),
                        dialect == SqlDialect::PostgreSql ? QStringLiteral("public") : QString());
    source.setColumnReader(readColumns);
    const Completion completion = source.complete(script, cursor);
    QStringList offered;
    for (const CompletionItem &item : completion.items) {
        if (item.kind != CompletionItem::Kind::Keyword)
            offered.append(item.text);
    }
    QCOMPARE(offered, texts);
    // Choosing an item replaces exactly what was typed of the name.
    QCOMPARE(script.mid(completion.start, cursor - completion.start).endsWith(completion.prefix), true);
}

void TestCompletionSource::keywordsFollowTheCaseTyped()
{
    CompletionSource source(SqlDialect::Sqlite);
    const auto first = [&](const QString &script) {
        const Completion completion = source.complete(script, script.size());
        return completion.items.isEmpty() ? QString() : completion.items.first().text;
    };
    QCOMPARE(first(QStringLiteral("sel")), QStringLiteral("select"));
    QCOMPARE(first(QStringLiteral("Sel")), QStringLiteral("SELECT"));
    QCOMPARE(source.complete(QStringLiteral("SELECT 1 FROM t WH"), 18).start, 16);
}

void TestCompletionSource::undescribedTablesAreReadOnceUntilRefresh()
{
    CompletionSource source(SqlDialect::PostgreSql);
    source.setCatalogue(catalogue(), QStringLiteral("public"));
    int reads = 0;
    QStringList errors;
    source.setColumnReader([&](const QString &schema, const QString &table) {
        ++reads;
        if (table == QLatin1StringView("broken"))
            throw DataAccessError(QStringLiteral("permission denied"));
        return readColumns(schema, table);
    });
    source.setReadErrorHandler([&](const QString &text) { errors.append(text); });
    // Typing a table's name or a column without a qualifier never waits for the database.
    for (const char *typed :
         {"SELECT * FROM trac", "SELECT * FROM public.tr", "SELECT na FROM track t WHERE"})
        source.complete(QString::fromLatin1(typed), qsizetype(qstrlen(typed)));
    QCOMPARE(reads, 0);
    const QString script = QStringLiteral("SELECT t. FROM track t");
    for (int i = 0; i < 3; ++i)
        QCOMPARE(source.complete(script, 9).items.size(), 2);
    QCOMPARE(reads, 1);
    // Described tables are never read.
    source.complete(QStringLiteral("SELECT c. FROM customer c"), 9);
    QCOMPARE(reads, 1);
    // A failed read is said once and not repeated.
    source.complete(QStringLiteral("SELECT b. FROM broken b"), 9);
    source.complete(QStringLiteral("SELECT b. FROM broken b"), 9);
    QCOMPARE(reads, 2);
    QCOMPARE(errors, QStringList{"broken: permission denied"});
    // Refresh sets the catalogue again: the columns are read anew.
    source.setCatalogue(catalogue(), QStringLiteral("public"));
    source.complete(script, 9);
    QCOMPARE(reads, 3);
}

QTEST_GUILESS_MAIN(TestCompletionSource)
#include "tst_completionsource.moc"

#include "TestServers.h"

#include "db/Backends.h"
#include "db/fetch/RowStore.h"

#include <QtTest/QtTest>

#include <thread>

Q_DECLARE_METATYPE(AdoType)

namespace {

QStringList names(const QList<TableInfo> &tables, const QString &schema)
{
    QStringList list;
    for (const TableInfo &table : tables) {
        if (table.schema == schema)
            list.append(table.name + QLatin1Char(':') + table.type);
    }
    return list;
}

} // namespace

class TestPostgres : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void listsTablesThenViewsAndTypesSystemObjectsApart();
    void columnsOfSameNamedTablesStayInTheirSchema();
    void keysAndIndexesComeInRowsetOrder();
    void mapsEachColumnTypeOnce_data();
    void mapsEachColumnTypeOnce();
    void resultFieldsUseTheSameTypesAndNameTheirBaseColumn();
    void convertsValuesByType();
    void runsSeveralStatementsInOneText();
    void bindsNullTextAndBinaryParameters();
    void keepsTheServersErrorText();
    void connectionFailuresCarryTheClientLibrarysText_data();
    void connectionFailuresCarryTheClientLibrarysText();
    void cancelFromAnotherThreadKeepsRowsSoFar();
    void quotesIdentifiersOnlyWhenNeeded_data();
    void quotesIdentifiersOnlyWhenNeeded();

private:
    ExecResult run(const QString &sql) { return m_db->execute(sql, nullptr); }

    QString m_cs;
    std::unique_ptr<Backend> m_db;
};

void TestPostgres::initTestCase()
{
    ORVESSA_REQUIRE_PG(server);
    m_cs = TestServers::freshDatabase(server, QStringLiteral("orvessa_tst_postgres"));
    m_db = createPostgresBackend(m_cs);
    m_db->connect();
    run(QStringLiteral(R"(
CREATE DOMAIN short_code AS varchar(12);
CREATE TABLE b_table (id serial PRIMARY KEY, name varchar(30) NOT NULL, note text);
CREATE TABLE a_table (x int);
CREATE VIEW a_view AS SELECT id, name FROM b_table;
CREATE SCHEMA other;
CREATE TABLE other.b_table (other_id int NOT NULL, flag boolean);
CREATE TABLE p_b (k int PRIMARY KEY);
CREATE TABLE p_a (k1 int, k2 int, PRIMARY KEY (k2, k1));
CREATE TABLE child (
    id int PRIMARY KEY, a int, b int, code text, kb int REFERENCES p_b,
    ka1 int, ka2 int, FOREIGN KEY (ka2, ka1) REFERENCES p_a (k2, k1));
CREATE UNIQUE INDEX z_unique ON child (code);
CREATE INDEX a_index ON child (b, a);
)"));
}

void TestPostgres::cleanupTestCase()
{
    if (m_db)
        m_db->disconnect();
}

void TestPostgres::listsTablesThenViewsAndTypesSystemObjectsApart()
{
    const QList<TableInfo> tables = m_db->tables();
    QCOMPARE(names(tables, QStringLiteral("public")),
             QStringList(
                 {"a_table:TABLE", "b_table:TABLE", "child:TABLE", "p_a:TABLE", "p_b:TABLE", "a_view:VIEW"}));
    QCOMPARE(names(tables, QStringLiteral("other")), QStringList({"b_table:TABLE"}));
    QVERIFY(names(tables, QStringLiteral("pg_catalog")).contains("pg_class:SYSTEM TABLE"));
    QVERIFY(names(tables, QStringLiteral("information_schema")).contains("tables:SYSTEM VIEW"));
    QCOMPARE(tables.first().catalog, QStringLiteral("orvessa_tst_postgres"));
    QCOMPARE(m_db->defaultDatabase(), QStringLiteral("orvessa_tst_postgres"));
    QCOMPARE(m_db->defaultSchema(), QStringLiteral("public"));
}

void TestPostgres::columnsOfSameNamedTablesStayInTheirSchema()
{
    auto describe = [](const QList<ColumnInfo> &columns) {
        QStringList list;
        for (const ColumnInfo &c : columns)
            list.append(QStringLiteral("%1.%2 %3 %4")
                            .arg(c.schema, c.name)
                            .arg(c.ordinal)
                            .arg(c.nullable ? "null" : "not null"));
        return list;
    };
    QCOMPARE(describe(m_db->columns(QStringLiteral("public"), QStringLiteral("b_table"))),
             QStringList({"public.id 1 not null", "public.name 2 not null", "public.note 3 null"}));
    QCOMPARE(describe(m_db->columns(QStringLiteral("other"), QStringLiteral("b_table"))),
             QStringList({"other.other_id 1 not null", "other.flag 2 null"}));

    const TableMetadata other = m_db->tableMetadata(QStringLiteral("other"), QStringLiteral("b_table"));
    QCOMPARE(other.fields.size(), 2);
    QCOMPARE(other.fields[0].name, QStringLiteral("other_id"));
    // Without a schema the search path decides, as the server would.
    QCOMPARE(m_db->tableMetadata(QString(), QStringLiteral("b_table")).fields.size(), 3);
}

void TestPostgres::keysAndIndexesComeInRowsetOrder()
{
    QStringList pk;
    for (const KeyColumnInfo &key : m_db->primaryKeys(QStringLiteral("public"), QStringLiteral("p_a")))
        pk.append(QStringLiteral("%1:%2").arg(key.column).arg(key.ordinal));
    QCOMPARE(pk, QStringList({"k2:1", "k1:2"}));

    QStringList fks;
    for (const ForeignKeyInfo &fk : m_db->foreignKeys(QStringLiteral("public"), QStringLiteral("child")))
        fks.append(QStringLiteral("%1=%2.%3 %4").arg(fk.fkColumn, fk.pkTable, fk.pkColumn).arg(fk.ordinal));
    QCOMPARE(fks, QStringList({"ka2=p_a.k2 1", "ka1=p_a.k1 2", "kb=p_b.k 1"}));
    QVERIFY(m_db->foreignKeys(QStringLiteral("public"), QStringLiteral("p_a")).isEmpty());

    QStringList indexes;
    for (const IndexInfo &index :
         m_db->tableMetadata(QStringLiteral("public"), QStringLiteral("child")).indexes) {
        indexes.append(QStringLiteral("%1%2%3(%4)")
                           .arg(index.name, index.unique ? " unique" : "", index.primaryKey ? " pk" : "",
                                index.columns.join(QLatin1Char(','))));
    }
    QCOMPARE(indexes, QStringList({"child_pkey unique pk(id)", "z_unique unique(code)", "a_index(b,a)"}));
}

void TestPostgres::mapsEachColumnTypeOnce_data()
{
    QTest::addColumn<QString>("declaration");
    QTest::addColumn<AdoType>("type");
    QTest::addColumn<int>("size");      // -1: not checked
    QTest::addColumn<int>("precision"); // -1: not checked
    QTest::addColumn<int>("scale");
    QTest::addColumn<bool>("autoIncrement");

    QTest::newRow("int2") << "smallint" << AdoType::SmallInt << -1 << -1 << -1 << false;
    QTest::newRow("int4") << "integer" << AdoType::Integer << -1 << -1 << -1 << false;
    QTest::newRow("int8") << "bigint" << AdoType::BigInt << -1 << -1 << -1 << false;
    QTest::newRow("float4") << "real" << AdoType::Single << -1 << -1 << -1 << false;
    QTest::newRow("float8") << "double precision" << AdoType::Double << -1 << -1 << -1 << false;
    QTest::newRow("numeric(p,s)") << "numeric(10,2)" << AdoType::Numeric << -1 << 10 << 2 << false;
    QTest::newRow("numeric(p)") << "numeric(8)" << AdoType::Numeric << -1 << 8 << 0 << false;
    QTest::newRow("numeric unbounded") << "numeric" << AdoType::Numeric << -1 << 1000 << 0 << false;
    QTest::newRow("money") << "money" << AdoType::Currency << -1 << -1 << -1 << false;
    QTest::newRow("bool") << "boolean" << AdoType::Boolean << -1 << -1 << -1 << false;
    QTest::newRow("date") << "date" << AdoType::DBDate << -1 << -1 << -1 << false;
    QTest::newRow("time") << "time" << AdoType::DBTime << -1 << -1 << -1 << false;
    QTest::newRow("timestamp") << "timestamp" << AdoType::DBTimeStamp << -1 << -1 << -1 << false;
    QTest::newRow("timestamptz") << "timestamptz" << AdoType::DBTimeStamp << -1 << -1 << -1 << false;
    QTest::newRow("char(n)") << "char(5)" << AdoType::WChar << 5 << -1 << -1 << false;
    QTest::newRow("varchar(n)") << "varchar(40)" << AdoType::VarWChar << 40 << -1 << -1 << false;
    QTest::newRow("varchar") << "varchar" << AdoType::LongVarWChar << -1 << -1 << -1 << false;
    QTest::newRow("text") << "text" << AdoType::LongVarWChar << -1 << -1 << -1 << false;
    QTest::newRow("bytea") << "bytea" << AdoType::LongVarBinary << -1 << -1 << -1 << false;
    QTest::newRow("uuid") << "uuid" << AdoType::GUID << -1 << -1 << -1 << false;
    QTest::newRow("json") << "json" << AdoType::LongVarWChar << -1 << -1 << -1 << false;
    QTest::newRow("jsonb") << "jsonb" << AdoType::LongVarWChar << -1 << -1 << -1 << false;
    QTest::newRow("xml") << "xml" << AdoType::LongVarWChar << -1 << -1 << -1 << false;
    QTest::newRow("interval") << "interval" << AdoType::LongVarWChar << -1 << -1 << -1 << false;
    QTest::newRow("array") << "int[]" << AdoType::LongVarWChar << -1 << -1 << -1 << false;
    QTest::newRow("domain") << "short_code" << AdoType::VarWChar << 12 << -1 << -1 << false;
    QTest::newRow("serial") << "serial" << AdoType::Integer << -1 << -1 << -1 << true;
    QTest::newRow("bigserial") << "bigserial" << AdoType::BigInt << -1 << -1 << -1 << true;
    QTest::newRow("identity") << "int GENERATED ALWAYS AS IDENTITY" << AdoType::Integer << -1 << -1 << -1
                              << true;
}

void TestPostgres::mapsEachColumnTypeOnce()
{
    QFETCH(QString, declaration);
    QFETCH(AdoType, type);
    QFETCH(int, size);
    QFETCH(int, precision);
    QFETCH(int, scale);
    QFETCH(bool, autoIncrement);

    run(QStringLiteral("DROP TABLE IF EXISTS typed; CREATE TABLE typed (c %1)").arg(declaration));
    const TableMetadata metadata = m_db->tableMetadata(QStringLiteral("public"), QStringLiteral("typed"));
    QCOMPARE(metadata.fields.size(), 1);
    const QList<ColumnInfo> columns = m_db->columns(QStringLiteral("public"), QStringLiteral("typed"));
    QCOMPARE(columns.size(), 1);
    const ExecResult result = run(QStringLiteral("SELECT c FROM typed"));
    QVERIFY(result.recordset);

    // The catalogue and the result of a query agree on the type.
    for (const FieldInfo &field : {metadata.fields[0], result.recordset->fields()[0]}) {
        QCOMPARE(field.type, type);
        if (size >= 0)
            QCOMPARE(field.definedSize, qint64(size));
        if (precision >= 0) {
            QCOMPARE(field.precision, precision);
            QCOMPARE(field.scale, scale);
        }
        QCOMPARE(field.autoIncrement, autoIncrement);
    }
    QCOMPARE(columns[0].type, type);
    QCOMPARE(columns[0].autoIncrement, autoIncrement);
}

void TestPostgres::resultFieldsUseTheSameTypesAndNameTheirBaseColumn()
{
    const ExecResult result =
        run(QStringLiteral("SELECT o.other_id AS renamed, o.flag, 1 + 1 AS computed FROM other.b_table o"));
    QVERIFY(result.recordset);
    const QList<FieldInfo> &fields = result.recordset->fields();
    QCOMPARE(fields.size(), 3);
    QCOMPARE(fields[0].name, QStringLiteral("renamed"));
    QCOMPARE(fields[0].baseSchema, QStringLiteral("other"));
    QCOMPARE(fields[0].baseTable, QStringLiteral("b_table"));
    QCOMPARE(fields[0].baseColumn, QStringLiteral("other_id"));
    QVERIFY(!fields[0].nullable);
    QCOMPARE(fields[1].baseColumn, QStringLiteral("flag"));
    QVERIFY(fields[2].baseTable.isEmpty());
}

void TestPostgres::convertsValuesByType()
{
    const ExecResult result = run(QStringLiteral(
        "SELECT 7::int2, -8::int4, 9000000000::int8, 1.5::float8, 'NaN'::float4, true, '\\x00ff41'::bytea, "
        "'héllo'::text, NULL::int, 12.34::numeric(6,2), DATE '2024-02-29'"));
    QVERIFY(result.recordset);
    const Recordset &rs = *result.recordset;
    QCOMPARE(rs.rowCount(), 1);
    QCOMPARE(rs.value(0, 0), QVariant(qlonglong(7)));
    QCOMPARE(rs.value(0, 1), QVariant(qlonglong(-8)));
    QCOMPARE(rs.value(0, 2), QVariant(qlonglong(9000000000LL)));
    QCOMPARE(rs.value(0, 3), QVariant(1.5));
    QVERIFY(std::isnan(rs.value(0, 4).toDouble()));
    QCOMPARE(rs.value(0, 5), QVariant(true));
    QCOMPARE(rs.value(0, 6), QVariant(QByteArray("\x00\xff\x41", 3)));
    QCOMPARE(rs.value(0, 7), QVariant(QStringLiteral("héllo")));
    QVERIFY(rs.value(0, 8).isNull());
    QCOMPARE(rs.value(0, 9).toString(), QStringLiteral("12.34"));
    QCOMPARE(rs.value(0, 10).toString(), QStringLiteral("2024-02-29"));
    QVERIFY(!rs.incomplete());
}

void TestPostgres::runsSeveralStatementsInOneText()
{
    ExecResult result =
        run(QStringLiteral("CREATE TEMP TABLE m (x int); INSERT INTO m VALUES (1), (2), (3);"
                           "SELECT x FROM m ORDER BY x; UPDATE m SET x = x + 10 WHERE x > 1"));
    QVERIFY(result.recordset);
    QCOMPARE(result.recordset->rowCount(), 3);
    QCOMPARE(result.recordset->value(2, 0), QVariant(qlonglong(3)));
    QCOMPARE(result.recordsAffected, 2);

    result = run(QStringLiteral("INSERT INTO m VALUES (4); DELETE FROM m WHERE x > 3"));
    QVERIFY(!result.recordset);
    QCOMPARE(result.recordsAffected, 3);

    // Rows come back whatever precedes the first keyword.
    result = run(QStringLiteral("  /* note */ (SELECT x FROM m)"));
    QVERIFY(result.recordset);
    QCOMPARE(result.recordset->rowCount(), 1);
    result = run(QStringLiteral("SELECT x FROM m WHERE false"));
    QVERIFY(result.recordset);
    QCOMPARE(result.recordset->rowCount(), 0);
}

void TestPostgres::bindsNullTextAndBinaryParameters()
{
    run(QStringLiteral("CREATE TEMP TABLE p (id int, t text, b bytea, f boolean)"));
    const QByteArray blob("\x00\x01\xfe'\\", 5);
    const QString textValue = QStringLiteral("it's $1 – ü");
    ExecResult result =
        m_db->executeParams(QStringLiteral("INSERT INTO p VALUES ($1, $2, $3, $4), ($5, $6, $7, $8)"),
                            {1, textValue, blob, true, 2, QVariant(), QVariant(), false});
    QCOMPARE(result.recordsAffected, 2);
    QCOMPARE(m_db->placeholder(3), QStringLiteral("$3"));

    result = m_db->executeParams(QStringLiteral("SELECT t, b, f FROM p WHERE id = $1"), {1});
    QVERIFY(result.recordset);
    QCOMPARE(result.recordset->rowCount(), 1);
    QCOMPARE(result.recordset->value(0, 0), QVariant(textValue));
    QCOMPARE(result.recordset->value(0, 1), QVariant(blob));
    QCOMPARE(result.recordset->value(0, 2), QVariant(true));

    result = m_db->executeParams(
        QStringLiteral("SELECT count(*) FROM p WHERE t IS NULL AND b IS NULL AND id = $1"), {2});
    QCOMPARE(result.recordset->value(0, 0), QVariant(qlonglong(1)));
}

void TestPostgres::keepsTheServersErrorText()
{
    try {
        run(QStringLiteral("SELEC 1"));
        QFAIL("no error");
    } catch (const DataAccessError &e) {
        QVERIFY2(e.text().startsWith(QStringLiteral("ERROR:  syntax error at or near \"SELEC\"")),
                 qPrintable(e.text()));
        QVERIFY(!e.text().endsWith(QLatin1Char('\n')));
    }
    // The connection stays usable, and an error in a later statement is reported too.
    QVERIFY_THROWS_EXCEPTION(DataAccessError, run(QStringLiteral("SELECT 1; SELECT * FROM missing_table")));
    QCOMPARE(run(QStringLiteral("SELECT 1")).recordset->rowCount(), 1);
    try {
        m_db->tableMetadata(QString(), QStringLiteral("missing_table"));
        QFAIL("no error");
    } catch (const DataAccessError &e) {
        QVERIFY2(e.text().contains(QStringLiteral("relation \"missing_table\" does not exist")),
                 qPrintable(e.text()));
    }
}

void TestPostgres::connectionFailuresCarryTheClientLibrarysText_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("wrong password") << "Password"
                                    << "wrong"
                                    << "password authentication failed for user \"orvessa\"";
    QTest::newRow("unknown database") << "Initial Catalog"
                                      << "no_such_db"
                                      << "database \"no_such_db\" does not exist";
    // Port 1 on the loopback address is closed: refused at once, not after a timeout.
    QTest::newRow("closed port") << "Port"
                                 << "1"
                                 << "Connection refused";
}

void TestPostgres::connectionFailuresCarryTheClientLibrarysText()
{
    QFETCH(QString, name);
    QFETCH(QString, value);
    QFETCH(QString, expected);
    std::unique_ptr<Backend> backend = createPostgresBackend(TestServers::withEntry(m_cs, name, value));
    try {
        backend->connect();
        QFAIL("connected");
    } catch (const DataAccessError &e) {
        QVERIFY2(e.text().contains(expected), qPrintable(e.text()));
        QVERIFY(!e.text().endsWith(QLatin1Char('\n')));
    }
}

void TestPostgres::cancelFromAnotherThreadKeepsRowsSoFar()
{
    // Enough rows to leave the server's send buffer, then a long wait that only a cancel ends.
    std::atomic<qint64> fetched{0};
    ExecResult result;
    QString error;
    std::thread worker([&] {
        try {
            result = m_db->execute(QStringLiteral("SELECT g FROM generate_series(1, 200000) g "
                                                  "UNION ALL SELECT 0 FROM pg_sleep(60)"),
                                   &fetched);
        } catch (const DataAccessError &e) {
            error = e.text();
        }
    });
    QTRY_VERIFY_WITH_TIMEOUT(fetched.load() > 0, 20000);
    m_db->cancel();
    worker.join();
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(result.recordset);
    QVERIFY(result.recordset->incomplete());
    QVERIFY(result.recordset->rowCount() > 0);
    QCOMPARE(result.recordset->value(0, 0), QVariant(qlonglong(1)));
    // The next statement runs normally.
    result = run(QStringLiteral("SELECT 2"));
    QVERIFY(!result.recordset->incomplete());
    QCOMPARE(result.recordset->value(0, 0), QVariant(qlonglong(2)));
}

void TestPostgres::quotesIdentifiersOnlyWhenNeeded_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("quoted");
    QTest::newRow("plain") << "orders"
                           << "orders";
    QTest::newRow("underscore and digits") << "_order_2"
                                           << "_order_2";
    QTest::newRow("upper case") << "Orders"
                                << "\"Orders\"";
    QTest::newRow("blank") << "order lines"
                           << "\"order lines\"";
    QTest::newRow("leading digit") << "2nd"
                                   << "\"2nd\"";
    QTest::newRow("reserved word") << "user"
                                   << "\"user\"";
    QTest::newRow("inner quote") << "say \"hi\""
                                 << "\"say \"\"hi\"\"\"";
    QTest::newRow("non-ASCII") << "año"
                               << "\"año\"";
}

void TestPostgres::quotesIdentifiersOnlyWhenNeeded()
{
    QFETCH(QString, name);
    QFETCH(QString, quoted);
    QCOMPARE(m_db->quoteIdentifier(name), quoted);
}

QTEST_GUILESS_MAIN(TestPostgres)
#include "tst_postgres.moc"

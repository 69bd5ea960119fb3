#include "TestServers.h"

#include "db/Backends.h"
#include "db/fetch/RowStore.h"

#include <QtTest/QtTest>

#include <thread>

Q_DECLARE_METATYPE(AdoType)

class TestMysql : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void listsTheCurrentDatabasesTablesThenViews();
    void columnsComeFromTheCurrentDatabase();
    void keysAndIndexesComeInRowsetOrder();
    void mapsEachColumnTypeOnce_data();
    void mapsEachColumnTypeOnce();
    void resultFieldsNameTheirBaseColumn();
    void convertsValuesByType();
    void runsSeveralStatementsInOneText();
    void bindsNullTextAndBinaryParameters();
    void countsRowsAnUpdateMatchesEvenWhenUnchanged();
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

void TestMysql::initTestCase()
{
    ORVESSA_REQUIRE_MYSQL(server);
    m_cs = TestServers::freshDatabase(server, QStringLiteral("orvessa_tst_mysql"));
    TestServers::freshDatabase(server, QStringLiteral("orvessa_tst_mysql_other"));
    m_db = createMysqlBackend(m_cs);
    m_db->connect();
    run(QStringLiteral(R"(
CREATE TABLE b_table (id int AUTO_INCREMENT PRIMARY KEY, name varchar(30) NOT NULL, note text);
CREATE TABLE a_table (x int);
CREATE VIEW a_view AS SELECT id, name FROM b_table;
CREATE TABLE orvessa_tst_mysql_other.b_table (other_id int NOT NULL);
CREATE TABLE p_b (k int PRIMARY KEY);
CREATE TABLE p_a (k1 int, k2 int, PRIMARY KEY (k2, k1));
CREATE TABLE child (
    id int PRIMARY KEY, a int, b int, code varchar(10), kb int, ka1 int, ka2 int,
    CONSTRAINT fk_b FOREIGN KEY (kb) REFERENCES p_b (k),
    CONSTRAINT fk_a FOREIGN KEY (ka2, ka1) REFERENCES p_a (k2, k1),
    UNIQUE INDEX z_unique (code), INDEX a_index (b, a));
)"));
}

void TestMysql::cleanupTestCase()
{
    if (m_db) {
        run(QStringLiteral("DROP DATABASE orvessa_tst_mysql_other"));
        m_db->disconnect();
    }
}

void TestMysql::listsTheCurrentDatabasesTablesThenViews()
{
    QStringList listed;
    for (const TableInfo &table : m_db->tables()) {
        QCOMPARE(table.schema, QStringLiteral("orvessa_tst_mysql"));
        listed.append(table.name + QLatin1Char(':') + table.type);
    }
    QCOMPARE(listed, QStringList({"a_table:TABLE", "b_table:TABLE", "child:TABLE", "p_a:TABLE", "p_b:TABLE",
                                  "a_view:VIEW"}));
    QCOMPARE(m_db->defaultDatabase(), QStringLiteral("orvessa_tst_mysql"));
    QCOMPARE(m_db->defaultSchema(), QStringLiteral("orvessa_tst_mysql"));
}

void TestMysql::columnsComeFromTheCurrentDatabase()
{
    QStringList listed;
    for (const ColumnInfo &c : m_db->columns(QString(), QStringLiteral("b_table")))
        listed.append(
            QStringLiteral("%1 %2 %3").arg(c.name).arg(c.ordinal).arg(c.nullable ? "null" : "not null"));
    QCOMPARE(listed, QStringList({"id 1 not null", "name 2 not null", "note 3 null"}));

    const QList<ColumnInfo> other =
        m_db->columns(QStringLiteral("orvessa_tst_mysql_other"), QStringLiteral("b_table"));
    QCOMPARE(other.size(), 1);
    QCOMPARE(other[0].name, QStringLiteral("other_id"));
}

void TestMysql::keysAndIndexesComeInRowsetOrder()
{
    QStringList pk;
    for (const KeyColumnInfo &key : m_db->primaryKeys(QString(), QStringLiteral("p_a")))
        pk.append(QStringLiteral("%1:%2").arg(key.column).arg(key.ordinal));
    QCOMPARE(pk, QStringList({"k2:1", "k1:2"}));

    QStringList fks;
    for (const ForeignKeyInfo &fk : m_db->foreignKeys(QString(), QStringLiteral("child")))
        fks.append(QStringLiteral("%1=%2.%3 %4").arg(fk.fkColumn, fk.pkTable, fk.pkColumn).arg(fk.ordinal));
    QCOMPARE(fks, QStringList({"ka2=p_a.k2 1", "ka1=p_a.k1 2", "kb=p_b.k 1"}));
    QVERIFY(m_db->foreignKeys(QString(), QStringLiteral("p_a")).isEmpty());

    QStringList indexes;
    for (const IndexInfo &index : m_db->tableMetadata(QString(), QStringLiteral("child")).indexes) {
        indexes.append(QStringLiteral("%1%2%3(%4)")
                           .arg(index.name, index.unique ? " unique" : "", index.primaryKey ? " pk" : "",
                                index.columns.join(QLatin1Char(','))));
    }
    // The foreign keys' own indexes (fk_a, fk_b) are non-unique indexes like any other.
    QCOMPARE(indexes, QStringList({"PRIMARY unique pk(id)", "z_unique unique(code)", "a_index(b,a)",
                                   "fk_a(ka2,ka1)", "fk_b(kb)"}));
}

void TestMysql::mapsEachColumnTypeOnce_data()
{
    QTest::addColumn<QString>("declaration");
    QTest::addColumn<AdoType>("type");
    QTest::addColumn<int>("size");      // -1: not checked
    QTest::addColumn<int>("precision"); // -1: not checked
    QTest::addColumn<int>("scale");
    QTest::addColumn<bool>("autoIncrement");

    QTest::newRow("tinyint") << "tinyint" << AdoType::TinyInt << -1 << -1 << -1 << false;
    QTest::newRow("tinyint(1)") << "tinyint(1)" << AdoType::Boolean << -1 << -1 << -1 << false;
    QTest::newRow("boolean") << "boolean" << AdoType::Boolean << -1 << -1 << -1 << false;
    QTest::newRow("tinyint unsigned")
        << "tinyint unsigned" << AdoType::UnsignedTinyInt << -1 << -1 << -1 << false;
    QTest::newRow("smallint") << "smallint" << AdoType::SmallInt << -1 << -1 << -1 << false;
    QTest::newRow("smallint unsigned")
        << "smallint unsigned" << AdoType::UnsignedSmallInt << -1 << -1 << -1 << false;
    QTest::newRow("mediumint") << "mediumint" << AdoType::Integer << -1 << -1 << -1 << false;
    QTest::newRow("int") << "int" << AdoType::Integer << -1 << -1 << -1 << false;
    QTest::newRow("int unsigned") << "int unsigned" << AdoType::UnsignedInt << -1 << -1 << -1 << false;
    QTest::newRow("bigint") << "bigint" << AdoType::BigInt << -1 << -1 << -1 << false;
    QTest::newRow("bigint unsigned") << "bigint unsigned" << AdoType::UnsignedBigInt << -1 << -1 << -1
                                     << false;
    QTest::newRow("float") << "float" << AdoType::Single << -1 << -1 << -1 << false;
    QTest::newRow("double") << "double" << AdoType::Double << -1 << -1 << -1 << false;
    QTest::newRow("decimal(p,s)") << "decimal(10,2)" << AdoType::Numeric << -1 << 10 << 2 << false;
    QTest::newRow("decimal(p) unsigned")
        << "decimal(8) unsigned" << AdoType::Numeric << -1 << 8 << 0 << false;
    QTest::newRow("date") << "date" << AdoType::DBDate << -1 << -1 << -1 << false;
    QTest::newRow("time") << "time" << AdoType::DBTime << -1 << -1 << -1 << false;
    QTest::newRow("datetime") << "datetime" << AdoType::DBTimeStamp << -1 << -1 << -1 << false;
    QTest::newRow("timestamp") << "timestamp NULL" << AdoType::DBTimeStamp << -1 << -1 << -1 << false;
    QTest::newRow("year") << "year" << AdoType::SmallInt << -1 << -1 << -1 << false;
    QTest::newRow("char(n)") << "char(5)" << AdoType::WChar << 5 << -1 << -1 << false;
    QTest::newRow("varchar(n)") << "varchar(40)" << AdoType::VarWChar << 40 << -1 << -1 << false;
    QTest::newRow("text") << "text" << AdoType::LongVarWChar << -1 << -1 << -1 << false;
    QTest::newRow("longtext") << "longtext" << AdoType::LongVarWChar << -1 << -1 << -1 << false;
    QTest::newRow("json") << "json" << AdoType::LongVarWChar << -1 << -1 << -1 << false;
    QTest::newRow("binary(n)") << "binary(4)" << AdoType::Binary << 4 << -1 << -1 << false;
    QTest::newRow("varbinary(n)") << "varbinary(10)" << AdoType::VarBinary << 10 << -1 << -1 << false;
    QTest::newRow("blob") << "blob" << AdoType::LongVarBinary << -1 << -1 << -1 << false;
    QTest::newRow("longblob") << "longblob" << AdoType::LongVarBinary << -1 << -1 << -1 << false;
    QTest::newRow("enum") << "enum('a','bb')" << AdoType::VarWChar << 2 << -1 << -1 << false;
    QTest::newRow("set") << "set('x','y')" << AdoType::VarWChar << 3 << -1 << -1 << false;
    QTest::newRow("bit") << "bit(12)" << AdoType::Binary << 2 << -1 << -1 << false;
    QTest::newRow("auto_increment") << "int AUTO_INCREMENT PRIMARY KEY" << AdoType::Integer << -1 << -1 << -1
                                    << true;
}

void TestMysql::mapsEachColumnTypeOnce()
{
    QFETCH(QString, declaration);
    QFETCH(AdoType, type);
    QFETCH(int, size);
    QFETCH(int, precision);
    QFETCH(int, scale);
    QFETCH(bool, autoIncrement);

    run(QStringLiteral("DROP TABLE IF EXISTS typed; CREATE TABLE typed (c %1)").arg(declaration));
    const TableMetadata metadata = m_db->tableMetadata(QString(), QStringLiteral("typed"));
    QCOMPARE(metadata.fields.size(), 1);
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
}

void TestMysql::resultFieldsNameTheirBaseColumn()
{
    const ExecResult result =
        run(QStringLiteral("SELECT t.id AS renamed, t.note, 1 + 1 AS computed FROM b_table t"));
    QVERIFY(result.recordset);
    const QList<FieldInfo> &fields = result.recordset->fields();
    QCOMPARE(fields[0].name, QStringLiteral("renamed"));
    QCOMPARE(fields[0].baseSchema, QStringLiteral("orvessa_tst_mysql"));
    QCOMPARE(fields[0].baseTable, QStringLiteral("b_table"));
    QCOMPARE(fields[0].baseColumn, QStringLiteral("id"));
    QVERIFY(!fields[0].nullable);
    QVERIFY(fields[0].autoIncrement);
    QCOMPARE(fields[1].baseColumn, QStringLiteral("note"));
    QVERIFY(fields[2].baseTable.isEmpty());
}

void TestMysql::convertsValuesByType()
{
    run(QStringLiteral(
        "CREATE TEMPORARY TABLE v (i int, u bigint unsigned, d double, f tinyint(1), b varbinary(8), "
        "t varchar(10), n int, m decimal(6,2), dt date, bits bit(8))"));
    run(QStringLiteral(
        "INSERT INTO v VALUES (-8, 18446744073709551615, 1.5, 1, x'00ff41', 'héllo', NULL, 12.34, "
        "'2024-02-29', b'00000101')"));
    const ExecResult result = run(QStringLiteral("SELECT * FROM v"));
    QVERIFY(result.recordset);
    const Recordset &rs = *result.recordset;
    QCOMPARE(rs.rowCount(), 1);
    QCOMPARE(rs.value(0, 0), QVariant(qlonglong(-8)));
    QCOMPARE(rs.value(0, 1).toString(), QStringLiteral("18446744073709551615"));
    QCOMPARE(rs.value(0, 2), QVariant(1.5));
    QCOMPARE(rs.value(0, 3), QVariant(true));
    QCOMPARE(rs.value(0, 4), QVariant(QByteArray("\x00\xff\x41", 3)));
    QCOMPARE(rs.value(0, 5), QVariant(QStringLiteral("héllo")));
    QVERIFY(rs.value(0, 6).isNull());
    QCOMPARE(rs.value(0, 7).toString(), QStringLiteral("12.34"));
    QCOMPARE(rs.value(0, 8).toString(), QStringLiteral("2024-02-29"));
    QCOMPARE(rs.value(0, 9), QVariant(QByteArray("\x05", 1)));
    QVERIFY(!rs.incomplete());
}

void TestMysql::runsSeveralStatementsInOneText()
{
    ExecResult result =
        run(QStringLiteral("CREATE TEMPORARY TABLE m (x int); INSERT INTO m VALUES (1), (2), (3);"
                           "SELECT x FROM m ORDER BY x; UPDATE m SET x = x + 10 WHERE x > 1"));
    QVERIFY(result.recordset);
    QCOMPARE(result.recordset->rowCount(), 3);
    QCOMPARE(result.recordset->value(2, 0), QVariant(qlonglong(3)));
    QCOMPARE(result.recordsAffected, 2);

    result = run(QStringLiteral("INSERT INTO m VALUES (4); DELETE FROM m WHERE x > 3"));
    QVERIFY(!result.recordset);
    QCOMPARE(result.recordsAffected, 3);

    result = run(QStringLiteral("  /* note */ (SELECT x FROM m)"));
    QVERIFY(result.recordset);
    QCOMPARE(result.recordset->rowCount(), 1);
    result = run(QStringLiteral("SELECT x FROM m WHERE false"));
    QVERIFY(result.recordset);
    QCOMPARE(result.recordset->rowCount(), 0);
    run(QStringLiteral("DROP TEMPORARY TABLE m"));
}

void TestMysql::bindsNullTextAndBinaryParameters()
{
    run(QStringLiteral("CREATE TEMPORARY TABLE p (id int, t text, b blob, f tinyint(1), d double)"));
    const QByteArray blob("\x00\x01\xfe'\\", 5);
    const QString textValue = QStringLiteral("it's ? – ü \\");
    ExecResult result =
        m_db->executeParams(QStringLiteral("INSERT INTO p VALUES (?, ?, ?, ?, ?), (?, ?, ?, ?, ?)"),
                            {1, textValue, blob, true, 2.25, 2, QVariant(), QVariant(), false, QVariant()});
    QCOMPARE(result.recordsAffected, 2);

    result = m_db->executeParams(QStringLiteral("SELECT t, b, f, d, id FROM p WHERE id = ?"), {1});
    QVERIFY(result.recordset);
    QCOMPARE(result.recordset->rowCount(), 1);
    QCOMPARE(result.recordset->value(0, 0), QVariant(textValue));
    QCOMPARE(result.recordset->value(0, 1), QVariant(blob));
    QCOMPARE(result.recordset->value(0, 2), QVariant(true));
    QCOMPARE(result.recordset->value(0, 3), QVariant(2.25));
    QCOMPARE(result.recordset->value(0, 4), QVariant(qlonglong(1)));

    result = m_db->executeParams(QStringLiteral("SELECT t, b FROM p WHERE id = ?"), {2});
    QVERIFY(result.recordset->value(0, 0).isNull());
    QVERIFY(result.recordset->value(0, 1).isNull());

    QVERIFY_THROWS_EXCEPTION(DataAccessError, m_db->executeParams(QStringLiteral("SELECT ?"), {}));
    run(QStringLiteral("DROP TEMPORARY TABLE p"));
}

void TestMysql::countsRowsAnUpdateMatchesEvenWhenUnchanged()
{
    // A posted edit that writes the values the row already has must not look like a lost row.
    run(QStringLiteral(
        "CREATE TEMPORARY TABLE same (id int PRIMARY KEY, v int); INSERT INTO same VALUES (1, 5)"));
    QCOMPARE(
        m_db->executeParams(QStringLiteral("UPDATE same SET v = ? WHERE id = ?"), {5, 1}).recordsAffected, 1);
    QCOMPARE(run(QStringLiteral("UPDATE same SET v = 5 WHERE id = 1")).recordsAffected, 1);
    run(QStringLiteral("DROP TEMPORARY TABLE same"));
}

void TestMysql::keepsTheServersErrorText()
{
    try {
        run(QStringLiteral("SELEC 1"));
        QFAIL("no error");
    } catch (const DataAccessError &e) {
        QVERIFY2(e.text().startsWith(QStringLiteral("You have an error in your SQL syntax")),
                 qPrintable(e.text()));
        QVERIFY2(e.text().contains(QStringLiteral("near 'SELEC 1' at line 1")), qPrintable(e.text()));
    }
    try {
        run(QStringLiteral("SELECT 1; SELECT * FROM missing_table"));
        QFAIL("no error");
    } catch (const DataAccessError &e) {
        QCOMPARE(e.text(), QStringLiteral("Table 'orvessa_tst_mysql.missing_table' doesn't exist"));
    }
    QCOMPARE(run(QStringLiteral("SELECT 1")).recordset->rowCount(), 1);
    QVERIFY_THROWS_EXCEPTION(DataAccessError,
                             m_db->tableMetadata(QString(), QStringLiteral("missing_table")));
}

void TestMysql::connectionFailuresCarryTheClientLibrarysText_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("wrong password") << "Password"
                                    << "wrong"
                                    << "Access denied for user 'orvessa'";
    QTest::newRow("unknown database") << "Initial Catalog"
                                      << "no_such_db"
                                      << "Unknown database 'no_such_db'";
    // Port 1 on the loopback address is closed: refused at once, not after a timeout.
    QTest::newRow("closed port") << "Port"
                                 << "1"
                                 << "Can't connect to server on '127.0.0.1'";
}

void TestMysql::connectionFailuresCarryTheClientLibrarysText()
{
    QFETCH(QString, name);
    QFETCH(QString, value);
    QFETCH(QString, expected);
    std::unique_ptr<Backend> backend = createMysqlBackend(TestServers::withEntry(m_cs, name, value));
    try {
        backend->connect();
        QFAIL("connected");
    } catch (const DataAccessError &e) {
        QVERIFY2(e.text().contains(expected), qPrintable(e.text()));
    }
}

void TestMysql::cancelFromAnotherThreadKeepsRowsSoFar()
{
    // Rows stream out until the last one, which waits for a minute unless cancelled.
    std::atomic<qint64> fetched{0};
    ExecResult result;
    QString error;
    std::thread worker([&] {
        try {
            result = m_db->execute(
                QStringLiteral("SELECT seq, IF(seq = 200000, SLEEP(60), 0) FROM seq_1_to_200000"), &fetched);
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
    QVERIFY(result.recordset->rowCount() < 200000);
    QCOMPARE(result.recordset->value(0, 0), QVariant(qlonglong(1)));
    result = run(QStringLiteral("SELECT 2"));
    QVERIFY(!result.recordset->incomplete());
    QCOMPARE(result.recordset->value(0, 0), QVariant(qlonglong(2)));
}

void TestMysql::quotesIdentifiersOnlyWhenNeeded_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("quoted");
    QTest::newRow("plain") << "Orders_2"
                           << "Orders_2";
    QTest::newRow("blank") << "order lines"
                           << "`order lines`";
    QTest::newRow("leading digit") << "2nd"
                                   << "`2nd`";
    QTest::newRow("reserved word") << "Order"
                                   << "`Order`";
    QTest::newRow("inner backquote") << "a`b"
                                     << "`a``b`";
    QTest::newRow("hyphen") << "a-b"
                            << "`a-b`";
}

void TestMysql::quotesIdentifiersOnlyWhenNeeded()
{
    QFETCH(QString, name);
    QFETCH(QString, quoted);
    QCOMPARE(m_db->quoteIdentifier(name), quoted);
}

QTEST_GUILESS_MAIN(TestMysql)
#include "tst_mysql.moc"

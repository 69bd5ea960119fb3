#include "TestServers.h"

#include "db/Backends.h"
#include "db/ConnectionString.h"
#include "db/fetch/RowStore.h"
#include "db/odbc/OdbcConnectionString.h"

#include <QTemporaryDir>
#include <QtTest/QtTest>

#include <thread>

Q_DECLARE_METATYPE(AdoType)

namespace {

QStringList describeIndexes(const QList<IndexInfo> &indexes)
{
    QStringList list;
    for (const IndexInfo &index : indexes) {
        list.append(QStringLiteral("%1%2%3(%4)")
                        .arg(index.name, index.unique ? " unique" : "", index.primaryKey ? " pk" : "",
                             index.columns.join(QLatin1Char(','))));
    }
    return list;
}

} // namespace

class TestOdbc : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void mapsConnectionStringsForTheDriverManager_data();
    void mapsConnectionStringsForTheDriverManager();
    void sqlServerOnAClosedPortFailsWithTheDriversText();

    void sqliteDriverListsAndRunsLikeAnyProvider();
    void sqliteDriverBindsNullTextAndBinaryParameters();
    void sqliteDriverKeepsItsErrorText();

    void postgresDriverMapsEachColumnType_data();
    void postgresDriverMapsEachColumnType();
    void postgresDriverGivesKeysAndIndexesInRowsetOrder();
    void postgresDriverReportsAWrongPassword();
    void cancelFromAnotherThreadKeepsRowsSoFar();
    void mariadbDriverListsOnlyTheCurrentDatabase();

private:
    // The test server's fresh database through the PostgreSQL driver, opened once.
    void openPg(const QString &server)
    {
        if (m_pg)
            return;
        m_pg = createOdbcBackend(TestServers::pgOdbcConnectionString(
                                     TestServers::freshDatabase(server, QStringLiteral("orvessa_tst_odbc"))),
                                 false);
        m_pg->connect();
    }

    QTemporaryDir m_dir;
    QString m_sqlite;
    std::unique_ptr<Backend> m_pg;
};

void TestOdbc::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_sqlite = QStringLiteral("Driver=SQLite3;Database=%1").arg(m_dir.filePath(QStringLiteral("odbc.db")));
}

void TestOdbc::mapsConnectionStringsForTheDriverManager_data()
{
    QTest::addColumn<QString>("connectionString");
    QTest::addColumn<bool>("sqlServer");
    QTest::addColumn<QString>("expected");

    QTest::newRow("string made on Windows")
        << "Provider=SQLOLEDB.1;Password=x;Persist Security Info=True;User ID=sa;Initial Catalog=Sales;Data "
           "Source=SRV"
        << true << "Driver=FreeTDS;Server=SRV;Port=1433;Database=Sales;UID=sa;PWD=x;TDS_Version=7.4";
    QTest::newRow("host and port")
        << "Provider=SQLNCLI11;Data Source=db.example.com,1444;Initial Catalog=Sales;User ID=app;Password=p"
        << true
        << "Driver=FreeTDS;Server=db.example.com;Port=1444;Database=Sales;UID=app;PWD=p;TDS_Version=7.4";
    QTest::newRow("named instance") << "Provider=MSOLEDBSQL;Data Source=SRV\\SQLEXPRESS;User ID=sa;Password=x"
                                    << true
                                    << "Driver=FreeTDS;Server=SRV\\SQLEXPRESS;UID=sa;PWD=x;TDS_Version=7.4";
    QTest::newRow("local machine")
        << "Provider=SQLOLEDB;Data Source=(local);User ID=sa;Password=x" << true
        << "Driver=FreeTDS;Server=localhost;Port=1433;UID=sa;PWD=x;TDS_Version=7.4";
    QTest::newRow("password with separators")
        << "Provider=SQLOLEDB;Data Source=SRV;User ID=sa;Password=\"a;b}c\"" << true
        << "Driver=FreeTDS;Server=SRV;Port=1433;UID=sa;PWD={a;b}}c};TDS_Version=7.4";
    QTest::newRow("pass-through") << "Provider=MSDASQL;Driver={SQLite3};Database=/tmp/x.db" << false
                                  << "Driver=SQLite3;Database=/tmp/x.db";
    QTest::newRow("data source names a DSN")
        << "Provider=MSDASQL.1;Persist Security Info=False;User ID=u;Password=p;Data Source=Sales" << false
        << "UID=u;PWD=p;DSN=Sales";
    QTest::newRow("extended properties")
        << "Provider=MSDASQL.1;Extended Properties=\"DSN=Sales;UID=u;PWD={p;q}\"" << false
        << "DSN=Sales;UID=u;PWD={p;q}";
}

void TestOdbc::mapsConnectionStringsForTheDriverManager()
{
    QFETCH(QString, connectionString);
    QFETCH(bool, sqlServer);
    QFETCH(QString, expected);
    QCOMPARE(odbcConnectionString(connectionString, sqlServer), expected);
}

void TestOdbc::sqlServerOnAClosedPortFailsWithTheDriversText()
{
    std::unique_ptr<Backend> backend = createOdbcBackend(
        QStringLiteral(
            "Provider=SQLOLEDB.1;Data Source=127.0.0.1,1;Initial Catalog=Sales;User ID=sa;Password=x"),
        true);
    QCOMPARE(backend->dialect(), SqlDialect::SqlServer);
    try {
        backend->connect();
        QFAIL("connected");
    } catch (const DataAccessError &e) {
        QVERIFY2(e.text().contains(QStringLiteral("[FreeTDS]")), qPrintable(e.text()));
        QVERIFY2(e.text().contains(QStringLiteral("Unable to connect")), qPrintable(e.text()));
    }
}

void TestOdbc::sqliteDriverListsAndRunsLikeAnyProvider()
{
    std::unique_ptr<Backend> db = createOdbcBackend(m_sqlite, false);
    db->connect();
    QCOMPARE(db->dialect(), SqlDialect::Sqlite);
    // This driver runs one statement per call.
    for (const char *sql :
         {"CREATE TABLE b_items (id INTEGER PRIMARY KEY, name VARCHAR(30) NOT NULL, price NUMERIC(10,2))",
          "CREATE TABLE a_items (x INTEGER)", "CREATE VIEW a_view AS SELECT id, name FROM b_items",
          "CREATE TABLE my_table (z INTEGER)", "CREATE TABLE myXtable (y INTEGER)",
          "INSERT INTO b_items (name, price) VALUES ('one', 1.5)",
          "INSERT INTO b_items (name, price) VALUES ('two', NULL)"})
        db->execute(QString::fromUtf8(sql), nullptr);

    QStringList listed;
    for (const TableInfo &table : db->tables()) {
        if (table.type == QLatin1String("TABLE") || table.type == QLatin1String("VIEW"))
            listed.append(table.name + QLatin1Char(':') + table.type);
    }
    QCOMPARE(listed, QStringList({"a_items:TABLE", "b_items:TABLE", "my_table:TABLE", "myXtable:TABLE",
                                  "a_view:VIEW"}));

    QStringList columns;
    for (const ColumnInfo &c : db->columns(QString(), QStringLiteral("b_items")))
        columns.append(QStringLiteral("%1 %2").arg(c.name, c.nullable ? "null" : "not null"));
    QCOMPARE(columns, QStringList({"id null", "name not null", "price null"}));
    // "_" is a pattern character of the catalogue calls: only the table of that exact name counts.
    const QList<ColumnInfo> underscore = db->columns(QString(), QStringLiteral("my_table"));
    QCOMPARE(underscore.size(), 1);
    QCOMPARE(underscore[0].name, QStringLiteral("z"));

    ExecResult result =
        db->execute(QStringLiteral("SELECT id, name, price FROM b_items ORDER BY id"), nullptr);
    QVERIFY(result.recordset);
    QCOMPARE(result.recordset->rowCount(), 2);
    QCOMPARE(result.recordset->value(0, 0), QVariant(qlonglong(1)));
    QCOMPARE(result.recordset->value(1, 1), QVariant(QStringLiteral("two")));
    QVERIFY(result.recordset->value(1, 2).isNull());
    QCOMPARE(result.recordset->fields()[1].name, QStringLiteral("name"));

    result = db->execute(QStringLiteral("UPDATE b_items SET price = 2 WHERE id > 0"), nullptr);
    QVERIFY(!result.recordset);
    QCOMPARE(result.recordsAffected, 2);
    result = db->execute(QStringLiteral("DELETE FROM b_items WHERE id > 100"), nullptr);
    QCOMPARE(result.recordsAffected, 0);
}

void TestOdbc::sqliteDriverBindsNullTextAndBinaryParameters()
{
    std::unique_ptr<Backend> db = createOdbcBackend(m_sqlite, false);
    db->connect();
    db->execute(QStringLiteral("CREATE TABLE p (id INTEGER, t TEXT, b BLOB)"), nullptr);
    const QByteArray blob("\x00\x01\xfe'", 4);
    const QString textValue = QStringLiteral("it's ? – ü");
    ExecResult result =
        db->executeParams(QStringLiteral("INSERT INTO p VALUES (?, ?, ?)"), {1, textValue, blob});
    QCOMPARE(result.recordsAffected, 1);
    db->executeParams(QStringLiteral("INSERT INTO p VALUES (?, ?, ?)"), {2, QVariant(), QVariant()});

    result = db->executeParams(QStringLiteral("SELECT t, b FROM p WHERE id = ?"), {1});
    QVERIFY(result.recordset);
    QCOMPARE(result.recordset->rowCount(), 1);
    QCOMPARE(result.recordset->value(0, 0), QVariant(textValue));
    QCOMPARE(result.recordset->value(0, 1), QVariant(blob));
    result = db->executeParams(
        QStringLiteral("SELECT count(*) FROM p WHERE t IS NULL AND b IS NULL AND id = ?"), {2});
    QCOMPARE(result.recordset->value(0, 0).toLongLong(), 1);
}

void TestOdbc::sqliteDriverKeepsItsErrorText()
{
    std::unique_ptr<Backend> db = createOdbcBackend(m_sqlite, false);
    db->connect();
    try {
        db->execute(QStringLiteral("SELEC 1"), nullptr);
        QFAIL("no error");
    } catch (const DataAccessError &e) {
        QVERIFY2(e.text().contains(QStringLiteral("near \"SELEC\": syntax error")), qPrintable(e.text()));
    }
    std::unique_ptr<Backend> missing =
        createOdbcBackend(QStringLiteral("Driver=No Such Driver;Database=x"), false);
    try {
        missing->connect();
        QFAIL("connected");
    } catch (const DataAccessError &e) {
        QVERIFY2(e.text().contains(QStringLiteral("[unixODBC][Driver Manager]")), qPrintable(e.text()));
    }
}

void TestOdbc::postgresDriverMapsEachColumnType_data()
{
    QTest::addColumn<QString>("declaration");
    QTest::addColumn<AdoType>("type");
    QTest::addColumn<int>("size");      // -1: not checked
    QTest::addColumn<int>("precision"); // -1: not checked
    QTest::addColumn<int>("scale");

    QTest::newRow("SQL_SMALLINT") << "smallint" << AdoType::SmallInt << -1 << -1 << -1;
    QTest::newRow("SQL_INTEGER") << "integer" << AdoType::Integer << -1 << -1 << -1;
    QTest::newRow("SQL_BIGINT") << "bigint" << AdoType::BigInt << -1 << -1 << -1;
    QTest::newRow("SQL_REAL") << "real" << AdoType::Single << -1 << -1 << -1;
    QTest::newRow("SQL_FLOAT") << "double precision" << AdoType::Double << -1 << -1 << -1;
    QTest::newRow("SQL_NUMERIC") << "numeric(10,2)" << AdoType::Numeric << -1 << 10 << 2;
    QTest::newRow("SQL_TYPE_DATE") << "date" << AdoType::DBDate << -1 << -1 << -1;
    QTest::newRow("SQL_TYPE_TIME") << "time" << AdoType::DBTime << -1 << -1 << -1;
    QTest::newRow("SQL_TYPE_TIMESTAMP") << "timestamp" << AdoType::DBTimeStamp << -1 << -1 << -1;
    QTest::newRow("SQL_WCHAR") << "char(5)" << AdoType::WChar << 5 << -1 << -1;
    QTest::newRow("SQL_WVARCHAR") << "varchar(40)" << AdoType::VarWChar << 40 << -1 << -1;
    QTest::newRow("SQL_WLONGVARCHAR") << "text" << AdoType::LongVarWChar << -1 << -1 << -1;
    QTest::newRow("SQL_GUID") << "uuid" << AdoType::GUID << -1 << -1 << -1;
}

void TestOdbc::postgresDriverMapsEachColumnType()
{
    ORVESSA_REQUIRE_PG(server);
    openPg(server);
    QFETCH(QString, declaration);
    QFETCH(AdoType, type);
    QFETCH(int, size);
    QFETCH(int, precision);
    QFETCH(int, scale);

    m_pg->execute(QStringLiteral("DROP TABLE IF EXISTS typed; CREATE TABLE typed (c %1)").arg(declaration),
                  nullptr);
    const TableMetadata metadata = m_pg->tableMetadata(QString(), QStringLiteral("typed"));
    QCOMPARE(metadata.fields.size(), 1);
    const ExecResult result = m_pg->execute(QStringLiteral("SELECT c FROM typed"), nullptr);
    QVERIFY(result.recordset);
    for (const FieldInfo &field : {metadata.fields[0], result.recordset->fields()[0]}) {
        QCOMPARE(field.type, type);
        if (size >= 0)
            QCOMPARE(field.definedSize, qint64(size));
        if (precision >= 0) {
            QCOMPARE(field.precision, precision);
            QCOMPARE(field.scale, scale);
        }
    }
}

void TestOdbc::postgresDriverGivesKeysAndIndexesInRowsetOrder()
{
    ORVESSA_REQUIRE_PG(server);
    openPg(server);
    QCOMPARE(m_pg->dialect(), SqlDialect::PostgreSql);
    QCOMPARE(m_pg->defaultDatabase(), QStringLiteral("orvessa_tst_odbc"));
    m_pg->execute(QStringLiteral(R"(
CREATE TABLE p_b (k int PRIMARY KEY);
CREATE TABLE p_a (k1 int, k2 int, PRIMARY KEY (k2, k1));
CREATE TABLE child (
    id int PRIMARY KEY, a int, b int, code text, kb int REFERENCES p_b,
    ka1 int, ka2 int, FOREIGN KEY (ka2, ka1) REFERENCES p_a (k2, k1));
CREATE UNIQUE INDEX z_unique ON child (code);
CREATE INDEX a_index ON child (b, a);
CREATE VIEW v_child AS SELECT id FROM child;
)"),
                  nullptr);

    QStringList listed;
    for (const TableInfo &table : m_pg->tables()) {
        if (table.schema == QLatin1String("public") && table.name != QLatin1String("typed"))
            listed.append(table.name + QLatin1Char(':') + table.type);
    }
    QCOMPARE(listed, QStringList({"child:TABLE", "p_a:TABLE", "p_b:TABLE", "v_child:VIEW"}));

    QStringList pk;
    for (const KeyColumnInfo &key : m_pg->primaryKeys(QStringLiteral("public"), QStringLiteral("p_a")))
        pk.append(QStringLiteral("%1:%2").arg(key.column).arg(key.ordinal));
    QCOMPARE(pk, QStringList({"k2:1", "k1:2"}));

    QStringList fks;
    for (const ForeignKeyInfo &fk : m_pg->foreignKeys(QStringLiteral("public"), QStringLiteral("child")))
        fks.append(QStringLiteral("%1=%2.%3 %4").arg(fk.fkColumn, fk.pkTable, fk.pkColumn).arg(fk.ordinal));
    QCOMPARE(fks, QStringList({"ka2=p_a.k2 1", "ka1=p_a.k1 2", "kb=p_b.k 1"}));

    QCOMPARE(describeIndexes(m_pg->tableMetadata(QStringLiteral("public"), QStringLiteral("child")).indexes),
             QStringList({"child_pkey unique pk(id)", "z_unique unique(code)", "a_index(b,a)"}));
}

void TestOdbc::postgresDriverReportsAWrongPassword()
{
    ORVESSA_REQUIRE_PG(server);
    std::unique_ptr<Backend> backend =
        createOdbcBackend(TestServers::pgOdbcConnectionString(TestServers::withEntry(
                              server, QStringLiteral("Password"), QStringLiteral("wrong"))),
                          false);
    try {
        backend->connect();
        QFAIL("connected");
    } catch (const DataAccessError &e) {
        QVERIFY2(e.text().contains(QStringLiteral("password authentication failed for user \"orvessa\"")),
                 qPrintable(e.text()));
    }
}

void TestOdbc::cancelFromAnotherThreadKeepsRowsSoFar()
{
    ORVESSA_REQUIRE_PG(server);
    openPg(server);
    std::atomic<qint64> fetched{0};
    ExecResult result;
    QString error;
    std::thread worker([&] {
        try {
            result = m_pg->execute(QStringLiteral("SELECT g FROM generate_series(1, 200000) g "
                                                  "UNION ALL SELECT 0 FROM pg_sleep(60)"),
                                   &fetched);
        } catch (const DataAccessError &e) {
            error = e.text();
        }
    });
    QTRY_VERIFY_WITH_TIMEOUT(fetched.load() > 0, 30000);
    m_pg->cancel();
    worker.join();
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(result.recordset);
    QVERIFY(result.recordset->incomplete());
    QVERIFY(result.recordset->rowCount() > 0);
    QCOMPARE(result.recordset->value(0, 0), QVariant(qlonglong(1)));
    result = m_pg->execute(QStringLiteral("SELECT 2"), nullptr);
    QCOMPARE(result.recordset->value(0, 0).toLongLong(), 2);
}

void TestOdbc::mariadbDriverListsOnlyTheCurrentDatabase()
{
    ORVESSA_REQUIRE_MYSQL(server);
    const ConnectionString cs(TestServers::freshDatabase(server, QStringLiteral("orvessa_tst_odbc")));
    TestServers::freshDatabase(server, QStringLiteral("orvessa_tst_odbc_other"));
    std::unique_ptr<Backend> db = createOdbcBackend(
        QStringLiteral("Driver={MariaDB Unicode};Server=%1;Port=%2;Database=%3;UID=%4;PWD=%5")
            .arg(cs.value(QStringLiteral("Data Source")), cs.value(QStringLiteral("Port")),
                 cs.value(QStringLiteral("Initial Catalog")), cs.value(QStringLiteral("User ID")),
                 cs.value(QStringLiteral("Password"))),
        false);
    db->connect();
    QCOMPARE(db->dialect(), SqlDialect::MySql);
    db->execute(QStringLiteral("CREATE TABLE mine (id int PRIMARY KEY)"), nullptr);
    db->execute(QStringLiteral("CREATE TABLE orvessa_tst_odbc_other.theirs (id int)"), nullptr);

    QStringList listed;
    for (const TableInfo &table : db->tables())
        listed.append(table.name);
    QCOMPARE(listed, QStringList({"mine"}));
    QCOMPARE(db->primaryKeys(QString(), QStringLiteral("mine")).size(), 1);
    db->execute(QStringLiteral("DROP DATABASE orvessa_tst_odbc_other"), nullptr);
}

QTEST_GUILESS_MAIN(TestOdbc)
#include "tst_odbc.moc"

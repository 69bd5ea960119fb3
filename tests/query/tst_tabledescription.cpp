#include "query/TableDescription.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

// A backend whose rowsets are set by the test, and which fails a read on request.
class FakeBackend : public Backend
{
public:
    QList<KeyColumnInfo> pks;
    QList<ForeignKeyInfo> fks;
    QList<ColumnInfo> cols;
    QString failPrimaryKeys, failForeignKeys, failColumns;
    bool cancelled = false;

    void connect() override {}
    void disconnect() override {}
    SqlDialect dialect() const override { return SqlDialect::Standard; }
    QString defaultDatabase() override { return QString(); }
    QString defaultSchema() override { return QString(); }
    QList<TableInfo> tables() override { return {}; }
    QList<ColumnInfo> columns(const QString &, const QString &) override
    {
        if (!failColumns.isEmpty())
            throw DataAccessError(failColumns);
        return cols;
    }
    QList<KeyColumnInfo> primaryKeys(const QString &, const QString &) override
    {
        if (cancelled)
            throw DataAccessError(QStringLiteral("canceling statement due to user request"));
        if (!failPrimaryKeys.isEmpty())
            throw DataAccessError(failPrimaryKeys);
        return pks;
    }
    // Like a provider that ignores the restriction: every foreign key of the data source.
    QList<ForeignKeyInfo> foreignKeys(const QString &, const QString &) override
    {
        if (!failForeignKeys.isEmpty())
            throw DataAccessError(failForeignKeys);
        return fks;
    }
    QList<IndexInfo> indexes(const QString &, const QString &) override { return {}; }
    TableMetadata tableMetadata(const QString &, const QString &) override { return {}; }
    ExecResult execute(const QString &, std::atomic<qint64> *) override { return {}; }
    ExecResult executeParams(const QString &, const QList<QVariant> &) override { return {}; }
    void cancel() override { cancelled = true; }
    QString quoteIdentifier(const QString &name) const override { return name; }
    QString placeholder(int) const override { return QStringLiteral("?"); }
};

FieldInfo field(const QString &name, AdoType type, qint64 size = 0)
{
    FieldInfo f;
    f.name = name;
    f.type = type;
    f.definedSize = size;
    return f;
}

ColumnInfo column(const QString &name, bool nullable)
{
    ColumnInfo c;
    c.table = QStringLiteral("lines");
    c.name = name;
    c.nullable = nullable;
    return c;
}

ForeignKeyInfo foreignKey(const QString &fkTable, const QString &fkColumn, const QString &pkTable,
                          const QString &pkColumn)
{
    ForeignKeyInfo fk;
    fk.fkTable = fkTable;
    fk.fkColumn = fkColumn;
    fk.pkTable = pkTable;
    fk.pkColumn = pkColumn;
    return fk;
}

QStringList gridRow(const StructureRow &row)
{
    return {row.key, row.name, row.type, row.size, row.null};
}

QStringList reportRow(const ReportField &f)
{
    return {f.hasKey ? f.key : QStringLiteral("<none>"), f.null, f.size, f.type, f.name};
}

} // namespace

class TestTableDescription : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void marksKeysAndNullsInGridAndReport();
    void foreignKeysOfOtherTablesAreIgnored();
    void keyReadErrorsAreLoggedAndDescriptionGoesOn_data();
    void keyReadErrorsAreLoggedAndDescriptionGoesOn();
    void columnsReadErrorMakesEveryColumnNotNull();
    void fieldDefinitionErrorPropagatesAfterKeyErrorsAreLogged();
    void cancelEndsTheDescriptionUnlogged();
    void sqliteTable_data();
    void sqliteTable();

private:
    std::unique_ptr<Connection> m_connection;
    FakeBackend *m_backend = nullptr; // owned by m_connection
    QList<FieldInfo> m_fields;
    QStringList m_log;
    TableDescription describe(const QString &table = QStringLiteral("lines"));
};

void TestTableDescription::init()
{
    auto backend = std::make_unique<FakeBackend>();
    m_backend = backend.get();
    m_connection = std::make_unique<Connection>();
    m_connection->openWith(std::move(backend));
    m_log.clear();
    // lines(ORDER_ID pk+fk, line_no pk nullable, product varchar(30) fk, note memo, qty)
    m_backend->pks = {{QString(), QStringLiteral("lines"), QStringLiteral("order_id"), 1, QString()},
                      {QString(), QStringLiteral("lines"), QStringLiteral("LINE_NO"), 2, QString()}};
    m_backend->fks = {foreignKey(QStringLiteral("lines"), QStringLiteral("order_id"),
                                 QStringLiteral("orders"), QStringLiteral("id")),
                      foreignKey(QStringLiteral("LINES"), QStringLiteral("Product"),
                                 QStringLiteral("products"), QStringLiteral("code")),
                      foreignKey(QStringLiteral("lines"), QStringLiteral("product"),
                                 QStringLiteral("catalog"), QStringLiteral("code"))};
    m_backend->cols = {column(QStringLiteral("ORDER_ID"), false), column(QStringLiteral("line_no"), true),
                       column(QStringLiteral("PRODUCT"), true), column(QStringLiteral("note"), true),
                       column(QStringLiteral("qty"), false)};
    m_fields = {field(QStringLiteral("Order_Id"), AdoType::Integer),
                field(QStringLiteral("line_no"), AdoType::Integer),
                field(QStringLiteral("product"), AdoType::VarWChar, 30),
                field(QStringLiteral("note"), AdoType::LongVarWChar, 1073741823),
                field(QStringLiteral("qty"), AdoType::Numeric)};
    m_fields[4].precision = 12;
    m_fields[4].scale = 3;
}

TableDescription TestTableDescription::describe(const QString &table)
{
    return TableDescription::read(
        *m_connection, QString(), table, [this] { return m_fields; },
        [this](const QString &t) { m_log.append(t); });
}

void TestTableDescription::marksKeysAndNullsInGridAndReport()
{
    const TableDescription d = describe();
    QVERIFY(m_log.isEmpty());
    const QList<StructureRow> grid = d.gridRows();
    QCOMPARE(grid.size(), 5);
    // A column in both the primary key and a foreign key is PK; a nullable primary-key
    // column reads "not null" in the grid; names match without regard to letter case.
    QCOMPARE(gridRow(grid[0]), (QStringList{"PK", "Order_Id", "Integer", "", "not null"}));
    QCOMPARE(gridRow(grid[1]), (QStringList{"PK", "line_no", "Integer", "", "not null"}));
    QCOMPARE(gridRow(grid[2]), (QStringList{"FK", "product", "WideString", "30", "null"}));
    QCOMPARE(gridRow(grid[3]), (QStringList{"", "note", "WideMemo", "", "null"}));
    QCOMPARE(gridRow(grid[4]), (QStringList{"", "qty", "BCD", "", "not null"}));

    const QList<ReportField> report = d.reportFields();
    QCOMPARE(report.size(), 5);
    QCOMPARE(reportRow(report[0]), (QStringList{"primary", "false", "", "Integer", "Order_Id"}));
    // The report keeps the nullable list's word for a primary-key column.
    QCOMPARE(reportRow(report[1]), (QStringList{"primary", "true", "", "Integer", "line_no"}));
    // The first matching foreign key names the reference.
    QCOMPARE(reportRow(report[2]),
             (QStringList{"foreign ref products.code", "true", "30", "WideString", "product"}));
    QCOMPARE(reportRow(report[3]), (QStringList{"<none>", "true", "", "WideMemo", "note"}));
    QCOMPARE(reportRow(report[4]), (QStringList{"<none>", "false", "", "BCD", "qty"}));
}

void TestTableDescription::foreignKeysOfOtherTablesAreIgnored()
{
    // Another table's foreign key on a column of the same name marks nothing here.
    m_backend->fks = {foreignKey(QStringLiteral("shipments"), QStringLiteral("note"), QStringLiteral("notes"),
                                 QStringLiteral("id")),
                      foreignKey(QStringLiteral("lines"), QStringLiteral("qty"), QStringLiteral("units"),
                                 QStringLiteral("n"))};
    const TableDescription d = describe();
    QCOMPARE(d.gridRows()[3].key, QString());
    QCOMPARE(d.reportFields()[3].hasKey, false);
    QCOMPARE(d.gridRows()[4].key, QStringLiteral("FK"));
    QCOMPARE(d.reportFields()[4].key, QStringLiteral("foreign ref units.n"));
}

void TestTableDescription::keyReadErrorsAreLoggedAndDescriptionGoesOn_data()
{
    QTest::addColumn<bool>("failPrimary");
    QTest::addColumn<bool>("failForeign");
    QTest::addColumn<QStringList>("expectedLog");
    QTest::addColumn<QStringList>("expectedKeys");
    QTest::newRow("primary keys") << true << false << QStringList{"lines: pk rowset failed"}
                                  << QStringList{"FK", "", "FK", "", ""};
    QTest::newRow("foreign keys") << false << true << QStringList{"lines: fk rowset failed"}
                                  << QStringList{"PK", "PK", "", "", ""};
    QTest::newRow("both") << true << true << QStringList{"lines: pk rowset failed", "lines: fk rowset failed"}
                          << QStringList{"", "", "", "", ""};
}

void TestTableDescription::keyReadErrorsAreLoggedAndDescriptionGoesOn()
{
    QFETCH(bool, failPrimary);
    QFETCH(bool, failForeign);
    QFETCH(QStringList, expectedLog);
    QFETCH(QStringList, expectedKeys);
    if (failPrimary)
        m_backend->failPrimaryKeys = QStringLiteral("pk rowset failed");
    if (failForeign)
        m_backend->failForeignKeys = QStringLiteral("fk rowset failed");
    const TableDescription d = describe();
    QCOMPARE(m_log, expectedLog);
    QStringList keys;
    for (const StructureRow &row : d.gridRows())
        keys.append(row.key);
    QCOMPARE(keys, expectedKeys);
    QCOMPARE(d.gridRows()[2].null, QStringLiteral("null"));
}

void TestTableDescription::columnsReadErrorMakesEveryColumnNotNull()
{
    m_backend->failColumns = QStringLiteral("columns rowset failed");
    const TableDescription d = describe();
    QVERIFY(m_log.isEmpty());
    QCOMPARE(d.gridRows().size(), 5);
    for (const StructureRow &row : d.gridRows())
        QCOMPARE(row.null, QStringLiteral("not null"));
    for (const ReportField &f : d.reportFields())
        QCOMPARE(f.null, QStringLiteral("false"));
}

void TestTableDescription::fieldDefinitionErrorPropagatesAfterKeyErrorsAreLogged()
{
    m_backend->failPrimaryKeys = QStringLiteral("pk rowset failed");
    bool thrown = false;
    try {
        TableDescription::read(
            *m_connection, QString(), QStringLiteral("gone"),
            []() -> QList<FieldInfo> { throw DataAccessError(QStringLiteral("no such table: gone")); },
            [this](const QString &t) { m_log.append(t); });
    } catch (const DataAccessError &e) {
        thrown = true;
        QCOMPARE(e.text(), QStringLiteral("no such table: gone"));
    }
    QVERIFY(thrown);
    QCOMPARE(m_log, QStringList{"gone: pk rowset failed"});
}

void TestTableDescription::cancelEndsTheDescriptionUnlogged()
{
    // Cancel pressed as the work starts: the key read it stops is no key error to log.
    m_connection->setWorkRunner([](const std::function<void()> &work, const std::function<void()> &cancel) {
        cancel();
        work();
    });
    bool fieldsRead = false;
    QVERIFY_THROWS_EXCEPTION(DataAccessError, TableDescription::read(
                                                  *m_connection, QString(), QStringLiteral("lines"),
                                                  [&] {
                                                      fieldsRead = true;
                                                      return m_fields;
                                                  },
                                                  [this](const QString &t) { m_log.append(t); }));
    QVERIFY(m_log.isEmpty());
    QVERIFY(!fieldsRead);
}

void TestTableDescription::sqliteTable_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QList<QStringList>>("grid");
    QTest::addColumn<QList<QStringList>>("report");

    QTest::newRow("pk and fk on one column")
        << "lines"
        << QList<QStringList>{{"PK", "order_id", "Integer", "", "not null"},
                              {"PK", "line_no", "Integer", "", "not null"},
                              {"FK", "product_code", "WideString", "20", "null"},
                              {"", "qty", "Integer", "", "not null"}}
        << QList<QStringList>{{"primary", "false", "", "Integer", "order_id"},
                              {"primary", "false", "", "Integer", "line_no"},
                              {"foreign ref products.code", "true", "20", "WideString", "product_code"},
                              {"<none>", "false", "", "Integer", "qty"}};
    // customer_id is an FK of orders only; code is a nullable primary key (SQLite allows it).
    QTest::newRow("same-named column of another table")
        << "products"
        << QList<QStringList>{{"PK", "code", "WideString", "20", "not null"},
                              {"", "customer_id", "Integer", "", "null"},
                              {"", "Name", "WideString", "50", "null"}}
        << QList<QStringList>{{"primary", "true", "20", "WideString", "code"},
                              {"<none>", "true", "", "Integer", "customer_id"},
                              {"<none>", "true", "50", "WideString", "Name"}};
    QTest::newRow("fk declared in other letter case")
        << "orders"
        << QList<QStringList>{{"PK", "id", "AutoInc", "", "not null"},
                              {"FK", "customer_id", "Integer", "", "null"},
                              {"", "note", "WideMemo", "", "null"}}
        << QList<QStringList>{{"primary", "false", "", "AutoInc", "id"},
                              {"foreign ref customers.id", "true", "", "Integer", "customer_id"},
                              {"<none>", "true", "", "WideMemo", "note"}};
}

void TestTableDescription::sqliteTable()
{
    QFETCH(QString, table);
    QFETCH(QList<QStringList>, grid);
    QFETCH(QList<QStringList>, report);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("shop.db"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    Connection connection;
    connection.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
    connection.open();
    const char *ddl[] = {
        "CREATE TABLE customers (id INTEGER PRIMARY KEY, name VARCHAR(50) NOT NULL)",
        "CREATE TABLE products (code VARCHAR(20) PRIMARY KEY, customer_id INTEGER, \"Name\" NVARCHAR(50))",
        "CREATE TABLE orders (id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT, customer_id INTEGER, note TEXT, "
        "FOREIGN KEY (CUSTOMER_ID) REFERENCES customers(id))",
        "CREATE TABLE lines (order_id INTEGER NOT NULL REFERENCES orders(id), line_no INTEGER NOT NULL, "
        "product_code VARCHAR(20) REFERENCES products(code), qty INTEGER NOT NULL, "
        "PRIMARY KEY (order_id, line_no))",
    };
    for (const char *statement : ddl)
        connection.execute(QString::fromLatin1(statement));

    const TableDescription d = TableDescription::read(
        connection, QString(), table, [&] { return connection.tableMetadata(QString(), table).fields; },
        [this](const QString &t) { m_log.append(t); });
    QVERIFY2(m_log.isEmpty(), qPrintable(m_log.join(QLatin1Char('\n'))));
    QList<QStringList> gridRows, reportRows;
    for (const StructureRow &row : d.gridRows())
        gridRows.append(gridRow(row));
    for (const ReportField &f : d.reportFields())
        reportRows.append(reportRow(f));
    QCOMPARE(gridRows, grid);
    QCOMPARE(reportRows, report);

    // The rowsets of the whole database, as the report reads them, describe the same.
    QList<ColumnInfo> columns;
    for (const ColumnInfo &c : connection.columns(QString(), QString())) {
        if (c.table == table)
            columns.append(c);
    }
    QList<KeyColumnInfo> keys;
    for (const KeyColumnInfo &k : connection.primaryKeys(QString(), QString())) {
        if (k.table == table)
            keys.append(k);
    }
    const TableDescription whole = TableDescription::fromCatalogue(
        QString(), table, columns, keys, connection.foreignKeys(QString(), QString()));
    QList<QStringList> wholeRows;
    for (const ReportField &f : whole.reportFields())
        wholeRows.append(reportRow(f));
    QCOMPARE(wholeRows, report);
}

QTEST_GUILESS_MAIN(TestTableDescription)
#include "tst_tabledescription.moc"

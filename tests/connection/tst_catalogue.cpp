#include "ScriptedPrompt.h"
#include "TestServers.h"

#include "WindowDriver.h"
#include "common/PrivateFolder.h"
#include "connection/CatalogueReader.h"
#include "db/SqlDialectRules.h"
#include "db/fetch/Fetch.h"
#include "editor/SqlEditor.h"
#include "query/Query.h"

#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace {

// Hands every call to a real backend, telling each one that talks to the database.
class ObservedBackend : public Backend
{
public:
    ObservedBackend(std::unique_ptr<Backend> inner, std::function<void(const char *)> observe = {})
        : m_inner(std::move(inner)), m_observe(std::move(observe))
    {
    }

    void connect() override
    {
        observe("connect");
        m_inner->connect();
    }
    void disconnect() override { m_inner->disconnect(); }
    SqlDialect dialect() const override { return m_inner->dialect(); }
    QString defaultDatabase() override
    {
        observe("defaultDatabase");
        return m_inner->defaultDatabase();
    }
    QString defaultSchema() override
    {
        observe("defaultSchema");
        return m_inner->defaultSchema();
    }
    QList<TableInfo> tables() override
    {
        observe("tables");
        return m_inner->tables();
    }
    QList<ColumnInfo> columns(const QString &schema, const QString &table) override
    {
        observe("columns");
        return m_inner->columns(schema, table);
    }
    QList<KeyColumnInfo> primaryKeys(const QString &schema, const QString &table) override
    {
        observe("primaryKeys");
        return m_inner->primaryKeys(schema, table);
    }
    QList<ForeignKeyInfo> foreignKeys(const QString &schema, const QString &table) override
    {
        observe("foreignKeys");
        return m_inner->foreignKeys(schema, table);
    }
    QList<IndexInfo> indexes(const QString &schema, const QString &table) override
    {
        observe("indexes");
        return m_inner->indexes(schema, table);
    }
    TableMetadata tableMetadata(const QString &schema, const QString &table) override
    {
        observe("tableMetadata");
        return m_inner->tableMetadata(schema, table);
    }
    // Statements, with parameters or not, and transactions all come here.
    std::unique_ptr<StatementCursor> openCursor(const QString &sql, const QList<QVariant> *params) override
    {
        observe("openCursor");
        return m_inner->openCursor(sql, params);
    }
    void cancel() override { m_inner->cancel(); }
    QString placeholder(int index) const override { return m_inner->placeholder(index); }

protected:
    void observe(const char *call)
    {
        if (m_observe)
            m_observe(call);
    }

private:
    std::unique_ptr<Backend> m_inner;
    std::function<void(const char *)> m_observe;
};

// A real backend whose whole-catalogue columns read is where the user presses Cancel: the
// request stops as a cancelled statement does, with an error.
class CancelledColumnsBackend final : public ObservedBackend
{
public:
    CancelledColumnsBackend(std::unique_ptr<Backend> inner, std::function<void()> pressCancel)
        : ObservedBackend(std::move(inner)), m_pressCancel(std::move(pressCancel))
    {
    }

    QList<ColumnInfo> columns(const QString &schema, const QString &table) override
    {
        if (table.isEmpty()) {
            m_pressCancel();
            throw DataAccessError(QStringLiteral("interrupted"));
        }
        return ObservedBackend::columns(schema, table);
    }

private:
    std::function<void()> m_pressCancel;
};

} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT

    // Built twice: the SQLite cases as a unit test, the server cases (ORVESSA_SERVER_TESTS) with
    // the servers of scripts/start-test-servers.
private slots:
    void init();
    void cleanup();
#ifndef ORVESSA_SERVER_TESTS
    void sqliteFillsTablesViewsAndColumns();
    void emptyDatabaseGivesTheRootAlone();
    void clickDescribesTableNodesOnly();
    void brokenObjectsStayListedAndTheRestWorks();
    void cancelledFillKeepsTheTablesAndTheConnection();
    void everyDatabaseCallOfTheWindowRunsAsWork();
    void progressOfTheFillCountsNoRowsOfEarlierQueries();
#else
    void postgresTablesOfOneNameInTwoSchemasKeepTheirColumns();
    void postgresObjectsWithoutRightsStayListed();
    void postgresReservedWordsAreQuoted();
    void mariadbFillsTheTree();
    void mariadbBrokenViewStaysListedAndTheRestWorks();
    void mariadbTablesNamedByReservedWordsQueryFromTheTree();
    void mariadbKeywordsLeftUnquotedCanNameATable();
#endif

private:
    QString sqliteFile(const QString &name, const QStringList &ddl);
    void connectWith(const QString &connectionString);
    QStringList childTexts(const QTreeWidgetItem *node) const;
    int expectedPanelWidth(const QStringList &columns) const;
    QStringList logLines() const;
    bool logged(const QString &text) const;
    // Runs the Report command; returns the OVS.xml it wrote.
    QString report();
    // Double-clicks a table node and tells whether its query ran.
    bool queryFromTree(QTreeWidgetItem *node);

    QTemporaryDir m_dir;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<MainWindow> m_view;
};

void TestCatalogue::init()
{
    m_prompt = std::make_unique<ScriptedPrompt>();
    m_view = std::make_unique<MainWindow>();
}

void TestCatalogue::cleanup()
{
    m_view.reset();
    m_prompt.reset();
}

QString TestCatalogue::sqliteFile(const QString &name, const QStringList &ddl)
{
    const QString path = m_dir.filePath(name);
    QFile::remove(path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.close();
    Connection setup;
    setup.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
    setup.open();
    for (const QString &statement : ddl)
        setup.execute(statement);
    return path;
}

void TestCatalogue::connectWith(const QString &connectionString)
{
    m_view->session().profile.connectionString = connectionString;
    ui(*m_view).press(Command::Connect);
}

QStringList TestCatalogue::childTexts(const QTreeWidgetItem *node) const
{
    QStringList texts;
    for (int i = 0; i < node->childCount(); ++i)
        texts.append(node->child(i)->text(0));
    return texts;
}

int TestCatalogue::expectedPanelWidth(const QStringList &columns) const
{
    const QFontMetrics metrics(m_view->font());
    int widest = 0;
    for (const QString &c : columns)
        widest = std::max(widest, metrics.horizontalAdvance(c) + 4);
    return widest + 85;
}

// The texts of the log's messages; a message may span lines (PostgreSQL's point at the error).
QStringList TestCatalogue::logLines() const
{
    static const QRegularExpression stamp(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT[^|]*\\|"));
    QStringList messages;
    for (const QString &line : ui(*m_view).log()->toPlainText().split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch match = stamp.match(line);
        if (match.hasMatch())
            messages.append(line.mid(match.capturedLength()));
        else if (!messages.isEmpty())
            messages.last() += QLatin1Char('\n') + line;
    }
    return messages;
}

bool TestCatalogue::logged(const QString &text) const
{
    return logLines().contains(text);
}

QString TestCatalogue::report()
{
    ui(*m_view).press(Command::Report);
    QFile file(QDir(privateTempFolder()).filePath(QStringLiteral("OVS.xml")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool TestCatalogue::queryFromTree(QTreeWidgetItem *node)
{
    ui(*m_view).statusLabel()->setText(QStringLiteral("before"));
    ui(*m_view).tree()->setCurrentItem(node);
    ui(*m_view).press(Command::QueryTable);
    return ui(*m_view).statusText().startsWith(QLatin1String(" Selected records: "));
}

#ifndef ORVESSA_SERVER_TESTS
void TestCatalogue::sqliteFillsTablesViewsAndColumns()
{
    const QString path = sqliteFile(
        QStringLiteral("shop.sqlite"),
        {QStringLiteral("CREATE TABLE orders (id INTEGER PRIMARY KEY AUTOINCREMENT, customer_id INTEGER, "
                        "a_very_long_column_name_for_the_panel_width TEXT)"),
         QStringLiteral("CREATE TABLE customers (id INTEGER PRIMARY KEY, name TEXT)"),
         QStringLiteral("CREATE TABLE a_table_with_a_name_much_longer_than_any_of_the_columns (x INTEGER)"),
         QStringLiteral("CREATE VIEW big_orders AS SELECT id FROM orders"),
         QStringLiteral("CREATE INDEX ix_orders_customer ON orders (customer_id)"),
         QStringLiteral("INSERT INTO orders (customer_id) VALUES (1)")});
    QVERIFY(!path.isEmpty());
    connectWith(QStringLiteral("Provider=SQLite;Data Source=") + path);

    QVERIFY(m_view->session().connection().isOpen());
    QVERIFY(m_view->session().facts.isSqlite);
    QVERIFY(!m_view->session().facts.isAccess && !m_view->session().facts.isMySql &&
            !m_view->session().facts.isPostgreSql && !m_view->session().facts.isSqlServer);
    QCOMPARE(m_view->session().facts.databaseName, QStringLiteral("shop.sqlite"));
    QVERIFY2(QRegularExpression(QStringLiteral("^Orvessa \\(") + QRegularExpression::escape(path) +
                                QStringLiteral("\\) SQLite 3\\.\\d+\\.\\d+$"))
                 .match(m_view->windowTitle())
                 .hasMatch(),
             qPrintable(m_view->windowTitle()));
    QVERIFY2(
        ui(*m_view).log()->toPlainText().endsWith(QLatin1Char('|') + m_view->session().facts.serverVersion),
        qPrintable(ui(*m_view).log()->toPlainText()));
    QCOMPARE(ui(*m_view).editor()->dialect(), SqlHighlightDialect::Sqlite);
    QVERIFY(!ui(*m_view).editor()->isHidden());
    QVERIFY(ui(*m_view).scratch()->isHidden());

    // Tables alphabetically, then views; sqlite_sequence and the index are not listed.
    QCOMPARE(ui(*m_view).tree()->topLevelItemCount(), 1);
    const QTreeWidgetItem *root = ui(*m_view).tree()->topLevelItem(0);
    QCOMPARE(root->text(0), QStringLiteral("shop.sqlite"));
    QVERIFY(root->isExpanded());
    QCOMPARE(
        childTexts(root),
        QStringList({QStringLiteral("a_table_with_a_name_much_longer_than_any_of_the_columns"),
                     QStringLiteral("customers"), QStringLiteral("orders"), QStringLiteral("big_orders")}));
    QCOMPARE(childTexts(root->child(2)),
             QStringList({QStringLiteral("id"), QStringLiteral("customer_id"),
                          QStringLiteral("a_very_long_column_name_for_the_panel_width")}));
    QCOMPARE(childTexts(root->child(3)), QStringList{QStringLiteral("id")});
    QVERIFY(!root->child(2)->isExpanded());
    // Only column names are measured: the long table name does not widen the panel.
    QCOMPARE(ui(*m_view).treePanel()->width(),
             expectedPanelWidth({QStringLiteral("a_very_long_column_name_for_the_panel_width")}));
    QVERIFY(ui(*m_view).action(Command::Collapse)->isEnabled());
}

void TestCatalogue::emptyDatabaseGivesTheRootAlone()
{
    const QString path = sqliteFile(QStringLiteral("empty.sqlite"), {});
    connectWith(QStringLiteral("Provider=SQLite;Data Source=") + path);
    QVERIFY(m_view->session().connection().isOpen());
    QCOMPARE(ui(*m_view).tree()->topLevelItemCount(), 1);
    QCOMPARE(ui(*m_view).tree()->topLevelItem(0)->childCount(), 0);
    QVERIFY(ui(*m_view).tree()->topLevelItem(0)->isExpanded());
    QCOMPARE(ui(*m_view).treePanel()->width(), 85);
}

void TestCatalogue::clickDescribesTableNodesOnly()
{
    const QString path = sqliteFile(QStringLiteral("click.sqlite"),
                                    {QStringLiteral("CREATE TABLE t (a INTEGER PRIMARY KEY, b TEXT)"),
                                     QStringLiteral("CREATE VIEW v AS SELECT b FROM t")});
    connectWith(QStringLiteral("Provider=SQLite;Data Source=") + path);
    QTreeWidgetItem *root = ui(*m_view).tree()->topLevelItem(0);
    QVERIFY(root);
    QTableWidget *grid = ui(*m_view).structureGrid();

    // Root and column nodes only show the grid.
    ui(*m_view).tree()->setCurrentItem(root->child(0)->child(0));
    ui(*m_view).press(Command::DescribeTable);
    QVERIFY(!grid->isHidden());
    QVERIFY(!grid->item(1, 1) || grid->item(1, 1)->text().isEmpty());

    // A view is described like a table; a second click describes again.
    for (int pass = 0; pass < 2; ++pass) {
        ui(*m_view).tree()->setCurrentItem(root->child(1));
        ui(*m_view).press(Command::DescribeTable);
        QCOMPARE(grid->rowCount(), 2);
        QCOMPARE(grid->item(1, 1)->text(), QStringLiteral("b"));
    }
    ui(*m_view).tree()->setCurrentItem(root->child(0));
    ui(*m_view).press(Command::DescribeTable);
    QCOMPARE(grid->rowCount(), 3);
    QCOMPARE(grid->item(1, 1)->text(), QStringLiteral("a"));
}

void TestCatalogue::brokenObjectsStayListedAndTheRestWorks()
{
    // A view on a function this SQLite lacks and a virtual table of a module it lacks, as files
    // made elsewhere hold them, between objects that are fine.
    const QString path =
        sqliteFile(QStringLiteral("broken.sqlite"),
                   {QStringLiteral("CREATE TABLE a_first (x INTEGER PRIMARY KEY, y TEXT)"),
                    QStringLiteral("CREATE TABLE z_last (q TEXT)"),
                    QStringLiteral("CREATE VIEW v_broken AS SELECT nosuch(y) AS n FROM a_first"),
                    QStringLiteral("CREATE VIEW v_good AS SELECT y FROM a_first"),
                    QStringLiteral("PRAGMA writable_schema = ON"),
                    QStringLiteral("INSERT INTO sqlite_schema VALUES ('table', 'vt_gone', 'vt_gone', 0, "
                                   "'CREATE VIRTUAL TABLE vt_gone USING nosuch(x)')")});
    connectWith(QStringLiteral("Provider=SQLite;Data Source=") + path);
    QVERIFY(m_view->session().connection().isOpen());

    const QTreeWidgetItem *root = ui(*m_view).tree()->topLevelItem(0);
    QVERIFY(root->isExpanded());
    QCOMPARE(childTexts(root),
             QStringList({QStringLiteral("a_first"), QStringLiteral("vt_gone"), QStringLiteral("z_last"),
                          QStringLiteral("v_broken"), QStringLiteral("v_good")}));
    QCOMPARE(childTexts(root->child(0)), QStringList({QStringLiteral("x"), QStringLiteral("y")}));
    QCOMPARE(root->child(1)->childCount(), 0);
    QCOMPARE(childTexts(root->child(2)), QStringList{QStringLiteral("q")});
    QCOMPARE(root->child(3)->childCount(), 0);
    QCOMPARE(childTexts(root->child(4)), QStringList{QStringLiteral("y")});
    QVERIFY2(logged(QStringLiteral("v_broken: no such function: nosuch")), qPrintable(logLines().join('\n')));
    QVERIFY(logged(QStringLiteral("vt_gone: no such module: nosuch")));
    // The analysis went on past the tree.
    QCOMPARE(ui(*m_view).treePanel()->width(),
             expectedPanelWidth({QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("q")}));
    QVERIFY(!ui(*m_view).editor()->isHidden());
    QCOMPARE(m_prompt->errorReports, QStringList());

    // Describing the broken view logs its error and leaves the grid without rows.
    QTableWidget *grid = ui(*m_view).structureGrid();
    ui(*m_view).tree()->setCurrentItem(root->child(0));
    ui(*m_view).press(Command::DescribeTable);
    QCOMPARE(grid->rowCount(), 3);
    const qsizetype logged = logLines().size();
    ui(*m_view).tree()->setCurrentItem(root->child(3));
    ui(*m_view).press(Command::DescribeTable);
    QCOMPARE(grid->rowCount(), 1);
    // Its key reads fail for the same reason: one line, naming it.
    QCOMPARE(logLines().mid(logged), QStringList{QStringLiteral("v_broken: no such function: nosuch")});
    QCOMPARE(m_prompt->beeps, 1);
    QCOMPARE(ui(*m_view).pages()->currentWidget(), ui(*m_view).page(Page::Messages));

    // Its double-click composes nothing; the other objects still describe and query.
    ui(*m_view).editor()->setText(QStringLiteral("SELECT 1"));
    ui(*m_view).tree()->setCurrentItem(root->child(1));
    ui(*m_view).press(Command::QueryTable);
    QCOMPARE(ui(*m_view).editor()->text(), QStringLiteral("SELECT 1"));
    QCOMPARE(logLines().last(), QStringLiteral("vt_gone: no such module: nosuch"));
    ui(*m_view).tree()->setCurrentItem(root->child(2));
    ui(*m_view).press(Command::QueryTable);
    QCOMPARE(ui(*m_view).editor()->text(), QStringLiteral("SELECT * FROM z_last"));
    QCOMPARE(ui(*m_view).statusText(), QStringLiteral(" Selected records: 0"));
    ui(*m_view).tree()->setCurrentItem(root->child(4));
    ui(*m_view).press(Command::DescribeTable);
    QCOMPARE(grid->rowCount(), 2);

    // Stats counts the tables that open and logs the one that does not.
    ui(*m_view).press(Command::Stats);
    QCOMPARE(logLines().filter(QStringLiteral("vt_gone: no such module: nosuch")).size(), 3);
    const Recordset *stats = m_view->session().query().recordset();
    QVERIFY2(stats, qPrintable(logLines().join('\n')));
    QCOMPARE(stats->rowCount(), 2);
    QCOMPARE(stats->value(0, 0).toString(), QStringLiteral("a_first"));
    QCOMPARE(stats->value(1, 0).toString(), QStringLiteral("z_last"));

    // The report holds every object, the broken ones without fields, and logs what failed.
    const QString xml = report();
    QVERIFY2(xml.contains(QLatin1String("<table name=\"vt_gone\"/><table name=\"z_last\"><field")),
             qPrintable(xml));
    QVERIFY(xml.contains(QLatin1String("<table name=\"v_broken\"/><table name=\"v_good\"><field")));
    QCOMPARE(logLines().filter(QStringLiteral("v_broken: no such function: nosuch")).size(), 3);
    QCOMPARE(m_prompt->errorReports, QStringList());
}

void TestCatalogue::cancelledFillKeepsTheTablesAndTheConnection()
{
    const QString path =
        sqliteFile(QStringLiteral("cancel.sqlite"), {QStringLiteral("CREATE TABLE t1 (a INTEGER)"),
                                                     QStringLiteral("CREATE TABLE t2 (b INTEGER)")});
    const QString cs = QStringLiteral("Provider=SQLite;Data Source=") + path;
    // Cancel is pressed while the columns are read, after the tables were listed.
    Connection &connection = m_view->session().connection();
    std::function<void()> cancelRunningWork;
    connection.setWorkRunner([&](const std::function<void()> &work, const std::function<void()> &cancel) {
        cancelRunningWork = cancel;
        work();
    });
    connection.setConnectionString(cs);
    connection.openWith(
        std::make_unique<CancelledColumnsBackend>(Backend::create(cs), [&] { cancelRunningWork(); }));

    QVERIFY(connection.isOpen());
    const QTreeWidgetItem *root = ui(*m_view).tree()->topLevelItem(0);
    QVERIFY(root->isExpanded());
    QCOMPARE(childTexts(root), QStringList({QStringLiteral("t1"), QStringLiteral("t2")}));
    QCOMPARE(root->child(0)->childCount(), 0);
    QVERIFY(logged(CatalogueReader::cancelledText()));
    QCOMPARE(ui(*m_view).treePanel()->width(), 85);
    QVERIFY(!ui(*m_view).editor()->isHidden());
    QCOMPARE(m_prompt->beeps, 0);

    // The connection is ready for the next piece of work.
    ui(*m_view).tree()->setCurrentItem(root->child(1));
    ui(*m_view).press(Command::DescribeTable);
    QCOMPARE(ui(*m_view).structureGrid()->rowCount(), 2);
    QCOMPARE(ui(*m_view).structureGrid()->item(1, 1)->text(), QStringLiteral("b"));
}

void TestCatalogue::everyDatabaseCallOfTheWindowRunsAsWork()
{
    const QString path = sqliteFile(QStringLiteral("work.sqlite"),
                                    {QStringLiteral("CREATE TABLE t (a INTEGER PRIMARY KEY, b TEXT)"),
                                     QStringLiteral("CREATE VIEW v AS SELECT b FROM t"),
                                     QStringLiteral("INSERT INTO t (b) VALUES ('x')")});
    const QString cs = QStringLiteral("Provider=SQLite;Data Source=") + path;
    Connection &connection = m_view->session().connection();
    bool inWork = false;
    int pieces = 0;
    connection.setWorkRunner([&](const std::function<void()> &work, const std::function<void()> &) {
        ++pieces;
        struct Working
        {
            bool &flag;
            explicit Working(bool &f) : flag(f) { flag = true; }
            ~Working() { flag = false; }
        } working(inWork);
        work();
    });
    QStringList outside; // calls that reached the database outside a piece of work
    connection.setConnectionString(cs);
    connection.openWith(std::make_unique<ObservedBackend>(Backend::create(cs), [&](const char *call) {
        if (!inWork)
            outside.append(QString::fromLatin1(call));
    }));
    QVERIFY(connection.isOpen());
    QTreeWidgetItem *root = ui(*m_view).tree()->topLevelItem(0);
    QCOMPARE(childTexts(root), QStringList({QStringLiteral("t"), QStringLiteral("v")}));

    // The fill, a describe and the report's reading are one piece of work each: one progress
    // display and one Cancel for the whole command. Refresh asks for the database's name and
    // version first, then fills the tree.
    pieces = 0;
    ui(*m_view).press(Command::Refresh);
    QCOMPARE(pieces, 3);
    root = ui(*m_view).tree()->topLevelItem(0);
    pieces = 0;
    ui(*m_view).tree()->setCurrentItem(root->child(0));
    ui(*m_view).press(Command::DescribeTable);
    QCOMPARE(pieces, 1);
    QCOMPARE(ui(*m_view).structureGrid()->rowCount(), 3);
    pieces = 0;
    QVERIFY(report().contains(QLatin1String("<table name=\"v\"><field")));
    QCOMPARE(pieces, 1);

    QVERIFY(queryFromTree(root->child(1)));
    ui(*m_view).press(Command::Stats);
    QCOMPARE(m_view->session().query().recordset()->rowCount(), 1);
    QCOMPARE(outside, QStringList());
    QCOMPARE(m_prompt->errorReports, QStringList());
}

void TestCatalogue::progressOfTheFillCountsNoRowsOfEarlierQueries()
{
    const QString path =
        sqliteFile(QStringLiteral("progress.sqlite"), {QStringLiteral("CREATE TABLE t (a INTEGER)")});
    connectWith(QStringLiteral("Provider=SQLite;Data Source=") + path);
    Connection &connection = m_view->session().connection();
    connection.execute(
        QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 50) "
                       "SELECT i FROM n"));
    QList<qint64> shown; // what the progress display would show as each piece of work starts
    connection.setWorkRunner([&](const std::function<void()> &work, const std::function<void()> &) {
        shown.append(connection.rowsFetchedCounter()->load());
        work();
    });
    ui(*m_view).press(Command::Refresh);
    QVERIFY(!shown.isEmpty());
    QCOMPARE(shown, QList<qint64>(shown.size(), 0));
}

#else
void TestCatalogue::postgresTablesOfOneNameInTwoSchemasKeepTheirColumns()
{
    ORVESSA_REQUIRE_PG(server);
    const QString cs = TestServers::freshDatabase(server, QStringLiteral("orv_catalogue"));
    {
        Connection setup;
        setup.setConnectionString(cs);
        setup.open();
        for (const char *sql :
             {"CREATE SCHEMA s1", "CREATE SCHEMA s2", "CREATE TABLE s1.t (a1 int, b1 text)",
              "CREATE TABLE s2.t (only_in_s2 int)", "CREATE VIEW s1.v AS SELECT a1 FROM s1.t"})
            setup.execute(QString::fromLatin1(sql));
    }
    connectWith(cs);
    QVERIFY2(m_view->session().connection().isOpen(), qPrintable(ui(*m_view).log()->toPlainText()));
    QVERIFY(m_view->session().facts.isPostgreSql);
    QVERIFY2(m_view->windowTitle().contains(QLatin1String(") PostgreSQL ")),
             qPrintable(m_view->windowTitle()));
    QVERIFY(!m_view->session().facts.serverVersion.contains(QLatin1String(" on ")));

    const QTreeWidgetItem *root = ui(*m_view).tree()->topLevelItem(0);
    QCOMPARE(root->text(0), QStringLiteral("orv_catalogue"));
    QCOMPARE(childTexts(root), QStringList({QStringLiteral("t"), QStringLiteral("t"), QStringLiteral("v")}));
    QCOMPARE(root->child(0)->data(0, Qt::UserRole).toString(), QStringLiteral("s1"));
    QCOMPARE(childTexts(root->child(0)), QStringList({QStringLiteral("a1"), QStringLiteral("b1")}));
    QCOMPARE(root->child(1)->data(0, Qt::UserRole).toString(), QStringLiteral("s2"));
    QCOMPARE(childTexts(root->child(1)), QStringList{QStringLiteral("only_in_s2")});
}

void TestCatalogue::postgresObjectsWithoutRightsStayListed()
{
    ORVESSA_REQUIRE_PG(server);
    const QString cs = TestServers::freshDatabase(server, QStringLiteral("orv_rights"));
    {
        Connection setup;
        setup.setConnectionString(cs);
        setup.open();
        for (const char *sql :
             {"DROP ROLE IF EXISTS orv_limited", "CREATE ROLE orv_limited LOGIN PASSWORD 'limited'",
              "CREATE TABLE open_t (a int PRIMARY KEY, b text)", "GRANT SELECT ON open_t TO orv_limited",
              "CREATE TABLE secret_t (c int)", "CREATE SCHEMA locked", "CREATE TABLE locked.hidden (d int)"})
            setup.execute(QString::fromLatin1(sql));
    }
    // The login role sees the catalogue, but may neither read secret_t nor enter the schema.
    connectWith(TestServers::withEntry(
        TestServers::withEntry(cs, QStringLiteral("User ID"), QStringLiteral("orv_limited")),
        QStringLiteral("Password"), QStringLiteral("limited")));
    QVERIFY2(m_view->session().connection().isOpen(), qPrintable(logLines().join('\n')));
    QTreeWidgetItem *root = ui(*m_view).tree()->topLevelItem(0);
    QVERIFY(root->isExpanded());
    QCOMPARE(childTexts(root),
             QStringList({QStringLiteral("hidden"), QStringLiteral("open_t"), QStringLiteral("secret_t")}));
    QCOMPARE(childTexts(root->child(0)), QStringList{QStringLiteral("d")});
    QCOMPARE(childTexts(root->child(2)), QStringList{QStringLiteral("c")});
    QCOMPARE(logLines().size(), 2); // the version and the session's protection, nothing failed

    QTableWidget *grid = ui(*m_view).structureGrid();
    ui(*m_view).tree()->setCurrentItem(root->child(2));
    ui(*m_view).press(Command::DescribeTable);
    QCOMPARE(grid->rowCount(), 2);
    ui(*m_view).tree()->setCurrentItem(root->child(0));
    ui(*m_view).press(Command::DescribeTable);
    QCOMPARE(grid->rowCount(), 1);
    QVERIFY2(logLines().last().startsWith(QLatin1String("hidden: ")) &&
                 logLines().last().contains(QLatin1String("permission denied for schema locked")),
             qPrintable(logLines().last()));

    QVERIFY(!queryFromTree(root->child(2)));
    QVERIFY2(logLines().last().contains(QLatin1String("permission denied for table secret_t")),
             qPrintable(logLines().last()));
    QVERIFY(queryFromTree(root->child(1)));

    const QString xml = report();
    QVERIFY2(xml.contains(
                 QLatin1String("<table name=\"hidden\"><field null=\"true\" type=\"Integer\" name=\"d\"/>")),
             qPrintable(xml));
    QVERIFY(xml.contains(
        QLatin1String("<table name=\"secret_t\"><field null=\"true\" type=\"Integer\" name=\"c\"/>")));
    QVERIFY(
        xml.contains(QLatin1String("<field key=\"primary\" null=\"false\" type=\"Integer\" name=\"a\"/>")));
    QCOMPARE(m_prompt->errorReports, QStringList());
}

void TestCatalogue::postgresReservedWordsAreQuoted()
{
    ORVESSA_REQUIRE_PG(server);
    Connection connection;
    connection.setConnectionString(server);
    connection.open();
    // Reserved words and those that name types or functions cannot name a table unquoted.
    const ExecResult words =
        connection.execute(QStringLiteral("SELECT word FROM pg_get_keywords() WHERE catcode IN ('R', 'T')"));
    QVERIFY(words.recordset && words.recordset->rowCount() > 50);
    const SqlDialectRules &rules = SqlDialectRules::of(SqlDialect::PostgreSql);
    QStringList unquoted;
    for (qint64 r = 0; r < words.recordset->rowCount(); ++r) {
        const QString word = words.recordset->value(r, 0).toString();
        if (rules.quoteIdentifier(word) == word)
            unquoted.append(word);
    }
    QCOMPARE(unquoted, QStringList());
}

void TestCatalogue::mariadbFillsTheTree()
{
    ORVESSA_REQUIRE_MYSQL(server);
    const QString cs = TestServers::freshDatabase(server, QStringLiteral("orv_catalogue"));
    {
        Connection setup;
        setup.setConnectionString(cs);
        setup.open();
        for (const char *sql : {"CREATE TABLE zeta (id int primary key, label varchar(20))",
                                "CREATE TABLE alpha (x int)", "CREATE VIEW beta AS SELECT x FROM alpha"})
            setup.execute(QString::fromLatin1(sql));
    }
    connectWith(cs);
    QVERIFY2(m_view->session().connection().isOpen(), qPrintable(ui(*m_view).log()->toPlainText()));
    QVERIFY(m_view->session().facts.isMySql);
    QVERIFY2(m_view->session().facts.serverVersion.startsWith(QLatin1String("MySQL ")) &&
                 !m_view->session().facts.serverVersion.contains(QLatin1Char('-')),
             qPrintable(m_view->session().facts.serverVersion));
    QCOMPARE(ui(*m_view).editor()->dialect(), SqlHighlightDialect::MySQL);
    const QTreeWidgetItem *root = ui(*m_view).tree()->topLevelItem(0);
    QCOMPARE(root->text(0), QStringLiteral("orv_catalogue"));
    QCOMPARE(childTexts(root),
             QStringList({QStringLiteral("alpha"), QStringLiteral("zeta"), QStringLiteral("beta")}));
    QCOMPARE(childTexts(root->child(1)), QStringList({QStringLiteral("id"), QStringLiteral("label")}));
}

void TestCatalogue::mariadbBrokenViewStaysListedAndTheRestWorks()
{
    ORVESSA_REQUIRE_MYSQL(server);
    const QString cs = TestServers::freshDatabase(server, QStringLiteral("orv_broken"));
    {
        Connection setup;
        setup.setConnectionString(cs);
        setup.open();
        for (const char *sql : {"CREATE TABLE alpha (x int PRIMARY KEY)", "CREATE TABLE dropped (y int)",
                                "CREATE VIEW broken AS SELECT y FROM dropped",
                                "CREATE VIEW good AS SELECT x FROM alpha", "DROP TABLE dropped"})
            setup.execute(QString::fromLatin1(sql));
    }
    connectWith(cs);
    QVERIFY2(m_view->session().connection().isOpen(), qPrintable(logLines().join('\n')));
    QTreeWidgetItem *root = ui(*m_view).tree()->topLevelItem(0);
    QVERIFY(root->isExpanded());
    QCOMPARE(childTexts(root),
             QStringList({QStringLiteral("alpha"), QStringLiteral("broken"), QStringLiteral("good")}));
    QCOMPARE(childTexts(root->child(0)), QStringList{QStringLiteral("x")});
    QCOMPARE(root->child(1)->childCount(), 0);
    QCOMPARE(childTexts(root->child(2)), QStringList{QStringLiteral("x")});
    const QString error =
        QStringLiteral("broken: View 'orv_broken.broken' references invalid table(s) or "
                       "column(s) or function(s) or definer/invoker of view lack rights to use them");
    QVERIFY2(logged(error), qPrintable(logLines().join('\n')));

    ui(*m_view).tree()->setCurrentItem(root->child(1));
    ui(*m_view).press(Command::DescribeTable);
    QCOMPARE(ui(*m_view).structureGrid()->rowCount(), 1);
    QCOMPARE(logLines().last(), error);
    ui(*m_view).editor()->setText(QStringLiteral("SELECT 1"));
    QVERIFY(!queryFromTree(root->child(1)));
    QCOMPARE(ui(*m_view).editor()->text(), QStringLiteral("SELECT 1"));
    QVERIFY(queryFromTree(root->child(2)));

    // The report holds every object, the broken view without fields.
    const QString xml = report();
    QVERIFY2(xml.contains(QLatin1String("<table name=\"broken\"/><table name=\"good\"><field")),
             qPrintable(xml));
    QVERIFY(xml.contains(QLatin1String("<table name=\"alpha\"><field key=\"primary\"")));
    QCOMPARE(logLines().filter(error).size(), 4); // fill, click, double-click, report

    // Stats lists every object of the database, the broken view among them.
    ui(*m_view).statusLabel()->setText(QStringLiteral("before"));
    ui(*m_view).press(Command::Stats);
    QCOMPARE(ui(*m_view).statusText(), QStringLiteral(" Selected records: 3"));
    QCOMPARE(m_prompt->errorReports, QStringList());
}

void TestCatalogue::mariadbTablesNamedByReservedWordsQueryFromTheTree()
{
    ORVESSA_REQUIRE_MYSQL(server);
    const QString cs = TestServers::freshDatabase(server, QStringLiteral("orv_words"));
    const QStringList words{QStringLiteral("interval"), QStringLiteral("order"), QStringLiteral("portion"),
                            QStringLiteral("range"), QStringLiteral("rows")};
    {
        Connection setup;
        setup.setConnectionString(cs);
        setup.open();
        // Keyed by a reserved word too, so that the ORDER BY line names one.
        for (const QString &word : words)
            setup.execute(QStringLiteral("CREATE TABLE `%1` (`key` int PRIMARY KEY)").arg(word));
    }
    connectWith(cs);
    QTreeWidgetItem *root = ui(*m_view).tree()->topLevelItem(0);
    QCOMPARE(childTexts(root), words);
    for (int i = 0; i < root->childCount(); ++i)
        QVERIFY2(queryFromTree(root->child(i)), qPrintable(logLines().join('\n')));
    QCOMPARE(ui(*m_view).editor()->text(), QStringLiteral("SELECT * FROM `rows`\nORDER BY `key`"));
    QCOMPARE(m_prompt->beeps, 0);
}

void TestCatalogue::mariadbKeywordsLeftUnquotedCanNameATable()
{
    ORVESSA_REQUIRE_MYSQL(server);
    Connection connection;
    connection.setConnectionString(server);
    connection.open();
    const ExecResult words =
        connection.execute(QStringLiteral("SELECT LOWER(WORD) FROM information_schema.KEYWORDS"));
    QVERIFY(words.recordset && words.recordset->rowCount() > 100);
    const SqlDialectRules &rules = SqlDialectRules::of(SqlDialect::MySql);
    QStringList refused;
    for (qint64 r = 0; r < words.recordset->rowCount(); ++r) {
        const QString word = words.recordset->value(r, 0).toString();
        if (rules.quoteIdentifier(word) != word)
            continue;
        try {
            connection.execute(QStringLiteral("CREATE TEMPORARY TABLE %1 (x int) ENGINE=MEMORY").arg(word));
            connection.execute(QStringLiteral("SELECT * FROM %1").arg(word));
            connection.execute(QStringLiteral("DROP TEMPORARY TABLE %1").arg(word));
        } catch (const DataAccessError &) {
            refused.append(word);
        }
    }
    QCOMPARE(refused, QStringList());
}

#endif

QTEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"

#include "ScriptedPrompt.h"
#include "TestServers.h"

#include "editor/SqlEditor.h"
#include "shell/UMainView.h"

#include <QFileInfo>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

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
#else
    void postgresTablesOfOneNameInTwoSchemasKeepTheirColumns();
    void mariadbFillsTheTree();
#endif

private:
    QString sqliteFile(const QString &name, const QStringList &ddl);
    void connectWith(const QString &connectionString);
    QStringList childTexts(const QTreeWidgetItem *node) const;
    int expectedPanelWidth(const QStringList &columns) const;

    QTemporaryDir m_dir;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<TMainView> m_view;
};

void TestCatalogue::init()
{
    m_prompt = std::make_unique<ScriptedPrompt>();
    m_view = std::make_unique<TMainView>();
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
    m_view->ProfileConnectionString = connectionString;
    m_view->OpenConnection();
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

    QVERIFY(m_view->ADOConnection1->isOpen());
    QVERIFY(m_view->IsSqlite);
    QVERIFY(!m_view->IsAccess && !m_view->IsMySql && !m_view->IsPostgreSql && !m_view->IsSqlServer);
    QCOMPARE(m_view->DatabaseName, QStringLiteral("shop.sqlite"));
    QVERIFY2(QRegularExpression(QStringLiteral("^Orvessa \\(") + QRegularExpression::escape(path) +
                                QStringLiteral("\\) SQLite 3\\.\\d+\\.\\d+$"))
                 .match(m_view->windowTitle())
                 .hasMatch(),
             qPrintable(m_view->windowTitle()));
    QVERIFY2(m_view->reMessages->toPlainText().endsWith(QLatin1Char('|') + m_view->ServerVersion),
             qPrintable(m_view->reMessages->toPlainText()));
    QCOMPARE(m_view->SynEdit1->dialect(), SqlHighlightDialect::Sqlite);
    QVERIFY(!m_view->SynEdit1->isHidden());
    QVERIFY(m_view->RichEdit1->isHidden());

    // Tables alphabetically, then views; sqlite_sequence and the index are not listed.
    QCOMPARE(m_view->TreeView1->topLevelItemCount(), 1);
    const QTreeWidgetItem *root = m_view->TreeView1->topLevelItem(0);
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
    QCOMPARE(m_view->Panel1->width(),
             expectedPanelWidth({QStringLiteral("a_very_long_column_name_for_the_panel_width")}));
    QVERIFY(m_view->Collapse1->isEnabled());
}

void TestCatalogue::emptyDatabaseGivesTheRootAlone()
{
    const QString path = sqliteFile(QStringLiteral("empty.sqlite"), {});
    connectWith(QStringLiteral("Provider=SQLite;Data Source=") + path);
    QVERIFY(m_view->ADOConnection1->isOpen());
    QCOMPARE(m_view->TreeView1->topLevelItemCount(), 1);
    QCOMPARE(m_view->TreeView1->topLevelItem(0)->childCount(), 0);
    QVERIFY(m_view->TreeView1->topLevelItem(0)->isExpanded());
    QCOMPARE(m_view->Panel1->width(), 85);
}

void TestCatalogue::clickDescribesTableNodesOnly()
{
    const QString path = sqliteFile(QStringLiteral("click.sqlite"),
                                    {QStringLiteral("CREATE TABLE t (a INTEGER PRIMARY KEY, b TEXT)"),
                                     QStringLiteral("CREATE VIEW v AS SELECT b FROM t")});
    connectWith(QStringLiteral("Provider=SQLite;Data Source=") + path);
    QTreeWidgetItem *root = m_view->TreeView1->topLevelItem(0);
    QVERIFY(root);
    QTableWidget *grid = m_view->StringGrid1;

    // Root and column nodes only show the grid.
    m_view->TreeView1->setCurrentItem(root->child(0)->child(0));
    m_view->TreeView1Click();
    QVERIFY(!grid->isHidden());
    QVERIFY(!grid->item(1, 1) || grid->item(1, 1)->text().isEmpty());

    // A view is described like a table; a second click describes again.
    for (int pass = 0; pass < 2; ++pass) {
        m_view->TreeView1->setCurrentItem(root->child(1));
        m_view->TreeView1Click();
        QCOMPARE(grid->rowCount(), 2);
        QCOMPARE(grid->item(1, 1)->text(), QStringLiteral("b"));
    }
    m_view->TreeView1->setCurrentItem(root->child(0));
    m_view->TreeView1Click();
    QCOMPARE(grid->rowCount(), 3);
    QCOMPARE(grid->item(1, 1)->text(), QStringLiteral("a"));
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
    QVERIFY2(m_view->ADOConnection1->isOpen(), qPrintable(m_view->reMessages->toPlainText()));
    QVERIFY(m_view->IsPostgreSql);
    QVERIFY2(m_view->windowTitle().contains(QLatin1String(") PostgreSQL ")),
             qPrintable(m_view->windowTitle()));
    QVERIFY(!m_view->ServerVersion.contains(QLatin1String(" on ")));

    const QTreeWidgetItem *root = m_view->TreeView1->topLevelItem(0);
    QCOMPARE(root->text(0), QStringLiteral("orv_catalogue"));
    QCOMPARE(childTexts(root), QStringList({QStringLiteral("t"), QStringLiteral("t"), QStringLiteral("v")}));
    QCOMPARE(root->child(0)->data(0, Qt::UserRole).toString(), QStringLiteral("s1"));
    QCOMPARE(childTexts(root->child(0)), QStringList({QStringLiteral("a1"), QStringLiteral("b1")}));
    QCOMPARE(root->child(1)->data(0, Qt::UserRole).toString(), QStringLiteral("s2"));
    QCOMPARE(childTexts(root->child(1)), QStringList{QStringLiteral("only_in_s2")});
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
    QVERIFY2(m_view->ADOConnection1->isOpen(), qPrintable(m_view->reMessages->toPlainText()));
    QVERIFY(m_view->IsMySql);
    QVERIFY2(m_view->ServerVersion.startsWith(QLatin1String("MySQL ")) &&
                 !m_view->ServerVersion.contains(QLatin1Char('-')),
             qPrintable(m_view->ServerVersion));
    QCOMPARE(m_view->SynEdit1->dialect(), SqlHighlightDialect::MySQL);
    const QTreeWidgetItem *root = m_view->TreeView1->topLevelItem(0);
    QCOMPARE(root->text(0), QStringLiteral("orv_catalogue"));
    QCOMPARE(childTexts(root),
             QStringList({QStringLiteral("alpha"), QStringLiteral("zeta"), QStringLiteral("beta")}));
    QCOMPARE(childTexts(root->child(1)), QStringList({QStringLiteral("id"), QStringLiteral("label")}));
}

#endif

QTEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"

#include "ScriptedPrompt.h"

#include "WindowDriver.h"
#include "common/PrivateFolder.h"
#include "editor/SqlEditor.h"
#include "query/MemoEditor.h"
#include "query/Query.h"
#include "query/ResultModel.h"
#include "query/TableReader.h"

#include <QDir>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

class TestRunSql : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void runShowsRowsWheneverTheStatementYieldsThem_data();
    void runShowsRowsWheneverTheStatementYieldsThem();
    void failedRunIsLoggedAndKeepsTheStatus();
    void doubleClickComposesAndRunsTheTableQuery_data();
    void doubleClickComposesAndRunsTheTableQuery();
    void doubleClickOutsideTableNodesDoesNothing();
    void doubleClickDetachesTheMemoEditor();
    void describeFillsTheStructureGrid();
    void reportDescribesWithoutTouchingTheStructureGrid();
    void statsListsTablesOnSqlite();
    void statsWithoutQueryForTheDialectRunsNothing();

private:
    void connectTo(const QString &fileName);
    QTreeWidgetItem *node(const QString &text);
    QString lastLogLine() const;

    QTemporaryDir m_dir;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<MainWindow> m_view;
};

void TestRunSql::init()
{
    m_prompt = std::make_unique<ScriptedPrompt>();
    m_view = std::make_unique<MainWindow>();
    connectTo(QStringLiteral("shop.db"));
}

void TestRunSql::cleanup()
{
    m_view.reset();
    m_prompt.reset();
}

void TestRunSql::connectTo(const QString &fileName)
{
    if (m_view->session().connection().isOpen())
        m_view->session().connection().close();
    const QString path = m_dir.filePath(fileName);
    QFile::remove(path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    {
        Connection setup;
        setup.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
        setup.open();
        const char *ddl[] = {
            "CREATE TABLE t (x INTEGER, y TEXT)",
            "INSERT INTO t VALUES (1, 'a'), (2, 'b'), (3, 'c')",
            "CREATE TABLE \"Order Details\" (\"Order ID\" INTEGER, line INTEGER, "
            "a_rather_long_column_name_that_needs_a_wider_column TEXT, PRIMARY KEY (line, \"Order ID\"))",
            "INSERT INTO \"Order Details\" VALUES (2, 1, 'x'), (1, 2, 'y')",
        };
        for (const char *statement : ddl)
            setup.execute(QString::fromLatin1(statement));
    }
    m_view->session().connection().setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
    m_view->session().connection().open();
    QVERIFY(m_view->session().facts.isSqlite);
}

QTreeWidgetItem *TestRunSql::node(const QString &text)
{
    const QList<QTreeWidgetItem *> found =
        ui(*m_view).tree()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.value(0);
}

QString TestRunSql::lastLogLine() const
{
    const QStringList lines = ui(*m_view).log()->toPlainText().split(QLatin1Char('\n'));
    return lines.last();
}

void TestRunSql::runShowsRowsWheneverTheStatementYieldsThem_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("status");
    QTest::newRow("lower case") << "select * from t"
                                << " Selected records: 3";
    QTest::newRow("leading blanks") << "  \n\t SELECT * FROM t"
                                    << " Selected records: 3";
    QTest::newRow("line comment") << "-- all rows\nSELECT * FROM t"
                                  << " Selected records: 3";
    QTest::newRow("block comment") << "/* all */ SELECT x FROM t"
                                   << " Selected records: 3";
    QTest::newRow("with clause") << "WITH q AS (SELECT * FROM t WHERE x > 1) SELECT * FROM q"
                                 << " Selected records: 2";
    QTest::newRow("values") << "VALUES (1), (2)"
                            << " Selected records: 2";
    QTest::newRow("pragma") << "PRAGMA table_info(t)"
                            << " Selected records: 2";
    QTest::newRow("no rows") << "SELECT * FROM t WHERE 0"
                             << " Selected records: 0";
    QTest::newRow("update") << "UPDATE t SET y = y || '!'"
                            << " Affected records: 3";
    QTest::newRow("delete") << "  delete from t where x = 1"
                            << " Affected records: 1";
}

void TestRunSql::runShowsRowsWheneverTheStatementYieldsThem()
{
    QFETCH(QString, sql);
    QFETCH(QString, status);
    ui(*m_view).editor()->setText(sql);
    ui(*m_view).press(Command::Run);
    // A loaded machine may show the first rows before the rest: the runner's text comes at the end.
    m_view->session().query().finishFetch(false);
    QCOMPARE(ui(*m_view).statusText(), status);
    const bool rows = status.startsWith(QLatin1String(" Selected"));
    QCOMPARE(m_view->session().query().isOpen(), rows);
    QCOMPARE(m_view->session().query().sql(), sql);
    QCOMPARE(m_prompt->beeps, 0);
}

void TestRunSql::failedRunIsLoggedAndKeepsTheStatus()
{
    ui(*m_view).editor()->setText(QStringLiteral("SELECT * FROM t"));
    ui(*m_view).press(Command::Run);
    m_view->session().query().finishFetch(false);
    QCOMPARE(ui(*m_view).statusText(), QStringLiteral(" Selected records: 3"));
    ui(*m_view).pages()->setCurrentWidget(ui(*m_view).page(Page::Sql));

    ui(*m_view).editor()->setText(QStringLiteral("SELECT * FROM missing_table"));
    ui(*m_view).press(Command::Run);
    QCOMPARE(m_prompt->beeps, 1);
    QCOMPARE(ui(*m_view).pages()->currentWidget(), ui(*m_view).page(Page::Messages));
    QVERIFY2(lastLogLine().endsWith(QLatin1String("|no such table: missing_table")),
             qPrintable(lastLogLine()));
    QCOMPARE(ui(*m_view).statusText(), QStringLiteral(" Selected records: 3"));
    // The query was closed before the run: the grid shows nothing of the earlier result.
    QVERIFY(!m_view->session().query().isOpen());
    QCOMPARE(ui(*m_view).resultModel()->rowCount(), 0);
    QVERIFY(m_prompt->dialogs.isEmpty());
    QVERIFY(m_prompt->errorReports.isEmpty());
}

void TestRunSql::doubleClickComposesAndRunsTheTableQuery_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("firstValue");
    QTest::addColumn<QString>("status");
    QTest::newRow("no index") << "t"
                              << "SELECT * FROM t"
                              << "1"
                              << " Selected records: 3";
    // The primary key's index orders by its key columns, each quoted like the table.
    QTest::newRow("blanks and index") << "Order Details"
                                      << "SELECT * FROM \"Order Details\"\nORDER BY line, \"Order ID\""
                                      << "2"
                                      << " Selected records: 2";
}

void TestRunSql::doubleClickComposesAndRunsTheTableQuery()
{
    QFETCH(QString, table);
    QFETCH(QString, text);
    QFETCH(QString, firstValue);
    QFETCH(QString, status);
    QTreeWidgetItem *item = node(table);
    QVERIFY(item);
    ui(*m_view).tree()->setCurrentItem(item);
    ui(*m_view).press(Command::QueryTable);
    QCOMPARE(ui(*m_view).editor()->text(), text);
    QCOMPARE(ui(*m_view).scratch()->toPlainText(), text);
    QCOMPARE(m_view->session().query().sql(), text);
    QVERIFY2(m_view->session().query().isOpen(), qPrintable(ui(*m_view).log()->toPlainText()));
    QTRY_COMPARE(ui(*m_view).statusText(), status);
    QCOMPARE(m_view->session().query().recordset()->value(0, 0).toString(), firstValue);
    QCOMPARE(m_prompt->beeps, 0);
}

void TestRunSql::doubleClickOutsideTableNodesDoesNothing()
{
    ui(*m_view).editor()->setText(QStringLiteral("previous text"));
    QTreeWidgetItem *root = ui(*m_view).tree()->topLevelItem(0);
    QVERIFY(root);
    QTreeWidgetItem *columnNode = node(QStringLiteral("t"))->child(0);
    QVERIFY(columnNode);
    for (QTreeWidgetItem *item : {root, columnNode}) {
        ui(*m_view).tree()->setCurrentItem(item);
        ui(*m_view).press(Command::QueryTable);
        QCOMPARE(ui(*m_view).editor()->text(), QStringLiteral("previous text"));
        QVERIFY(!m_view->session().query().isOpen());
    }
}

void TestRunSql::doubleClickDetachesTheMemoEditor()
{
    MemoEditor memo(m_view.get());
    m_view->setMemoEditor(&memo);
    ui(*m_view).editor()->setText(QStringLiteral("SELECT y FROM t"));
    ui(*m_view).press(Command::Run);
    memo.bind(ui(*m_view).resultModel(), 0);
    QCOMPARE(memo.boundModel(), ui(*m_view).resultModel());

    ui(*m_view).tree()->setCurrentItem(node(QStringLiteral("t")));
    ui(*m_view).press(Command::QueryTable);
    QCOMPARE(memo.boundModel(), nullptr);
    QVERIFY(m_view->session().query().isOpen());
    m_view->setMemoEditor(nullptr);
}

void TestRunSql::describeFillsTheStructureGrid()
{
    ui(*m_view).describe(QStringLiteral("t"));
    QTableWidget *grid = ui(*m_view).structureGrid();
    QCOMPARE(grid->rowCount(), 3);
    QCOMPARE(grid->item(1, 1)->text(), QStringLiteral("x"));
    QCOMPARE(grid->item(2, 1)->text(), QStringLiteral("y"));
    QCOMPARE(grid->item(1, 4)->text(), QStringLiteral("null"));
    QCOMPARE(grid->columnWidth(1), 150);

    ui(*m_view).describe(QStringLiteral("Order Details"));
    QCOMPARE(grid->rowCount(), 4);
    QCOMPARE(grid->item(1, 0)->text(), QStringLiteral("PK"));
    QCOMPARE(grid->item(1, 1)->text(), QStringLiteral("Order ID"));
    QCOMPARE(grid->item(1, 4)->text(), QStringLiteral("not null"));
    const QString longName = grid->item(3, 1)->text();
    QCOMPARE(grid->columnWidth(1), QFontMetrics(m_view->font()).horizontalAdvance(longName) + 4);
    QVERIFY(grid->columnWidth(1) > 150);
}

void TestRunSql::reportDescribesWithoutTouchingTheStructureGrid()
{
    ui(*m_view).describe(QStringLiteral("t"));
    ui(*m_view).press(Command::Report);
    QFile report(QDir(privateTempFolder()).filePath(QStringLiteral("OVS.xml")));
    QVERIFY(report.open(QIODevice::ReadOnly));
    const QByteArray xml = report.readAll();
    QVERIFY2(xml.contains("<table name=\"Order Details\"><field key=\"primary\" null=\"true\" "
                          "type=\"Integer\" name=\"Order ID\"/>"),
             xml.constData());
    QTableWidget *grid = ui(*m_view).structureGrid();
    QCOMPARE(grid->rowCount(), 3);
    QCOMPARE(grid->item(1, 1)->text(), QStringLiteral("x"));
}

void TestRunSql::statsListsTablesOnSqlite()
{
    ui(*m_view).pages()->setCurrentWidget(ui(*m_view).page(Page::Structure));
    ui(*m_view).press(Command::Stats);
    const QString text = ui(*m_view).editor()->text();
    QVERIFY2(text.startsWith(QLatin1String("SELECT 'Order Details' AS TableName")), qPrintable(text));
    QCOMPARE(text, ui(*m_view).scratch()->toPlainText());
    QCOMPARE(ui(*m_view).statusText(), QStringLiteral(" Selected records: 2"));
    QCOMPARE(ui(*m_view).pages()->currentWidget(), ui(*m_view).page(Page::Sql));
    const Recordset *rows = m_view->session().query().recordset();
    QVERIFY(rows);
    QCOMPARE(rows->value(1, 0).toString(), QStringLiteral("t"));
    QCOMPARE(rows->value(1, 1).toLongLong(), 3);
    QCOMPARE(m_view->session().query().tag(0),
             QFontMetrics(m_view->font()).horizontalAdvance(QStringLiteral("TableName")) + 5);
    QCOMPARE(m_view->session().query().tag(1), 0);
    QCOMPARE(m_prompt->beeps, 0);
}

void TestRunSql::statsWithoutQueryForTheDialectRunsNothing()
{
    m_view->session().facts.isSqlite = false;
    m_view->session().facts.isPostgreSql = true;
    ui(*m_view).editor()->setText(QStringLiteral("SELECT * FROM t"));
    ui(*m_view).statusLabel()->setText(QStringLiteral("before"));
    ui(*m_view).pages()->setCurrentWidget(ui(*m_view).page(Page::Structure));
    ui(*m_view).press(Command::Stats);
    QCOMPARE(ui(*m_view).editor()->text(), QString());
    QCOMPARE(ui(*m_view).statusText(), QStringLiteral("before"));
    QVERIFY(!m_view->session().query().isOpen());
    QCOMPARE(ui(*m_view).pages()->currentWidget(), ui(*m_view).page(Page::Structure));
}

QTEST_MAIN(TestRunSql)
#include "tst_runsql.moc"

#include "PacedBackend.h"
#include "ScriptedPrompt.h"
#include "TestServers.h"
#include "WindowDriver.h"

#include "connection/WorkRunnerDialog.h"
#include "db/fetch/RowStore.h"
#include "query/ResultShaper.h"
#include "query/RowEditor.h"
#include "shell/Language.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

// Presses Cancel in the progress dialogs of database work as they show, up to a number of them.
class Hands : public QObject
{
public:
    explicit Hands(int dialogs) : m_left(dialogs)
    {
        m_timer.callOnTimeout(this, [this] { look(); });
        m_timer.start(20);
    }

    int pressed() const { return m_pressed; }
    // Told after each press, on the window's thread.
    std::function<void(int)> afterPress;

private:
    void look()
    {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *dialog = qobject_cast<WorkRunnerDialog *>(widget);
            if (!dialog || !dialog->isVisible() || dialog == m_last || m_left == 0)
                continue;
            m_last = dialog;
            --m_left;
            QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
            ++m_pressed;
            if (afterPress)
                afterPress(m_pressed);
        }
    }

    QTimer m_timer;
    QPointer<WorkRunnerDialog> m_last;
    int m_left;
    int m_pressed = 0;
};

int lineCount(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return int(file.readAll().count('\n'));
}

} // namespace

// One piece of work at a time on the session, whatever the window is asked while it waits: the
// command that waits for arriving rows, the Cancel of that wait, the analysis that follows the
// cancelled fetch and the command's own work never run beside each other, and each Cancel stops
// what its dialog is for.
class TestOneWork : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void reviewedScenarioNeverNestsNorOverlaps_data();
    void reviewedScenarioNeverNestsNorOverlaps();
    void cancelOfTheWaitStopsTheFetchAndTheCommandGoesOn_data();
    void cancelOfTheWaitStopsTheFetchAndTheCommandGoesOn();
    void commandPressedThroughItsAccessibleActionStartsAfterTheCallReturns();
    void gridSortAfterACancelledFetchWaitsForTheCommand();

private:
    // The window's own runner, event loop included, counting how deep waits go.
    void countWaits();
    // Starts a statement on the SQL page and checks that its rows are still arriving.
    void startFetch(const QString &sql);
    // Starts the command under test: a click on the table in the tree, Report or Export data.
    void start(const QString &command, const QString &table);

    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<QTemporaryDir> m_dir;
    int m_depth = 0;
    int m_maxDepth = 0;
};

void TestOneWork::init()
{
    setUiLanguage(QStringLiteral("en-US"));
    m_dir = std::make_unique<QTemporaryDir>();
    m_prompt = std::make_unique<ScriptedPrompt>();
    m_window = std::make_unique<MainWindow>();
    m_window->setAppFolder(qEnvironmentVariable("ORVESSA_APP_FOLDER") + QLatin1Char('/'));
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_depth = m_maxDepth = 0;
}

void TestOneWork::cleanup()
{
    m_window.reset();
    m_prompt.reset();
}

void TestOneWork::countWaits()
{
    Connection &connection = m_window->session().connection();
    const WorkRunner dialog = makeDialogWorkRunner(m_window.get(), connection.rowsFetchedCounter());
    connection.setWorkRunner(
        [this, dialog](const std::function<void()> &work, const std::function<void()> &cancel) {
            struct Depth
            {
                int &depth;
                ~Depth() { --depth; }
            } inside{m_depth};
            m_maxDepth = std::max(m_maxDepth, ++m_depth);
            dialog(work, cancel);
        });
}

void TestOneWork::startFetch(const QString &sql)
{
    // The first row goes out at once, so that the fetch is caught while it streams.
    m_window->session().query().setFirstRowsMs(0);
    ui(*m_window).editor()->setText(sql);
    ui(*m_window).pressButton(Command::Run);
    QVERIFY(m_window->session().query().isFetching());
}

void TestOneWork::start(const QString &command, const QString &table)
{
    if (command == QLatin1String("tree click")) {
        // The mouse, as in the review: the click's command waits for the fetch.
        ui(*m_window).clickNode(table);
    } else if (command == QLatin1String("Report")) {
        ui(*m_window).pressButton(Command::Report);
    } else {
        m_prompt->fileAnswers.enqueue(m_dir->filePath(QStringLiteral("out.csv")));
        ui(*m_window).press(Command::ExportData);
    }
}

void TestOneWork::reviewedScenarioNeverNestsNorOverlaps_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("cancelItsOwnWork");
    for (const char *command : {"tree click", "Report", "Export data"}) {
        QTest::addRow("%s, Cancel of the wait", command) << command << false;
        QTest::addRow("%s, Cancel of the wait and of its own work", command) << command << true;
    }
}

void TestOneWork::reviewedScenarioNeverNestsNorOverlaps()
{
    QFETCH(QString, command);
    QFETCH(bool, cancelItsOwnWork);
    countWaits();
    auto backend = std::make_unique<PacedBackend>(5000);
    PacedBackend *paced = backend.get();
    m_window->session().connection().openWith(std::move(backend));
    // Every call keeps the session a while, so that two at once would be caught.
    paced->setCallMs(30);
    paced->allow(10);
    startFetch(QStringLiteral("SELECT id, name FROM t"));

    // The first Cancel is the wait's for the arriving rows. Then the command's own work starts:
    // slow enough for a dialog of its own, whose Cancel is the second, when there is one.
    Hands hands(cancelItsOwnWork ? 2 : 1);
    hands.afterPress = [&](int pressed) {
        if (pressed == 1 && cancelItsOwnWork)
            paced->setCallMs(800);
    };
    // Once the fetch has stopped, the rows may come: Export data runs the statement again.
    QTimer rows;
    rows.callOnTimeout(this, [&] {
        if (hands.pressed() > 0 && !m_window->session().query().isFetching() && !cancelItsOwnWork)
            paced->allow(paced->total());
    });
    rows.start(20);
    start(command, QStringLiteral("t"));
    QTRY_VERIFY(!m_window->session().query().isFetching());
    // The analysis of the cancelled result follows, on its own.
    RowEditor *editor = ui(*m_window).resultModel()->editor();
    QTRY_VERIFY2_WITH_TIMEOUT(editor->isEditable(), qPrintable(editor->readOnlyReason()), 20000);
    ui(*m_window).settle();

    QCOMPARE(hands.pressed(), cancelItsOwnWork ? 2 : 1);
    // The wait's Cancel stopped the fetch; its rows stay.
    QVERIFY(m_window->session().query().recordset()->incomplete());
    QVERIFY(ui(*m_window).resultModel()->rowCount() >= 10);
    QCOMPARE(m_maxDepth, 1);
    QVERIFY2(!paced->overlapped(), qPrintable(paced->log().join(u',')));
    QCOMPARE(m_prompt->beeps, 0);
    QVERIFY(m_prompt->errorReports.isEmpty());

    const QString exported = m_dir->filePath(QStringLiteral("out.csv"));
    if (command == QLatin1String("tree click")) {
        // The command went on: the clicked table's structure is shown, or nothing of it when its
        // own Cancel stopped the reading.
        QTableWidget *grid = ui(*m_window).structureGrid();
        QCOMPARE(grid->rowCount(), cancelItsOwnWork ? 1 : 3);
        if (!cancelItsOwnWork)
            QCOMPARE(grid->item(1, 1)->text(), QStringLiteral("id"));
    } else if (command == QLatin1String("Report")) {
        QCOMPARE(ui(*m_window).reportTabVisible(), !cancelItsOwnWork);
    } else {
        QCOMPARE(lineCount(exported), cancelItsOwnWork ? -1 : int(paced->total()) + 1);
    }
}

void TestOneWork::cancelOfTheWaitStopsTheFetchAndTheCommandGoesOn_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("command");
    for (const char *server : {"PostgreSQL", "MariaDB"}) {
        for (const char *command : {"tree click", "Report", "Export data"})
            QTest::addRow("%s, %s", server, command) << server << command;
    }
}

void TestOneWork::cancelOfTheWaitStopsTheFetchAndTheCommandGoesOn()
{
    QFETCH(QString, server);
    QFETCH(QString, command);
    const bool postgres = server == QLatin1String("PostgreSQL");
    QString base;
    if (postgres) {
        ORVESSA_REQUIRE_PG(pg);
        base = pg;
    } else {
        ORVESSA_REQUIRE_MYSQL(mysql);
        base = mysql;
    }
    const QString database = TestServers::freshDatabase(base, QStringLiteral("orvessa_tst_onework"));
    {
        Connection setup;
        setup.setConnectionString(database);
        setup.open();
        setup.execute(QStringLiteral("CREATE TABLE people (id INTEGER PRIMARY KEY, name VARCHAR(20))"));
        setup.execute(QStringLiteral("INSERT INTO people VALUES (1, 'Ann'), (2, 'Bob')"));
    }
    countWaits();
    m_window->session().profile.connectionString = database;
    ui(*m_window).press(Command::Connect);
    QVERIFY(m_window->session().connection().isOpen());

    // Rows that never end for the commands that only keep them; for Export data, which runs the
    // statement again, a few, each a little late: a sleep that depends on the row (PostgreSQL would
    // sleep once for all otherwise), work a KILL QUERY stops (MariaDB's SLEEP only returns early).
    const bool exporting = command == QLatin1String("Export data");
    const int exportedRows = 1500;
    QString sql;
    if (postgres) {
        sql = exporting ? QStringLiteral(
                              "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < %1) "
                              "SELECT i, 'row ' || i || pg_sleep(0.002 + 0 * i)::text AS name FROM c")
                              .arg(exportedRows)
                        : QStringLiteral("WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c) "
                                         "SELECT i, 'row ' || i AS name FROM c");
    } else {
        sql = exporting ? QStringLiteral("SELECT seq, SHA2(REPEAT(CAST(seq AS CHAR), 500000), 256) AS name "
                                         "FROM seq_1_to_%1")
                              .arg(exportedRows)
                        : QStringLiteral("SELECT seq, CONCAT('row ', seq) AS name FROM seq_1_to_1000000000");
    }
    startFetch(sql);

    Hands hands(1);
    start(command, QStringLiteral("people"));
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->session().query().isFetching(), 30000);
    ui(*m_window).settle();

    QCOMPARE(hands.pressed(), 1);
    QVERIFY(m_window->session().query().recordset()->incomplete());
    QVERIFY(m_window->session().connection().isOpen());
    QCOMPARE(m_maxDepth, 1);
    QVERIFY2(m_prompt->errorReports.isEmpty(), qPrintable(m_prompt->errorReports.join(u'\n')));
    if (command == QLatin1String("tree click")) {
        QTableWidget *grid = ui(*m_window).structureGrid();
        QCOMPARE(grid->rowCount(), 3);
        QCOMPARE(grid->item(1, 1)->text(), QStringLiteral("id"));
        QCOMPARE(grid->item(2, 1)->text(), QStringLiteral("name"));
    } else if (command == QLatin1String("Report")) {
        QVERIFY(ui(*m_window).reportTabVisible());
    } else {
        // The export ran the whole statement again, after the fetch had stopped.
        QCOMPARE(lineCount(m_dir->filePath(QStringLiteral("out.csv"))), exportedRows + 1);
    }
}

void TestOneWork::commandPressedThroughItsAccessibleActionStartsAfterTheCallReturns()
{
    auto backend = std::make_unique<PacedBackend>(100);
    PacedBackend *paced = backend.get();
    m_window->session().connection().openWith(std::move(backend));
    ui(*m_window).editor()->setText(QStringLiteral("SELECT id, name FROM t"));
    m_window->updateCommands();

    // Tools > Run as a screen reader presses it: through the menu item's accessible action.
    QAction *run = ui(*m_window).action(Command::Run);
    QMenu *tools = qobject_cast<QMenu *>(ui(*m_window).menuBarItem(3)->menu());
    QVERIFY(tools && run->isEnabled());
    QAccessibleInterface *menu = QAccessible::queryAccessibleInterface(tools);
    QAccessibleInterface *item = nullptr;
    for (int i = 0; menu && i < menu->childCount(); ++i) {
        if (menu->child(i)->text(QAccessible::Name) == run->text())
            item = menu->child(i);
    }
    QVERIFY(item && item->actionInterface());
    // No row is let through yet: a command running inside the call would not return from it.
    item->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QVERIFY(!m_window->commands().settled());
    QVERIFY(!m_window->session().query().isOpen());

    paced->allow(paced->total());
    ui(*m_window).settle();
    m_window->session().query().finishFetch(false);
    QCOMPARE(m_window->session().query().rowCount(), paced->total());
}

void TestOneWork::gridSortAfterACancelledFetchWaitsForTheCommand()
{
    countWaits();
    auto backend = std::make_unique<PacedBackend>(300);
    PacedBackend *paced = backend.get();
    m_window->session().connection().openWith(std::move(backend));
    paced->setCallMs(30);
    paced->allow(paced->total());
    startFetch(QStringLiteral("SELECT id, name FROM t"));
    m_window->session().query().finishFetch(false);
    // Sorted in the grid, descending by id.
    ResultShaper *shaper = ui(*m_window).resultModel()->shaper();
    QVERIFY(shaper->sortBy(0, false));
    QVERIFY(shaper->sortBy(0, false));
    QCOMPARE(shaper->site(), ResultShaper::Site::Grid);
    QCOMPARE(ui(*m_window).resultModel()->index(0, 0).data().toInt(), 300);

    // Run again, its rows arriving slowly: the grid sorts them once the last is in. A tree click
    // waits for them, and its Cancel ends the fetch; the grid's sort then follows the command.
    paced->allow(10);
    ui(*m_window).press(Command::RefreshRecords);
    QVERIFY(m_window->session().query().isFetching());
    Hands hands(1);
    ui(*m_window).clickNode(QStringLiteral("t"));
    QTRY_VERIFY(!m_window->session().query().isFetching());
    QCOMPARE(hands.pressed(), 1);
    QCOMPARE(m_maxDepth, 1);
    QCOMPARE(ui(*m_window).structureGrid()->item(1, 1)->text(), QStringLiteral("id"));
    QTRY_COMPARE(ui(*m_window).resultModel()->index(0, 0).data().toInt(), 10);
    QVERIFY(!paced->overlapped());
}

QTEST_MAIN(TestOneWork)
#include "tst_onework.moc"

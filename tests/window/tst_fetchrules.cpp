#include "ScriptedPrompt.h"

#include "WindowDriver.h"
#include "connection/WorkRunnerDialog.h"
#include "editor/SqlEditor.h"
#include "query/Query.h"
#include "query/RecordNavigator.h"
#include "query/ResultGrid.h"
#include "query/ResultModel.h"
#include "shell/Language.h"
#include "shell/MessageDialog.h"

#include <QAction>
#include <QFile>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <thread>

namespace {

// Rows 1, 2, 3, ... of a text: more than any test waits for, or just `rows`.
QString counting(qint64 rows)
{
    return QStringLiteral("WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < %1) "
                          "SELECT i, 'row ' || i AS name FROM c")
        .arg(rows);
}

const qint64 endless = 1000000000;

} // namespace

// The main window while rows stream in: the running count and its Cancel, and what every command
// that needs the connection does with the fetch (cancel it, or wait for it).
class TestFetchRules : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void statusBarCountsAndCancels_data();
    void statusBarCountsAndCancels();
    void commandsThatReplaceTheResultCancelTheFetch_data();
    void commandsThatReplaceTheResultCancelTheFetch();
    void commandsThatKeepTheResultWaitForIt_data();
    void commandsThatKeepTheResultWaitForIt();
    void failedFetchIsReportedAndKeepsItsRows();
    void doubleClickDuringTheDescribeOfItsFirstClickRunsTheQuery();

private:
    // Runs the text and checks that its rows are still arriving.
    void startFetch(const QString &sql);
    QTreeWidgetItem *tableNode(const QString &name) const;

    QTemporaryDir m_dir;
    QString m_connectionString;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<MainWindow> m_view;
    // Whether each fetch that ended was cut short, in order.
    QList<bool> m_endedIncomplete;
};

void TestFetchRules::init()
{
    setUiLanguage(QStringLiteral("en-US"));
    m_prompt = std::make_unique<ScriptedPrompt>();
    const QString path = m_dir.filePath(QStringLiteral("rules.db"));
    QFile::remove(path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    m_connectionString = QStringLiteral("Provider=SQLite;Data Source=") + path;
    {
        Connection setup;
        setup.setConnectionString(m_connectionString);
        setup.open();
        setup.execute(QStringLiteral("CREATE TABLE people (id INTEGER PRIMARY KEY, name TEXT)"));
        setup.execute(QStringLiteral("INSERT INTO people VALUES (1, 'Ann'), (2, 'Bob')"));
    }
    m_view = std::make_unique<MainWindow>();
    m_view->show();
    QVERIFY(QTest::qWaitForWindowActive(m_view.get()));
    m_view->session().connection().setConnectionString(m_connectionString);
    m_view->session().connection().open();
    ui(*m_view).pages()->setCurrentWidget(ui(*m_view).page(Page::Sql));
    // The first row goes out at once, so that even a short text is caught while it streams.
    m_view->session().query().setFirstRowsMs(0);
    m_endedIncomplete.clear();
    connect(&m_view->session().query(), &Query::fetchEnded, this,
            [this] { m_endedIncomplete.append(m_view->session().query().recordset()->incomplete()); });
}

void TestFetchRules::cleanup()
{
    m_view.reset();
    m_prompt.reset();
    setUiLanguage(QStringLiteral("en-US"));
}

void TestFetchRules::startFetch(const QString &sql)
{
    ui(*m_view).editor()->setText(sql);
    ui(*m_view).pressButton(Command::Run);
    QVERIFY(m_view->session().query().isFetching());
    QVERIFY(ui(*m_view).cancelFetchButton()->isVisible());
    QVERIFY2(ui(*m_view).statusText().startsWith(QLatin1String(" Fetching records: ")),
             qPrintable(ui(*m_view).statusText()));
}

QTreeWidgetItem *TestFetchRules::tableNode(const QString &name) const
{
    return ui(*m_view).tree()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive).value(0);
}

void TestFetchRules::statusBarCountsAndCancels_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel button") << "button";
    QTest::newRow("Escape") << "Escape";
}

void TestFetchRules::statusBarCountsAndCancels()
{
    QFETCH(QString, how);
    MainWindow &v = *m_view;
    startFetch(counting(endless));
    // The count runs while the window stays live: the grid can be scrolled and read.
    QTRY_VERIFY(ui(v).resultModel()->rowCount() > 1000);
    QTRY_COMPARE(ui(v).statusText(),
                 QStringLiteral(" Fetching records: %1...").arg(v.session().query().rowCount()));
    ui(v).resultGrid()->scrollToBottom();
    QCOMPARE(ui(v).resultModel()->index(999, 1).data().toString(), QStringLiteral("row 1000"));
    // The navigator moves through what arrived but offers no edit before the end.
    const auto editButtons = [&v] {
        QList<bool> enabled;
        for (RecordNavigator::Button b :
             {RecordNavigator::Insert, RecordNavigator::Delete, RecordNavigator::Edit})
            enabled << ui(v).navigator()->button(b)->isEnabled();
        return enabled;
    };
    QCOMPARE(editButtons(), QList<bool>({false, false, false}));
    // Its texts follow the language.
    ui(v).press(Command::Portuguese);
    QVERIFY2(ui(v).statusText().startsWith(QLatin1String(" Buscando registros: ")),
             qPrintable(ui(v).statusText()));
    QCOMPARE(ui(v).cancelFetchButton()->text(), QStringLiteral("Cancelar"));
    ui(v).press(Command::English);
    QCOMPARE(ui(v).cancelFetchButton()->text(), QStringLiteral("Cancel"));

    if (how == QLatin1String("button"))
        QTest::mouseClick(ui(v).cancelFetchButton(), Qt::LeftButton);
    else
        QTest::keyClick(ui(v).resultGrid(), Qt::Key_Escape);
    QTRY_VERIFY(!v.session().query().isFetching());
    const int rows = ui(v).resultModel()->rowCount();
    QCOMPARE(ui(v).statusText(), QStringLiteral(" Selected records: %1 (incomplete: cancelled)").arg(rows));
    QCOMPARE(v.session().query().recordset()->rowCount(), rows);
    QVERIFY(!ui(v).cancelFetchButton()->isVisible());
    QCOMPARE(editButtons(), QList<bool>({true, true, true}));
    QCOMPARE(m_endedIncomplete, QList<bool>{true});
    QCOMPARE(m_prompt->beeps, 0);
}

void TestFetchRules::commandsThatReplaceTheResultCancelTheFetch_data()
{
    QTest::addColumn<QString>("command");
    for (const char *command : {"Run", "Refresh", "tree double-click", "Stats", "Connect", "Disconnect",
                                "Load", "Edit", "Compact", "navigator Refresh", "close"})
        QTest::newRow(command) << command;
}

void TestFetchRules::commandsThatReplaceTheResultCancelTheFetch()
{
    QFETCH(QString, command);
    MainWindow &v = *m_view;
    startFetch(counting(endless));

    // Each would wait for a billion rows if it did not cancel them.
    if (command == QLatin1String("Run")) {
        ui(v).editor()->setText(QStringLiteral("SELECT name FROM people"));
        ui(v).pressButton(Command::Run);
    } else if (command == QLatin1String("Refresh")) {
        ui(v).pressButton(Command::Refresh);
    } else if (command == QLatin1String("tree double-click")) {
        ui(v).tree()->setCurrentItem(tableNode(QStringLiteral("people")));
        ui(v).press(Command::QueryTable);
    } else if (command == QLatin1String("Stats")) {
        ui(v).pressButton(Command::Stats);
    } else if (command == QLatin1String("Connect")) {
        v.session().profile.connectionString = m_connectionString;
        ui(v).pressButton(Command::Connect);
    } else if (command == QLatin1String("Disconnect")) {
        ui(v).pressButton(Command::Disconnect);
    } else if (command == QLatin1String("Load")) {
        m_prompt->fileAnswers.enqueue(std::nullopt);
        ui(v).pressButton(Command::Load);
    } else if (command == QLatin1String("Edit")) {
        m_prompt->dataLinkAnswers.enqueue(QString());
        ui(v).press(Command::Edit);
    } else if (command == QLatin1String("Compact")) {
        m_prompt->dialogAnswers.enqueue(mrNo);
        ui(v).press(Command::Compact);
    } else if (command == QLatin1String("navigator Refresh")) {
        ui(v).navigator()->click(RecordNavigator::Refresh);
    } else {
        v.close();
        ui(v).settle();
    }

    QVERIFY(!m_endedIncomplete.isEmpty());
    QCOMPARE(m_endedIncomplete.first(), true);
    if (command == QLatin1String("navigator Refresh")) {
        // The same text again, arriving anew.
        QVERIFY(v.session().query().isFetching());
        return;
    }
    // A new result of a few rows still streams in after its first one.
    QTRY_VERIFY(!v.session().query().isFetching());
    QVERIFY(!v.session().connection().streaming());
    if (command == QLatin1String("Run"))
        QCOMPARE(ui(v).statusText(), QStringLiteral(" Selected records: 2"));
    if (command == QLatin1String("tree double-click"))
        QVERIFY(ui(v).editor()->text().startsWith(QLatin1String("SELECT * FROM people")));
    if (command == QLatin1String("Stats"))
        QVERIFY(ui(v).statusText().startsWith(QLatin1String(" Selected records: ")));
    if (command == QLatin1String("Refresh") || command == QLatin1String("Connect"))
        QVERIFY(v.session().connection().isOpen() && tableNode(QStringLiteral("people")));
    if (command == QLatin1String("Disconnect") || command == QLatin1String("close"))
        QVERIFY(!v.session().connection().isOpen());
    if (command == QLatin1String("Load"))
        QCOMPARE(m_prompt->openDialogs.size(), 1);
    if (command == QLatin1String("Compact"))
        QCOMPARE(m_prompt->dialogs.size(), 1);
    QVERIFY(m_prompt->errorReports.isEmpty());
}

void TestFetchRules::commandsThatKeepTheResultWaitForIt_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("Report") << "Report";
    QTest::newRow("tree click") << "tree click";
    QTest::newRow("Export data") << "Export data";
}

void TestFetchRules::commandsThatKeepTheResultWaitForIt()
{
    QFETCH(QString, command);
    MainWindow &v = *m_view;
    const qint64 rows = 200000;
    startFetch(counting(rows));

    if (command == QLatin1String("Report")) {
        ui(v).pressButton(Command::Report);
        QVERIFY(ui(v).pages()->isTabVisible(ui(v).pages()->indexOf(ui(v).page(Page::Report))));
    } else if (command == QLatin1String("Export data")) {
        m_prompt->fileAnswers.enqueue(std::nullopt);
        ui(v).press(Command::ExportData);
        QCOMPARE(m_prompt->saveDialogs.size(), 1);
    } else {
        QTreeWidgetItem *people = tableNode(QStringLiteral("people"));
        ui(v).tree()->setCurrentItem(people);
        emit ui(v).tree()->itemClicked(people, 0);
        ui(v).settle();
        QCOMPARE(ui(v).structureGrid()->item(1, 1)->text(), QStringLiteral("id"));
    }
    // The command ran once every row was in; the rows stay.
    QCOMPARE(m_endedIncomplete, QList<bool>{false});
    QCOMPARE(ui(v).resultModel()->rowCount(), int(rows));
    QVERIFY(!v.session().connection().streaming());
    QVERIFY(m_prompt->errorReports.isEmpty());
}

void TestFetchRules::failedFetchIsReportedAndKeepsItsRows()
{
    MainWindow &v = *m_view;
    // SQLite stops at the 5000th row: abs() of the smallest integer overflows.
    startFetch(
        QStringLiteral("WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 10000) "
                       "SELECT CASE WHEN i < 5000 THEN i ELSE abs(-9223372036854775807 - 1) END FROM c"));
    QTRY_VERIFY(!v.session().query().isFetching());
    QCOMPARE(ui(v).resultModel()->rowCount(), 4999);
    QCOMPARE(ui(v).statusText(), QStringLiteral(" Selected records: 4999 (incomplete: error)"));
    QCOMPARE(m_prompt->beeps, 1);
    QCOMPARE(ui(v).pages()->currentWidget(), ui(v).page(Page::Messages));
    QVERIFY2(ui(v).log()->toPlainText().contains(QLatin1String("integer overflow")),
             qPrintable(ui(v).log()->toPlainText()));
}

void TestFetchRules::doubleClickDuringTheDescribeOfItsFirstClickRunsTheQuery()
{
    MainWindow &v = *m_view;
    // The describe that the first click starts is slow: the second click comes while it runs.
    std::atomic<bool> armed{false}, inside{false}, release{false};
    const WorkRunner dialogRunner = makeDialogWorkRunner(&v, v.session().connection().rowsFetchedCounter());
    v.session().connection().setWorkRunner(
        [&](const std::function<void()> &work, const std::function<void()> &cancel) {
            dialogRunner(
                [&] {
                    if (armed.exchange(false)) {
                        inside.store(true);
                        while (!release.load())
                            std::this_thread::sleep_for(std::chrono::milliseconds(2));
                    }
                    work();
                },
                cancel);
        });
    QTreeWidgetItem *people = tableNode(QStringLiteral("people"));
    QWidget *viewport = ui(v).tree()->viewport();
    const QPoint at = ui(v).tree()->visualItemRect(people).center();
    QTimer hands;
    connect(&hands, &QTimer::timeout, this, [&] {
        if (!inside.exchange(false))
            return;
        QTest::mousePress(viewport, Qt::LeftButton, {}, at);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
        release.store(true);
    });
    hands.start(5);

    armed.store(true);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    ui(v).settle();
    QVERIFY(release.load());
    QCOMPARE(ui(v).structureGrid()->item(1, 1)->text(), QStringLiteral("id"));
    // The second click arrives once the describe is done: the table's query runs.
    QTRY_COMPARE(ui(v).statusText(), QStringLiteral(" Selected records: 2"));
    QVERIFY(ui(v).editor()->text().startsWith(QLatin1String("SELECT * FROM people")));
}

QTEST_MAIN(TestFetchRules)
#include "tst_fetchrules.moc"

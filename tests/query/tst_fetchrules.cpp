#include "PressCommand.h"
#include "ScriptedPrompt.h"

#include "connection/WorkRunnerDialog.h"
#include "editor/SqlEditor.h"
#include "query/Query.h"
#include "query/RecordNavigator.h"
#include "query/ResultGrid.h"
#include "query/ResultModel.h"
#include "shell/Language.h"
#include "shell/MessageDialog.h"
#include "shell/UMainView.h"

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
    std::unique_ptr<TMainView> m_view;
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
    m_view = std::make_unique<TMainView>();
    m_view->show();
    QVERIFY(QTest::qWaitForWindowActive(m_view.get()));
    m_view->ADOConnection1->setConnectionString(m_connectionString);
    m_view->ADOConnection1->open();
    m_view->PageControl1->setCurrentWidget(m_view->TabSheet2);
    // The first row goes out at once, so that even a short text is caught while it streams.
    m_view->ADOQuery1->setFirstRowsMs(0);
    m_endedIncomplete.clear();
    connect(m_view->ADOQuery1.get(), &Query::fetchEnded, this,
            [this] { m_endedIncomplete.append(m_view->ADOQuery1->recordset()->incomplete()); });
}

void TestFetchRules::cleanup()
{
    m_view.reset();
    m_prompt.reset();
    setUiLanguage(QStringLiteral("en-US"));
}

void TestFetchRules::startFetch(const QString &sql)
{
    m_view->SynEdit1->setText(sql);
    press(m_view->btRun);
    QVERIFY(m_view->ADOQuery1->isFetching());
    QVERIFY(m_view->btCancelFetch->isVisible());
    QVERIFY2(m_view->statusTextValue().startsWith(QLatin1String(" Fetching records: ")),
             qPrintable(m_view->statusTextValue()));
}

QTreeWidgetItem *TestFetchRules::tableNode(const QString &name) const
{
    return m_view->TreeView1->findItems(name, Qt::MatchExactly | Qt::MatchRecursive).value(0);
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
    TMainView &v = *m_view;
    startFetch(counting(endless));
    // The count runs while the window stays live: the grid can be scrolled and read.
    QTRY_VERIFY(v.DataSource1->rowCount() > 1000);
    QTRY_COMPARE(v.statusTextValue(),
                 QStringLiteral(" Fetching records: %1...").arg(v.ADOQuery1->rowCount()));
    v.DBGrid1->scrollToBottom();
    QCOMPARE(v.DataSource1->index(999, 1).data().toString(), QStringLiteral("row 1000"));
    // The navigator moves through what arrived but offers no edit before the end.
    const auto editButtons = [&v] {
        QList<bool> enabled;
        for (RecordNavigator::Button b :
             {RecordNavigator::Insert, RecordNavigator::Delete, RecordNavigator::Edit})
            enabled << v.DBNavigator1->button(b)->isEnabled();
        return enabled;
    };
    QCOMPARE(editButtons(), QList<bool>({false, false, false}));
    // Its texts follow the language.
    press(v.Pt_BR);
    QVERIFY2(v.statusTextValue().startsWith(QLatin1String(" Buscando registros: ")),
             qPrintable(v.statusTextValue()));
    QCOMPARE(v.btCancelFetch->text(), QStringLiteral("Cancelar"));
    press(v.En_US);
    QCOMPARE(v.btCancelFetch->text(), QStringLiteral("Cancel"));

    if (how == QLatin1String("button"))
        QTest::mouseClick(v.btCancelFetch, Qt::LeftButton);
    else
        QTest::keyClick(v.DBGrid1, Qt::Key_Escape);
    QTRY_VERIFY(!v.ADOQuery1->isFetching());
    const int rows = v.DataSource1->rowCount();
    QCOMPARE(v.statusTextValue(), QStringLiteral(" Selected records: %1 (incomplete: cancelled)").arg(rows));
    QCOMPARE(v.ADOQuery1->recordset()->rowCount(), rows);
    QVERIFY(!v.btCancelFetch->isVisible());
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
    TMainView &v = *m_view;
    startFetch(counting(endless));

    // Each would wait for a billion rows if it did not cancel them.
    if (command == QLatin1String("Run")) {
        v.SynEdit1->setText(QStringLiteral("SELECT name FROM people"));
        press(v.btRun);
    } else if (command == QLatin1String("Refresh")) {
        press(v.ToolButton5);
    } else if (command == QLatin1String("tree double-click")) {
        v.TreeView1->setCurrentItem(tableNode(QStringLiteral("people")));
        v.TreeView1DblClick();
    } else if (command == QLatin1String("Stats")) {
        press(v.btStats);
    } else if (command == QLatin1String("Connect")) {
        v.ProfileConnectionString = m_connectionString;
        press(v.ToolButton1);
    } else if (command == QLatin1String("Disconnect")) {
        press(v.ToolButton2);
    } else if (command == QLatin1String("Load")) {
        m_prompt->fileAnswers.enqueue(std::nullopt);
        press(v.btLoad);
    } else if (command == QLatin1String("Edit")) {
        m_prompt->dataLinkAnswers.enqueue(QString());
        press(v.Edit1);
    } else if (command == QLatin1String("Compact")) {
        m_prompt->dialogAnswers.enqueue(mrNo);
        press(v.mCompact);
    } else if (command == QLatin1String("navigator Refresh")) {
        v.DBNavigator1->click(RecordNavigator::Refresh);
    } else {
        v.close();
    }

    QVERIFY(!m_endedIncomplete.isEmpty());
    QCOMPARE(m_endedIncomplete.first(), true);
    if (command == QLatin1String("navigator Refresh")) {
        // The same text again, arriving anew.
        QVERIFY(v.ADOQuery1->isFetching());
        return;
    }
    // A new result of a few rows still streams in after its first one.
    QTRY_VERIFY(!v.ADOQuery1->isFetching());
    QVERIFY(!v.ADOConnection1->streaming());
    if (command == QLatin1String("Run"))
        QCOMPARE(v.statusTextValue(), QStringLiteral(" Selected records: 2"));
    if (command == QLatin1String("tree double-click"))
        QVERIFY(v.SynEdit1->text().startsWith(QLatin1String("SELECT * FROM people")));
    if (command == QLatin1String("Stats"))
        QVERIFY(v.statusTextValue().startsWith(QLatin1String(" Selected records: ")));
    if (command == QLatin1String("Refresh") || command == QLatin1String("Connect"))
        QVERIFY(v.ADOConnection1->isOpen() && tableNode(QStringLiteral("people")));
    if (command == QLatin1String("Disconnect") || command == QLatin1String("close"))
        QVERIFY(!v.ADOConnection1->isOpen());
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
    TMainView &v = *m_view;
    const qint64 rows = 200000;
    startFetch(counting(rows));

    if (command == QLatin1String("Report")) {
        press(v.btReport);
        QVERIFY(v.PageControl1->isTabVisible(v.PageControl1->indexOf(v.TabSheet4)));
    } else if (command == QLatin1String("Export data")) {
        m_prompt->fileAnswers.enqueue(std::nullopt);
        press(v.mExport);
        QCOMPARE(m_prompt->saveDialogs.size(), 1);
    } else {
        QTreeWidgetItem *people = tableNode(QStringLiteral("people"));
        v.TreeView1->setCurrentItem(people);
        emit v.TreeView1->itemClicked(people, 0);
        QCOMPARE(v.StringGrid1->item(1, 1)->text(), QStringLiteral("id"));
    }
    // The command ran once every row was in; the rows stay.
    QCOMPARE(m_endedIncomplete, QList<bool>{false});
    QCOMPARE(v.DataSource1->rowCount(), int(rows));
    QVERIFY(!v.ADOConnection1->streaming());
    QVERIFY(m_prompt->errorReports.isEmpty());
}

void TestFetchRules::failedFetchIsReportedAndKeepsItsRows()
{
    TMainView &v = *m_view;
    // SQLite stops at the 5000th row: abs() of the smallest integer overflows.
    startFetch(
        QStringLiteral("WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 10000) "
                       "SELECT CASE WHEN i < 5000 THEN i ELSE abs(-9223372036854775807 - 1) END FROM c"));
    QTRY_VERIFY(!v.ADOQuery1->isFetching());
    QCOMPARE(v.DataSource1->rowCount(), 4999);
    QCOMPARE(v.statusTextValue(), QStringLiteral(" Selected records: 4999 (incomplete: error)"));
    QCOMPARE(m_prompt->beeps, 1);
    QCOMPARE(v.PageControl1->currentWidget(), v.TabSheet3);
    QVERIFY2(v.reMessages->toPlainText().contains(QLatin1String("integer overflow")),
             qPrintable(v.reMessages->toPlainText()));
}

void TestFetchRules::doubleClickDuringTheDescribeOfItsFirstClickRunsTheQuery()
{
    TMainView &v = *m_view;
    // The describe that the first click starts is slow: the second click comes while it runs.
    std::atomic<bool> armed{false}, inside{false}, release{false};
    const WorkRunner dialogRunner = makeDialogWorkRunner(&v, v.ADOConnection1->rowsFetchedCounter());
    v.ADOConnection1->setWorkRunner(
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
    QWidget *viewport = v.TreeView1->viewport();
    const QPoint at = v.TreeView1->visualItemRect(people).center();
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
    QVERIFY(release.load());
    QCOMPARE(v.StringGrid1->item(1, 1)->text(), QStringLiteral("id"));
    // The second click arrives once the describe is done: the table's query runs.
    QTRY_COMPARE(v.statusTextValue(), QStringLiteral(" Selected records: 2"));
    QVERIFY(v.SynEdit1->text().startsWith(QLatin1String("SELECT * FROM people")));
}

QTEST_MAIN(TestFetchRules)
#include "tst_fetchrules.moc"

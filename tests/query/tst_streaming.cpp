#include "PacedBackend.h"

#include "connection/WorkRunnerDialog.h"
#include "db/fetch/CellSink.h"
#include "db/fetch/RowStore.h"
#include "query/Query.h"
#include "query/ResultGrid.h"
#include "query/ResultModel.h"
#include "query/RowEditor.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// A result shown while its rows arrive: the query, the model and the grid over a fetch that goes
// on after the first rows, and the connection that stays busy with it.
class TestStreaming : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void modelGrowsInBatchesWhileRowsArrive();
    void cancelKeepsWhatArrived_data();
    void cancelKeepsWhatArrived();
    void failureKeepsWhatArrivedAndSaysWhy();
    void editsWaitForTheEndOfTheFetch_data();
    void editsWaitForTheEndOfTheFetch();
    void otherCallsWaitForTheFetchAndNeverOverlapIt_data();
    void otherCallsWaitForTheFetchAndNeverOverlapIt();
    void editorGoingFirstLeavesTheFetchNothingToWriteInto();
    void queryGoingAwayCancelsItsFetchOffItsThread();
    void rowsStreamedElsewhereWaitForTheFetch();
    void resultLargerThanTheBudgetReadsBackCellForCell();
    void laterResultOfTheTextReplacesTheStreamedOne();

private:
    void openPaced(qint64 total);
    void openSqlite();
    // The grid over the model, as the window shows it.
    void showGrid();
    QString cell(int row, int column) const;

    QTemporaryDir m_dir;
    PacedBackend *m_paced = nullptr;
    std::unique_ptr<Connection> m_conn;
    std::unique_ptr<Query> m_query;
    std::unique_ptr<ResultModel> m_model;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
    std::unique_ptr<ResultGrid> m_grid;
    QStringList m_errors;
};

void TestStreaming::init()
{
    m_conn = std::make_unique<Connection>();
    m_errors.clear();
}

void TestStreaming::cleanup()
{
    if (m_paced)
        m_paced->allow(m_paced->total()); // nothing left waiting
    m_grid.reset();
    m_tester.reset();
    m_model.reset();
    m_query.reset();
    m_conn.reset();
    m_paced = nullptr;
    RowStore::setDefaultMemoryBudget(256ll * 1024 * 1024);
}

void TestStreaming::openPaced(qint64 total)
{
    auto backend = std::make_unique<PacedBackend>(total);
    m_paced = backend.get();
    // The window's runner, event loop included: whatever else the loop runs while a call waits
    // would show as an overlapping call.
    m_conn->setWorkRunner(makeDialogWorkRunner(nullptr, m_conn->rowsFetchedCounter()));
    m_conn->openWith(std::move(backend));
    m_paced->setCallMs(20);
    m_query = std::make_unique<Query>(m_conn.get());
    m_query->setStreaming(true);
    m_query->setFirstRowsMs(0); // the first row goes out at once
    m_query->setSql(QStringLiteral("SELECT id, name FROM t"));
    m_model = std::make_unique<ResultModel>(m_query.get());
    m_model->editor()->setErrorHandler([this](const QString &text) { m_errors.append(text); });
    m_tester = std::make_unique<QAbstractItemModelTester>(
        m_model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
}

void TestStreaming::openSqlite()
{
    const QString path = m_dir.filePath(QStringLiteral("stream.db"));
    QFile::remove(path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    m_conn->setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
    m_conn->open();
    m_query = std::make_unique<Query>(m_conn.get());
    m_query->setStreaming(true);
    m_query->setFirstRowsMs(0);
    m_model = std::make_unique<ResultModel>(m_query.get());
    m_tester = std::make_unique<QAbstractItemModelTester>(
        m_model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
}

void TestStreaming::showGrid()
{
    m_grid = std::make_unique<ResultGrid>();
    m_grid->resize(600, 400);
    m_grid->setModel(m_model.get());
    m_grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_grid.get()));
}

QString TestStreaming::cell(int row, int column) const
{
    return m_model->index(row, column).data().toString();
}

void TestStreaming::modelGrowsInBatchesWhileRowsArrive()
{
    openPaced(5000);
    showGrid();
    QSignalSpy inserted(m_model.get(), &QAbstractItemModel::rowsInserted);
    QSignalSpy ended(m_query.get(), &Query::fetchEnded);
    m_paced->allow(1);
    QVERIFY(m_query->run());
    // The first row is on show while the rest is still to come.
    QVERIFY(m_query->isFetching());
    QCOMPARE(m_model->rowCount(), 1);
    QCOMPARE(cell(0, 1), PacedBackend::nameOf(0));

    m_paced->allow(3000);
    QTRY_COMPARE(m_model->rowCount(), 3000);
    QVERIFY(m_query->isFetching());
    // The window reads and scrolls what has arrived.
    m_grid->scrollToBottom();
    QCOMPARE(cell(2999, 0), QStringLiteral("3000"));
    QCOMPARE(cell(1234, 1), PacedBackend::nameOf(1234));

    m_paced->allow(5000);
    QVERIFY(ended.wait());
    QCOMPARE(m_model->rowCount(), 5000);
    QVERIFY(!m_query->recordset()->incomplete());
    QCOMPARE(cell(4999, 1), PacedBackend::nameOf(4999));
    QVERIFY(!m_conn->streaming());
    // In batches, not a signal per row.
    QVERIFY2(inserted.count() <= 10, qPrintable(QString::number(inserted.count())));
}

void TestStreaming::cancelKeepsWhatArrived_data()
{
    QTest::addColumn<QString>("phase");
    QTest::newRow("before the first rows") << "before";
    QTest::newRow("while rows arrive") << "during";
    QTest::newRow("after the last row") << "after";
}

void TestStreaming::cancelKeepsWhatArrived()
{
    QFETCH(QString, phase);
    openPaced(1000);
    QSignalSpy ended(m_query.get(), &Query::fetchEnded);

    if (phase == QLatin1String("before")) {
        // Nothing has come yet: the run waits in the progress dialog, whose Cancel ends it.
        QTimer hands;
        connect(&hands, &QTimer::timeout, this, [] {
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                if (auto *dialog = qobject_cast<WorkRunnerDialog *>(widget); dialog && dialog->isVisible())
                    QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
            }
        });
        hands.start(20);
        try {
            m_query->run();
            QFAIL("the run was not cancelled");
        } catch (const DataAccessError &error) {
            QCOMPARE(error.text(), QStringLiteral("interrupted"));
        }
        QVERIFY(!m_query->isOpen());
        QVERIFY(!m_conn->streaming());
    } else {
        m_paced->allow(1);
        QVERIFY(m_query->run());
        if (phase == QLatin1String("during")) {
            m_paced->allow(400);
            QTRY_COMPARE(m_query->rowCount(), 400);
        } else {
            m_paced->allow(1000);
            QVERIFY(ended.wait());
        }
        m_query->cancelFetch();
        QTRY_VERIFY(!m_query->isFetching());
        const qint64 rows = phase == QLatin1String("during") ? 400 : 1000;
        QCOMPARE(m_model->rowCount(), int(rows));
        QCOMPARE(m_query->recordset()->incomplete(), phase == QLatin1String("during"));
        QCOMPARE(cell(int(rows) - 1, 1), PacedBackend::nameOf(rows - 1));
        QCOMPARE(ended.count(), 1);
        QVERIFY(m_query->fetchError().isEmpty());
    }
    // The connection is free for the next statement.
    m_paced->allow(1000);
    QVERIFY(m_query->run());
    m_query->finishFetch(false);
    QCOMPARE(m_model->rowCount(), 1000);
    QVERIFY(!m_paced->overlapped());
}

void TestStreaming::failureKeepsWhatArrivedAndSaysWhy()
{
    openPaced(1000);
    m_paced->failAt(700);
    m_paced->allow(1);
    QVERIFY(m_query->run());
    m_paced->allow(1000);
    QSignalSpy ended(m_query.get(), &Query::fetchEnded);
    QVERIFY(ended.wait());
    QCOMPARE(m_query->fetchError(), QStringLiteral("row 701 cannot be read"));
    QVERIFY(m_query->recordset()->incomplete());
    QCOMPARE(m_model->rowCount(), 700);
    QCOMPARE(cell(699, 1), PacedBackend::nameOf(699));
    QVERIFY(m_conn->isOpen());
}

void TestStreaming::editsWaitForTheEndOfTheFetch_data()
{
    QTest::addColumn<bool>("cancelled");
    QTest::newRow("all rows in") << false;
    QTest::newRow("cancelled half way") << true;
}

void TestStreaming::editsWaitForTheEndOfTheFetch()
{
    QFETCH(bool, cancelled);
    openPaced(300);
    m_paced->allow(1);
    QVERIFY(m_query->run());
    RowEditor *editor = m_model->editor();
    const QModelIndex first = m_model->index(0, 1);

    // While rows arrive nothing can be changed, and the reason is given.
    QVERIFY(!(first.flags() & Qt::ItemIsEditable));
    QVERIFY(!editor->edit());
    QCOMPARE(m_errors, QStringList{RowEditor::arrivingText()});
    QVERIFY(!editor->insert());
    QCOMPARE(editor->state(), RowEditor::State::Browse);
    // The analysis has not asked the database yet: the fetch has the session.
    QVERIFY(!m_paced->log().contains(QStringLiteral("primaryKeys")));

    if (cancelled) {
        m_paced->allow(100);
        QTRY_COMPARE(m_query->rowCount(), 100);
        m_query->cancelFetch();
    } else {
        m_paced->allow(300);
    }
    QTRY_VERIFY(!m_query->isFetching());
    QTRY_VERIFY(editor->isEditable());
    QVERIFY(m_model->index(0, 1).flags() & Qt::ItemIsEditable);
    QVERIFY(editor->edit());
    QCOMPARE(editor->state(), RowEditor::State::Edit);
    editor->cancel();
    // The analysis came after the last row, never beside the fetch.
    const QStringList log = m_paced->log();
    QVERIFY(!m_paced->overlapped());
    if (!cancelled)
        QVERIFY2(log.indexOf(QStringLiteral("last row")) < log.indexOf(QStringLiteral("primaryKeys")),
                 qPrintable(log.join(u',')));
}

void TestStreaming::otherCallsWaitForTheFetchAndNeverOverlapIt_data()
{
    QTest::addColumn<bool>("cancelled");
    QTest::newRow("all rows in") << false;
    QTest::newRow("after a cancel") << true;
}

void TestStreaming::otherCallsWaitForTheFetchAndNeverOverlapIt()
{
    QFETCH(bool, cancelled);
    openPaced(2000);
    m_paced->allow(1);
    QVERIFY(m_query->run());
    QSignalSpy ended(m_query.get(), &Query::fetchEnded);
    if (cancelled) {
        // The analysis of a cancelled result is work of its own: it follows the call below.
        m_paced->allow(500);
        QTRY_COMPARE(m_query->rowCount(), 500);
        m_query->cancelFetch();
    } else {
        m_paced->allow(2000);
    }
    // A call while the rows are arriving waits for the last one before it reaches the session.
    const QList<TableInfo> tables = m_conn->tables();
    QCOMPARE(tables.size(), 1);
    QCOMPARE(ended.count(), 1);
    QVERIFY(!m_query->isFetching());
    QCOMPARE(m_model->rowCount(), cancelled ? 500 : 2000);
    QTRY_VERIFY(m_model->editor()->isEditable());
    const QStringList log = m_paced->log();
    if (cancelled) {
        QVERIFY2(log.indexOf(QStringLiteral("tables")) < log.indexOf(QStringLiteral("primaryKeys")),
                 qPrintable(log.join(u',')));
    } else {
        // The analysis is the fetch's own last step.
        QVERIFY2(log.indexOf(QStringLiteral("last row")) < log.indexOf(QStringLiteral("tables")),
                 qPrintable(log.join(u',')));
    }
    QVERIFY(!m_paced->overlapped());
}

void TestStreaming::editorGoingFirstLeavesTheFetchNothingToWriteInto()
{
    openPaced(500);
    m_paced->allow(1);
    QVERIFY(m_query->run());
    // The model and its record editor go while rows still arrive; the query stays.
    m_tester.reset();
    m_model.reset();
    QSignalSpy ended(m_query.get(), &Query::fetchEnded);
    m_paced->allow(500);
    // The fetch ends with its analysis step, which the editor had handed it.
    QVERIFY(ended.wait());
    QVERIFY(!m_query->isFetching());
    QCOMPARE(m_query->rowCount(), 500);
}

void TestStreaming::queryGoingAwayCancelsItsFetchOffItsThread()
{
    openPaced(500);
    m_paced->allow(1);
    QVERIFY(m_query->run());
    // The query goes with its rows still arriving: the fetch is cancelled and waited for. The
    // cancel may have to reach the server over a connection of its own (MySQL's KILL QUERY, with
    // its connect timeout): never on the thread that lets the query go.
    m_tester.reset();
    m_model.reset();
    m_query.reset();
    QVERIFY(!m_conn->streaming());
    const QList<std::thread::id> threads = m_paced->cancelThreads();
    QCOMPARE(threads.size(), 1);
    QVERIFY(threads.first() != std::this_thread::get_id());
}

namespace {

// Counts the rows streamed into it.
class CountingSink : public CellSink
{
public:
    qint64 rows = 0;
    void beginRow() override {}
    void addNull() override {}
    void addInt(qint64) override {}
    void addDouble(double) override {}
    void addBool(bool) override {}
    void addText(const char *, qsizetype) override {}
    void addBlob(const char *, qsizetype) override {}
    void endRow() override { ++rows; }
};

} // namespace

void TestStreaming::rowsStreamedElsewhereWaitForTheFetch()
{
    openPaced(300);
    m_paced->allow(1);
    QVERIFY(m_query->run());
    m_paced->allow(300);
    // A data export of the same session while the rows on show are still arriving: it runs once
    // the last of them is in, never beside the fetch.
    CountingSink sink;
    QVERIFY(m_conn->streamRows(QStringLiteral("SELECT id, name FROM t"),
                               [&sink](const QList<FieldInfo> &) -> CellSink & { return sink; }));
    QCOMPARE(sink.rows, 300);
    QVERIFY(!m_query->isFetching());
    QCOMPARE(m_model->rowCount(), 300);
    QVERIFY(!m_paced->overlapped());
}

void TestStreaming::resultLargerThanTheBudgetReadsBackCellForCell()
{
    // A budget far below the result: most of it lives in the spill file while it is read.
    RowStore::setDefaultMemoryBudget(64 * 1024);
    openSqlite();
    const int rows = 20000;
    m_query->setSql(
        QStringLiteral("WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < %1) "
                       "SELECT i, i * 7 % 1000, 'text ' || i || substr(printf('%.90c', 'x'), 1, i % 90), "
                       "CASE WHEN i % 5 = 0 THEN NULL ELSE i / 4.0 END, "
                       "CASE WHEN i % 3 = 0 THEN zeroblob(i % 50) END FROM c")
            .arg(rows));
    QVERIFY(m_query->run());
    QSignalSpy ended(m_query.get(), &Query::fetchEnded);
    if (m_query->isFetching())
        QVERIFY(ended.wait());
    QCOMPARE(m_model->rowCount(), rows);
    QVERIFY(m_query->recordset()->rows().spilledBytes() > 0);
    for (int r = 0; r < rows; ++r) {
        const qint64 i = r + 1;
        const auto at = [&](int column) { return m_model->index(r, column).data(Qt::EditRole); };
        QCOMPARE(at(0).toLongLong(), i);
        QCOMPARE(at(1).toLongLong(), i * 7 % 1000);
        QCOMPARE(at(2).toString(), QStringLiteral("text %1").arg(i) + QString(int(i % 90), u'x'));
        if (i % 5 == 0)
            QVERIFY(at(3).isNull());
        else
            QCOMPARE(at(3).toDouble(), double(i) / 4.0);
        if (i % 3 == 0)
            QCOMPARE(at(4).toByteArray(), QByteArray(int(i % 50), '\0'));
        else
            QVERIFY(at(4).isNull());
    }
}

void TestStreaming::laterResultOfTheTextReplacesTheStreamedOne()
{
    openSqlite();
    m_query->setSql(
        QStringLiteral("WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 50000) "
                       "SELECT i FROM c; SELECT 42 AS answer"));
    QVERIFY(m_query->run());
    QSignalSpy ended(m_query.get(), &Query::fetchEnded);
    if (m_query->isFetching())
        QVERIFY(ended.wait());
    // A text gives its last result, whether or not an earlier one was on show.
    QCOMPARE(m_model->rowCount(), 1);
    QCOMPARE(m_model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("answer"));
    QCOMPARE(cell(0, 0), QStringLiteral("42"));
}

QTEST_MAIN(TestStreaming)
#include "tst_streaming.moc"

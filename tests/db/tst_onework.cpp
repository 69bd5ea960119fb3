#include "db/DataAccess.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <thread>

namespace {

// A runner like the window's: the work runs on a thread of its own while this thread handles
// events, so that whatever the event loop holds runs during the wait.
void runWithEventLoop(const std::function<void()> &work, const std::function<void()> &)
{
    QEventLoop loop;
    std::atomic<bool> finished{false};
    std::exception_ptr error;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
        finished.store(true);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    // Events handled while the work runs for a while.
    QTest::qWait(50);
    while (!finished.load())
        loop.exec();
    worker.join();
    if (error)
        std::rethrow_exception(error);
}

// Work long enough for the events posted in front of it to be handled during its wait.
const QString slowQuery = QStringLiteral("WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c "
                                         "WHERE i < 300000) SELECT count(*) FROM c");

} // namespace

// One piece of work at a time on a connection: work handed over while other work runs waits for
// it, and work started from inside another's wait is refused.
class TestOneWork : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void workHandedOverRunsOnceTheWaitHasReturned();
    void aHoldKeepsHandedOverWorkWaiting();
    void workStartedInsideAnotherWaitIsRefused();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Connection> m_conn;
};

void TestOneWork::init()
{
    const QString path = m_dir.filePath(QStringLiteral("one.db"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    m_conn = std::make_unique<Connection>();
    m_conn->setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
    m_conn->setWorkRunner(runWithEventLoop);
    m_conn->open();
}

void TestOneWork::workHandedOverRunsOnceTheWaitHasReturned()
{
    QStringList order;
    bool waitingWhenRun = true;
    // Posted before the work starts, so handled inside its wait: as the analysis that follows a
    // cancelled fetch is.
    QTimer::singleShot(0, this, [&] {
        order << QStringLiteral("handed over");
        m_conn->whenIdle([&] {
            waitingWhenRun = m_conn->waiting();
            order << QStringLiteral("first task");
            m_conn->execute(QStringLiteral("SELECT 1"));
        });
        m_conn->whenIdle([&] { order << QStringLiteral("second task"); });
    });
    m_conn->execute(slowQuery);
    order << QStringLiteral("work returned");
    QTRY_COMPARE(order.size(), 4);
    QCOMPARE(order, (QStringList{QStringLiteral("handed over"), QStringLiteral("work returned"),
                                 QStringLiteral("first task"), QStringLiteral("second task")}));
    QVERIFY(!waitingWhenRun);
}

void TestOneWork::aHoldKeepsHandedOverWorkWaiting()
{
    bool ran = false;
    {
        const Connection::Hold hold(*m_conn);
        m_conn->whenIdle([&] { ran = true; });
        QTest::qWait(50);
        QVERIFY(!ran);
    }
    QTRY_VERIFY(ran);
}

void TestOneWork::workStartedInsideAnotherWaitIsRefused()
{
    if (qEnvironmentVariableIsSet("ORVESSA_NESTED_CHILD")) {
        // The child: a call made from an event handled during the wait.
        QTimer::singleShot(0, this, [this] { m_conn->tables(); });
        try {
            m_conn->execute(slowQuery);
        } catch (const DataAccessError &e) {
            // Only release builds get this far: the nested call threw inside the event handler.
            qFatal("refused: %s", qPrintable(e.text()));
        }
        return;
    }
#ifdef QT_NO_DEBUG
    QString refusal;
    QTimer::singleShot(0, this, [&] {
        try {
            m_conn->tables();
        } catch (const DataAccessError &e) {
            refusal = e.text();
        }
    });
    m_conn->execute(slowQuery);
    QVERIFY2(refusal.startsWith(QStringLiteral("Internal error: work was started")), qPrintable(refusal));
#else
    // Debug builds stop at the assertion: seen from a child process.
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ORVESSA_NESTED_CHILD"), QStringLiteral("1"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("workStartedInsideAnotherWaitIsRefused")});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    QVERIFY2(child.readAll().contains("work started from an event handled while other work was "
                                      "waited for"),
             "the child did not stop at the assertion");
#endif
}

QTEST_GUILESS_MAIN(TestOneWork)
#include "tst_onework.moc"

#include "ScriptedPrompt.h"
#include "TestServers.h"

#include "WindowDriver.h"
#include "db/Backends.h"
#include "editor/SqlEditor.h"

#include <QAction>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest/QtTest>

// A session that goes away under an open connection (its server process killed, the server
// stopped and started again) is noticed by the next command, which fails with the driver's
// text; the connection closes itself, running the after-disconnect notification, and opens
// again as soon as the server is back. Stops the shared test servers: runs alone (RUN_SERIAL).

namespace {

enum class Server { Postgres, Mysql, OdbcPostgres };

// How long the next command may take to notice: the connect timeout the backends use.
constexpr qint64 NoticeWithinMs = 10000;

// Stops a test server; whatever happens after, it is there again for the tests that follow.
struct StoppedServer
{
    QString name;
    bool stopped = false;
    explicit StoppedServer(const QString &server) : name(server)
    {
        stopped = TestServers::controlServer(QStringLiteral("stop"), name);
    }
    bool start()
    {
        stopped = !TestServers::controlServer(QStringLiteral("start"), name);
        return !stopped;
    }
    ~StoppedServer()
    {
        if (stopped)
            TestServers::controlServer(QStringLiteral("start"), name);
    }
};

} // namespace

Q_DECLARE_METATYPE(Server)

class TestLostConnection : public QObject
{
    Q_OBJECT

private slots:
    void aKilledSessionClosesTheConnection_data();
    void aKilledSessionClosesTheConnection();
    void aServerThatGoesAwayIsNoticedAndComesBack_data();
    void aServerThatGoesAwayIsNoticedAndComesBack();
    void theWindowShowsItAndConnectOpensItAgain();
    void refreshReconnectsALostSessionOnly();

private:
    // The test database of the server, or an empty string (the test then skipped or failed).
    static QString connectionString(Server server);
    static QString backendPid(Connection &connection, Server server);
    // Opens the window on a PostgreSQL database, then ends its session from another connection;
    // returns the ended session's process id, or an empty string when the window did not open.
    static QString openThenEndItsSession(MainWindow &view, const QString &cs);
};

QString TestLostConnection::connectionString(Server server)
{
    const QString base =
        server == Server::Mysql ? TestServers::mysqlConnectionString() : TestServers::pgConnectionString();
    if (base.isEmpty())
        return QString();
    const QString database = TestServers::freshDatabase(base, QStringLiteral("orvessa_tst_lost"));
    return server == Server::OdbcPostgres ? TestServers::pgOdbcConnectionString(database) : database;
}

QString TestLostConnection::backendPid(Connection &connection, Server server)
{
    const char *sql = server == Server::Mysql ? "SELECT CONNECTION_ID()" : "SELECT pg_backend_pid()";
    return connection.execute(QString::fromLatin1(sql)).recordset->value(0, 0).toString();
}

QString TestLostConnection::openThenEndItsSession(MainWindow &view, const QString &cs)
{
    view.applyLanguage();
    view.session().profile.connectionString = cs;
    ui(view).press(Command::Connect);
    if (!view.session().connection().isOpen() || ui(view).tree()->topLevelItemCount() == 0)
        return QString();
    const QString pid = backendPid(view.session().connection(), Server::Postgres);
    Connection other;
    other.setConnectionString(cs);
    other.open();
    other.execute(QStringLiteral("SELECT pg_terminate_backend(%1)").arg(pid));
    return pid;
}

#define ORVESSA_REQUIRE(var, server)                                                                         \
    const QString var = connectionString(server);                                                            \
    if (var.isEmpty()) {                                                                                     \
        if (TestServers::requiredByCi())                                                                     \
            QFAIL("test server not running: run scripts/start-test-servers and source its env file");        \
        QSKIP("test server not running (scripts/start-test-servers, then source the env file)");             \
    }

void TestLostConnection::aKilledSessionClosesTheConnection_data()
{
    QTest::addColumn<Server>("server");
    QTest::addColumn<QString>("kill");
    QTest::newRow("PostgreSQL") << Server::Postgres << "SELECT pg_terminate_backend(%1)";
    QTest::newRow("MariaDB") << Server::Mysql << "KILL %1";
    QTest::newRow("ODBC PostgreSQL") << Server::OdbcPostgres << "SELECT pg_terminate_backend(%1)";
}

void TestLostConnection::aKilledSessionClosesTheConnection()
{
    QFETCH(Server, server);
    QFETCH(QString, kill);
    ORVESSA_REQUIRE(cs, server);
    Connection connection;
    int disconnects = 0;
    bool lostWhenNotified = false;
    connection.setAfterDisconnect([&] {
        ++disconnects;
        lostWhenNotified = connection.connectionLost();
    });
    connection.setConnectionString(cs);
    connection.open();
    const QString pid = backendPid(connection, server);

    Connection other;
    other.setConnectionString(cs);
    other.open();
    other.execute(kill.arg(pid));

    QElapsedTimer timer;
    timer.start();
    try {
        connection.execute(QStringLiteral("SELECT 1"));
        QFAIL("the lost session went unnoticed");
    } catch (const ConnectionLostError &error) {
        QVERIFY(!error.text().isEmpty());
    }
    QVERIFY(timer.elapsed() < NoticeWithinMs);
    QVERIFY(!connection.isOpen());
    QCOMPARE(disconnects, 1);
    QVERIFY(lostWhenNotified);
    QCOMPARE(connection.connectionString(), cs); // Connect opens it again

    connection.open();
    QVERIFY(!connection.connectionLost());
    QVERIFY(backendPid(connection, server) != pid);
}

void TestLostConnection::aServerThatGoesAwayIsNoticedAndComesBack_data()
{
    QTest::addColumn<Server>("server");
    QTest::addColumn<QString>("name");
    QTest::newRow("PostgreSQL") << Server::Postgres << "pg";
    QTest::newRow("MariaDB") << Server::Mysql << "mysql";
}

void TestLostConnection::aServerThatGoesAwayIsNoticedAndComesBack()
{
    QFETCH(Server, server);
    QFETCH(QString, name);
    ORVESSA_REQUIRE(cs, server);
    Connection connection;
    connection.setConnectionString(cs);
    connection.open();
    connection.execute(QStringLiteral("CREATE TABLE kept (v INTEGER)"));
    connection.execute(QStringLiteral("INSERT INTO kept (v) VALUES (42)"));

    StoppedServer stopped(name);
    QVERIFY(stopped.stopped);

    QElapsedTimer timer;
    timer.start();
    QVERIFY_THROWS_EXCEPTION(ConnectionLostError, connection.tables());
    QVERIFY(timer.elapsed() < NoticeWithinMs);
    QVERIFY(!connection.isOpen());

    // While the server is away, Connect fails with the client library's words.
    timer.restart();
    try {
        connection.open();
        QFAIL("connected to a stopped server");
    } catch (const DataAccessError &error) {
        QVERIFY2(!error.text().isEmpty(), "no text");
    }
    QVERIFY(timer.elapsed() < NoticeWithinMs);
    QVERIFY(!connection.isOpen());

    QVERIFY(stopped.start());
    connection.open();
    QCOMPARE(connection.execute(QStringLiteral("SELECT v FROM kept")).recordset->value(0, 0).toLongLong(),
             42);
}

void TestLostConnection::theWindowShowsItAndConnectOpensItAgain()
{
    ORVESSA_REQUIRE(cs, Server::Postgres);
    ScriptedPrompt prompt;
    MainWindow view;
    QVERIFY(!openThenEndItsSession(view, cs).isEmpty());

    // The next command logs the server's words; caption, tree and commands say disconnected.
    ui(view).editor()->setText(QStringLiteral("SELECT 1"));
    ui(view).press(Command::Run);
    QVERIFY(!view.session().connection().isOpen());
    QVERIFY2(ui(view).log()->toPlainText().contains(QLatin1String("terminating connection")),
             qPrintable(ui(view).log()->toPlainText()));
    QCOMPARE(view.windowTitle(), QStringLiteral("Orvessa"));
    QCOMPARE(ui(view).tree()->topLevelItemCount(), 0);
    QCOMPARE(view.session().profile.connectionString, cs);

    // Connect opens the same string again without asking for one.
    ui(view).press(Command::Connect);
    QVERIFY(view.session().connection().isOpen());
    QVERIFY(prompt.dataLinkInitials.isEmpty());
    QVERIFY(ui(view).tree()->topLevelItemCount() > 0);
}

void TestLostConnection::refreshReconnectsALostSessionOnly()
{
    ORVESSA_REQUIRE(cs, Server::Postgres);
    ScriptedPrompt prompt;
    MainWindow view;
    const QString pid = openThenEndItsSession(view, cs);
    QVERIFY(!pid.isEmpty());
    const QString root = ui(view).tree()->topLevelItem(0)->text(0);
    ui(view).editor()->setText(QStringLiteral("SELECT 1"));
    ui(view).press(Command::Run);
    QVERIFY(!view.session().connection().isOpen());
    QVERIFY(ui(view).action(Command::Refresh)->isEnabled());
    QVERIFY(ui(view).button(Command::Refresh)->isEnabled());

    {
        // A reconnect while the server is away fails with its words and can be tried again.
        StoppedServer server(QStringLiteral("pg"));
        QVERIFY(server.stopped);
        const qsizetype logged = ui(view).log()->toPlainText().size();
        ui(view).press(Command::Refresh);
        QVERIFY(!view.session().connection().isOpen());
        QVERIFY(ui(view).log()->toPlainText().size() > logged);
        QVERIFY(ui(view).action(Command::Refresh)->isEnabled());
        QVERIFY(server.start());
    }

    // The same string opens again, without asking for one, and the tree is filled again.
    ui(view).press(Command::Refresh);
    QVERIFY2(view.session().connection().isOpen(), qPrintable(ui(view).log()->toPlainText()));
    QVERIFY(prompt.dataLinkInitials.isEmpty());
    QCOMPARE(ui(view).tree()->topLevelItemCount(), 1);
    QCOMPARE(ui(view).tree()->topLevelItem(0)->text(0), root);
    QVERIFY(view.windowTitle() != QStringLiteral("Orvessa"));
    QVERIFY(backendPid(view.session().connection(), Server::Postgres) != pid);
    QVERIFY(ui(view).action(Command::Refresh)->isEnabled());

    // A Disconnect is the user's choice: Refresh is off, and does nothing if called.
    ui(view).press(Command::Disconnect);
    QVERIFY(!view.session().connection().isOpen());
    QVERIFY(!ui(view).action(Command::Refresh)->isEnabled());
    ui(view).press(Command::Refresh);
    QVERIFY(!view.session().connection().isOpen());
    QVERIFY(prompt.dataLinkInitials.isEmpty());
}

QTEST_MAIN(TestLostConnection)
#include "tst_lostconnection.moc"

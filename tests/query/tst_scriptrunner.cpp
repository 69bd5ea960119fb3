#include "TestServers.h"

#include "editor/StatementSplitter.h"
#include "query/ScriptLog.h"
#include "query/ScriptRunner.h"
#include "shell/texts/WorkbenchTexts.h"

#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <thread>

// Scripts run statement by statement on SQLite and on the PostgreSQL and MariaDB test servers.

namespace {

enum class Kind { Sqlite, Postgres, Mysql };

SqlDialect dialectOf(Kind kind)
{
    switch (kind) {
    case Kind::Postgres:
        return SqlDialect::PostgreSql;
    case Kind::Mysql:
        return SqlDialect::MySql;
    case Kind::Sqlite:
        break;
    }
    return SqlDialect::Sqlite;
}

// A new empty SQLite database file.
QString newSqliteFile(const QString &path)
{
    QFile::remove(path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot create %s", qPrintable(path));
    return QStringLiteral("Provider=SQLite;Data Source=") + path;
}

// Rows 1, 2, 3, ... and then a long wait, until cancelled.
QString endlessRows(Kind kind)
{
    if (kind == Kind::Postgres)
        return QStringLiteral(
            "SELECT g FROM generate_series(1, 200000) g UNION ALL SELECT 0 FROM pg_sleep(60)");
    if (kind == Kind::Mysql)
        return QStringLiteral("SELECT seq FROM seq_1_to_200000 WHERE seq < 200000 OR SLEEP(60) = 0");
    return QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT x FROM c");
}

using Result = StatementOutcome::Result;

} // namespace

Q_DECLARE_METATYPE(Kind)
Q_DECLARE_METATYPE(ScriptRunner::OnError)

class TestScriptRunner : public QObject
{
    Q_OBJECT

private slots:
    void errorsStopTheScriptOrAreRunPast_data();
    void errorsStopTheScriptOrAreRunPast();
    void cancelStopsTheStatementAndTheScript_data();
    void cancelStopsTheStatementAndTheScript();
    void psqlCommandsAreNotSent();
    void logNamesEachStatementByItsLine();

private:
    static void addKinds(const char *suffix, const std::function<void(QTestData &)> &more);
    // A fresh database of the kind, opened; skips (fails in CI) when its server is not running.
    std::unique_ptr<Connection> open(Kind kind, const char *name);

    QTemporaryDir m_dir;
};

void TestScriptRunner::addKinds(const char *suffix, const std::function<void(QTestData &)> &more)
{
    const std::pair<const char *, Kind> kinds[] = {
        {"SQLite", Kind::Sqlite}, {"PostgreSQL", Kind::Postgres}, {"MariaDB", Kind::Mysql}};
    for (const auto &[name, kind] : kinds) {
        QTestData &row = QTest::newRow((QByteArray(name) + suffix).constData()) << kind;
        if (more)
            more(row);
    }
}

std::unique_ptr<Connection> TestScriptRunner::open(Kind kind, const char *name)
{
    QString connectionString;
    if (kind == Kind::Sqlite) {
        connectionString = newSqliteFile(m_dir.filePath(QString::fromLatin1(name) + QStringLiteral(".db")));
    } else {
        const QString server =
            kind == Kind::Postgres ? TestServers::pgConnectionString() : TestServers::mysqlConnectionString();
        if (server.isEmpty())
            return nullptr;
        connectionString =
            TestServers::freshDatabase(server, QStringLiteral("orvessa_script_") + QString::fromLatin1(name));
    }
    auto connection = std::make_unique<Connection>();
    connection->setConnectionString(connectionString);
    connection->open();
    return connection;
}

#define ORVESSA_OPEN(var, kind, name)                                                                        \
    const std::unique_ptr<Connection> var = open(kind, name);                                                \
    if (!var) {                                                                                              \
        if (TestServers::requiredByCi())                                                                     \
            QFAIL("test server not running: run scripts/start-test-servers and source its env file");        \
        QSKIP("test server not running (scripts/start-test-servers, then source the env file)");             \
    }

void TestScriptRunner::errorsStopTheScriptOrAreRunPast_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<ScriptRunner::OnError>("onError");
    addKinds(" stops", [](QTestData &row) { row << ScriptRunner::OnError::Stop; });
    addKinds(" goes on", [](QTestData &row) { row << ScriptRunner::OnError::Continue; });
}

void TestScriptRunner::errorsStopTheScriptOrAreRunPast()
{
    QFETCH(Kind, kind);
    QFETCH(ScriptRunner::OnError, onError);
    ORVESSA_OPEN(connection, kind, "errors");
    // The fifth statement fails on its second line, after characters outside the BMP.
    const QString script = QStringLiteral(u"CREATE TABLE items (id INTEGER PRIMARY KEY, name VARCHAR(20));\n"
                                          u"INSERT INTO items VALUES (1, 'a'), (2, 'b'), (3, 'c');\n"
                                          u"UPDATE items SET name = 'x' WHERE id >= 2;\n"
                                          u"\n"
                                          u"SELECT 'ação 😀' AS x,\n"
                                          u"  id FRM items;\n"
                                          u"DELETE FROM items WHERE id = 1;\n"
                                          u"SELECT id, name FROM items ORDER BY id;\n");
    const QList<SqlStatement> statements = StatementSplitter(dialectOf(kind)).split(script);
    QCOMPARE(statements.size(), 6);
    QList<StatementOutcome> reported;
    const ScriptResult result =
        ScriptRunner(*connection).run(statements, script, onError, [&](const StatementOutcome &outcome) {
            reported.append(outcome);
        });

    const bool stop = onError == ScriptRunner::OnError::Stop;
    QCOMPARE(result.outcomes.size(), stop ? 4 : 6);
    QCOMPARE(reported.size(), result.outcomes.size());
    QCOMPARE(result.failures, 1);
    QCOMPARE(result.stopped, stop);
    QVERIFY(!result.cancelled);

    QList<int> lines;
    for (const StatementOutcome &outcome : result.outcomes)
        lines.append(outcome.line);
    QCOMPARE(lines, (stop ? QList<int>{1, 2, 3, 5} : QList<int>{1, 2, 3, 5, 7, 8}));
    const StatementOutcome &insert = result.outcomes[1];
    QCOMPARE(insert.result, Result::Command);
    QCOMPARE(insert.affected, 3);
    QCOMPARE(result.outcomes[2].affected, 2);

    const StatementOutcome &failed = result.outcomes[3];
    QCOMPARE(failed.result, Result::Failed);
    QCOMPARE(failed.head, QStringLiteral(u"SELECT 'ação 😀' AS x,…"));
    QVERIFY(!failed.error.isEmpty());
    // Every database here points at the token it could not take.
    QCOMPARE(failed.errorLine, 6);
    QCOMPARE(script.mid(failed.errorOffset, 5), QStringLiteral("items"));

    if (stop) {
        QVERIFY(!result.rows);
        QCOMPARE(result.rowsOutcome, -1);
        QCOMPARE(
            connection->execute(QStringLiteral("SELECT COUNT(*) FROM items")).recordset->value(0, 0).toInt(),
            3);
        return;
    }
    QCOMPARE(result.outcomes[4].affected, 1);
    QCOMPARE(result.outcomes[5].result, Result::Rows);
    QCOMPARE(result.outcomes[5].rows, 2);
    QVERIFY(result.rows);
    QCOMPARE(result.rowsOutcome, 5);
    QCOMPARE(result.rows->value(1, 1).toString(), QStringLiteral("x"));
}

void TestScriptRunner::cancelStopsTheStatementAndTheScript_data()
{
    QTest::addColumn<Kind>("kind");
    addKinds("", {});
}

void TestScriptRunner::cancelStopsTheStatementAndTheScript()
{
    QFETCH(Kind, kind);
    ORVESSA_OPEN(connection, kind, "cancel");
    const QString script =
        QStringLiteral("CREATE TABLE marks (n INTEGER);\nINSERT INTO marks VALUES (1);\n%1;\n"
                       "INSERT INTO marks VALUES (2);")
            .arg(endlessRows(kind));
    std::atomic<int> done{0};
    bool cancelledInTime = false;
    const std::atomic<qint64> *fetched = connection->rowsFetchedCounter();
    // The work runs on a thread of its own, as behind the progress dialog; Cancel is pressed once
    // the third statement's rows arrive.
    connection->setWorkRunner([&](const std::function<void()> &work, const std::function<void()> &cancel) {
        std::exception_ptr error;
        std::thread worker([&] {
            try {
                work();
            } catch (...) {
                error = std::current_exception();
            }
        });
        const QDeadlineTimer deadline(30000);
        while (!(done.load() == 2 && fetched->load() > 100) && !deadline.hasExpired())
            std::this_thread::yield();
        cancelledInTime = !deadline.hasExpired();
        cancel();
        worker.join();
        if (error)
            std::rethrow_exception(error);
    });
    const ScriptResult result =
        ScriptRunner(*connection)
            .run(StatementSplitter(dialectOf(kind)).split(script), script, ScriptRunner::OnError::Continue,
                 [&](const StatementOutcome &) { ++done; });
    connection->setWorkRunner({});

    QVERIFY(cancelledInTime);
    QVERIFY(result.cancelled);
    QCOMPARE(result.outcomes.size(), 3);
    const StatementOutcome &cancelled = result.outcomes[2];
    QCOMPARE(cancelled.result, Result::Cancelled);
    QCOMPARE(cancelled.line, 3);
    QVERIFY2(cancelled.elapsedMs < 30000, "the cancel reached the running statement");
    // The rows that arrived before the cancel are the ones to show.
    QVERIFY(result.rows);
    QVERIFY(result.rows->rowCount() > 0);
    QCOMPARE(connection->execute(QStringLiteral("SELECT COUNT(*) FROM marks")).recordset->value(0, 0).toInt(),
             1);
}

void TestScriptRunner::psqlCommandsAreNotSent()
{
    QTemporaryDir dir;
    Connection connection;
    connection.setConnectionString(newSqliteFile(dir.filePath(QStringLiteral("psql.db"))));
    connection.open();
    const QString script = QStringLiteral("\\restrict k1\nCREATE TABLE t (a INTEGER);\n\\connect other\n"
                                          "INSERT INTO t VALUES (1);\n\\unrestrict k1\n");
    // Split as PostgreSQL's, run on SQLite: what the runner sends is plain SQL either way.
    const QList<SqlStatement> statements = StatementSplitter(SqlDialect::PostgreSql).split(script);
    const ScriptResult stopped =
        ScriptRunner(connection).run(statements, script, ScriptRunner::OnError::Stop);
    QList<Result> results;
    for (const StatementOutcome &outcome : stopped.outcomes)
        results.append(outcome.result);
    QCOMPARE(results, (QList<Result>{Result::Skipped, Result::Command, Result::ClientCommand}));
    QVERIFY(stopped.stopped);
    QCOMPARE(connection.execute(QStringLiteral("SELECT COUNT(*) FROM t")).recordset->value(0, 0).toInt(), 0);
}

void TestScriptRunner::logNamesEachStatementByItsLine()
{
    QTemporaryDir dir;
    Connection connection;
    connection.setConnectionString(newSqliteFile(dir.filePath(QStringLiteral("log.db"))));
    connection.open();
    const QString script = QStringLiteral("CREATE TABLE t (a INTEGER);\nINSERT INTO t VALUES (1), (2);\n"
                                          "SELECT a\n  FROM t;\n\nSELECT *\n  FRM t;\nDELETE FROM t;");
    const ScriptResult result =
        ScriptRunner(connection)
            .run(StatementSplitter(SqlDialect::Sqlite).split(script), script, ScriptRunner::OnError::Stop);
    const auto log = [&](const WorkbenchTexts &texts) {
        QStringList lines = scriptLog(result, texts);
        lines.replaceInStrings(QRegularExpression(QStringLiteral("\\d+ ms")), QStringLiteral("N ms"));
        return lines;
    };
    QCOMPARE(log(englishWorkbenchTexts()),
             (QStringList{"Line 1: 0 records affected in N ms: CREATE TABLE t (a INTEGER)",
                          "Line 2: 2 records affected in N ms: INSERT INTO t VALUES (1), (2)",
                          u"Line 3: 2 rows in N ms: SELECT a…"_qs,
                          u"Line 7: error in SELECT *…: near \"FRM\": syntax error"_qs,
                          "Script: 4 of 5 statements run in N ms, 1 failed.",
                          "The script stopped at its first error."}));
    QCOMPARE(log(portugueseWorkbenchTexts()).last(), QStringLiteral(u"O script parou no primeiro erro."));
}

QTEST_GUILESS_MAIN(TestScriptRunner)
#include "tst_scriptrunner.moc"

#include "TestServers.h"

#include "db/ConnectionString.h"
#include "editor/StatementSplitter.h"
#include "query/ScriptRunner.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

// Real dumps, made at test time by each database's own dump tool from the shared Chinook data
// (with a trigger and a routine added), are split into statements and run into an empty
// database; the copy must hold what the original holds.

namespace {

const char *const ChinookTables[] = {"Album",    "Artist",        "Customer",    "Employee",
                                     "Genre",    "Invoice",       "InvoiceLine", "MediaType",
                                     "Playlist", "PlaylistTrack", "Track"};
const int ChinookRows[] = {347, 275, 59, 8, 25, 412, 2240, 5, 18, 8715, 3503};

QString chinookFolder()
{
    return QDir(qEnvironmentVariable("ORVESSA_SOURCE_DIR"))
        .filePath(QStringLiteral("../shared/data/chinook"));
}

// PostgreSQL's Chinook names its tables in snake case.
QString snakeCase(const QString &name)
{
    QString result;
    for (const QChar c : name) {
        if (c.isUpper() && !result.isEmpty())
            result += QLatin1Char('_');
        result += c.toLower();
    }
    return result;
}

QString readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

// Output of a command-line tool; empty with a failure recorded when it fails.
QString toolOutput(const QString &program, const QStringList &arguments, const QStringList &environment = {})
{
    QProcess process;
    if (!environment.isEmpty())
        process.setEnvironment(QProcess::systemEnvironment() + environment);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
        return QString();
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString newSqliteFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot create %s", qPrintable(path));
    return QStringLiteral("Provider=SQLite;Data Source=") + path;
}

std::unique_ptr<Connection> openConnection(const QString &connectionString)
{
    auto connection = std::make_unique<Connection>();
    connection->setConnectionString(connectionString);
    connection->open();
    return connection;
}

// Runs a script, stopping at the first error; the failures' texts, empty when all ran.
QStringList runScript(Connection &connection, SqlDialect dialect, const QString &script,
                      const std::function<bool(const SqlStatement &)> &keep = {})
{
    QList<SqlStatement> statements = StatementSplitter(dialect).split(script);
    if (keep)
        statements.removeIf([&](const SqlStatement &s) { return !keep(s); });
    const ScriptResult result = ScriptRunner(connection).run(statements, script, ScriptRunner::OnError::Stop);
    QStringList failures;
    for (const StatementOutcome &outcome : result.outcomes) {
        if (outcome.result != StatementOutcome::Result::Command &&
            outcome.result != StatementOutcome::Result::Rows &&
            outcome.result != StatementOutcome::Result::Skipped)
            failures.append(
                QStringLiteral("line %1: %2: %3").arg(outcome.line).arg(outcome.head, outcome.error));
    }
    if (result.outcomes.size() != statements.size() && failures.isEmpty())
        failures.append(QStringLiteral("the script stopped after %1 of %2 statements")
                            .arg(result.outcomes.size())
                            .arg(statements.size()));
    return failures;
}

QVariant scalar(Connection &connection, const QString &sql)
{
    const ExecResult result = connection.execute(sql);
    return result.recordset && result.recordset->rowCount() > 0 ? result.recordset->value(0, 0) : QVariant();
}

// The row count of each Chinook table and every track name in order, as one list.
QStringList contents(Connection &connection, const std::function<QString(const char *)> &table,
                     const QString &trackNames)
{
    QStringList result;
    for (const char *name : ChinookTables)
        result.append(QStringLiteral("%1 %2").arg(
            QLatin1StringView(name),
            scalar(connection, QStringLiteral("SELECT COUNT(*) FROM ") + table(name)).toString()));
    result.append(scalar(connection, trackNames).toString());
    return result;
}

QStringList expectedCounts()
{
    QStringList result;
    for (int i = 0; i < int(std::size(ChinookTables)); ++i)
        result.append(QStringLiteral("%1 %2").arg(QLatin1StringView(ChinookTables[i])).arg(ChinookRows[i]));
    return result;
}

// Statements a dump is made of: each begins with one of these words (or a MySQL version comment).
void checkStatementsLookWhole(const QList<SqlStatement> &statements)
{
    static const QStringList words{"ALTER",  "COMMENT", "COPY",   "CREATE", "DROP",   "INSERT", "LOCK",
                                   "SELECT", "SET",     "UNLOCK", "BEGIN",  "COMMIT", "PRAGMA", "DELETE"};
    for (const SqlStatement &s : statements) {
        if (s.kind == SqlStatement::Kind::ClientCommand || s.text.startsWith(QLatin1StringView("/*")))
            continue;
        const QString first = s.text.section(QRegularExpression(QStringLiteral("[\\s(]")), 0, 0).toUpper();
        QVERIFY2(words.contains(first),
                 qPrintable(QStringLiteral("line %1: %2").arg(s.line).arg(s.text.left(80))));
    }
}

} // namespace

class TestScriptDumps : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sqliteDumpRunsIntoAnEmptyDatabase();
    void pgDumpRunsIntoAnEmptyDatabase();
    void mariadbDumpRunsIntoAnEmptyDatabase();

private:
    QTemporaryDir m_dir;
};

void TestScriptDumps::initTestCase()
{
    if (!QFile::exists(chinookFolder() + QStringLiteral("/Chinook_Sqlite.sqlite")))
        QSKIP("The Chinook sample data (shared/data/chinook beside the clone) is not here.");
}

void TestScriptDumps::sqliteDumpRunsIntoAnEmptyDatabase()
{
    const QString original = m_dir.filePath(QStringLiteral("chinook.sqlite"));
    QVERIFY(QFile::copy(chinookFolder() + QStringLiteral("/Chinook_Sqlite.sqlite"), original));
    QFile(original).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    {
        const std::unique_ptr<Connection> source =
            openConnection(QStringLiteral("Provider=SQLite;Data Source=") + original);
        const QStringList failures = runScript(*source, SqlDialect::Sqlite, QStringLiteral(R"(
CREATE TABLE album_log (album_id INTEGER, note TEXT);
CREATE TRIGGER album_logged AFTER INSERT ON Album
BEGIN
  -- a comment; with a semicolon
  INSERT INTO album_log VALUES (NEW.AlbumId, 'added; ' ||
    CASE WHEN NEW.Title LIKE '%;%' THEN 'odd' ELSE 'plain' END);
END;
)"));
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
    }
    const QString dump = toolOutput(QStringLiteral("sqlite3"), {original, QStringLiteral(".dump")});
    QVERIFY(dump.contains(QLatin1StringView("CREATE TRIGGER album_logged")));
    const QList<SqlStatement> statements = StatementSplitter(SqlDialect::Sqlite).split(dump);
    checkStatementsLookWhole(statements);

    const std::unique_ptr<Connection> copy =
        openConnection(newSqliteFile(m_dir.filePath(QStringLiteral("copy.sqlite"))));
    const QStringList failures = runScript(*copy, SqlDialect::Sqlite, dump);
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
    const QString names =
        QStringLiteral("SELECT group_concat(Name, '|') FROM (SELECT Name FROM Track ORDER BY TrackId)");
    const QStringList copied = contents(
        *copy, [](const char *t) { return QString::fromLatin1(t); }, names);
    QCOMPARE(copied.mid(0, copied.size() - 1), expectedCounts());
    const std::unique_ptr<Connection> source =
        openConnection(QStringLiteral("Provider=SQLite;Data Source=") + original);
    QCOMPARE(copied.last(), scalar(*source, names).toString());
    // The trigger came through whole.
    copy->execute(QStringLiteral("INSERT INTO Album VALUES (1000, 'New', 1)"));
    QCOMPARE(scalar(*copy, QStringLiteral("SELECT note FROM album_log")).toString(),
             QStringLiteral("added; plain"));
}

void TestScriptDumps::pgDumpRunsIntoAnEmptyDatabase()
{
    ORVESSA_REQUIRE_PG(server);
    const QString sourceString = TestServers::freshDatabase(server, QStringLiteral("orvessa_dump_source"));
    const std::unique_ptr<Connection> source = openConnection(sourceString);
    // The published script makes a database of its own and connects to it with psql's \c:
    // those statements are left out, the rest runs here.
    QStringList failures = runScript(
        *source, SqlDialect::PostgreSql,
        readFile(chinookFolder() + QStringLiteral("/Chinook_PostgreSql.sql")), [](const SqlStatement &s) {
            return s.kind == SqlStatement::Kind::Sql && !s.text.contains(QLatin1StringView("DATABASE"));
        });
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
    failures = runScript(*source, SqlDialect::PostgreSql, QStringLiteral(R"(
CREATE TABLE album_log (album_id integer, note text);
CREATE FUNCTION log_album() RETURNS trigger LANGUAGE plpgsql AS $log$
BEGIN
  -- a comment; with a semicolon
  INSERT INTO public.album_log VALUES (NEW.album_id, 'added; ' || $$plain$$);
  RETURN NEW;
END;
$log$;
CREATE TRIGGER album_logged AFTER INSERT ON album FOR EACH ROW EXECUTE FUNCTION log_album();
)"));
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));

    const ConnectionString cs(sourceString);
    const QStringList login{QStringLiteral("-h"), cs.value(QStringLiteral("Data Source")),
                            QStringLiteral("-p"), cs.value(QStringLiteral("Port")),
                            QStringLiteral("-U"), cs.value(QStringLiteral("User ID"))};
    const QStringList environment{QStringLiteral("PGPASSWORD=") + cs.value(QStringLiteral("Password"))};
    // The dump psql would read, with its rows as COPY data: split, not run.
    const QString copyDump = toolOutput(
        QStringLiteral("pg_dump"), login + QStringList{QStringLiteral("orvessa_dump_source")}, environment);
    QVERIFY(copyDump.contains(QLatin1StringView("FROM stdin;")));
    const QList<SqlStatement> copyStatements = StatementSplitter(SqlDialect::PostgreSql).split(copyDump);
    checkStatementsLookWhole(copyStatements);
    int copies = 0;
    for (const SqlStatement &s : copyStatements)
        copies += s.text.startsWith(QLatin1StringView("COPY "));
    QCOMPARE(copies, int(std::size(ChinookTables)) + 1);

    // The dump with rows as INSERT statements runs into an empty database.
    const QString dump = toolOutput(
        QStringLiteral("pg_dump"),
        login + QStringList{QStringLiteral("--rows-per-insert=100"), QStringLiteral("orvessa_dump_source")},
        environment);
    QVERIFY(dump.contains(QLatin1StringView("$$plain$$")));
    checkStatementsLookWhole(StatementSplitter(SqlDialect::PostgreSql).split(dump));
    const std::unique_ptr<Connection> copy =
        openConnection(TestServers::freshDatabase(server, QStringLiteral("orvessa_dump_copy")));
    failures = runScript(*copy, SqlDialect::PostgreSql, dump);
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
    const QString names = QStringLiteral("SELECT string_agg(name, '|' ORDER BY track_id) FROM public.track");
    const auto table = [](const char *t) {
        return QStringLiteral("public.") + snakeCase(QString::fromLatin1(t));
    };
    const QStringList copied = contents(*copy, table, names);
    QCOMPARE(copied.mid(0, copied.size() - 1), expectedCounts());
    QCOMPARE(copied.last(), scalar(*source, names).toString());
    copy->execute(QStringLiteral("INSERT INTO public.album VALUES (1000, 'New', 1)"));
    QCOMPARE(scalar(*copy, QStringLiteral("SELECT note FROM public.album_log")).toString(),
             QStringLiteral("added; plain"));
}

void TestScriptDumps::mariadbDumpRunsIntoAnEmptyDatabase()
{
    ORVESSA_REQUIRE_MYSQL(server);
    const QString sourceString = TestServers::freshDatabase(server, QStringLiteral("orvessa_dump_source"));
    const std::unique_ptr<Connection> source = openConnection(sourceString);
    QStringList failures = runScript(*source, SqlDialect::MySql,
                                     readFile(chinookFolder() + QStringLiteral("/Chinook_MySql.sql")),
                                     [](const SqlStatement &s) {
                                         return !s.text.contains(QLatin1StringView("DATABASE")) &&
                                                !s.text.startsWith(QLatin1StringView("USE"));
                                     });
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
    failures = runScript(*source, SqlDialect::MySql, QStringLiteral(R"(
CREATE TABLE album_log (album_id INT, note TEXT);
DELIMITER //
CREATE TRIGGER album_logged AFTER INSERT ON Album FOR EACH ROW
BEGIN
  -- a comment; with a semicolon
  INSERT INTO album_log VALUES (NEW.AlbumId, CONCAT('added; ', 'plain'));
END//
CREATE PROCEDURE album_count(OUT n INT)
BEGIN
  SELECT COUNT(*) INTO n FROM Album;
END//
DELIMITER ;
)"));
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));

    const ConnectionString cs(sourceString);
    const QString dump = toolOutput(
        QStringLiteral("mariadb-dump"),
        {QStringLiteral("--no-defaults"), QStringLiteral("-h"), cs.value(QStringLiteral("Data Source")),
         QStringLiteral("-P"), cs.value(QStringLiteral("Port")), QStringLiteral("-u"),
         cs.value(QStringLiteral("User ID")), QStringLiteral("-p") + cs.value(QStringLiteral("Password")),
         QStringLiteral("--routines"), QStringLiteral("--triggers"), QStringLiteral("orvessa_dump_source")});
    QVERIFY(dump.contains(QLatin1StringView("DELIMITER ;;")));
    checkStatementsLookWhole(StatementSplitter(SqlDialect::MySql).split(dump));
    const std::unique_ptr<Connection> copy =
        openConnection(TestServers::freshDatabase(server, QStringLiteral("orvessa_dump_copy")));
    failures = runScript(*copy, SqlDialect::MySql, dump);
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
    const QString names =
        QStringLiteral("SELECT GROUP_CONCAT(Name ORDER BY TrackId SEPARATOR '|') FROM Track");
    const QStringList copied = contents(
        *copy, [](const char *t) { return QString::fromLatin1(t); }, names);
    QCOMPARE(copied.mid(0, copied.size() - 1), expectedCounts());
    QCOMPARE(copied.last(), scalar(*source, names).toString());
    copy->execute(QStringLiteral("INSERT INTO Album VALUES (1000, 'New', 1)"));
    QCOMPARE(scalar(*copy, QStringLiteral("SELECT note FROM album_log")).toString(),
             QStringLiteral("added; plain"));
    failures = runScript(*copy, SqlDialect::MySql, QStringLiteral("CALL album_count(@n);"));
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
    QCOMPARE(scalar(*copy, QStringLiteral("SELECT @n")).toInt(), 348);
}

QTEST_GUILESS_MAIN(TestScriptDumps)
#include "tst_scriptdumps.moc"

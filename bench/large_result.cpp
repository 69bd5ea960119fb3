// Opens a million-row, eight-column result the way the SQL runner does (connection, query,
// result model, grid) and compares time and peak memory with the database's own command-line
// client printing the same rows.
//
//   bench_large_result [ROWS]          SQLite always; PostgreSQL too when ORVESSA_TEST_PG is set
//                                      (with ORVESSA_TEST_PG_PORT, _USER, _PASSWORD, _DATABASE).
// Each measurement of ours runs in a child process of its own so its peak memory (VmHWM) is
// its alone.
#include "BenchProcess.h"

#include "connection/dataaccess/DataAccess.h"
#include "connection/dataaccess/RowStore.h"
#include "sql/AdoQuery.h"
#include "sql/ResultGrid.h"
#include "sql/ResultModel.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>

namespace {

const int runs = 3;

// The child: one open of the result, timed from connecting to a sized grid.
int measure(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString connectionString = QString::fromLocal8Bit(argv[2]);
    QElapsedTimer timer;
    timer.start();
    Connection connection;
    connection.setConnectionString(connectionString);
    connection.open();
    AdoQuery query(&connection);
    ResultModel model(&query);
    ResultGrid grid;
    grid.resize(1000, 600);
    grid.setModel(&model);
    query.setSql(QStringLiteral("SELECT * FROM t"));
    query.run();
    const qint64 ms = timer.elapsed();
    std::printf("RESULT %lld %lld %d %lld\n", ms, bench::peakKilobytes(), model.rowCount(),
                (long long)query.recordset()->rows().memoryUsage());
    return 0;
}

struct Ours
{
    double seconds = 0;
    qint64 peakKb = 0;
    qint64 rows = 0;
    qint64 storeBytes = 0;
};

Ours runOurs(const QString &connectionString)
{
    Ours best;
    best.seconds = 1e9;
    for (int i = 0; i < runs; ++i) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--measure"), connectionString});
        child.waitForFinished(-1);
        const QList<QByteArray> parts = child.readAllStandardOutput().trimmed().split('\n').last().split(' ');
        if (parts.value(0) != "RESULT") {
            std::fprintf(stderr, "measurement failed\n");
            std::exit(1);
        }
        const double seconds = parts.value(1).toDouble() / 1000.0;
        if (seconds < best.seconds) {
            best.seconds = seconds;
            best.rows = parts.value(3).toLongLong();
            best.storeBytes = parts.value(4).toLongLong();
        }
        best.peakKb = qMax(best.peakKb, parts.value(2).toLongLong());
    }
    return best;
}

struct Cli
{
    double seconds = 0;
    qint64 outputBytes = 0;
};

// Best of a few runs into /dev/null, and the size of what it prints.
Cli runCli(const QString &program, const QStringList &arguments, const QStringList &environment,
           const QString &scratch)
{
    Cli cli;
    cli.seconds = 1e9;
    for (int i = 0; i < runs; ++i) {
        QProcess p;
        p.setEnvironment(environment);
        p.setStandardOutputFile(QStringLiteral("/dev/null"));
        QElapsedTimer timer;
        timer.start();
        p.start(program, arguments);
        p.waitForFinished(-1);
        cli.seconds = qMin(cli.seconds, timer.elapsed() / 1000.0);
        if (p.exitCode() != 0) {
            std::fprintf(stderr, "%s failed\n", qPrintable(program));
            std::exit(1);
        }
    }
    QProcess p;
    p.setEnvironment(environment);
    p.setStandardOutputFile(scratch);
    p.start(program, arguments);
    p.waitForFinished(-1);
    cli.outputBytes = QFileInfo(scratch).size();
    QFile::remove(scratch);
    return cli;
}

void sqliteExec(sqlite3 *db, const char *sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "sqlite: %s\n", error);
        std::exit(1);
    }
}

// Integers, reals, short and long text, a date and some NULLs.
void createSqlite(const QString &path, int rows)
{
    sqlite3 *db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqliteExec(db, "CREATE TABLE t (id INTEGER PRIMARY KEY, qty INTEGER, price REAL, name VARCHAR(40), "
                   "description TEXT, created DATE, code INTEGER, ratio REAL)");
    const QByteArray insert =
        QStringLiteral(
            "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < %1) "
            "INSERT INTO t SELECT i, i * 7 % 100003, i / 8.0, 'name ' || i, "
            "substr('Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor "
            "incididunt "
            "ut labore et dolore magna aliqua. Ut enim ad minim veniam, quis nostrud exercitation ullamco "
            "laboris nisi ut aliquip ex ea commodo consequat.', 1 + i % 50, 100 + i % 60), "
            "date('2020-01-01', '+' || (i % 2000) || ' days'), "
            "CASE WHEN i % 10 = 0 THEN NULL ELSE i % 1000 END, CASE WHEN i % 7 = 0 THEN NULL ELSE i * 0.25 "
            "END "
            "FROM c")
            .arg(rows)
            .toUtf8();
    sqliteExec(db, "BEGIN");
    sqliteExec(db, insert.constData());
    sqliteExec(db, "COMMIT");
    sqlite3_close(db);
}

QString pgCreateSql(int rows)
{
    return QStringLiteral(
               "CREATE SCHEMA IF NOT EXISTS orvessa_bench; SET search_path = orvessa_bench; "
               "DROP TABLE IF EXISTS t; CREATE TABLE t AS SELECT i AS id, i * 7 % 100003 AS qty, "
               "(i / 8.0)::float8 AS price, ('name ' || i)::varchar(40) AS name, "
               "substr('Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor "
               "incididunt "
               "ut labore et dolore magna aliqua. Ut enim ad minim veniam, quis nostrud exercitation ullamco "
               "laboris nisi ut aliquip ex ea commodo consequat.', 1 + i % 50, 100 + i % 60)::text AS "
               "description, "
               "date '2020-01-01' + (i % 2000) AS created, "
               "CASE WHEN i % 10 = 0 THEN NULL ELSE i % 1000 END AS code, "
               "CASE WHEN i % 7 = 0 THEN NULL ELSE i * 0.25 END::float8 AS ratio "
               "FROM generate_series(1, %1) AS i; ALTER TABLE t ADD PRIMARY KEY (id);")
        .arg(rows);
}

void report(const char *name, const Ours &ours, const Cli &cli)
{
    std::printf("%s: %lld rows; ours %.3f s, peak %.1f MB (row store %.1f MB); CLI %.3f s, output %.1f MB; "
                "memory / output %.2f\n",
                name, (long long)ours.rows, ours.seconds, ours.peakKb / 1024.0, ours.storeBytes / 1048576.0,
                cli.seconds, cli.outputBytes / 1048576.0, ours.peakKb * 1024.0 / double(cli.outputBytes));
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 3 && qstrcmp(argv[1], "--measure") == 0)
        return measure(argc, argv);

    QCoreApplication app(argc, argv);
    const int rows = argc >= 2 ? QByteArray(argv[1]).toInt() : 1000000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.db"));
    const QString scratch = dir.filePath(QStringLiteral("cli.out"));
    createSqlite(path, rows);
    const QStringList environment = QProcess::systemEnvironment();

    const Ours sqliteOurs = runOurs(QStringLiteral("Provider=SQLite;Data Source=") + path);
    const Cli sqliteCli =
        runCli(QStringLiteral("sqlite3"), {path, QStringLiteral("SELECT * FROM t")}, environment, scratch);
    report("sqlite", sqliteOurs, sqliteCli);

    double pgRatio = -1;
    const QString pg = qEnvironmentVariable("ORVESSA_TEST_PG");
    if (!pg.isEmpty()) {
        QStringList pgEnvironment = environment;
        pgEnvironment << QStringLiteral("PGHOST=127.0.0.1")
                      << QStringLiteral("PGPORT=") + qEnvironmentVariable("ORVESSA_TEST_PG_PORT")
                      << QStringLiteral("PGUSER=") + qEnvironmentVariable("ORVESSA_TEST_USER")
                      << QStringLiteral("PGPASSWORD=") + qEnvironmentVariable("ORVESSA_TEST_PASSWORD")
                      << QStringLiteral("PGDATABASE=") + qEnvironmentVariable("ORVESSA_TEST_DATABASE")
                      << QStringLiteral("PGOPTIONS=-c search_path=orvessa_bench");
        QProcess create;
        create.setEnvironment(pgEnvironment);
        create.start(QStringLiteral("psql"),
                     {QStringLiteral("-q"), QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
                      QStringLiteral("-c"), pgCreateSql(rows)});
        create.waitForFinished(-1);
        if (create.exitCode() != 0) {
            std::fprintf(stderr, "psql: %s\n", create.readAllStandardError().constData());
            return 1;
        }
        // The table lives in a schema of its own so the test database's tables stay untouched.
        const Ours pgOurs = runOurs(pg + QStringLiteral(";options=-c search_path=orvessa_bench"));
        const Cli pgCli =
            runCli(QStringLiteral("psql"),
                   {QStringLiteral("-At"), QStringLiteral("-c"), QStringLiteral("SELECT * FROM t")},
                   pgEnvironment, scratch);
        report("postgresql", pgOurs, pgCli);
        pgRatio = pgOurs.seconds / pgCli.seconds;
    }
    std::printf("sqlite ratio: %.2f\n", sqliteOurs.seconds / sqliteCli.seconds);
    if (pgRatio < 0)
        std::printf("postgresql ratio: skipped (ORVESSA_TEST_PG not set)\n");
    else
        std::printf("postgresql ratio: %.2f\n", pgRatio);
    return 0;
}

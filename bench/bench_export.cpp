// Exports a million-row table into a CSV file the way Tools > Export data does (the statement
// streamed from the connection into the file writer, the file put in place on commit) and
// compares the time with the database's own client writing the same rows as CSV:
// `sqlite3 -csv` and psql's \copy. Prints the peak memory of the export, and the time of the
// other formats for SQLite.
//
//   bench_export [ROWS]        SQLite always; PostgreSQL too when ORVESSA_TEST_PG is set
//                              (with ORVESSA_TEST_PG_PORT, ORVESSA_TEST_USER, _PASSWORD, _DATABASE).
// Each export of ours runs in a child process of its own so its peak memory (VmHWM) is its alone.
#include "BenchProcess.h"
#include "BenchRows.h"

#include "db/DataAccess.h"
#include "export/ExportJob.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>

namespace {

const int runs = 3;
const char *const kSelect = "SELECT * FROM t";

ExportFormat formatNamed(const QByteArray &name)
{
    if (name == "xlsx")
        return ExportFormat::Workbook;
    if (name == "jsonl")
        return ExportFormat::JsonLines;
    return ExportFormat::Csv;
}

// The child: one export, timed from connecting to the file in place.
int measure(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString connectionString = QString::fromLocal8Bit(argv[2]);
    const QString path = QString::fromLocal8Bit(argv[3]);
    QTemporaryDir scratch;
    QElapsedTimer timer;
    timer.start();
    Connection connection;
    connection.setConnectionString(connectionString);
    connection.open();
    ExportJob job({path, formatNamed(argv[4])}, scratch.path());
    const bool complete = connection.streamRows(
        QString::fromLatin1(kSelect),
        [&job](const QList<FieldInfo> &fields) -> CellSink & { return job.startResult(fields); });
    if (!complete)
        return 1;
    job.commit();
    const qint64 ms = timer.elapsed();
    std::printf("RESULT %lld %lld %lld %lld\n", (long long)ms, (long long)bench::peakKilobytes(),
                (long long)job.rows(), (long long)QFileInfo(path).size());
    return 0;
}

struct Measured
{
    double seconds = 1e9;
    qint64 peakKb = 0;
    qint64 rows = 0;
    qint64 bytes = 0;
};

Measured runOurs(const QString &connectionString, const QString &path, const char *format)
{
    Measured best;
    for (int i = 0; i < runs; ++i) {
        const QList<QByteArray> parts = bench::runChild({QStringLiteral("--measure"), connectionString, path,
                                                         QString::fromLatin1(format)})
                                            .last()
                                            .split(' ');
        if (parts.value(0) != "RESULT") {
            std::fprintf(stderr, "export measurement failed\n");
            std::exit(1);
        }
        best.seconds = qMin(best.seconds, parts.value(1).toDouble() / 1000.0);
        best.peakKb = qMax(best.peakKb, parts.value(2).toLongLong());
        best.rows = parts.value(3).toLongLong();
        best.bytes = parts.value(4).toLongLong();
        QFile::remove(path);
    }
    return best;
}

// Best of a few runs of a client writing its CSV into path (its standard output, when
// toStdout), and the size of what it wrote.
Measured runClient(const QString &program, const QStringList &arguments, const QStringList &environment,
                   const QString &path, bool toStdout)
{
    Measured best;
    for (int i = 0; i < runs; ++i) {
        QFile::remove(path);
        QProcess p;
        p.setEnvironment(environment);
        p.setStandardOutputFile(toStdout ? path : QStringLiteral("/dev/null"));
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer timer;
        timer.start();
        p.start(program, arguments);
        p.waitForFinished(-1);
        best.seconds = qMin(best.seconds, timer.elapsed() / 1000.0);
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            std::fprintf(stderr, "%s failed\n", qPrintable(program));
            std::exit(1);
        }
        best.bytes = QFileInfo(path).size();
    }
    QFile::remove(path);
    return best;
}

using bench::sqliteExec;

// Integers, reals, text that needs quoting in CSV (commas, quotes), a date and NULLs.
const char *const kRowExpressions =
    "i, i * 7 % 100003, i / 8.0, 'customer ' || i, "
    "CASE WHEN i % 3 = 0 THEN 'Street ' || i || ', \"North\" side' ELSE 'Plain address ' || i END, "
    "%DATE%, CASE WHEN i % 10 = 0 THEN NULL ELSE i % 1000 END";

void createSqlite(const QString &path, qint64 rows)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqliteExec(db, "CREATE TABLE t (id INTEGER PRIMARY KEY, qty INTEGER, price REAL, name VARCHAR(40), "
                   "address TEXT, created DATE, code INTEGER)");
    const QByteArray insert =
        "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < " +
        QByteArray::number(rows) + ") INSERT INTO t SELECT " +
        QByteArray(kRowExpressions).replace("%DATE%", "date('2020-01-01', '+' || (i % 2000) || ' days')") +
        " FROM c";
    sqliteExec(db, "BEGIN");
    sqliteExec(db, insert.constData());
    sqliteExec(db, "COMMIT");
    sqlite3_close(db);
}

QString pgCreateSql(qint64 rows)
{
    const QByteArray expressions = QByteArray(kRowExpressions)
                                       .replace("i / 8.0", "(i / 8.0)::float8")
                                       .replace("%DATE%", "date '2020-01-01' + (i % 2000)");
    return QStringLiteral("CREATE SCHEMA IF NOT EXISTS orvessa_bench_export; "
                          "SET search_path = orvessa_bench_export; DROP TABLE IF EXISTS t; "
                          "CREATE TABLE t (id int PRIMARY KEY, qty int, price float8, name varchar(40), "
                          "address text, created date, code int); INSERT INTO t SELECT %1 "
                          "FROM generate_series(1, %2) AS i;")
        .arg(QString::fromLatin1(expressions))
        .arg(rows);
}

void report(const char *backend, const Measured &ours, const Measured &client, const char *clientName)
{
    std::printf("export csv %s: %lld rows, %.1f MB; ours %.3f s; %s %.3f s, %.1f MB\n", backend,
                (long long)ours.rows, ours.bytes / 1048576.0, ours.seconds, clientName, client.seconds,
                client.bytes / 1048576.0);
    std::printf("export csv %s ratio: %.2f\n", backend, ours.seconds / client.seconds);
    std::printf("export csv %s peak-mb: %.1f\n", backend, ours.peakKb / 1024.0);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 5 && qstrcmp(argv[1], "--measure") == 0)
        return measure(argc, argv);

    QCoreApplication app(argc, argv);
    const qint64 rows = argc >= 2 ? QByteArray(argv[1]).toLongLong() : 1000000;
    QTemporaryDir dir;
    const QString database = dir.filePath(QStringLiteral("bench.db"));
    const QString output = dir.filePath(QStringLiteral("export.out"));
    createSqlite(database, rows);
    const QStringList environment = QProcess::systemEnvironment();

    const QString sqlite = QStringLiteral("Provider=SQLite;Data Source=") + database;
    const Measured sqliteOurs = runOurs(sqlite, output, "csv");
    const Measured sqliteClient =
        runClient(QStringLiteral("sqlite3"),
                  {QStringLiteral("-csv"), QStringLiteral("-header"), database, QString::fromLatin1(kSelect)},
                  environment, output, true);
    report("sqlite", sqliteOurs, sqliteClient, "sqlite3 -csv");
    for (const char *format : {"xlsx", "jsonl"}) {
        const Measured other = runOurs(sqlite, output, format);
        std::printf("export %s sqlite: %.3f s, peak %.1f MB, %.1f MB written\n", format, other.seconds,
                    other.peakKb / 1024.0, other.bytes / 1048576.0);
    }

    const QString pg = qEnvironmentVariable("ORVESSA_TEST_PG");
    if (pg.isEmpty()) {
        std::printf("export csv postgresql ratio: skipped (ORVESSA_TEST_PG not set)\n");
        return 0;
    }
    const QStringList pgEnvironment =
        bench::postgresClientEnvironment(QStringLiteral("orvessa_bench_export"));
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
    const Measured pgOurs =
        runOurs(pg + QStringLiteral(";options=-c search_path=orvessa_bench_export"), output, "csv");
    QString target = output;
    target.replace(u'\'', QStringLiteral("''"));
    const Measured pgClient = runClient(
        QStringLiteral("psql"),
        {QStringLiteral("-q"), QStringLiteral("-c"),
         QStringLiteral("\\copy (%1) to '%2' csv header").arg(QString::fromLatin1(kSelect), target)},
        pgEnvironment, output, false);
    report("postgresql", pgOurs, pgClient, "psql \\copy");
    return 0;
}

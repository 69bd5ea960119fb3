#pragma once

// Helpers for benchmarks that measure memory: each measurement runs in a child process of
// its own (the same program, started with other arguments), so that the peak memory it
// reports is its alone.

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QProcess>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

namespace bench {

// Peak resident memory of this process so far (VmHWM), in kilobytes; -1 when unknown.
inline qint64 peakKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Runs this program again with arguments and returns the lines it printed; a child that
// fails ends the benchmark.
inline QList<QByteArray> runChild(const QStringList &arguments)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    child.waitForFinished(-1);
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        std::fprintf(stderr, "measurement %s failed\n", qPrintable(arguments.join(u' ')));
        std::exit(1);
    }
    return child.readAllStandardOutput().trimmed().split('\n');
}

// "10m" for ten million, "1m" for a million, else the number: the size in a figure's name.
inline QByteArray rowsLabel(qint64 rows)
{
    if (rows >= 1000000 && rows % 1000000 == 0)
        return QByteArray::number(rows / 1000000) + 'm';
    if (rows >= 1000 && rows % 1000 == 0)
        return QByteArray::number(rows / 1000) + 'k';
    return QByteArray::number(rows);
}

// The environment psql needs to reach the test PostgreSQL (ORVESSA_TEST_PG_PORT,
// ORVESSA_TEST_USER, _PASSWORD, _DATABASE), with schema first on the search path.
inline QStringList postgresClientEnvironment(const QString &schema)
{
    return QProcess::systemEnvironment()
           << QStringLiteral("PGHOST=127.0.0.1")
           << QStringLiteral("PGPORT=") + qEnvironmentVariable("ORVESSA_TEST_PG_PORT")
           << QStringLiteral("PGUSER=") + qEnvironmentVariable("ORVESSA_TEST_USER")
           << QStringLiteral("PGPASSWORD=") + qEnvironmentVariable("ORVESSA_TEST_PASSWORD")
           << QStringLiteral("PGDATABASE=") + qEnvironmentVariable("ORVESSA_TEST_DATABASE")
           << QStringLiteral("PGOPTIONS=-c search_path=") + schema;
}

// Runs a client program to set up a server's table; a failure ends the benchmark.
inline void runSetup(const QString &program, const QStringList &arguments, const QStringList &environment)
{
    QProcess p;
    p.setEnvironment(environment);
    p.start(program, arguments);
    p.waitForFinished(-1);
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(program), p.readAllStandardError().constData());
        std::exit(1);
    }
}

// A database's own client run a few times with its output to /dev/null: the best time in
// seconds, and (run once more into scratch) the size of what it prints. A failing run ends the
// benchmark.
struct ClientRun
{
    double seconds = 0;
    qint64 outputBytes = 0;
};

inline ClientRun runClient(const QString &program, const QStringList &arguments,
                           const QStringList &environment, const QString &scratch, int times = 3)
{
    ClientRun run;
    run.seconds = 1e9;
    for (int i = 0; i < times; ++i) {
        QProcess p;
        p.setEnvironment(environment);
        p.setStandardOutputFile(QStringLiteral("/dev/null"));
        QElapsedTimer timer;
        timer.start();
        p.start(program, arguments);
        p.waitForFinished(-1);
        run.seconds = qMin(run.seconds, timer.elapsed() / 1000.0);
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            std::fprintf(stderr, "%s failed\n", qPrintable(program));
            std::exit(1);
        }
    }
    QProcess p;
    p.setEnvironment(environment);
    p.setStandardOutputFile(scratch);
    p.start(program, arguments);
    p.waitForFinished(-1);
    run.outputBytes = QFileInfo(scratch).size();
    QFile::remove(scratch);
    return run;
}

} // namespace bench

// Reaching PostgreSQL safely, against its own client: a million rows through our SSH tunnel
// against psql through OpenSSH's own `ssh -L` forward to the same server, and a million rows
// over TLS with verify-full against psql with sslmode=verify-full. Each figure is the best of a
// few runs, from connecting to the last row; the ratio is ours over psql's (below 1: faster).
//
//   bench_secure [ROWS]    needs the environment of scripts/start-test-servers (servers, sshd)
#include "db/ConnectionString.h"
#include "db/DataAccess.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace {

const int runs = 3;

QString env(const char *name)
{
    return qEnvironmentVariable(name);
}

QString query(qint64 rows)
{
    return QStringLiteral("SELECT g AS id, 'customer ' || g AS name, g * 1.25 AS amount, DATE '2024-01-01' + "
                          "(g % 365) AS day FROM generate_series(1, %1) g")
        .arg(rows);
}

// Ours: open, fetch every row, close.
double ours(const QString &connectionString, const QString &sql, qint64 rows)
{
    double best = 1e300;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        Connection connection;
        connection.setConnectionString(connectionString);
        connection.open();
        const ExecResult result = connection.execute(sql);
        if (!result.recordset || result.recordset->rowCount() != rows) {
            std::fprintf(stderr, "bench_secure: expected %lld rows\n", static_cast<long long>(rows));
            std::exit(1);
        }
        connection.close();
        best = std::min(best, timer.elapsed() / 1000.0);
    }
    return best;
}

// psql printing every row (unaligned, to nowhere).
double psql(const QString &conninfo, const QString &password, const QString &sql)
{
    double best = 1e300;
    for (int run = 0; run < runs; ++run) {
        QProcess p;
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("PGPASSWORD"), password);
        p.setProcessEnvironment(e);
        p.setStandardOutputFile(QProcess::nullDevice());
        QElapsedTimer timer;
        timer.start();
        p.start(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-A"),
                                         QStringLiteral("-t"), QStringLiteral("-c"), sql, conninfo});
        p.waitForFinished(-1);
        if (p.exitCode() != 0) {
            std::fprintf(stderr, "bench_secure: psql failed: %s\n", p.readAllStandardError().constData());
            std::exit(1);
        }
        best = std::min(best, timer.elapsed() / 1000.0);
    }
    return best;
}

int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qint64 rows = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    const QString pg = env("ORVESSA_TEST_PG");
    if (pg.isEmpty() || env("ORVESSA_TEST_SSH_PORT").isEmpty()) {
        std::fprintf(stderr, "bench_secure: start the test servers first (scripts/start-test-servers)\n");
        return 1;
    }
    const ConnectionString cs(pg);
    const QString password = cs.value(QStringLiteral("Password"));
    const QString user = cs.value(QStringLiteral("User ID"));
    const QString database = cs.value(QStringLiteral("Initial Catalog"));
    const QString port = env("ORVESSA_TEST_PG_PORT");
    const QString sql = query(rows);

    // A home of the bench's own that knows the sshd's host key.
    QTemporaryDir home;
    QDir(home.path()).mkpath(QStringLiteral(".ssh"));
    QFile hostKey(env("ORVESSA_TEST_SSH_HOST_KEY"));
    hostKey.open(QIODevice::ReadOnly);
    const QList<QByteArray> key = hostKey.readAll().split(' ');
    QFile known(home.filePath(QStringLiteral(".ssh/known_hosts")));
    known.open(QIODevice::WriteOnly);
    known.write("[127.0.0.1]:" + env("ORVESSA_TEST_SSH_PORT").toUtf8() + ' ' + key.value(0) + ' ' +
                key.value(1) + '\n');
    known.close();
    qputenv("HOME", QFile::encodeName(home.path()));

    // Tunnel: ours against psql through ssh -L.
    const QString tunnelled =
        pg +
        QStringLiteral(";SSH Host=127.0.0.1;SSH Port=%1;SSH User=%2;SSH Key File=%3")
            .arg(env("ORVESSA_TEST_SSH_PORT"), env("ORVESSA_TEST_SSH_USER"), env("ORVESSA_TEST_SSH_KEY"));
    const double oursTunnel = ours(tunnelled, sql, rows);
    const int localPort = freePort();
    QProcess forward;
    forward.start(QStringLiteral("ssh"),
                  {QStringLiteral("-N"), QStringLiteral("-o"), QStringLiteral("ExitOnForwardFailure=yes"),
                   QStringLiteral("-o"), QStringLiteral("StrictHostKeyChecking=yes"), QStringLiteral("-o"),
                   QStringLiteral("UserKnownHostsFile=") + known.fileName(), QStringLiteral("-o"),
                   QStringLiteral("BatchMode=yes"), QStringLiteral("-i"), env("ORVESSA_TEST_SSH_KEY"),
                   QStringLiteral("-p"), env("ORVESSA_TEST_SSH_PORT"), QStringLiteral("-L"),
                   QStringLiteral("127.0.0.1:%1:127.0.0.1:%2").arg(localPort).arg(port),
                   env("ORVESSA_TEST_SSH_USER") + QStringLiteral("@127.0.0.1")});
    // Ready once the forward accepts.
    for (int i = 0; i < 200; ++i) {
        QProcess probe;
        probe.start(QStringLiteral("bash"),
                    {QStringLiteral("-c"), QStringLiteral("exec 3<>/dev/tcp/127.0.0.1/%1").arg(localPort)});
        probe.waitForFinished();
        if (probe.exitCode() == 0)
            break;
        QThread::msleep(50);
    }
    const double psqlTunnel = psql(QStringLiteral("host=127.0.0.1 port=%1 user=%2 dbname=%3 sslmode=disable")
                                       .arg(localPort)
                                       .arg(user, database),
                                   password, sql);
    forward.terminate();
    forward.waitForFinished();

    // TLS with verify-full: ours against psql.
    const QString ca = env("ORVESSA_TEST_TLS_DIR") + QStringLiteral("/ca.crt");
    ConnectionString tlsString(pg);
    tlsString.setValue(QStringLiteral("Data Source"), QStringLiteral("localhost"));
    tlsString.setValue(QStringLiteral("SSL Mode"), QStringLiteral("verify-full"));
    tlsString.setValue(QStringLiteral("SSL CA File"), ca);
    const double oursTls = ours(tlsString.toString(), sql, rows);
    const double psqlTls = psql(QStringLiteral("host=localhost port=%1 user=%2 dbname=%3 sslmode=verify-full "
                                               "sslrootcert=%4")
                                    .arg(port, user, database, ca),
                                password, sql);

    std::printf(
        "%lld rows: tunnel ours %.2f s, psql through ssh -L %.2f s; TLS verify-full ours %.2f s, psql "
        "%.2f s\n",
        static_cast<long long>(rows), oursTunnel, psqlTunnel, oursTls, psqlTls);
    std::printf("tunnel postgresql ratio: %.2f\n", oursTunnel / psqlTunnel);
    std::printf("tls postgresql ratio: %.2f\n", oursTls / psqlTls);
    return 0;
}

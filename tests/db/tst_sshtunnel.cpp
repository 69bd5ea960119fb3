#include "TestServers.h"

#include "db/ConnectionString.h"
#include "db/DataAccess.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest/QtTest>

#include <csignal>

// Tunnels through the test sshd (scripts/start-test-servers) to both database servers, with a
// home folder of the test's own for ~/.ssh/config and known_hosts.
class TestSshTunnel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void connectsThroughTheTunnel_data();
    void connectsThroughTheTunnel();
    void anUnknownHostKeyIsAskedAndAddedOnlyOnYes();
    void aChangedHostKeyIsRefused();
    void aKilledTunnelIsALostSessionAndOpenReconnects();

private:
    struct Asked
    {
        QList<ConnectQuestion> questions;
        QStringList answers; // consumed in order; none left: declined
    };
    ConnectAsker askerFor(Asked &asked)
    {
        return [&asked](const ConnectQuestion &q) -> std::optional<QString> {
            asked.questions.append(q);
            if (asked.answers.isEmpty())
                return std::nullopt;
            return asked.answers.takeFirst();
        };
    }
    // The database's string with the tunnel's entries; {key}, {port}, {user} filled in.
    QString tunnelled(const QString &server, QString entries) const;
    QString knownHostLine(const QString &publicKeyFile) const;
    void writeHomeFile(const QString &name, const QByteArray &content);

    QTemporaryDir m_home;
    QString m_pg, m_mysql;
    QString m_sshPort, m_sshUser;
    qint64 m_agent = 0;
};

void TestSshTunnel::initTestCase()
{
    ORVESSA_REQUIRE_PG(pg);
    ORVESSA_REQUIRE_MYSQL(mysql);
    m_pg = pg;
    m_mysql = mysql;
    m_sshPort = qEnvironmentVariable("ORVESSA_TEST_SSH_PORT");
    m_sshUser = qEnvironmentVariable("ORVESSA_TEST_SSH_USER");
    QVERIFY2(!m_sshPort.isEmpty(), "the env file of scripts/start-test-servers lacks the sshd");
    QVERIFY(m_home.isValid());
    qputenv("HOME", QFile::encodeName(m_home.path()));
    QVERIFY(QDir(m_home.path()).mkpath(QStringLiteral(".ssh")));
    QFile::setPermissions(m_home.filePath(QStringLiteral(".ssh")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString key = qEnvironmentVariable("ORVESSA_TEST_SSH_KEY");
    const QByteArray config = QStringLiteral(R"(Host orvessa-bastion
    HostName 127.0.0.1
    Port %1
    User %2
    IdentityFile %3
Host orvessa-behind
    HostName 127.0.0.1
    Port %1
    User %2
    IdentityFile %3
    ProxyJump orvessa-bastion
Host *
    UserKnownHostsFile %4/.ssh/known_hosts
)")
                                  .arg(m_sshPort, m_sshUser, key, m_home.path())
                                  .toUtf8();
    writeHomeFile(QStringLiteral(".ssh/config"), config);

    // An agent of the test's own that holds the key.
    const QString agentSocket = m_home.filePath(QStringLiteral("agent.sock"));
    QProcess agent;
    agent.start(QStringLiteral("ssh-agent"), {QStringLiteral("-a"), agentSocket});
    QVERIFY(agent.waitForFinished());
    const QString output = QString::fromUtf8(agent.readAllStandardOutput());
    m_agent =
        output.section(QStringLiteral("SSH_AGENT_PID="), 1).section(QLatin1Char(';'), 0, 0).toLongLong();
    QVERIFY2(m_agent > 0, qPrintable(output));
    qputenv("SSH_AUTH_SOCK", QFile::encodeName(agentSocket));
    QCOMPARE(QProcess::execute(QStringLiteral("ssh-add"), {QStringLiteral("-q"), key}), 0);
}

void TestSshTunnel::cleanupTestCase()
{
    if (m_agent > 0)
        ::kill(pid_t(m_agent), SIGTERM);
}

void TestSshTunnel::init()
{
    writeHomeFile(QStringLiteral(".ssh/known_hosts"),
                  knownHostLine(qEnvironmentVariable("ORVESSA_TEST_SSH_HOST_KEY")).toUtf8());
}

void TestSshTunnel::writeHomeFile(const QString &name, const QByteArray &content)
{
    QFile file(m_home.filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}

QString TestSshTunnel::knownHostLine(const QString &publicKeyFile) const
{
    QFile file(publicKeyFile);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QStringList parts = QString::fromUtf8(file.readAll()).split(QLatin1Char(' '));
    return QStringLiteral("[127.0.0.1]:%1 %2 %3\n").arg(m_sshPort, parts.value(0), parts.value(1));
}

QString TestSshTunnel::tunnelled(const QString &server, QString entries) const
{
    entries.replace(QLatin1String("{key}"), qEnvironmentVariable("ORVESSA_TEST_SSH_KEY"));
    entries.replace(QLatin1String("{encrypted}"), qEnvironmentVariable("ORVESSA_TEST_SSH_ENCRYPTED_KEY"));
    entries.replace(QLatin1String("{port}"), m_sshPort);
    entries.replace(QLatin1String("{user}"), m_sshUser);
    entries.replace(QLatin1String("{tls}"), qEnvironmentVariable("ORVESSA_TEST_TLS_DIR"));
    return TestServers::withEntries(server == QLatin1String("pg") ? m_pg : m_mysql, entries);
}

void TestSshTunnel::connectsThroughTheTunnel_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("entries");
    QTest::addColumn<QString>("answer"); // to the one question expected, if any
    QTest::addColumn<int>("asked");      // ConnectQuestion::Kind of it, -1 for none

    const QString direct = QStringLiteral("SSH Host=127.0.0.1;SSH Port={port};SSH User={user}");
    QTest::newRow("key file, PostgreSQL") << "pg" << direct + ";SSH Key File={key}"
                                          << "" << -1;
    QTest::newRow("key file, MariaDB") << "mysql" << direct + ";SSH Key File={key}"
                                       << "" << -1;
    QTest::newRow("key in the agent") << "mysql" << direct + ";SSH Auth=agent"
                                      << "" << -1;
    QTest::newRow("Host alias of ~/.ssh/config") << "pg"
                                                 << "SSH Host=orvessa-bastion"
                                                 << "" << -1;
    QTest::newRow("ProxyJump through the same sshd") << "mysql"
                                                     << "SSH Host=orvessa-behind"
                                                     << "" << -1;
    QTest::newRow("encrypted key asks its passphrase")
        << "pg" << direct + ";SSH Key File={encrypted}"
        << qEnvironmentVariable("ORVESSA_TEST_SSH_KEY_PASSPHRASE") << int(ConnectQuestion::Kind::Passphrase);
    QTest::newRow("TLS verified end to end through the tunnel")
        << "pg"
        << direct + ";SSH Key File={key};Data Source=localhost;SSL Mode=verify-full;SSL CA File={tls}/ca.crt"
        << "" << -1;
    if (!qEnvironmentVariable("ORVESSA_TEST_SSH_PASSWORD").isEmpty())
        QTest::newRow("password login")
            << "mysql" << direct + ";SSH Auth=password" << qEnvironmentVariable("ORVESSA_TEST_SSH_PASSWORD")
            << int(ConnectQuestion::Kind::Password);
}

void TestSshTunnel::connectsThroughTheTunnel()
{
    QFETCH(QString, server);
    QFETCH(QString, entries);
    QFETCH(QString, answer);
    QFETCH(int, asked);

    Asked questions;
    if (!answer.isEmpty())
        questions.answers.append(answer);
    Connection connection;
    connection.setAsker(askerFor(questions));
    connection.setConnectionString(tunnelled(server, entries));
    connection.open();
    QCOMPARE(connection.execute(QStringLiteral("SELECT 41 + 1")).recordset->value(0, 0).toInt(), 42);

    const SessionSecurity s = connection.security();
    QVERIFY(!s.tunnel.isEmpty());
    QVERIFY(s.tunnelProcess > 0);
    QVERIFY(!s.exposed());
    if (entries.contains(QLatin1String("verify-full"))) {
        QVERIFY(s.encrypted);
        QCOMPARE(s.verifiedName, QStringLiteral("localhost"));
    }
    QCOMPARE(questions.questions.size(), asked < 0 ? 0 : 1);
    if (asked >= 0)
        QCOMPARE(int(questions.questions.first().kind), asked);
    // Nothing of the tunnel outlives the connection.
    const qint64 ssh = s.tunnelProcess;
    connection.close();
    QVERIFY(::kill(pid_t(ssh), 0) != 0);
}

void TestSshTunnel::anUnknownHostKeyIsAskedAndAddedOnlyOnYes()
{
    writeHomeFile(QStringLiteral(".ssh/known_hosts"), QByteArray());
    QProcess keygen;
    keygen.start(QStringLiteral("ssh-keygen"),
                 {QStringLiteral("-lf"), qEnvironmentVariable("ORVESSA_TEST_SSH_HOST_KEY")});
    QVERIFY(keygen.waitForFinished());
    const QString fingerprint =
        QString::fromUtf8(keygen.readAllStandardOutput()).section(QLatin1Char(' '), 1, 1);
    QVERIFY(fingerprint.startsWith(QLatin1String("SHA256:")));
    const QString cs =
        tunnelled(QStringLiteral("pg"), QStringLiteral("SSH Host=127.0.0.1;SSH Port={port};SSH "
                                                       "User={user};SSH Key File={key}"));
    const QString hostKey = knownHostLine(qEnvironmentVariable("ORVESSA_TEST_SSH_HOST_KEY"))
                                .section(QLatin1Char(' '), 2)
                                .trimmed();

    Asked no;
    Connection refused;
    refused.setAsker(askerFor(no)); // no answer scripted: declined
    refused.setConnectionString(cs);
    try {
        refused.open();
        QFAIL("connected through a host key nobody accepted");
    } catch (const DataAccessError &e) {
        QVERIFY2(e.text().contains(QLatin1String("was not accepted")), qPrintable(e.text()));
    }
    QVERIFY(!refused.isOpen());
    QCOMPARE(no.questions.size(), 1);
    QCOMPARE(no.questions.first().kind, ConnectQuestion::Kind::HostKey);
    QCOMPARE(no.questions.first().fingerprint, fingerprint);
    QFile known(m_home.filePath(QStringLiteral(".ssh/known_hosts")));
    QVERIFY(known.open(QIODevice::ReadOnly));
    QVERIFY(!known.readAll().contains(hostKey.toUtf8()));
    known.close();

    Asked yes;
    yes.answers.append(QStringLiteral("yes"));
    Connection accepted;
    accepted.setAsker(askerFor(yes));
    accepted.setConnectionString(cs);
    accepted.open();
    QCOMPARE(yes.questions.size(), 1);
    QVERIFY(known.open(QIODevice::ReadOnly));
    QVERIFY(known.readAll().contains(hostKey.toUtf8()));
}

void TestSshTunnel::aChangedHostKeyIsRefused()
{
    QTemporaryDir keys;
    QVERIFY(QProcess::execute(QStringLiteral("ssh-keygen"),
                              {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"),
                               QStringLiteral("-N"), QString(), QStringLiteral("-f"),
                               keys.filePath(QStringLiteral("impostor"))}) == 0);
    writeHomeFile(QStringLiteral(".ssh/known_hosts"),
                  knownHostLine(keys.filePath(QStringLiteral("impostor.pub"))).toUtf8());
    Asked asked;
    asked.answers.append(QStringLiteral("yes")); // never to be used
    Connection connection;
    connection.setAsker(askerFor(asked));
    connection.setConnectionString(
        tunnelled(QStringLiteral("mysql"),
                  QStringLiteral("SSH Host=127.0.0.1;SSH Port={port};SSH User={user};SSH Key File={key}")));
    try {
        connection.open();
        QFAIL("connected to a server whose host key changed");
    } catch (const DataAccessError &e) {
        QVERIFY2(e.text().contains(QLatin1String("showed a host key other than the one known for it")),
                 qPrintable(e.text()));
    }
    QVERIFY(asked.questions.isEmpty());
    QVERIFY(!connection.isOpen());
}

void TestSshTunnel::aKilledTunnelIsALostSessionAndOpenReconnects()
{
    Connection connection;
    connection.setConnectionString(
        tunnelled(QStringLiteral("pg"),
                  QStringLiteral("SSH Host=127.0.0.1;SSH Port={port};SSH User={user};SSH Key File={key}")));
    bool toldClosed = false;
    connection.setAfterDisconnect([&] { toldClosed = true; });
    connection.open();
    const qint64 ssh = connection.security().tunnelProcess;
    QVERIFY(::kill(pid_t(ssh), SIGKILL) == 0);
    try {
        // The session's socket ends with the tunnel; the next call finds it gone.
        for (int i = 0; i < 100; ++i)
            connection.execute(QStringLiteral("SELECT 1"));
        QFAIL("the session went on without its tunnel");
    } catch (const ConnectionLostError &e) {
        QVERIFY2(e.text().contains(QLatin1String("SSH tunnel")), qPrintable(e.text()));
    }
    QVERIFY(toldClosed);
    QVERIFY(!connection.isOpen());
    QVERIFY(connection.connectionLost());
    // Refresh opens the same string again: a new tunnel, a new session.
    connection.open();
    QCOMPARE(connection.execute(QStringLiteral("SELECT 1")).recordset->rowCount(), 1);
    QVERIFY(connection.security().tunnelProcess != ssh);
}

QTEST_GUILESS_MAIN(TestSshTunnel)
#include "tst_sshtunnel.moc"

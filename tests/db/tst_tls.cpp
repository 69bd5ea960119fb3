#include "TestServers.h"

#include "db/ConnectionString.h"
#include "db/DataAccess.h"

#include <QFile>
#include <QtTest/QtTest>

// TLS against the test servers: PostgreSQL with the throw-away CA's certificate for localhost,
// a MariaDB that takes TLS sessions only (its certificate swapped per case), and the plain
// MariaDB.
class TestTls : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void connectsOrRefusesAsTheModeAsks_data();
    void connectsOrRefusesAsTheModeAsks();
    void stringsWithoutTlsKeysBehaveAsBefore();
    void anUnknownModeIsRefusedBeforeConnecting();

private:
    QString tlsFile(const char *name) const { return m_tlsDir + QLatin1Char('/') + QLatin1String(name); }
    // Puts the named certificate of the test CA in place on the TLS-only MariaDB.
    void serveOnMysql(const QString &certificate);

    QString m_pg, m_mysql, m_mysqlTls, m_tlsDir;
    QString m_served = QStringLiteral("server");
};

void TestTls::initTestCase()
{
    ORVESSA_REQUIRE_PG(pg);
    ORVESSA_REQUIRE_MYSQL(mysql);
    m_pg = pg;
    m_mysql = mysql;
    m_mysqlTls = qEnvironmentVariable("ORVESSA_TEST_MYSQL_TLS");
    m_tlsDir = qEnvironmentVariable("ORVESSA_TEST_TLS_DIR");
    QVERIFY2(!m_mysqlTls.isEmpty() && !m_tlsDir.isEmpty(),
             "the env file of scripts/start-test-servers lacks TLS");
}

void TestTls::cleanup()
{
    serveOnMysql(QStringLiteral("server"));
}

void TestTls::serveOnMysql(const QString &certificate)
{
    if (m_served == certificate)
        return;
    const QString certs = qEnvironmentVariable("ORVESSA_TEST_MYSQL_TLS_CERTS");
    for (const char *suffix : {".crt", ".key"}) {
        const QString target = certs + QStringLiteral("/server") + QLatin1String(suffix);
        QFile::remove(target);
        QVERIFY(QFile::copy(m_tlsDir + QLatin1Char('/') + certificate + QLatin1String(suffix), target));
    }
    Connection admin;
    admin.setConnectionString(m_mysqlTls + QStringLiteral(";SSL Mode=require"));
    admin.open();
    admin.execute(QStringLiteral("FLUSH SSL"));
    m_served = certificate;
}

void TestTls::connectsOrRefusesAsTheModeAsks_data()
{
    QTest::addColumn<QString>("server");   // pg, mysql-tls (TLS only), mysql (plain)
    QTest::addColumn<QString>("served");   // the certificate the TLS-only MariaDB shows
    QTest::addColumn<QString>("entries");  // appended; {dir} is the folder of the test certificates
    QTest::addColumn<QString>("expected"); // "refused: <text in the error>" or what security() says

    const QString ca = QStringLiteral(";SSL CA File={dir}/ca.crt");
    const QString otherCa = QStringLiteral(";SSL CA File={dir}/other-ca.crt");
    const QString full = QStringLiteral(";SSL Mode=verify-full");

    // PostgreSQL
    QTest::newRow("pg verify-full, right name")
        << "pg"
        << ""
        << "Data Source=localhost" + full + ca << "encrypted, verified for localhost";
    QTest::newRow("pg verify-full, wrong name")
        << "pg"
        << ""
        << "Data Source=wrong-name.invalid;hostaddr=127.0.0.1" + full + ca
        << "refused: does not match host name";
    QTest::newRow("pg verify-ca, wrong name")
        << "pg"
        << ""
        << "Data Source=wrong-name.invalid;hostaddr=127.0.0.1;SSL Mode=verify-ca" + ca
        << "encrypted, verified";
    QTest::newRow("pg verify-full, unknown CA")
        << "pg"
        << ""
        << "Data Source=localhost" + full + otherCa << "refused: not issued by a CA in {dir}/other-ca.crt";
    QTest::newRow("pg verify-full, system store only")
        << "pg"
        << ""
        << "Data Source=localhost" + full << "refused: not issued by a CA in /etc/ssl/certs/";
    QTest::newRow("pg require") << "pg"
                                << ""
                                << ";SSL Mode=require"
                                << "encrypted, not verified";
    QTest::newRow("pg disable") << "pg"
                                << ""
                                << ";SSL Mode=disable"
                                << "not encrypted";
    QTest::newRow("pg client certificate")
        << "pg"
        << ""
        << "User ID={certuser};Password=;SSL Cert File={dir}/client.crt;SSL Key File={dir}/client.key" +
               full + ca
        << "encrypted, verified for 127.0.0.1";
    QTest::newRow("pg client certificate missing")
        << "pg"
        << ""
        << "User ID={certuser};Password=" + full + ca << "refused: requires a valid client certificate";

    // MariaDB that accepts TLS sessions only
    QTest::newRow("mysql insecure transport refused") << "mysql-tls"
                                                      << "server"
                                                      << ""
                                                      << "refused: set SSL Mode";
    QTest::newRow("mysql disable refused") << "mysql-tls"
                                           << "server"
                                           << ";SSL Mode=disable"
                                           << "refused: set SSL Mode";
    QTest::newRow("mysql require") << "mysql-tls"
                                   << "server"
                                   << ";SSL Mode=require"
                                   << "encrypted, not verified";
    QTest::newRow("mysql verify-full, right name")
        << "mysql-tls"
        << "server" << full + ca << "encrypted, verified for 127.0.0.1";
    QTest::newRow("mysql verify-full, unknown CA")
        << "mysql-tls"
        << "server" << full + otherCa << "refused: not issued by a CA in {dir}/other-ca.crt";
    QTest::newRow("mysql verify-full, wrong name")
        << "mysql-tls"
        << "wrong" << full + ca << "refused: does not name the host \"127.0.0.1\"";
    QTest::newRow("mysql verify-ca, wrong name") << "mysql-tls"
                                                 << "wrong"
                                                 << ";SSL Mode=verify-ca" + ca << "encrypted, verified";
    QTest::newRow("mysql verify-full, expired") << "mysql-tls"
                                                << "expired" << full + ca << "refused: expired";
    QTest::newRow("mysql require, expired") << "mysql-tls"
                                            << "expired"
                                            << ";SSL Mode=require"
                                            << "encrypted, not verified";

    // A server without TLS
    QTest::newRow("plain server, require") << "mysql"
                                           << ""
                                           << ";SSL Mode=require"
                                           << "refused: SSL";
    QTest::newRow("plain server, verify-full") << "mysql"
                                               << "" << full + ca << "refused: SSL";
    QTest::newRow("plain server, prefer") << "mysql"
                                          << ""
                                          << ";SSL Mode=prefer"
                                          << "not encrypted";
}

void TestTls::connectsOrRefusesAsTheModeAsks()
{
    QFETCH(QString, server);
    QFETCH(QString, served);
    QFETCH(QString, entries);
    QFETCH(QString, expected);
    if (!served.isEmpty())
        serveOnMysql(served);
    const QString certUser = qEnvironmentVariable("ORVESSA_TEST_CERT_USER");
    entries.replace(QLatin1String("{dir}"), m_tlsDir);
    entries.replace(QLatin1String("{certuser}"), certUser);
    expected.replace(QLatin1String("{certuser}"), certUser);
    expected.replace(QLatin1String("{dir}"), m_tlsDir);

    // Entries given here replace the server's own.
    const QString base = server == QLatin1String("pg")      ? m_pg
                         : server == QLatin1String("mysql") ? m_mysql
                                                            : m_mysqlTls;
    const QString cs = TestServers::withEntries(base, entries);

    Connection connection;
    connection.setConnectionString(cs);
    QString outcome;
    try {
        connection.open();
        const SessionSecurity s = connection.security();
        QVERIFY(s.known);
        QVERIFY(s.network);
        if (!s.encrypted) {
            outcome = QStringLiteral("not encrypted");
        } else {
            QVERIFY2(s.protocol.startsWith(QLatin1String("TLS")), qPrintable(s.protocol));
            QVERIFY(!s.cipher.isEmpty());
            outcome = QStringLiteral("encrypted, ") +
                      (s.verified ? QStringLiteral("verified") : QStringLiteral("not verified"));
            if (!s.verifiedName.isEmpty())
                outcome += QStringLiteral(" for ") + s.verifiedName;
        }
        // The session works.
        QCOMPARE(connection.execute(QStringLiteral("SELECT 1")).recordset->rowCount(), 1);
    } catch (const DataAccessError &e) {
        outcome = QStringLiteral("refused: ") + e.text();
        if (expected.startsWith(QLatin1String("refused: "))) {
            QVERIFY2(outcome.contains(expected.mid(9), Qt::CaseInsensitive), qPrintable(outcome));
            return;
        }
    }
    QCOMPARE(outcome, expected);
}

void TestTls::stringsWithoutTlsKeysBehaveAsBefore()
{
    // libpq's default (prefer) finds TLS on this server; Connector/C does not try it unasked.
    Connection pg;
    pg.setConnectionString(m_pg);
    pg.open();
    QVERIFY(pg.security().encrypted);
    QVERIFY(!pg.security().verified);

    Connection mysql;
    mysql.setConnectionString(m_mysql);
    mysql.open();
    QVERIFY(!mysql.security().encrypted);
    QVERIFY(mysql.security().known);
}

void TestTls::anUnknownModeIsRefusedBeforeConnecting()
{
    for (const QString &cs : {m_pg, m_mysql}) {
        Connection connection;
        connection.setConnectionString(cs + QStringLiteral(";SSL Mode=verify"));
        try {
            connection.open();
            QFAIL("opened with an unknown mode");
        } catch (const DataAccessError &e) {
            QVERIFY2(e.text().contains(QLatin1String("SSL Mode")), qPrintable(e.text()));
        }
    }
}

QTEST_GUILESS_MAIN(TestTls)
#include "tst_tls.moc"

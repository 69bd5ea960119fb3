#include "connection/SessionSecurityText.h"
#include "shell/texts/UiTexts.h"

#include <QtTest/QtTest>

// What the log and the caption say of a session's protection.
class TestSessionSecurity : public QObject
{
    Q_OBJECT

private slots:
    void logsAndMarks_data();
    void logsAndMarks();
    void speaksPortuguese();
};

Q_DECLARE_METATYPE(SessionSecurity)

namespace {

SessionSecurity session(const QString &host, bool encrypted, bool verified = false, const QString &name = {},
                        const QString &tunnel = {})
{
    SessionSecurity s;
    s.network = true;
    s.known = true;
    s.host = host;
    s.encrypted = encrypted;
    if (encrypted) {
        s.protocol = QStringLiteral("TLSv1.3");
        s.cipher = QStringLiteral("TLS_AES_256_GCM_SHA384");
    }
    s.verified = verified;
    s.verifiedName = name;
    s.tunnel = tunnel;
    return s;
}

} // namespace

void TestSessionSecurity::logsAndMarks_data()
{
    QTest::addColumn<SessionSecurity>("security");
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("marked");

    QTest::newRow("verified for its name")
        << session(QStringLiteral("db.example.com"), true, true, QStringLiteral("db.example.com"))
        << "Connection encrypted (TLSv1.3, TLS_AES_256_GCM_SHA384); server certificate verified for "
           "db.example.com"
        << false;
    QTest::newRow("chain only")
        << session(QStringLiteral("db.example.com"), true, true)
        << "Connection encrypted (TLSv1.3, TLS_AES_256_GCM_SHA384); server certificate "
           "verified (its chain; the host name was not checked)"
        << false;
    QTest::newRow("require")
        << session(QStringLiteral("db.example.com"), true)
        << "Connection encrypted (TLSv1.3, TLS_AES_256_GCM_SHA384); server certificate not "
           "verified"
        << false;
    QTest::newRow("in clear to another host")
        << session(QStringLiteral("10.1.2.3"), false) << "Connection not encrypted (10.1.2.3)" << true;
    QTest::newRow("in clear on this machine")
        << session(QStringLiteral("127.0.0.1"), false) << "Connection not encrypted (127.0.0.1)" << false;
    QTest::newRow("in clear to localhost")
        << session(QStringLiteral("localhost"), false) << "Connection not encrypted (localhost)" << false;
    QTest::newRow("in clear to ::1") << session(QStringLiteral("::1"), false)
                                     << "Connection not encrypted (::1)" << false;
    QTest::newRow("through a tunnel")
        << session(QStringLiteral("db.internal"), false, false, {}, QStringLiteral("me@bastion:22"))
        << "Through the SSH tunnel me@bastion:22 (host key checked against known_hosts); from the SSH server "
           "on "
           "to db.internal the session is not encrypted"
        << false;
    SessionSecurity odbc = session(QStringLiteral("sql.example.com"), false);
    odbc.known = false;
    QTest::newRow("a driver that does not tell")
        << odbc << "The driver does not tell whether the connection is encrypted" << false;
    QTest::newRow("a local file") << SessionSecurity() << "" << false;
}

void TestSessionSecurity::logsAndMarks()
{
    QFETCH(SessionSecurity, security);
    QFETCH(QString, line);
    QFETCH(bool, marked);
    QCOMPARE(sessionsecurity::logLine(security, englishTexts()), line);
    QCOMPARE(sessionsecurity::caption(QStringLiteral("Orvessa (h) PostgreSQL 15"), security, englishTexts()),
             marked ? QStringLiteral("Orvessa (h) PostgreSQL 15 [not encrypted]")
                    : QStringLiteral("Orvessa (h) PostgreSQL 15"));
}

void TestSessionSecurity::speaksPortuguese()
{
    const SessionSecurity s = session(QStringLiteral("10.1.2.3"), false);
    QCOMPARE(sessionsecurity::logLine(s, portugueseTexts()),
             QStringLiteral(u"Conexão não criptografada (10.1.2.3)"));
    QVERIFY(sessionsecurity::caption(QStringLiteral("Orvessa"), s, portugueseTexts())
                .endsWith(QStringLiteral(u"[não criptografada]")));
}

QTEST_GUILESS_MAIN(TestSessionSecurity)
#include "tst_sessionsecurity.moc"

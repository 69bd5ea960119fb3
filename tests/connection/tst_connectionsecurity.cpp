#include "ScriptedPrompt.h"
#include "TestServers.h"
#include "WindowDriver.h"

#include "db/ConnectionString.h"
#include "shell/MessageDialog.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QtTest/QtTest>

#include <csignal>

// The window's side of reaching servers safely: what it logs of a session's protection, the
// password a profile does not keep, and an SSH tunnel's host key asked through the prompt while
// the connection opens on its worker.
class TestConnectionSecurity : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void verifiedTlsIsLogged();
    void aProfileSavedWithoutItsPasswordAsksForItAndNeverWritesIt();
    void aTunnelsUnknownHostKeyAndPassphraseAreAskedThroughThePrompt();
    void anIdleTunnelThatDropsIsNoticedAndRefreshReconnects();

private:
    QString log() const { return ui(*m_view).logText(); }
    Connection &connection() const { return m_view->session().connection(); }
    void connectWith(const QString &connectionString)
    {
        m_view->session().profile.connectionString = connectionString;
        ui(*m_view).press(Command::Connect);
    }
    void save(const QString &file)
    {
        m_prompt->fileAnswers.enqueue(file);
        ui(*m_view).press(Command::Save);
    }
    void load(const QString &file)
    {
        m_prompt->fileAnswers.enqueue(file);
        ui(*m_view).press(Command::Load);
    }

    QTemporaryDir m_dir;
    QString m_pg;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<MainWindow> m_view;
};

void TestConnectionSecurity::initTestCase()
{
    ORVESSA_REQUIRE_PG(pg);
    m_pg = pg;
    // A home of the test's own for known_hosts; no keyring in this session.
    qputenv("HOME", QFile::encodeName(m_dir.path()));
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_dir.path()));
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral(".ssh")));
}

void TestConnectionSecurity::init()
{
    m_prompt = std::make_unique<ScriptedPrompt>();
    m_view = std::make_unique<MainWindow>();
    m_view->applyLanguage();
}

void TestConnectionSecurity::cleanup()
{
    m_view.reset();
    m_prompt.reset();
}

void TestConnectionSecurity::verifiedTlsIsLogged()
{
    const QString ca = qEnvironmentVariable("ORVESSA_TEST_TLS_DIR") + QStringLiteral("/ca.crt");
    connectWith(TestServers::withEntry(m_pg, QStringLiteral("Data Source"), QStringLiteral("localhost")) +
                QStringLiteral(";SSL Mode=verify-full;SSL CA File=") + ca);
    QVERIFY2(connection().isOpen(), qPrintable(log()));
    QVERIFY2(log().contains(QLatin1String("|Connection encrypted (TLSv1.3, ")), qPrintable(log()));
    QVERIFY2(log().contains(QLatin1String("; server certificate verified for localhost")), qPrintable(log()));
    QVERIFY(!m_view->windowTitle().contains(QLatin1String("[not encrypted]")));
}

void TestConnectionSecurity::aProfileSavedWithoutItsPasswordAsksForItAndNeverWritesIt()
{
    const QString password = ConnectionString(m_pg).value(QStringLiteral("Password"));
    QVERIFY(!password.isEmpty());
    connectWith(m_pg);
    QVERIFY2(connection().isOpen(), qPrintable(log()));

    // Save: "Save as?" yes, "Keep the password in the profile?" no.
    const QString profile = m_dir.filePath(QStringLiteral("server.ovs"));
    m_prompt->dialogAnswers << mrYes << mrNo;
    save(profile);
    QCOMPARE(m_prompt->dialogs.size(), 2);
    QVERIFY(m_prompt->dialogs.last().text.contains(QLatin1String("Keep the password")));
    QFile file(profile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    file.close();
    QVERIFY(!written.contains(password.toUtf8()));
    QVERIFY(written.contains("Persist Security Info=False"));

    // Loading it asks for the password, masked, and connects with it; nothing logs it.
    m_prompt->passwordAnswers.enqueue(PasswordAnswer{password, false});
    load(profile);
    QVERIFY2(connection().isOpen(), qPrintable(log()));
    QCOMPARE(m_prompt->passwordRequests.size(), 1);
    QVERIFY(m_prompt->passwordRequests.first().text.contains(
        ConnectionString(m_pg).value(QStringLiteral("User ID"))));
    // No keyring in this session: the option says why.
    QVERIFY(!m_prompt->passwordRequests.first().keyringOffered);
    QVERIFY(!m_prompt->passwordRequests.first().keyringNote.isEmpty());
    QVERIFY(!connection().connectionString().contains(password));

    // Saved again, the choice holds without a second question.
    m_prompt->dialogs.clear();
    m_prompt->dialogAnswers << mrYes;
    save(profile);
    QCOMPARE(m_prompt->dialogs.size(), 1);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(!file.readAll().contains(password.toUtf8()));
    file.close();

    // A password dialog cancelled opens nothing and says so.
    load(profile);
    QVERIFY(!connection().isOpen());
    QVERIFY(log().contains(QLatin1String("No password was given")));
    QVERIFY(!log().contains(password));
}

void TestConnectionSecurity::aTunnelsUnknownHostKeyAndPassphraseAreAskedThroughThePrompt()
{
    QFile::remove(m_dir.filePath(QStringLiteral(".ssh/known_hosts")));
    const QString cs = m_pg + QStringLiteral(";SSH Host=127.0.0.1;SSH Port=%1;SSH User=%2;SSH Key File=%3")
                                  .arg(qEnvironmentVariable("ORVESSA_TEST_SSH_PORT"),
                                       qEnvironmentVariable("ORVESSA_TEST_SSH_USER"),
                                       qEnvironmentVariable("ORVESSA_TEST_SSH_ENCRYPTED_KEY"));
    m_prompt->dialogAnswers << mrYes;
    m_prompt->passwordAnswers.enqueue(
        PasswordAnswer{qEnvironmentVariable("ORVESSA_TEST_SSH_KEY_PASSPHRASE"), false});
    connectWith(cs);
    QVERIFY2(connection().isOpen(), qPrintable(log()));
    QCOMPARE(m_prompt->dialogs.size(), 1);
    QVERIFY2(m_prompt->dialogs.first().text.contains(QLatin1String("Key fingerprint:\nSHA256:")),
             qPrintable(m_prompt->dialogs.first().text));
    QCOMPARE(m_prompt->passwordRequests.size(), 1);
    QVERIFY(m_prompt->passwordRequests.first().text.contains(
        qEnvironmentVariable("ORVESSA_TEST_SSH_ENCRYPTED_KEY")));
    QVERIFY2(log().contains(QLatin1String("|Through the SSH tunnel ")), qPrintable(log()));
    QVERIFY(!log().contains(qEnvironmentVariable("ORVESSA_TEST_SSH_KEY_PASSPHRASE")));
    QFile known(m_dir.filePath(QStringLiteral(".ssh/known_hosts")));
    QVERIFY(known.open(QIODevice::ReadOnly));
    QVERIFY(known.readAll().contains(
        QStringLiteral("[127.0.0.1]:%1").arg(qEnvironmentVariable("ORVESSA_TEST_SSH_PORT")).toUtf8()));
}

void TestConnectionSecurity::anIdleTunnelThatDropsIsNoticedAndRefreshReconnects()
{
    QFile known(m_dir.filePath(QStringLiteral(".ssh/known_hosts")));
    QVERIFY(known.exists()); // added by the test before
    connectWith(m_pg + QStringLiteral(";SSH Host=127.0.0.1;SSH Port=%1;SSH User=%2;SSH Key File=%3")
                           .arg(qEnvironmentVariable("ORVESSA_TEST_SSH_PORT"),
                                qEnvironmentVariable("ORVESSA_TEST_SSH_USER"),
                                qEnvironmentVariable("ORVESSA_TEST_SSH_KEY")));
    QVERIFY2(connection().isOpen(), qPrintable(log()));
    const qint64 ssh = connection().security().tunnelProcess;
    QVERIFY(::kill(pid_t(ssh), SIGKILL) == 0);
    // Nobody uses the connection: the window notices by itself.
    QTRY_VERIFY_WITH_TIMEOUT(!connection().isOpen(), 10000);
    QVERIFY(connection().connectionLost());
    QVERIFY2(log().contains(QLatin1String("|The SSH tunnel to ")), qPrintable(log()));
    QVERIFY(ui(*m_view).action(Command::Refresh)->isEnabled());
    ui(*m_view).press(Command::Refresh);
    QVERIFY2(connection().isOpen(), qPrintable(log()));
    QVERIFY(connection().security().tunnelProcess != ssh);
}

QTEST_MAIN(TestConnectionSecurity)
#include "tst_connectionsecurity.moc"

#include "connection/Keyring.h"

#include <QtTest/QtTest>

// The keyring through a real Secret Service: tests/support/with-keyring runs this test in a
// D-Bus session of its own with GNOME Keyring.
class TestKeyring : public QObject
{
    Q_OBJECT

private slots:
    void aPasswordMakesTheRoundTrip();
    void withoutASessionBusTheKeyringIsUnavailableAtOnce();
};

void TestKeyring::aPasswordMakesTheRoundTrip()
{
    QTRY_COMPARE_WITH_TIMEOUT(Keyring::state(), Keyring::State::Available, 10000);
    const QString profile = QStringLiteral("/home/someone/work/sales.ovs");
    const QString secret = QStringLiteral(u"s3cret; with ü and =");
    QString error;
    QVERIFY2(Keyring::store(profile, QStringLiteral("database"), QStringLiteral("Orvessa: sales.ovs"), secret,
                            &error),
             qPrintable(error));
    QCOMPARE(Keyring::lookup(profile, QStringLiteral("database")), std::optional<QString>(secret));
    // Kept apart by profile and by kind.
    QCOMPARE(Keyring::lookup(profile, QStringLiteral("ssh")), std::nullopt);
    QCOMPARE(Keyring::lookup(QStringLiteral("/elsewhere.ovs"), QStringLiteral("database")), std::nullopt);
    Keyring::remove(profile, QStringLiteral("database"));
    QCOMPARE(Keyring::lookup(profile, QStringLiteral("database")), std::nullopt);
}

void TestKeyring::withoutASessionBusTheKeyringIsUnavailableAtOnce()
{
    const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("XDG_RUNTIME_DIR", "/nonexistent");
    const Keyring::State state = Keyring::state();
    QString error;
    const bool stored = Keyring::store(QStringLiteral("/p.ovs"), QStringLiteral("database"),
                                       QStringLiteral("x"), QStringLiteral("y"), &error);
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
    qputenv("XDG_RUNTIME_DIR", runtime);
    QCOMPARE(state, Keyring::State::NoBus);
    QVERIFY(!stored);
    QVERIFY(!error.isEmpty());
}

QTEST_GUILESS_MAIN(TestKeyring)
#include "tst_keyring.moc"

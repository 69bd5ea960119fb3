#include "db/DataAccess.h"

#include <QTemporaryDir>
#include <QtTest/QtTest>

// A connection that names an ODBC driver the machine lacks says which Debian package provides
// it. The driver manager reads its driver list from the folder in ODBCSYSINI: an empty one here
// stands for a machine without the packages.
class TestOdbcDrivers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void aMissingDriverNamesItsPackage_data();
    void aMissingDriverNamesItsPackage();

private:
    QTemporaryDir m_noDrivers;
};

void TestOdbcDrivers::initTestCase()
{
    QVERIFY(m_noDrivers.isValid());
    qputenv("ODBCSYSINI", QFile::encodeName(m_noDrivers.path()));
    qputenv("ODBCINI", QFile::encodeName(m_noDrivers.filePath(QStringLiteral("odbc.ini"))));
}

void TestOdbcDrivers::aMissingDriverNamesItsPackage_data()
{
    QTest::addColumn<QString>("connectionString");
    QTest::addColumn<QString>("expected");
    QTest::newRow("SQL Server provider (FreeTDS)")
        << "Provider=SQLOLEDB.1;Data Source=127.0.0.1;User ID=sa;Password=x"
        << "the Debian package tdsodbc provides it";
    QTest::newRow("PostgreSQL driver") << "Driver={PostgreSQL Unicode};Server=127.0.0.1"
                                       << "the Debian package odbc-postgresql provides it";
    QTest::newRow("MariaDB driver")
        << "Provider=MSDASQL;Extended Properties=\"Driver={MariaDB Unicode};Server=h\""
        << "the Debian package odbc-mariadb provides it";
    QTest::newRow("SQLite driver") << "Driver=SQLite3;Database=/nonexistent.db"
                                   << "the Debian package libsqliteodbc provides it";
    QTest::newRow("a driver Debian lacks") << "Driver={ODBC Driver 18 for SQL Server};Server=h"
                                           << "\"odbcinst -q -d\" lists the drivers that are";
}

void TestOdbcDrivers::aMissingDriverNamesItsPackage()
{
    QFETCH(QString, connectionString);
    QFETCH(QString, expected);
    Connection connection;
    connection.setConnectionString(connectionString);
    try {
        connection.open();
        QFAIL("connected without the driver");
    } catch (const DataAccessError &e) {
        QVERIFY2(e.text().contains(expected), qPrintable(e.text()));
    }
}

QTEST_GUILESS_MAIN(TestOdbcDrivers)
#include "tst_odbcdrivers.moc"

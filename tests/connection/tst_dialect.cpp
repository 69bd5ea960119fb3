#include "connection/DialectAnalysis.h"

#include <QTest>

Q_DECLARE_METATYPE(HighlightChoice)

namespace {

// Flags written as a word for readable tables: a = Access, s = SQL Server, m = MySQL,
// p = PostgreSQL, l = SQLite.
QString flagsOf(const DialectFacts &f)
{
    QString s;
    if (f.isAccess)
        s += QLatin1Char('a');
    if (f.isSqlServer)
        s += QLatin1Char('s');
    if (f.isMySql)
        s += QLatin1Char('m');
    if (f.isPostgreSql)
        s += QLatin1Char('p');
    if (f.isSqlite)
        s += QLatin1Char('l');
    return s;
}

DialectFacts factsWithFlags(const QString &flags)
{
    DialectFacts f;
    f.isAccess = flags.contains(QLatin1Char('a'));
    f.isSqlServer = flags.contains(QLatin1Char('s'));
    f.isMySql = flags.contains(QLatin1Char('m'));
    f.isPostgreSql = flags.contains(QLatin1Char('p'));
    f.isSqlite = flags.contains(QLatin1Char('l'));
    return f;
}

} // namespace

class TestDialect : public QObject
{
    Q_OBJECT

private slots:
    void analysis_data();
    void analysis();
    void versionText_data();
    void versionText();
    void answeredVersionTakesTheQueryOverAccess();
    void captionKeepsEmptyParentheses();
};

void TestDialect::analysis_data()
{
    QTest::addColumn<QString>("reported");
    QTest::addColumn<QString>("profile");
    QTest::addColumn<QString>("defaultDatabase");
    QTest::addColumn<QString>("flags");
    QTest::addColumn<QString>("databaseName");
    QTest::addColumn<QString>("databaseFileName");
    QTest::addColumn<QString>("location");
    QTest::addColumn<QString>("accessVersion");
    QTest::addColumn<QString>("versionQuery");
    QTest::addColumn<HighlightChoice>("highlight");

    const QString atAt = QStringLiteral("SELECT @@VERSION AS VER");
    const QString prev = QStringLiteral("C:\\old\\prev.mdb");

    QTest::newRow("Jet 4.0 file")
        << "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\data\\Nwind.mdb;Persist Security Info=False"
        << ""
        << ""
        << "a"
        << "Nwind.mdb"
        << "C:\\data\\Nwind.mdb"
        << "Microsoft.Jet.OLEDB.4.0"
        << "Microsoft Access 97-2003"
        << "" << HighlightChoice::Standard;
    QTest::newRow("Jet in lower case adds no version")
        << "Provider=microsoft.jet.oledb.4.0;Data Source=C:\\x.mdb"
        << ""
        << ""
        << "a"
        << "x.mdb"
        << "C:\\x.mdb"
        << "microsoft.jet.oledb.4.0"
        << "Microsoft Access"
        << "" << HighlightChoice::Standard;
    QTest::newRow("ACE 12.0 with a Linux path")
        << "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/home/u/b.accdb"
        << ""
        << "b.accdb"
        << "a"
        << "b.accdb"
        << "/home/u/b.accdb"
        << "Microsoft.ACE.OLEDB.12.0"
        << "Microsoft Access 97-2010"
        << "" << HighlightChoice::Standard;
    QTest::newRow("Access through DBQ")
        << "Provider=MSDASQL;Driver={Microsoft Access Driver (*.mdb)};DBQ=C:\\db\\a.mdb"
        << ""
        << ""
        << "a"
        << "a.mdb"
        << "C:\\db\\a.mdb"
        << "MSDASQL"
        << "Microsoft Access"
        << "" << HighlightChoice::Standard;
    // Names are read as the backends read them: blanks around them do not hide an entry.
    QTest::newRow("SQL Server, blank before Data Source")
        << "Provider=SQLOLEDB.1;Integrated Security=SSPI; Data Source=srv;Initial Catalog=Nw"
        << ""
        << "Nw"
        << "s"
        << "Nw" << prev << "srv"
        << "" << atAt << HighlightChoice::SqlServer7;
    QTest::newRow("SQL Server, Server when there is no Data Source")
        << "Provider=SQLOLEDB.1; Server=other ;Initial Catalog=Nw"
        << ""
        << ""
        << "s"
        << "Nw" << prev << "other"
        << "" << atAt << HighlightChoice::SqlServer7;
    QTest::newRow("SQL Native Client highlights as 2000") << "Provider=SQLNCLI10;Data Source=srv;Database=db"
                                                          << ""
                                                          << ""
                                                          << "s"
                                                          << "db" << prev << "srv"
                                                          << "" << atAt << HighlightChoice::SqlServer2000;
    QTest::newRow("MySQL") << "Provider=MySQL;Data Source=localhost;Initial Catalog=shop"
                           << ""
                           << "shop"
                           << "m"
                           << "shop" << prev << "localhost"
                           << "" << atAt << HighlightChoice::MySql;
    QTest::newRow("PostgreSQL seen only in the profile string")
        << "DSN=pg;UID=x"
        << "Provider=PostgreSQL;Data Source=pghost;location=geo"
        << ""
        << "p"
        << "geo" << prev << "pghost"
        << ""
        << "SELECT version() AS VER" << HighlightChoice::PostgreSql;
    // An ODBC string names its family by its driver; a database's name says nothing.
    QTest::newRow("ODBC driver for SQL Server") << "Driver={SQL Server};Server=h;Database=MySQLdb"
                                                << ""
                                                << ""
                                                << "s"
                                                << "MySQLdb" << prev << "h"
                                                << "" << atAt << HighlightChoice::SqlServer7;
    QTest::newRow("ODBC driver for MariaDB") << "Driver={MariaDB Unicode};Server=h;Database=pg_copy"
                                             << ""
                                             << ""
                                             << "m"
                                             << "pg_copy" << prev << "h"
                                             << "" << atAt << HighlightChoice::MySql;
    QTest::newRow("SQLite") << "Provider=SQLite;Data Source=/tmp/demo.sqlite"
                            << ""
                            << "demo.sqlite"
                            << "l"
                            << "demo.sqlite" << prev << "/tmp/demo.sqlite"
                            << ""
                            << "SELECT sqlite_version() AS VER" << HighlightChoice::Sqlite;
    QTest::newRow("SQLite provider with a version")
        << "provider=sqlite.3;Data Source=a.db"
        << ""
        << "a.db"
        << "l"
        << "a.db" << prev << "a.db"
        << ""
        << "SELECT sqlite_version() AS VER" << HighlightChoice::Sqlite;
    // Passwords take no part: neither in the flags nor in the names the caption shows.
    QTest::newRow("password naming other families")
        << "Provider=SQLite;Data Source=a.db;Password=mysql.MDB postgresql sqloledb"
        << "Provider=SQLite;Data Source=a.db;PWD=PostgreSQL"
        << "a.db"
        << "l"
        << "a.db" << prev << "a.db"
        << ""
        << "SELECT sqlite_version() AS VER" << HighlightChoice::Sqlite;
    QTest::newRow("quoted password holding a Data Source entry")
        << "Provider=SQLOLEDB;Password=\"x;Data Source=secret\";Server=srv;Database=db"
        << ""
        << ""
        << "s"
        << "db" << prev << "srv"
        << "" << atAt << HighlightChoice::SqlServer7;
    QTest::newRow("password nested in Extended Properties")
        << "Provider=MSDASQL;Extended Properties=\"DSN=pg;PWD=MySQL.mdb\";Database=d"
        << ""
        << ""
        << ""
        << "d" << prev << ""
        << ""
        << "" << HighlightChoice::Standard;
    // The family is the provider's: host, file and database names never count.
    QTest::newRow("host name naming another family")
        << "Provider=SQLOLEDB;Data Source=mysql-mirror;Database=db"
        << ""
        << ""
        << "s"
        << "db" << prev << "mysql-mirror"
        << "" << atAt << HighlightChoice::SqlServer7;
    QTest::newRow("SQLite named after it is written last, after a blank")
        << "Data Source=demo.sqlite; Provider=SQLite"
        << ""
        << "demo.sqlite"
        << "l"
        << "demo.sqlite" << prev << "demo.sqlite"
        << ""
        << "SELECT sqlite_version() AS VER" << HighlightChoice::Sqlite;
    QTest::newRow("SQLite file named after MySQL")
        << "Provider=SQLite;Data Source=/data/mysql-export.sqlite"
        << ""
        << "mysql-export.sqlite"
        << "l"
        << "mysql-export.sqlite" << prev << "/data/mysql-export.sqlite"
        << ""
        << "SELECT sqlite_version() AS VER" << HighlightChoice::Sqlite;
    QTest::newRow("MySQL on a host named after PostgreSQL")
        << "Provider=MySQL;Server=postgresql-migration.lan;Database=shop"
        << ""
        << "shop"
        << "m"
        << "shop" << prev << "postgresql-migration.lan"
        << "" << atAt << HighlightChoice::MySql;
    QTest::newRow("Access file named .mdb under SQLite")
        << "Provider=SQLite;Data Source=old.mdb.sqlite"
        << ""
        << "old.mdb.sqlite"
        << "l"
        << "old.mdb.sqlite" << prev << "old.mdb.sqlite"
        << ""
        << "SELECT sqlite_version() AS VER" << HighlightChoice::Sqlite;
    QTest::newRow("quoted values are read without their quotes")
        << "Provider='MySQL';Data Source=\"db;1\";Database=\"a b\""
        << ""
        << ""
        << "m"
        << "a b" << prev << "db;1"
        << "" << atAt << HighlightChoice::MySql;
    QTest::newRow("nothing known: empty names") << ""
                                                << ""
                                                << ""
                                                << ""
                                                << "" << prev << ""
                                                << ""
                                                << "" << HighlightChoice::Standard;
}

void TestDialect::analysis()
{
    QFETCH(QString, reported);
    QFETCH(QString, profile);
    QFETCH(QString, defaultDatabase);

    const DialectFacts f =
        DialectAnalysis::analyse(reported, profile, defaultDatabase, QStringLiteral("C:\\old\\prev.mdb"));
    QTEST(flagsOf(f), "flags");
    QTEST(f.databaseName, "databaseName");
    QTEST(f.databaseFileName, "databaseFileName");
    QTEST(f.location, "location");
    QTEST(f.accessVersion, "accessVersion");
    QTEST(f.versionQuery, "versionQuery");
    QTEST(f.highlight, "highlight");
}

void TestDialect::versionText_data()
{
    QTest::addColumn<QString>("flags");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("logged");
    QTest::addColumn<QString>("shown");

    QTest::newRow("SQL Server cut after the first parenthesis")
        << "s"
        << "Microsoft SQL Server 2008 R2 (RTM) - 10.50.1600.1 (Intel X86) \n\tApr  2 2010"
        << "Microsoft SQL Server 2008 R2 (RTM) - 10.50.1600.1 (Intel X86) - Apr 2 2010"
        << "Microsoft SQL Server 2008 R2 (RTM)";
    QTest::newRow("SQL Server with an open parenthesis keeps the text") << "s"
                                                                        << "Microsoft SQL Server (beta"
                                                                        << "Microsoft SQL Server (beta"
                                                                        << "Microsoft SQL Server (beta";
    QTest::newRow("MySQL") << "m"
                           << "5.7.33-log"
                           << "MySQL 5.7.33-log"
                           << "MySQL 5.7.33";
    QTest::newRow("MySQL without a dash") << "m"
                                          << "8.0.1"
                                          << "MySQL 8.0.1"
                                          << "MySQL 8.0.1";
    QTest::newRow("PostgreSQL") << "p"
                                << "PostgreSQL 12.3 on x86_64-pc-linux-gnu, compiled by gcc"
                                << "PostgreSQL 12.3 on x86_64-pc-linux-gnu, compiled by gcc"
                                << "PostgreSQL 12.3";
    QTest::newRow("Access untouched") << "a"
                                      << "Microsoft Access 97-2003"
                                      << "Microsoft Access 97-2003"
                                      << "Microsoft Access 97-2003";
    QTest::newRow("SQL Server and MySQL: both cuts in order")
        << "sm"
        << "Microsoft SQL Server 2019 (RTM-CU8) - 15.0"
        << "MySQL Microsoft SQL Server 2019 (RTM-CU8) - 15.0"
        << "MySQL Microsoft SQL Server 2019 (RTM";
    QTest::newRow("blank pairs halved in one pass") << ""
                                                    << "a   b    c\t d"
                                                    << "a  b  c d"
                                                    << "a  b  c d";
    QTest::newRow("SQLite") << "l"
                            << "SQLite 3.40.1"
                            << "SQLite 3.40.1"
                            << "SQLite 3.40.1";
    QTest::newRow("empty stays empty, nothing logged") << "m"
                                                       << ""
                                                       << ""
                                                       << "";
}

void TestDialect::versionText()
{
    QFETCH(QString, flags);
    QFETCH(QString, version);
    const VersionText v = DialectAnalysis::cleanVersion(version, factsWithFlags(flags));
    QTEST(v.logged, "logged");
    QTEST(v.serverVersion, "shown");
}

void TestDialect::answeredVersionTakesTheQueryOverAccess()
{
    DialectFacts f = factsWithFlags(QStringLiteral("a"));
    f.accessVersion = QStringLiteral("Microsoft Access 97-2003");
    QCOMPARE(DialectAnalysis::answeredVersion(f, false, QString()), f.accessVersion);
    QCOMPARE(DialectAnalysis::answeredVersion(f, true, QStringLiteral("x")), QStringLiteral("x"));
    QCOMPARE(
        DialectAnalysis::answeredVersion(factsWithFlags(QStringLiteral("l")), true, QStringLiteral("3.40.1")),
        QStringLiteral("SQLite 3.40.1"));
}

void TestDialect::captionKeepsEmptyParentheses()
{
    QCOMPARE(DialectAnalysis::caption(QStringLiteral("Orvessa"), QString(), QString()),
             QStringLiteral("Orvessa () "));
    QCOMPARE(DialectAnalysis::caption(QStringLiteral("Orvessa"), QStringLiteral("srv"),
                                      QStringLiteral("MySQL 5.7")),
             QStringLiteral("Orvessa (srv) MySQL 5.7"));
}

QTEST_GUILESS_MAIN(TestDialect)
#include "tst_dialect.moc"

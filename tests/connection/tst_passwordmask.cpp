#include "connection/PasswordMask.h"

#include <QTest>

class TestPasswordMask : public QObject
{
    Q_OBJECT

private slots:
    void maskedForTheLog_data();
    void maskedForTheLog();
};

void TestPasswordMask::maskedForTheLog_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("logged");

    QTest::newRow("password") << "Provider=SQLOLEDB.1;Password=secret;User ID=sa"
                              << "Provider=SQLOLEDB.1;Password=***;User ID=sa";
    QTest::newRow("pwd in any case, braces with semicolon") << "DSN=x;pwd={a;b}}c};UID=u"
                                                            << "DSN=x;pwd=***;UID=u";
    QTest::newRow("quoted value with semicolon") << "Password=\"x;y\"\"z\";Data Source=h"
                                                 << "Password=***;Data Source=h";
    QTest::newRow("database password") << "Jet OLEDB:Database Password=pw;Data Source=a.mdb"
                                       << "Jet OLEDB:Database Password=***;Data Source=a.mdb";
    QTest::newRow("blanks around the name") << " PWD = x ;A=1"
                                            << " PWD =***;A=1";
    QTest::newRow("trailing separator kept") << "Password=x;"
                                             << "Password=***;";
    QTest::newRow("nothing secret unchanged") << "Provider=SQLite;Data Source=/tmp/a b.db;Foo"
                                              << "Provider=SQLite;Data Source=/tmp/a b.db;Foo";
    QTest::newRow("empty") << ""
                           << "";
    // The entries are the parser's: whatever blank it skips before a quote, the quoted value
    // is one value and goes whole.
    QTest::newRow("tab before a quoted value") << "Password=\t\"a;b\";X=1"
                                               << "Password=***;X=1";
    QTest::newRow("line break before braces") << "PWD=\n{a;b}}c};X=1"
                                              << "PWD=***;X=1";
    QTest::newRow("no-break space before a quote")
        << QStringLiteral("Password=\u00A0'a;b';X=1") << QStringLiteral("Password=***;X=1");
    QTest::newRow("tab inside the name") << "\tPassword\t=s;X=1"
                                         << "\tPassword\t=***;X=1";
    QTest::newRow("every duplicate") << "PWD=a;pwd=b"
                                     << "PWD=***;pwd=***";
    QTest::newRow("open quote masks the rest") << "Password=\"a;b;X=1"
                                               << "Password=***";
    QTest::newRow("text after the closing quote") << "Password='a'b;c;X=1"
                                                  << "Password=***;c;X=1";
    QTest::newRow("nested in Extended Properties")
        << "Provider=MSDASQL;Extended Properties=\"DSN=x;PWD=secret;UID=u\";User ID=v"
        << "Provider=MSDASQL;Extended Properties=\"DSN=x;PWD=***;UID=u\";User ID=v";
    QTest::newRow("nested in braces, quoted inside") << "extended properties={Driver=y;Password=\"s;t\"}"
                                                     << "extended properties=\"Driver=y;Password=***\"";
    QTest::newRow("nested without a secret stays as written") << "Extended Properties='DSN=x; UID=u'"
                                                              << "Extended Properties='DSN=x; UID=u'";
    QTest::newRow("a path that merely holds an equals sign") << "Data Source=C:\\my password=1.db;PWD=p"
                                                             << "Data Source=C:\\my password=1.db;PWD=***";
}

void TestPasswordMask::maskedForTheLog()
{
    QFETCH(QString, text);
    QFETCH(QString, logged);
    QCOMPARE(maskPasswords(text), logged);
}

QTEST_GUILESS_MAIN(TestPasswordMask)
#include "tst_passwordmask.moc"

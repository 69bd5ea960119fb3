#include "db/Backends.h"
#include "db/ConnectionString.h"

#include <QTest>

Q_DECLARE_METATYPE(ConnectionStringPairs)

class TestConnectionString : public QObject
{
    Q_OBJECT

private slots:
    void parsesPairs_data();
    void parsesPairs();
    void openQuotesAndBracesAreErrors_data();
    void openQuotesAndBracesAreErrors();
    void longAndGarbledInputsNeverCrash();
    void composedStringsReadBackUnchanged_data();
    void composedStringsReadBackUnchanged();
    void lookupIgnoresLetterCase();
    void providerChoosesTheBackend_data();
    void providerChoosesTheBackend();
    void missingOrUnknownProviderNamesTheKnownOnes_data();
    void missingOrUnknownProviderNamesTheKnownOnes();
};

using P = QPair<QString, QString>;

void TestConnectionString::parsesPairs_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<ConnectionStringPairs>("pairs");
    QTest::newRow("empty") << QString() << ConnectionStringPairs{};
    QTest::newRow("simple") << QStringLiteral("Provider=SQLite;Data Source=/tmp/a b.db")
                            << ConnectionStringPairs{P("Provider", "SQLite"),
                                                     P("Data Source", "/tmp/a b.db")};
    QTest::newRow("blanks trimmed") << QStringLiteral("  Provider  =  MySQL  ;; User ID = sa ;")
                                    << ConnectionStringPairs{P("Provider", "MySQL"), P("User ID", "sa")};
    QTest::newRow("double quotes") << QStringLiteral("Password=\" a;b\"\"c \";X=1")
                                   << ConnectionStringPairs{P("Password", " a;b\"c "), P("X", "1")};
    QTest::newRow("single quotes") << QStringLiteral("Password='it''s;'")
                                   << ConnectionStringPairs{P("Password", "it's;")};
    QTest::newRow("braces") << QStringLiteral("Driver={SQLite3 ODBC; }}Driver};Database=x")
                            << ConnectionStringPairs{P("Driver", "SQLite3 ODBC; }Driver"),
                                                     P("Database", "x")};
    QTest::newRow("blank after quote")
        << QStringLiteral("A=\"x\"  ;B=y") << ConnectionStringPairs{P("A", "x"), P("B", "y")};
    QTest::newRow("quote inside value") << QStringLiteral("A=x\"y") << ConnectionStringPairs{P("A", "x\"y")};
    QTest::newRow("equals in value") << QStringLiteral("Extended Properties=a=b;c")
                                     << ConnectionStringPairs{P("Extended Properties", "a=b")};
    QTest::newRow("first duplicate wins")
        << QStringLiteral("User ID=a;user id=b;USER ID=c") << ConnectionStringPairs{P("User ID", "a")};
    QTest::newRow("garbled") << QStringLiteral("a;b;=;==") << ConnectionStringPairs{};
    QTest::newRow("nameless value skipped") << QStringLiteral("=x;A=1") << ConnectionStringPairs{P("A", "1")};
    QTest::newRow("empty value") << QStringLiteral("Password=;User=u")
                                 << ConnectionStringPairs{P("Password", ""), P("User", "u")};
}

void TestConnectionString::parsesPairs()
{
    QFETCH(QString, text);
    QFETCH(ConnectionStringPairs, pairs);
    QCOMPARE(parseConnectionString(text), pairs);
}

void TestConnectionString::openQuotesAndBracesAreErrors_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("name");
    QTest::newRow("open double quote") << QStringLiteral("Provider=SQLite;Password=\"abc") << "Password";
    QTest::newRow("open single quote") << QStringLiteral("Password='abc''") << "Password";
    QTest::newRow("open brace") << QStringLiteral("Driver={SQLite3;Database=x") << "Driver";
    QTest::newRow("text after quote") << QStringLiteral("Password=\"abc\"def;X=1") << "Password";
}

void TestConnectionString::openQuotesAndBracesAreErrors()
{
    QFETCH(QString, text);
    QFETCH(QString, name);
    try {
        parseConnectionString(text);
        QFAIL("no error");
    } catch (const DataAccessError &error) {
        QVERIFY2(error.text().startsWith(QStringLiteral("The connection string is not valid")),
                 qPrintable(error.text()));
        QVERIFY(error.text().contains(u'"' + name + u'"'));
    }
}

void TestConnectionString::longAndGarbledInputsNeverCrash()
{
    const QStringList pieces{"=", ";",  "\"",  "'",  "{",    "}",  "a",
                             " ", "==", "x=y", "}}", "\"\"", "\v", "\u00a0"};
    quint32 seed = 12345;
    for (int round = 0; round < 300; ++round) {
        QString text;
        const int length = round < 299 ? 40 : 10000;
        for (int i = 0; i < length; ++i) {
            seed = seed * 1103515245 + 12345;
            text += pieces[int((seed >> 16) % pieces.size())];
        }
        try {
            const ConnectionStringPairs pairs = parseConnectionString(text);
            for (const auto &pair : pairs)
                QVERIFY(!pair.first.isEmpty());
            // What is composed from the pairs reads back the same.
            QCOMPARE(parseConnectionString(composeConnectionString(pairs)), pairs);
        } catch (const DataAccessError &error) {
            QVERIFY(!error.text().isEmpty());
        }
    }
    const QString longValue(10000, u'v');
    QCOMPARE(
        ConnectionString(QStringLiteral("Data Source=") + longValue).value(QStringLiteral("data source")),
        longValue);
}

void TestConnectionString::composedStringsReadBackUnchanged_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("written");
    QTest::newRow("plain") << "abc"
                           << "abc";
    QTest::newRow("semicolon") << "a;b"
                               << "\"a;b\"";
    QTest::newRow("blanks around") << " a "
                                   << "\" a \"";
    QTest::newRow("double quote") << "a\"b"
                                  << "'a\"b'";
    QTest::newRow("both quotes") << "a\"b'c;"
                                 << "\"a\"\"b'c;\"";
    QTest::newRow("brace first") << "{x}"
                                 << "\"{x}\"";
    QTest::newRow("no-break space first") << "\u00a0x"
                                          << "\"\u00a0x\"";
    QTest::newRow("empty") << ""
                           << "";
}

void TestConnectionString::composedStringsReadBackUnchanged()
{
    QFETCH(QString, value);
    QFETCH(QString, written);
    const ConnectionStringPairs pairs{P("Provider", "SQLite"), P("Password", value), P("Z", "1")};
    const QString text = composeConnectionString(pairs);
    QCOMPARE(text, QStringLiteral("Provider=SQLite;Password=") + written + QStringLiteral(";Z=1"));
    QCOMPARE(parseConnectionString(text), pairs);
}

void TestConnectionString::lookupIgnoresLetterCase()
{
    ConnectionString cs(QStringLiteral("Provider=SQLite; DATA SOURCE = /x.db ;Server=s"));
    QVERIFY(cs.contains(QStringLiteral("data source")));
    QCOMPARE(cs.value(QStringLiteral("Data Source")), QStringLiteral("/x.db"));
    QCOMPARE(cs.value(QStringList{QStringLiteral("Host"), QStringLiteral("server")}), QStringLiteral("s"));
    QVERIFY(cs.value(QStringLiteral("Port")).isNull());
    cs.setValue(QStringLiteral("data source"), QStringLiteral("/y;z.db"));
    cs.remove(QStringLiteral("SERVER"));
    QCOMPARE(cs.toString(), QStringLiteral("Provider=SQLite;DATA SOURCE=\"/y;z.db\""));
}

void TestConnectionString::providerChoosesTheBackend_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    const auto row = [](const char *name, const char *text, ProviderKind kind) {
        QTest::newRow(name) << QString::fromUtf8(text) << int(kind);
    };
    row("sqlite", "Provider=SQLite;Data Source=a.db", ProviderKind::Sqlite);
    row("sqlite lower case", "provider= sqlite ;Data Source=a.db", ProviderKind::Sqlite);
    row("postgresql", "Provider=PostgreSQL;Data Source=h", ProviderKind::Postgres);
    row("postgresql ole db", "Provider=PostgreSQL OLE DB Provider", ProviderKind::Postgres);
    row("pgnp.1", "Provider=PGNP.1", ProviderKind::Postgres);
    row("pgnp other version", "Provider=pgnp.2", ProviderKind::Postgres);
    row("mysql", "Provider=MySQL", ProviderKind::Mysql);
    row("mariadb", "Provider=MariaDB", ProviderKind::Mysql);
    row("mysqlprov", "Provider=MySQLProv", ProviderKind::Mysql);
    row("sqloledb", "Provider=SQLOLEDB.1;Data Source=h", ProviderKind::SqlServer);
    row("sqlncli11", "Provider=SQLNCLI11", ProviderKind::SqlServer);
    row("msoledbsql", "Provider=MSOLEDBSQL19", ProviderKind::SqlServer);
    row("jet", "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=a.mdb", ProviderKind::Access);
    row("ace", "Provider=Microsoft.ACE.OLEDB.12.0", ProviderKind::Access);
    row("access", "Provider=Microsoft.Access.OLEDB.10.0", ProviderKind::Access);
    row("msdasql", "Provider=MSDASQL.1;DSN=x", ProviderKind::Odbc);
    row("driver without provider", "Driver={SQLite3};Database=a.db", ProviderKind::Odbc);
    row("dsn without provider", "DSN=pg", ProviderKind::Odbc);
    row("empty provider with dsn", "Provider=;DSN=pg", ProviderKind::Odbc);
}

void TestConnectionString::providerChoosesTheBackend()
{
    QFETCH(QString, text);
    QFETCH(int, kind);
    QCOMPARE(int(providerKindFor(text)), kind);
}

void TestConnectionString::missingOrUnknownProviderNamesTheKnownOnes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("start");
    QTest::newRow("empty") << QString() << "No provider was given.";
    QTest::newRow("no provider") << "Data Source=a.db"
                                 << "No provider was given.";
    QTest::newRow("unknown") << "Provider=Foo.1"
                             << "The provider \"Foo.1\" is not known.";
    QTest::newRow("prefix only") << "Provider=SQLiteX"
                                 << "The provider \"SQLiteX\" is not known.";
}

void TestConnectionString::missingOrUnknownProviderNamesTheKnownOnes()
{
    QFETCH(QString, text);
    QFETCH(QString, start);
    for (int viaCreate = 0; viaCreate < 2; ++viaCreate) {
        try {
            if (viaCreate)
                Backend::create(text);
            else
                providerKindFor(text);
            QFAIL("no error");
        } catch (const DataAccessError &error) {
            QVERIFY2(error.text().startsWith(start), qPrintable(error.text()));
            QVERIFY2(
                error.text().endsWith(QStringLiteral(
                    " Known providers: SQLite, PostgreSQL, MySQL, MariaDB, SQLOLEDB, SQLNCLI, MSOLEDBSQL, "
                    "Microsoft.Jet.OLEDB, Microsoft.ACE.OLEDB, MSDASQL.")),
                qPrintable(error.text()));
        }
    }
}

QTEST_GUILESS_MAIN(TestConnectionString)
#include "tst_connectionstring.moc"

#include "TestServers.h"

#include "db/Backends.h"
#include "db/fetch/Fetch.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest/QtTest>

#include <chrono>
#include <map>
#include <thread>

// The contract every backend keeps, pinned once: each test runs once per backend from a data
// table, as Qt's own SQL driver tests do. Where a backend answers differently, the row says so
// and why; everything else is the same for all.

namespace {

enum class Kind { Sqlite, Postgres, Mysql, OdbcSqlite, OdbcPostgres, Access };

struct Target
{
    const char *name;
    Kind kind;
};

constexpr Target Writable[] = {{"SQLite", Kind::Sqlite},
                               {"PostgreSQL", Kind::Postgres},
                               {"MariaDB", Kind::Mysql},
                               {"ODBC SQLite3", Kind::OdbcSqlite},
                               {"ODBC PostgreSQL", Kind::OdbcPostgres}};
constexpr Target Access = {"Access", Kind::Access};

bool isPostgres(Kind kind)
{
    return kind == Kind::Postgres || kind == Kind::OdbcPostgres;
}

bool isSqlite(Kind kind)
{
    return kind == Kind::Sqlite || kind == Kind::OdbcSqlite || kind == Kind::Access;
}

QString accessFile(const char *name)
{
    return QDir(qEnvironmentVariable("ORVESSA_SOURCE_DIR"))
               .filePath(QStringLiteral("../shared/data/access/")) +
           QLatin1StringView(name);
}

// Rows of any kind written as text, one line per row, cells separated by "|".
class TextSink final : public CellSink
{
public:
    QStringList rows;

    void beginRow() override { m_cells.clear(); }
    void addNull() override { m_cells << QStringLiteral("NULL"); }
    void addInt(qint64 value) override { m_cells << QString::number(value); }
    void addDouble(double value) override { m_cells << QString::number(value); }
    void addBool(bool value) override
    {
        m_cells << (value ? QStringLiteral("true") : QStringLiteral("false"));
    }
    void addText(const char *utf8, qsizetype length) override { m_cells << QString::fromUtf8(utf8, length); }
    void addBlob(const char *, qsizetype length) override
    {
        m_cells << QStringLiteral("<%1 bytes>").arg(length);
    }
    void endRow() override { rows << m_cells.join(u'|'); }

private:
    QStringList m_cells;
};

// The numbers 1 to count, one row each.
QString numbers(Kind kind, int count)
{
    if (isPostgres(kind))
        return QStringLiteral("SELECT g FROM generate_series(1, %1) g").arg(count);
    if (kind == Kind::Mysql)
        return QStringLiteral("SELECT seq FROM seq_1_to_%1").arg(count);
    return QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < %1) "
                          "SELECT x FROM c")
        .arg(count);
}

// Takes a number of rows, then fails as a file writer on a full disk does.
class FailingSink final : public CellSink
{
public:
    explicit FailingSink(int rows) : m_rows(rows) {}

    void beginRow() override
    {
        if (m_rows-- == 0)
            throw AppError(QStringLiteral("No space left on device"));
    }
    void addNull() override {}
    void addInt(qint64) override {}
    void addDouble(double) override {}
    void addBool(bool) override {}
    void addText(const char *, qsizetype) override {}
    void addBlob(const char *, qsizetype) override {}
    void endRow() override {}

private:
    int m_rows;
};

// A statement that sends rows 1, 2, 3, ... and then waits (or goes on) until cancelled. The
// SQLite3 ODBC driver runs a statement to its end before it hands over the first row: there the
// rows are many instead of endless.
QString endlessRows(Kind kind)
{
    if (kind == Kind::OdbcSqlite)
        return numbers(kind, 300000);
    if (isPostgres(kind))
        return QStringLiteral(
            "SELECT g FROM generate_series(1, 200000) g UNION ALL SELECT 0 FROM pg_sleep(60)");
    if (kind == Kind::Mysql)
        return QStringLiteral("SELECT seq FROM seq_1_to_200000 WHERE seq < 200000 OR SLEEP(60) = 0");
    return QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT x FROM c");
}

} // namespace

Q_DECLARE_METATYPE(Kind)

class TestConformance : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void valuesGoInAndComeOutUnchanged_data();
    void valuesGoInAndComeOutUnchanged();
    void invalidUtf8FromTheDatabaseIsReplaced_data();
    void invalidUtf8FromTheDatabaseIsReplaced();
    void affectedCountsAreTheDatabasesOwn_data();
    void affectedCountsAreTheDatabasesOwn();
    void rowsOrCommandFollowsWhatTheStatementYields_data();
    void rowsOrCommandFollowsWhatTheStatementYields();
    void errorsCarryTheDriversText_data();
    void errorsCarryTheDriversText();
    void cancelStopsOnlyItsOwnWork_data();
    void cancelStopsOnlyItsOwnWork();
    void rowsCanBeReadInStepsIntoAnySink_data();
    void rowsCanBeReadInStepsIntoAnySink();
    void schemaRowsetsComeInTheirOrder_data();
    void schemaRowsetsComeInTheirOrder();
    void fieldLookupNeverPicksAColumnOfAnotherCase_data();
    void fieldLookupNeverPicksAColumnOfAnotherCase();

private:
    static void addTargets(bool withAccess);
    // The connection string of a backend's test database; empty when its server is not running.
    QString connectionString(Kind kind);
    Connection &connection(Kind kind);
    // The same database, opened as a backend of its own.
    std::unique_ptr<Backend> openBackend(Kind kind);

    QTemporaryDir m_dir;
    std::map<Kind, QString> m_strings;
    std::map<Kind, std::unique_ptr<Connection>> m_connections;
};

// In a test function with a `kind` column: declares `var`, the backend's open connection, or
// skips the row (fails it in CI) when its server is not running.
#define ORVESSA_CONNECT(var)                                                                                 \
    QFETCH(Kind, kind);                                                                                      \
    if (connectionString(kind).isEmpty()) {                                                                  \
        if (TestServers::requiredByCi())                                                                     \
            QFAIL("test server not running: run scripts/start-test-servers and source its env file");        \
        QSKIP("test server not running (scripts/start-test-servers, then source the env file)");             \
    }                                                                                                        \
    Connection &var = connection(kind)

void TestConformance::initTestCase()
{
    QVERIFY(m_dir.isValid());
    if (!QFileInfo::exists(accessFile("indexTestV2003.mdb"))) {
        if (TestServers::requiredByCi())
            QFAIL("The Access sample files are missing from shared/data/access beside the clone.");
        QSKIP("The Access sample files (shared/data/access beside the clone) are not here.");
    }
}

void TestConformance::addTargets(bool withAccess)
{
    QTest::addColumn<Kind>("kind");
    for (const Target &target : Writable)
        QTest::newRow(target.name) << target.kind;
    if (withAccess)
        QTest::newRow(Access.name) << Access.kind;
}

QString TestConformance::connectionString(Kind kind)
{
    auto found = m_strings.find(kind);
    if (found != m_strings.end())
        return found->second;
    QString text;
    const QString database = QStringLiteral("orvessa_tst_conformance");
    switch (kind) {
    case Kind::Sqlite:
        text = QStringLiteral("Provider=SQLite;Data Source=") + m_dir.filePath(QStringLiteral("sqlite.db"));
        QFile(m_dir.filePath(QStringLiteral("sqlite.db"))).open(QIODevice::WriteOnly);
        break;
    case Kind::OdbcSqlite:
        text = QStringLiteral("Driver=SQLite3;Database=") + m_dir.filePath(QStringLiteral("odbc.db"));
        break;
    case Kind::Postgres:
        if (!TestServers::pgConnectionString().isEmpty())
            text = TestServers::freshDatabase(TestServers::pgConnectionString(), database);
        break;
    case Kind::OdbcPostgres:
        if (!TestServers::pgConnectionString().isEmpty())
            text = TestServers::pgOdbcConnectionString(TestServers::freshDatabase(
                TestServers::pgConnectionString(), database + QStringLiteral("_odbc")));
        break;
    case Kind::Mysql:
        if (!TestServers::mysqlConnectionString().isEmpty())
            text = TestServers::freshDatabase(TestServers::mysqlConnectionString(), database);
        break;
    case Kind::Access:
        text = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") +
               accessFile("indexTestV2003.mdb");
        break;
    }
    m_strings[kind] = text;
    return text;
}

Connection &TestConformance::connection(Kind kind)
{
    std::unique_ptr<Connection> &slot = m_connections[kind];
    if (!slot) {
        slot = std::make_unique<Connection>();
        slot->setConnectionString(connectionString(kind));
        slot->open();
    }
    slot->setWorkRunner({});
    return *slot;
}

std::unique_ptr<Backend> TestConformance::openBackend(Kind kind)
{
    std::unique_ptr<Backend> backend = Backend::create(connectionString(kind));
    backend->connect();
    return backend;
}

void TestConformance::valuesGoInAndComeOutUnchanged_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("declaration");
    QTest::addColumn<QVariant>("in");
    QTest::addColumn<QVariant>("out");

    // type[kind]: the column's declaration on each backend (the ODBC ones use their database's).
    struct Type
    {
        const char *sqlite, *postgres, *mysql;
    };
    const auto add = [](const char *name, const Type &type, const QVariant &in, const QVariant &out,
                        const std::map<Kind, QVariant> &differs = {}) {
        for (const Target &target : Writable) {
            const Kind kind = target.kind;
            const char *declaration = isSqlite(kind)     ? type.sqlite
                                      : isPostgres(kind) ? type.postgres
                                                         : type.mysql;
            const auto own = differs.find(kind);
            QTest::addRow("%s: %s", target.name, name) << kind << QString::fromLatin1(declaration) << in
                                                       << (own != differs.end() ? own->second : out);
        }
    };

    const Type integer{"INTEGER", "bigint", "bigint"};
    add("zero", integer, qlonglong(0), qlonglong(0));
    add("negative", integer, qlonglong(-1), qlonglong(-1));
    add("largest", integer, std::numeric_limits<qlonglong>::max(), std::numeric_limits<qlonglong>::max());
    add("smallest", integer, std::numeric_limits<qlonglong>::min(), std::numeric_limits<qlonglong>::min());

    // The SQLite3 ODBC driver hands doubles over as SQLite's text of them, 15 digits long.
    const Type real{"REAL", "double precision", "double"};
    add("negative fraction", real, -1.5, -1.5);
    add("largest double", real, 1.7976931348623157e308, 1.7976931348623157e308,
        {{Kind::OdbcSqlite, std::numeric_limits<double>::infinity()}});
    add("smallest normal double", real, 2.2250738585072014e-308, 2.2250738585072014e-308,
        {{Kind::OdbcSqlite, 2.2250738585072e-308}});

    // Beyond the 15 digits of a double, exact numerics come back as their text. SQLite has no
    // exact numerics: NUMERIC keeps what fits a double.
    const QString digits = QStringLiteral("1234567890123456789012345678.0123456789");
    add("decimal of 38 digits", {"NUMERIC(38,10)", "numeric(38,10)", "decimal(38,10)"}, digits, digits,
        {{Kind::Sqlite, 1234567890123456789012345678.0123456789}, {Kind::OdbcSqlite, 1.23456789012346e+27}});

    const Type text{"TEXT", "text", "longtext"};
    add("empty text", text, QStringLiteral(""), QStringLiteral(""));
    add("null text", text, QVariant(), QVariant());
    QString longText;
    while (longText.size() < 100000)
        longText += QStringLiteral("text ç € 😀 ");
    add("long text", text, longText, longText);

    const Type blob{"BLOB", "bytea", "longblob"};
    QByteArray bytes(1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 31 % 251); // NUL bytes included
    add("1 MB with NUL bytes", blob, bytes, bytes);
    add("empty blob", blob, QByteArray(""), QByteArray(""));
    add("null blob", blob, QVariant(), QVariant());

    // Dates and times come back as the database's ISO text.
    const Type date{"DATE", "date", "date"};
    add("first day", date, QDate(1, 1, 1), QStringLiteral("0001-01-01"));
    add("last day", date, QDate(9999, 12, 31), QStringLiteral("9999-12-31"));
    // SQLite stores the text it was given, milliseconds included.
    add("last second", {"DATETIME", "timestamp", "datetime"},
        QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59)), QStringLiteral("9999-12-31 23:59:59"),
        {{Kind::Sqlite, QStringLiteral("9999-12-31 23:59:59.000")},
         {Kind::OdbcSqlite, QStringLiteral("9999-12-31 23:59:59.000")}});

    // The PostgreSQL ODBC driver reports booleans as characters (its BoolsAsChar default).
    const Type boolean{"BOOLEAN", "boolean", "boolean"};
    add("true", boolean, true, true, {{Kind::OdbcPostgres, QStringLiteral("1")}});
    add("false", boolean, false, false, {{Kind::OdbcPostgres, QStringLiteral("0")}});
}

void TestConformance::valuesGoInAndComeOutUnchanged()
{
    QFETCH(QString, declaration);
    QFETCH(QVariant, in);
    QFETCH(QVariant, out);
    ORVESSA_CONNECT(db);
    db.execute(QStringLiteral("DROP TABLE IF EXISTS conf_values"));
    db.execute(QStringLiteral("CREATE TABLE conf_values (v %1)").arg(declaration));
    const ExecResult inserted = db.executeParams(
        QStringLiteral("INSERT INTO conf_values (v) VALUES (%1)").arg(db.placeholder(1)), {in});
    QCOMPARE(inserted.recordsAffected, 1);

    const ExecResult result = db.execute(QStringLiteral("SELECT v FROM conf_values"));
    QVERIFY(result.recordset);
    QCOMPARE(result.recordset->rowCount(), 1);
    const QVariant value = result.recordset->value(0, 0);
    QCOMPARE(value.isNull(), out.isNull());
    if (out.typeId() == QMetaType::QByteArray) {
        QCOMPARE(value.typeId(), int(QMetaType::QByteArray));
        QVERIFY(value.toByteArray() == out.toByteArray()); // 1 MB: no dump of both on failure
    } else {
        QCOMPARE(value, out);
    }
}

void TestConformance::invalidUtf8FromTheDatabaseIsReplaced_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("text");
    const QString replaced = QString::fromUtf8("A\xc3(\xff"
                                               "B");
    QTest::newRow("SQLite") << Kind::Sqlite << "SELECT CAST(x'41C328FF42' AS TEXT)" << replaced;
    QTest::newRow("Access") << Kind::Access << "SELECT CAST(x'41C328FF42' AS TEXT)" << replaced;
    // MariaDB replaces what is not UTF-8 with "?" before it sends the text. PostgreSQL checks
    // every text it stores and sends; through ODBC the driver decodes the text itself.
    QTest::newRow("MariaDB") << Kind::Mysql << "SELECT CAST(x'41C328FF42' AS CHAR CHARACTER SET utf8mb4)"
                             << QStringLiteral("A?(?B");
}

void TestConformance::invalidUtf8FromTheDatabaseIsReplaced()
{
    QFETCH(QString, sql);
    QFETCH(QString, text);
    ORVESSA_CONNECT(db);
    const ExecResult result = db.execute(sql);
    QCOMPARE(result.recordset->value(0, 0).toString(), text);
}

void TestConformance::affectedCountsAreTheDatabasesOwn_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<qint64>("affected");
    for (const Target &target : Writable) {
        QTest::addRow("%s: update two rows", target.name)
            << target.kind << "UPDATE conf_counts SET v = v + 1 WHERE v > 1" << qint64(2);
        QTest::addRow("%s: delete none", target.name)
            << target.kind << "DELETE FROM conf_counts WHERE v > 100" << qint64(0);
        QTest::addRow("%s: insert three", target.name)
            << target.kind << "INSERT INTO conf_counts (v) VALUES (7), (8), (9)" << qint64(3);
        QTest::addRow("%s: create table", target.name)
            << target.kind << "CREATE TABLE conf_counts_ddl (v INTEGER)" << qint64(0);
    }
    // A setting changes no row; the PostgreSQL ODBC driver cannot tell, and its -1 stays -1.
    QTest::newRow("SQLite: setting") << Kind::Sqlite << "PRAGMA user_version = 3" << qint64(0);
    QTest::newRow("PostgreSQL: setting") << Kind::Postgres << "SET client_min_messages = notice" << qint64(0);
    QTest::newRow("MariaDB: setting") << Kind::Mysql << "SET @conformance = 1" << qint64(0);
    QTest::newRow("ODBC SQLite3: setting") << Kind::OdbcSqlite << "PRAGMA user_version = 3" << qint64(0);
    QTest::newRow("ODBC PostgreSQL: setting")
        << Kind::OdbcPostgres << "SET client_min_messages = notice" << qint64(-1);
}

void TestConformance::affectedCountsAreTheDatabasesOwn()
{
    QFETCH(QString, sql);
    QFETCH(qint64, affected);
    ORVESSA_CONNECT(db);
    db.execute(QStringLiteral("DROP TABLE IF EXISTS conf_counts"));
    db.execute(QStringLiteral("DROP TABLE IF EXISTS conf_counts_ddl"));
    db.execute(QStringLiteral("CREATE TABLE conf_counts (v INTEGER)"));
    db.execute(QStringLiteral("INSERT INTO conf_counts (v) VALUES (1)"));
    db.execute(QStringLiteral("INSERT INTO conf_counts (v) VALUES (2)"));
    db.execute(QStringLiteral("INSERT INTO conf_counts (v) VALUES (3)"));
    const ExecResult result = db.execute(sql);
    QVERIFY(!result.recordset);
    QCOMPARE(result.recordsAffected, affected);
}

void TestConformance::rowsOrCommandFollowsWhatTheStatementYields_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<qint64>("rows"); // -1: a command
    // The count of the text's last statement: the rows of a result set, or what a command changed.
    QTest::addColumn<qint64>("affected");
    const auto add = [](const Target &target, const char *name, const char *sql, qint64 rows,
                        qint64 affected) {
        QTest::addRow("%s: %s", target.name, name)
            << target.kind << QString::fromUtf8(sql) << rows << affected;
    };
    for (const Target &target : Writable) {
        add(target, "select", "SELECT v FROM conf_rows", 2, 2);
        add(target, "lower case", "select v from conf_rows", 2, 2);
        add(target, "leading blanks and comments", "  \n-- first\n/* second */ SELECT v FROM conf_rows", 2,
            2);
        add(target, "with", "WITH c AS (SELECT v FROM conf_rows) SELECT v FROM c", 2, 2);
        add(target, "no rows", "SELECT v FROM conf_rows WHERE v > 100", 0, 0);
        add(target, "command", "UPDATE conf_rows SET v = v WHERE v > 1", -1, 1);
        // The SQLite3 ODBC driver then repeats the count of the statement before (the setup's
        // last INSERT); the PostgreSQL one cannot tell.
        const qint64 nothing = target.kind == Kind::OdbcSqlite     ? 1
                               : target.kind == Kind::OdbcPostgres ? -1
                                                                   : 0;
        add(target, "only a comment", "/* nothing */", -1, nothing);
    }
    add(Access, "select", "SELECT count(*) FROM Table1", 1, 1);
    add(Access, "with", "WITH c AS (SELECT 1 AS v) SELECT v FROM c", 1, 1);
    add(Access, "only a comment", "/* nothing */", -1, 0);
    // Several statements in one text (the ODBC SQLite3 driver runs only the first).
    for (const Target &target : {Writable[0], Writable[1], Writable[2], Writable[4]}) {
        add(target, "rows, then a command", "SELECT v FROM conf_rows; UPDATE conf_rows SET v = v WHERE v > 1",
            2, 1);
        add(target, "a command, then rows", "UPDATE conf_rows SET v = v WHERE v > 1; SELECT v FROM conf_rows",
            2, 2);
    }
}

void TestConformance::rowsOrCommandFollowsWhatTheStatementYields()
{
    QFETCH(QString, sql);
    QFETCH(qint64, rows);
    QFETCH(qint64, affected);
    ORVESSA_CONNECT(db);
    if (kind != Kind::Access) {
        db.execute(QStringLiteral("DROP TABLE IF EXISTS conf_rows"));
        db.execute(QStringLiteral("CREATE TABLE conf_rows (v INTEGER)"));
        db.execute(QStringLiteral("INSERT INTO conf_rows (v) VALUES (1)"));
        db.execute(QStringLiteral("INSERT INTO conf_rows (v) VALUES (2)"));
    }
    const ExecResult result = db.execute(sql);
    QCOMPARE(bool(result.recordset), rows >= 0);
    if (rows >= 0) {
        QCOMPARE(result.recordset->rowCount(), rows);
        QVERIFY(!result.recordset->incomplete());
    }
    QCOMPARE(result.recordsAffected, affected);
}

void TestConformance::errorsCarryTheDriversText_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("text");
    const QString sqliteSyntax = QStringLiteral("near \"SELEC\": syntax error");
    const QString pgSyntax = QStringLiteral("syntax error at or near \"SELEC\"");
    QTest::newRow("SQLite: syntax") << Kind::Sqlite << "SELEC 1" << sqliteSyntax;
    QTest::newRow("SQLite: no table") << Kind::Sqlite << "SELECT * FROM conf_none"
                                      << "no such table: conf_none";
    QTest::newRow("PostgreSQL: syntax") << Kind::Postgres << "SELEC 1" << pgSyntax;
    QTest::newRow("PostgreSQL: no table") << Kind::Postgres << "SELECT * FROM conf_none"
                                          << "relation \"conf_none\" does not exist";
    QTest::newRow("MariaDB: syntax") << Kind::Mysql << "SELEC 1"
                                     << "You have an error in your SQL syntax";
    QTest::newRow("MariaDB: no table") << Kind::Mysql << "SELECT * FROM conf_none"
                                       << "Table 'orvessa_tst_conformance.conf_none' doesn't exist";
    QTest::newRow("ODBC SQLite3: syntax") << Kind::OdbcSqlite << "SELEC 1" << sqliteSyntax;
    QTest::newRow("ODBC PostgreSQL: syntax") << Kind::OdbcPostgres << "SELEC 1" << pgSyntax;
    QTest::newRow("Access: syntax") << Kind::Access << "SELEC 1" << sqliteSyntax;
    QTest::newRow("Access: write") << Kind::Access << "DELETE FROM Table1"
                                   << "Access files are opened read-only.";
    // An error after a result with rows: everything the server still sends is read and freed.
    QTest::newRow("SQLite: after rows") << Kind::Sqlite << "SELECT 1; SELECT * FROM conf_none"
                                        << "no such table: conf_none";
    QTest::newRow("PostgreSQL: after rows") << Kind::Postgres << "SELECT 1; SELECT * FROM conf_none"
                                            << "relation \"conf_none\" does not exist";
    QTest::newRow("MariaDB: after rows") << Kind::Mysql << "SELECT 1; SELECT * FROM conf_none"
                                         << "Table 'orvessa_tst_conformance.conf_none' doesn't exist";
    QTest::newRow("ODBC PostgreSQL: after rows") << Kind::OdbcPostgres << "SELECT 1; SELECT * FROM conf_none"
                                                 << "relation \"conf_none\" does not exist";
}

void TestConformance::errorsCarryTheDriversText()
{
    QFETCH(QString, sql);
    QFETCH(QString, text);
    ORVESSA_CONNECT(db);
    try {
        db.execute(sql);
        QFAIL("no error");
    } catch (const DataAccessError &error) {
        QVERIFY2(error.text().contains(text), qPrintable(error.text()));
    }
    QVERIFY(db.isOpen());
    QCOMPARE(db.execute(QStringLiteral("SELECT 5")).recordset->value(0, 0).toLongLong(), 5);
}

void TestConformance::cancelStopsOnlyItsOwnWork_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("when");
    for (const Target &target : Writable) {
        for (const char *when : {"before", "during", "after"})
            QTest::addRow("%s: %s", target.name, when) << target.kind << QString::fromLatin1(when);
    }
    for (const char *when : {"before", "during", "after"})
        QTest::addRow("Access: %s", when) << Kind::Access << QString::fromLatin1(when);
}

void TestConformance::cancelStopsOnlyItsOwnWork()
{
    QFETCH(QString, when);
    ORVESSA_CONNECT(db);
    const QString count = kind == Kind::Access ? QStringLiteral("SELECT 1")
                                               : QStringLiteral("SELECT count(*) FROM conf_cancel");
    if (kind != Kind::Access) {
        db.execute(QStringLiteral("DROP TABLE IF EXISTS conf_cancel"));
        db.execute(QStringLiteral("CREATE TABLE conf_cancel (v INTEGER)"));
    }
    const std::atomic<qint64> *fetched = db.rowsFetchedCounter();

    if (when == QLatin1StringView("before")) {
        // Cancel pressed before the work reached the database: nothing of it runs.
        db.setWorkRunner([](const std::function<void()> &work, const std::function<void()> &cancel) {
            cancel();
            work();
        });
        const QString write = kind == Kind::Access ? QStringLiteral("SELECT 1")
                                                   : QStringLiteral("INSERT INTO conf_cancel (v) VALUES (1)");
        try {
            db.execute(write);
            QFAIL("not cancelled");
        } catch (const DataAccessError &error) {
            QCOMPARE(error.text(), cancelledText());
        }
    } else if (when == QLatin1StringView("during")) {
        // Cancel pressed while rows arrive: the rows so far stay, marked incomplete.
        std::atomic<bool> sawRows{false};
        db.setWorkRunner([&](const std::function<void()> &work, const std::function<void()> &cancel) {
            std::exception_ptr error;
            std::thread worker([&] {
                try {
                    work();
                } catch (...) {
                    error = std::current_exception();
                }
            });
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
            while (fetched->load() == 0 && std::chrono::steady_clock::now() < deadline)
                std::this_thread::yield();
            sawRows = fetched->load() > 0;
            cancel();
            worker.join();
            if (error)
                std::rethrow_exception(error);
        });
        const ExecResult result = db.execute(endlessRows(kind));
        QVERIFY(sawRows);
        QVERIFY(result.recordset);
        QVERIFY(result.recordset->incomplete());
        QVERIFY(result.recordset->rowCount() > 0);
        QVERIFY(result.recordset->rowCount() < 200000);
        QCOMPARE(result.recordset->value(result.recordset->rowCount() - 1, 0).toLongLong(),
                 result.recordset->rowCount());
        QCOMPARE(result.recordset->value(0, 0).toLongLong(), 1);
    } else {
        // Cancel pressed as the work ends: it reaches nothing, neither this statement nor the next.
        db.setWorkRunner([](const std::function<void()> &work, const std::function<void()> &cancel) {
            work();
            cancel();
        });
        const ExecResult result = db.execute(numbers(kind, 1000));
        QVERIFY(!result.recordset->incomplete());
        QCOMPARE(result.recordset->rowCount(), 1000);
    }

    // The next statement on the same connection runs whole.
    db.setWorkRunner({});
    const ExecResult next = db.execute(numbers(kind, 5000));
    QVERIFY(!next.recordset->incomplete());
    QCOMPARE(next.recordset->rowCount(), 5000);
    QCOMPARE(db.execute(count).recordset->value(0, 0).toLongLong(), kind == Kind::Access ? 1 : 0);
}

void TestConformance::rowsCanBeReadInStepsIntoAnySink_data()
{
    addTargets(true);
}

void TestConformance::rowsCanBeReadInStepsIntoAnySink()
{
    QFETCH(Kind, kind);
    if (connectionString(kind).isEmpty()) {
        if (TestServers::requiredByCi())
            QFAIL("test server not running");
        QSKIP("test server not running");
    }
    std::unique_ptr<Backend> backend = openBackend(kind);

    // A first batch, then the rest, as a result shown while it arrives reads them.
    TextSink sink;
    {
        std::unique_ptr<StatementCursor> cursor = backend->openCursor(numbers(kind, 100), nullptr);
        QVERIFY(cursor->nextResult());
        QCOMPARE(cursor->fields().size(), 1);
        RowFetcher fetcher(*cursor);
        QCOMPARE(fetcher.fetch(sink, 10), RowFetcher::Step::More);
        QCOMPARE(sink.rows.size(), 10);
        QCOMPARE(fetcher.fetch(sink), RowFetcher::Step::End);
        QVERIFY(!cursor->nextResult());
    }
    QCOMPARE(sink.rows.size(), 100);
    QCOMPARE(sink.rows.first(), QStringLiteral("1"));
    QCOMPARE(sink.rows.last(), QStringLiteral("100"));

    // A cursor given up half way leaves the connection ready for the next statement, and so
    // does a sink that fails (a file writer on a full disk).
    {
        std::unique_ptr<StatementCursor> cursor = backend->openCursor(endlessRows(kind), nullptr);
        QVERIFY(cursor->nextResult());
        TextSink some;
        RowFetcher fetcher(*cursor);
        QCOMPARE(fetcher.fetch(some, 10), RowFetcher::Step::More);
    }
    QCOMPARE(backend->execute(numbers(kind, 3)).recordset->value(2, 0).toLongLong(), 3);
    {
        std::unique_ptr<StatementCursor> cursor = backend->openCursor(endlessRows(kind), nullptr);
        QVERIFY(cursor->nextResult());
        FailingSink full(20);
        RowFetcher fetcher(*cursor);
        QVERIFY_THROWS_EXCEPTION(AppError, fetcher.fetch(full));
        QCOMPARE(fetcher.rows(), 20);
    }
    const ExecResult next = backend->execute(numbers(kind, 3));
    QCOMPARE(next.recordset->rowCount(), 3);
    QCOMPARE(next.recordset->value(2, 0).toLongLong(), 3);
}

void TestConformance::schemaRowsetsComeInTheirOrder_data()
{
    addTargets(true);
}

void TestConformance::schemaRowsetsComeInTheirOrder()
{
    ORVESSA_CONNECT(db);
    QString table = QStringLiteral("Table1");
    if (kind != Kind::Access) {
        for (const char *drop : {"DROP VIEW IF EXISTS ord_view", "DROP TABLE IF EXISTS ord_child",
                                 "DROP TABLE IF EXISTS ord_b", "DROP TABLE IF EXISTS ord_a"})
            db.execute(QString::fromLatin1(drop));
        db.execute(QStringLiteral("CREATE TABLE ord_a (k2 INTEGER NOT NULL, k1 INTEGER NOT NULL, "
                                  "PRIMARY KEY (k2, k1))"));
        db.execute(QStringLiteral("CREATE TABLE ord_b (id INTEGER NOT NULL PRIMARY KEY)"));
        db.execute(QStringLiteral("CREATE TABLE ord_child (z INTEGER, b_id INTEGER, a2 INTEGER, a1 INTEGER, "
                                  "FOREIGN KEY (b_id) REFERENCES ord_b (id), "
                                  "FOREIGN KEY (a2, a1) REFERENCES ord_a (k2, k1))"));
        db.execute(QStringLiteral("CREATE VIEW ord_view AS SELECT z FROM ord_child"));
        db.execute(QStringLiteral("CREATE INDEX ord_x_plain ON ord_child (a1)"));
        db.execute(QStringLiteral("CREATE UNIQUE INDEX ord_y_unique ON ord_child (z, b_id)"));
        table = QStringLiteral("ord_child");
    }

    // Tables by type, then schema, then name: all tables, then all views.
    const QList<TableInfo> tables = db.tables();
    QStringList ours;
    for (qsizetype i = 0; i < tables.size(); ++i) {
        if (i > 0)
            QVERIFY2(tables[i - 1].type <= tables[i].type, qPrintable(tables[i].name));
        if (tables[i].name.startsWith(QLatin1StringView("ord_")))
            ours << tables[i].type + u':' + tables[i].name;
    }
    if (kind != Kind::Access)
        QCOMPARE(ours.join(u','), QStringLiteral("TABLE:ord_a,TABLE:ord_b,TABLE:ord_child,VIEW:ord_view"));

    // Columns by ordinal position; key columns by their place in the key.
    const QList<ColumnInfo> columns = db.columns(QString(), table);
    QVERIFY(!columns.isEmpty());
    for (qsizetype i = 0; i < columns.size(); ++i)
        QCOMPARE(columns[i].ordinal, int(i + 1));
    const QList<KeyColumnInfo> key =
        db.primaryKeys(QString(), kind == Kind::Access ? table : QStringLiteral("ord_a"));
    for (qsizetype i = 0; i < key.size(); ++i)
        QCOMPARE(key[i].ordinal, int(i + 1));
    if (kind != Kind::Access)
        QCOMPARE(key.size() == 2 ? key[0].column + u',' + key[1].column : QString(), QStringLiteral("k2,k1"));

    // Foreign keys by referenced table, then referencing table, then ordinal.
    QStringList references;
    for (const ForeignKeyInfo &fk : db.foreignKeys(QString(), table))
        references << QStringLiteral("%1.%2>%3.%4").arg(fk.fkTable, fk.fkColumn, fk.pkTable, fk.pkColumn);
    const QString expectedReferences =
        kind == Kind::Access ? QStringLiteral("Table1.otherfk1>Table2.id,Table1.otherfk2>Table3.id")
                             : QStringLiteral("ord_child.a2>ord_a.k2,ord_child.a1>ord_a.k1,"
                                              "ord_child.b_id>ord_b.id");
    QCOMPARE(references.join(u','), expectedReferences);

    // Indexes unique (a primary key counts as unique) before the others, then by name.
    QStringList indexes;
    for (const IndexInfo &index : db.indexes(QString(), table)) {
        if (index.unique)
            QVERIFY2(indexes.isEmpty() || indexes.last().startsWith(u'!'), qPrintable(index.name));
        indexes << (index.unique ? u'!' : u'~') + index.name + u'(' + index.columns.join(u',') + u')';
    }
    if (kind != Kind::Access) {
        // Only ours: MariaDB adds an index of its own for each foreign key.
        static const QRegularExpression ourIndexes(QStringLiteral("^.ord_[xy]_"));
        QCOMPARE(indexes.filter(ourIndexes).join(u','),
                 QStringLiteral("!ord_y_unique(z,b_id),~ord_x_plain(a1)"));
    }
}

void TestConformance::fieldLookupNeverPicksAColumnOfAnotherCase_data()
{
    addTargets(true);
}

void TestConformance::fieldLookupNeverPicksAColumnOfAnotherCase()
{
    ORVESSA_CONNECT(db);
    const ExecResult two =
        db.execute(QStringLiteral("SELECT 1 AS a, 2 AS %1").arg(db.quoteIdentifier(QStringLiteral("A"))));
    QCOMPARE(two.recordset->fieldIndex(QStringLiteral("a")), 0);
    QCOMPARE(two.recordset->fieldIndex(QStringLiteral("A")), 1);
    QCOMPARE(two.recordset->fieldIndex(QStringLiteral("b")), -1);

    // One field that matches only without letter case is found: the version query's VER.
    const ExecResult one = db.execute(QStringLiteral("SELECT 1 AS ver"));
    QCOMPARE(one.recordset->fieldIndex(QStringLiteral("VER")), 0);
}

QTEST_GUILESS_MAIN(TestConformance)
#include "tst_conformance.moc"

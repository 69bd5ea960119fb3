#include "db/Backends.h"
#include "db/fetch/RowStore.h"
#include "db/sqlite/SqliteExec.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

namespace {

const char *const Schema = R"(
CREATE TABLE artist(id INTEGER PRIMARY KEY, name VARCHAR(50) NOT NULL, bio TEXT);
CREATE TABLE "odd name"(k TEXT PRIMARY KEY, v NUMERIC(10,2));
CREATE TABLE album(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    artist_id INT REFERENCES artist,
    title NVARCHAR(100),
    released DATE,
    price DECIMAL(8,2),
    flag BOOLEAN,
    cover BLOB,
    code CHAR(3) UNIQUE,
    extra);
CREATE INDEX ix_album_title ON album(title, released);
CREATE TABLE track(album_id INTEGER, no INTEGER, name TEXT, PRIMARY KEY(album_id, no),
    FOREIGN KEY(album_id) REFERENCES album(id)) WITHOUT ROWID;
CREATE VIEW v_album AS SELECT title FROM album;
INSERT INTO artist(name) VALUES ('Alpha'), ('Beta'), ('Gamma');
INSERT INTO album(artist_id, title, flag) VALUES (1, 'First', 1), (2, 'Second', 0);
)";

QString tableTypes(const QList<TableInfo> &tables)
{
    QStringList parts;
    for (const TableInfo &t : tables)
        parts.append(t.type + u':' + t.name);
    return parts.join(u',');
}

} // namespace

class TestSqliteBackend : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void declaredTypesMapOntoAdoTypes_data();
    void declaredTypesMapOntoAdoTypes();
    void tablesAreTypedAndOrdered();
    void columnsReportNullabilityTypesAndAutoIncrement();
    void keysAndIndexesComeInRowsetOrder();
    void tableMetadataOfAMissingTableIsAnError();
    void statementsWithRowsYieldARecordset_data();
    void statementsWithRowsYieldARecordset();
    void commandsReportRecordsAffected_data();
    void commandsReportRecordsAffected();
    void resultFieldsNameTheirBaseColumns();
    void parametersAreBound();
    void parameterCountMustMatch();
    void errorsCarrySqliteTextUnchanged_data();
    void errorsCarrySqliteTextUnchanged();
    void cancelKeepsTheRowsFetchedSoFar();
    void cancelDuringAFailingOpenIsSafe();
    void openingFailsClearly_data();
    void openingFailsClearly();
    void readOnlyModeRefusesWrites();
    void identifiersAreQuotedOnlyWhenNeeded_data();
    void identifiersAreQuotedOnlyWhenNeeded();
    void connectionRunsNotificationsAndClosesCleanly();
    void chinookDatabaseReadsCompletely();

private:
    std::unique_ptr<Backend> openBackend(const QString &extra = QString());

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    std::unique_ptr<Backend> m_db;
};

std::unique_ptr<Backend> TestSqliteBackend::openBackend(const QString &extra)
{
    auto backend = Backend::create(QStringLiteral("Provider=SQLite;Data Source=") + m_path + extra);
    backend->connect();
    return backend;
}

void TestSqliteBackend::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_path = m_dir->filePath(QStringLiteral("test.db"));
    QFile file(m_path);
    QVERIFY(file.open(QIODevice::WriteOnly)); // an empty file is an empty database
    file.close();
    m_db = openBackend();
    m_db->execute(QStringLiteral("PRAGMA synchronous = OFF"));
    m_db->execute(QString::fromUtf8(Schema));
}

void TestSqliteBackend::cleanup()
{
    m_db.reset();
    m_dir.reset();
}

void TestSqliteBackend::declaredTypesMapOntoAdoTypes_data()
{
    QTest::addColumn<QString>("declared");
    QTest::addColumn<int>("type");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("precision");
    QTest::addColumn<int>("scale");
    const auto row = [](const char *declared, AdoType type, qint64 size = 0, int precision = 0,
                        int scale = 0) {
        QTest::newRow(declared) << QString::fromUtf8(declared) << int(type) << size << precision << scale;
    };
    row("INTEGER", AdoType::Integer);
    row("int", AdoType::Integer);
    row("BIGINT", AdoType::BigInt);
    row("SMALLINT", AdoType::SmallInt);
    row("TINYINT", AdoType::TinyInt);
    row("UNSIGNED BIG INT", AdoType::BigInt);
    row("REAL", AdoType::Double);
    row("DOUBLE PRECISION", AdoType::Double);
    row("FLOAT", AdoType::Double);
    row("NUMERIC(10,2)", AdoType::Numeric, 0, 10, 2);
    row("decimal( 8 , 3 )", AdoType::Numeric, 0, 8, 3);
    row("NUMERIC(5)", AdoType::Numeric, 0, 5, 0);
    row("NUMERIC", AdoType::Double);
    row("BOOLEAN", AdoType::Boolean);
    row("DATE", AdoType::DBDate);
    row("DATETIME", AdoType::DBTimeStamp);
    row("TIMESTAMP", AdoType::DBTimeStamp);
    row("TIME", AdoType::DBTime);
    row("BLOB", AdoType::LongVarBinary);
    row("CHAR(3)", AdoType::WChar, 3);
    row("NCHAR(10)", AdoType::WChar, 10);
    row("VARCHAR(50)", AdoType::VarWChar, 50);
    row("NVARCHAR(160)", AdoType::VarWChar, 160);
    row("CHARACTER VARYING(20)", AdoType::VarWChar, 20);
    row("VARCHAR", AdoType::LongVarWChar);
    row("TEXT", AdoType::LongVarWChar);
    row("CLOB", AdoType::LongVarWChar);
    row("VARBINARY(16)", AdoType::VarBinary, 16);
    row("MONEY", AdoType::Currency);
    row("UUID", AdoType::GUID);
    row("", AdoType::Variant);
    row("MEDIUM INTEGER", AdoType::BigInt);       // affinity: contains INT
    row("STRINGCHAR(12)", AdoType::VarWChar, 12); // affinity: contains CHAR
    row("FLOATY", AdoType::Double);               // affinity: contains FLOA
    row("FLOATING POINT", AdoType::BigInt);       // "POINT" holds INT, which SQLite reads first
    row("JSON", AdoType::Variant);
}

void TestSqliteBackend::declaredTypesMapOntoAdoTypes()
{
    QFETCH(QString, declared);
    QFETCH(int, type);
    QFETCH(qint64, size);
    QFETCH(int, precision);
    QFETCH(int, scale);
    const SqliteType mapped = sqliteDeclaredType(declared);
    QCOMPARE(int(mapped.type), type);
    QCOMPARE(mapped.definedSize, size);
    QCOMPARE(mapped.precision, precision);
    QCOMPARE(mapped.scale, scale);
}

void TestSqliteBackend::tablesAreTypedAndOrdered()
{
    QCOMPARE(
        tableTypes(m_db->tables()),
        QStringLiteral("SYSTEM TABLE:sqlite_schema,SYSTEM TABLE:sqlite_sequence,TABLE:album,TABLE:artist,"
                       "TABLE:odd name,TABLE:track,VIEW:v_album"));
    QCOMPARE(m_db->defaultDatabase(), QStringLiteral("test.db"));
    QCOMPARE(m_db->defaultSchema(), QString());
    QCOMPARE(m_db->dialect(), SqlDialect::Sqlite);
}

void TestSqliteBackend::columnsReportNullabilityTypesAndAutoIncrement()
{
    const QList<ColumnInfo> album = m_db->columns(QString(), QStringLiteral("album"));
    QStringList names;
    for (const ColumnInfo &c : album)
        names.append(c.name);
    QCOMPARE(names.join(u','), QStringLiteral("id,artist_id,title,released,price,flag,cover,code,extra"));
    QCOMPARE(album[0].ordinal, 1);
    QCOMPARE(album[8].ordinal, 9);
    QVERIFY(album[0].autoIncrement);
    QCOMPARE(album[0].type, AdoType::Integer);
    QVERIFY(!album[1].autoIncrement);
    QCOMPARE(album[2].type, AdoType::VarWChar);
    QCOMPARE(album[2].definedSize, 100);
    QCOMPARE(album[4].precision, 8);
    QCOMPARE(album[4].scale, 2);
    QCOMPARE(album[8].type, AdoType::Variant);

    const QList<ColumnInfo> artist = m_db->columns(QString(), QStringLiteral("artist"));
    QVERIFY(!artist[0].nullable); // the rowid alias never holds NULL, whatever was declared
    QVERIFY(!artist[1].nullable);
    QVERIFY(artist[2].nullable);
    QVERIFY(artist[0].autoIncrement); // INTEGER PRIMARY KEY without AUTOINCREMENT

    // A text key and a composite INTEGER key of a table without rowid fill nothing by themselves.
    QVERIFY(!m_db->columns(QString(), QStringLiteral("odd name"))[0].autoIncrement);
    QVERIFY(!m_db->columns(QString(), QStringLiteral("track"))[0].autoIncrement);

    QCOMPARE(m_db->columns(QString(), QStringLiteral("v_album")).size(), 1);
    QVERIFY(m_db->columns(QString(), QStringLiteral("no such table")).isEmpty());
    // Unrestricted: tables and views in rowset order.
    const QList<ColumnInfo> all = m_db->columns(QString(), QString());
    QCOMPARE(all.size(), 9 + 3 + 2 + 3 + 1);
    QCOMPARE(all.first().table, QStringLiteral("album"));
    QCOMPARE(all.last().table, QStringLiteral("v_album"));
}

void TestSqliteBackend::keysAndIndexesComeInRowsetOrder()
{
    const QList<KeyColumnInfo> trackKey = m_db->primaryKeys(QString(), QStringLiteral("track"));
    QCOMPARE(trackKey.size(), 2);
    QCOMPARE(trackKey[0].column, QStringLiteral("album_id"));
    QCOMPARE(trackKey[1].column, QStringLiteral("no"));
    QCOMPARE(trackKey[1].ordinal, 2);
    QCOMPARE(m_db->primaryKeys(QString(), QStringLiteral("v_album")).size(), 0);

    const QList<ForeignKeyInfo> all = m_db->foreignKeys(QString(), QString());
    QCOMPARE(all.size(), 2);
    // By referenced table: album (from track) before artist (from album).
    QCOMPARE(all[0].pkTable, QStringLiteral("album"));
    QCOMPARE(all[0].fkTable, QStringLiteral("track"));
    QCOMPARE(all[0].fkColumn, QStringLiteral("album_id"));
    QCOMPARE(all[0].pkColumn, QStringLiteral("id"));
    QCOMPARE(all[1].pkTable, QStringLiteral("artist"));
    QCOMPARE(all[1].fkColumn, QStringLiteral("artist_id"));
    QCOMPARE(all[1].pkColumn, QStringLiteral("id")); // named by the key it refers to
    QCOMPARE(all[1].ordinal, 1);
    const QList<ForeignKeyInfo> ofAlbum = m_db->foreignKeys(QString(), QStringLiteral("album"));
    QCOMPARE(ofAlbum.size(), 1);
    QCOMPARE(ofAlbum[0].fkTable, QStringLiteral("album"));

    const auto describe = [](const QList<IndexInfo> &indexes) {
        QStringList parts;
        for (const IndexInfo &i : indexes)
            parts.append(
                QStringLiteral("%1%2%3(%4)")
                    .arg(i.name, i.unique ? "!" : "", i.primaryKey ? "*" : "", i.columns.join(u';')));
        return parts.join(u',');
    };
    QCOMPARE(describe(m_db->indexes(QString(), QStringLiteral("album"))),
             QStringLiteral("PRIMARY!*(id),sqlite_autoindex_album_1!(code),ix_album_title(title;released)"));
    QCOMPARE(describe(m_db->indexes(QString(), QStringLiteral("odd name"))),
             QStringLiteral("sqlite_autoindex_odd name_1!*(k)"));
    QCOMPARE(describe(m_db->indexes(QString(), QStringLiteral("track"))),
             QStringLiteral("sqlite_autoindex_track_1!*(album_id;no)"));

    const TableMetadata meta = m_db->tableMetadata(QString(), QStringLiteral("Album"));
    QCOMPARE(meta.fields.size(), 9);
    QCOMPARE(meta.fields[7].type, AdoType::WChar);
    QCOMPARE(meta.fields[7].definedSize, 3);
    QVERIFY(meta.fields[0].autoIncrement);
    QCOMPARE(meta.indexes.size(), 3);
    QCOMPARE(meta.indexes[0].columns, QStringList{QStringLiteral("id")});
}

void TestSqliteBackend::tableMetadataOfAMissingTableIsAnError()
{
    try {
        m_db->tableMetadata(QString(), QStringLiteral("nope"));
        QFAIL("no error");
    } catch (const DataAccessError &error) {
        QCOMPARE(error.text(), QStringLiteral("no such table: nope"));
    }
}

void TestSqliteBackend::statementsWithRowsYieldARecordset_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<qint64>("rows");
    QTest::addColumn<QString>("firstValue");
    QTest::newRow("plain") << "SELECT name FROM artist ORDER BY id" << qint64(3) << "Alpha";
    QTest::newRow("leading blanks") << "  \n\tselect name FROM artist ORDER BY id" << qint64(3) << "Alpha";
    QTest::newRow("leading comments")
        << "-- first\n/* second */ SELECT name FROM artist WHERE id = 2" << qint64(1) << "Beta";
    QTest::newRow("with") << "WITH a AS (SELECT name FROM artist WHERE id = 3) SELECT name FROM a"
                          << qint64(1) << "Gamma";
    QTest::newRow("pragma") << "PRAGMA table_info(artist)" << qint64(3) << "0";
    QTest::newRow("no rows") << "SELECT name FROM artist WHERE 0" << qint64(0) << "";
    QTest::newRow("after commands")
        << "INSERT INTO artist(name) VALUES ('Delta'); SELECT count(*) FROM artist;" << qint64(1) << "4";
    QTest::newRow("before a command")
        << "SELECT 'kept'; UPDATE artist SET bio = 'x' WHERE id = 1" << qint64(1) << "kept";
    QTest::newRow("returning") << "UPDATE artist SET bio = 'y' WHERE id = 2 RETURNING name" << qint64(1)
                               << "Beta";
}

void TestSqliteBackend::statementsWithRowsYieldARecordset()
{
    QFETCH(QString, sql);
    QFETCH(qint64, rows);
    QFETCH(QString, firstValue);
    std::atomic<qint64> fetched{-1};
    const ExecResult result = m_db->execute(sql, &fetched);
    QVERIFY(result.recordset);
    QCOMPARE(result.recordset->rowCount(), rows);
    QCOMPARE(fetched.load(), rows);
    QVERIFY(!result.recordset->incomplete());
    if (rows > 0)
        QCOMPARE(result.recordset->value(0, 0).toString(), firstValue);
}

void TestSqliteBackend::commandsReportRecordsAffected_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<qint64>("affected");
    QTest::newRow("update") << "UPDATE artist SET bio = 'x'" << qint64(3);
    QTest::newRow("delete none") << "DELETE FROM artist WHERE id > 100" << qint64(0);
    QTest::newRow("several, last counts")
        << "UPDATE artist SET bio = 'x'; UPDATE artist SET bio = 'y' WHERE id = 1" << qint64(1);
    // A DDL statement after a change reports no rows, not the earlier statement's count.
    QTest::newRow("ddl after change") << "UPDATE artist SET bio = 'x'; CREATE TABLE t2(a)" << qint64(0);
    QTest::newRow("only a comment") << "-- nothing to run\n" << qint64(0);
    QTest::newRow("empty") << "" << qint64(0);
}

void TestSqliteBackend::commandsReportRecordsAffected()
{
    QFETCH(QString, sql);
    QFETCH(qint64, affected);
    const ExecResult result = m_db->execute(sql);
    QVERIFY(!result.recordset);
    QCOMPARE(result.recordsAffected, affected);
}

void TestSqliteBackend::resultFieldsNameTheirBaseColumns()
{
    const ExecResult result = m_db->execute(QStringLiteral(
        "SELECT a.id, a.title AS t, r.name, a.flag, length(a.title) AS len, 'x' AS lit, NULL AS absent "
        "FROM album a JOIN artist r ON r.id = a.artist_id ORDER BY a.id"));
    QVERIFY(result.recordset);
    const QList<FieldInfo> &f = result.recordset->fields();
    QCOMPARE(f.size(), 7);
    QCOMPARE(f[0].baseTable, QStringLiteral("album"));
    QCOMPARE(f[0].baseColumn, QStringLiteral("id"));
    QVERIFY(f[0].autoIncrement);
    QCOMPARE(f[1].name, QStringLiteral("t"));
    QCOMPARE(f[1].baseColumn, QStringLiteral("title"));
    QCOMPARE(f[1].type, AdoType::VarWChar);
    QCOMPARE(f[1].definedSize, 100);
    QCOMPARE(f[2].baseTable, QStringLiteral("artist"));
    QVERIFY(!f[2].nullable);
    QCOMPARE(f[3].type, AdoType::Boolean);
    QCOMPARE(result.recordset->value(0, 3), QVariant(true));
    QCOMPARE(result.recordset->value(1, 3), QVariant(false));
    // Expressions take the type of their first value.
    QVERIFY(f[4].baseTable.isEmpty());
    QCOMPARE(f[4].type, AdoType::BigInt);
    QCOMPARE(f[5].type, AdoType::VarWChar);
    QCOMPARE(f[6].type, AdoType::Variant);
    QCOMPARE(result.recordset->fieldIndex(QStringLiteral("LEN")), 4);
}

void TestSqliteBackend::parametersAreBound()
{
    m_db->execute(QStringLiteral("CREATE TABLE p(a, b, c, d, e, f)"));
    QCOMPARE(m_db->placeholder(1), QStringLiteral("?"));
    const QByteArray blob("\0\x01\x02", 3);
    const ExecResult insert = m_db->executeParams(
        QStringLiteral("INSERT INTO p VALUES (?, ?, ?, ?, ?, ?)"),
        {QVariant(), 7, 2.5, QStringLiteral("it's \"quoted\"; DROP TABLE p"), blob, true});
    QCOMPARE(insert.recordsAffected, 1);
    const ExecResult rows = m_db->executeParams(
        QStringLiteral(
            "SELECT typeof(a), typeof(b), typeof(c), typeof(d), typeof(e), f, d, e FROM p WHERE b = ?"),
        {7});
    QVERIFY(rows.recordset);
    QCOMPARE(rows.recordset->rowCount(), 1);
    const QStringList types{"null", "integer", "real", "text", "blob"};
    for (int i = 0; i < types.size(); ++i)
        QCOMPARE(rows.recordset->value(0, i).toString(), types[i]);
    QCOMPARE(rows.recordset->value(0, 5).toLongLong(), 1);
    QCOMPARE(rows.recordset->value(0, 6).toString(), QStringLiteral("it's \"quoted\"; DROP TABLE p"));
    QCOMPARE(rows.recordset->value(0, 7).toByteArray(), blob);
}

void TestSqliteBackend::parameterCountMustMatch()
{
    QVERIFY_THROWS_EXCEPTION(DataAccessError, m_db->executeParams(QStringLiteral("SELECT ?, ?"), {1}));
    QVERIFY_THROWS_EXCEPTION(DataAccessError, m_db->executeParams(QStringLiteral("SELECT ?"), {1, 2}));
    QVERIFY_THROWS_EXCEPTION(DataAccessError, m_db->executeParams(QStringLiteral("SELECT 1"), {1}));
}

void TestSqliteBackend::errorsCarrySqliteTextUnchanged_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("text");
    QTest::newRow("syntax") << "SELEC 1"
                            << "near \"SELEC\": syntax error";
    QTest::newRow("no table") << "SELECT * FROM nope"
                              << "no such table: nope";
    QTest::newRow("constraint") << "INSERT INTO artist(id, name) VALUES (1, 'x')"
                                << "UNIQUE constraint failed: artist.id";
    QTest::newRow("second statement") << "SELECT 1; SELECT nocolumn FROM artist"
                                      << "no such column: nocolumn";
    QTest::newRow("foreign keys are on") << "INSERT INTO album(artist_id) VALUES (99)"
                                         << "FOREIGN KEY constraint failed";
}

void TestSqliteBackend::errorsCarrySqliteTextUnchanged()
{
    QFETCH(QString, sql);
    QFETCH(QString, text);
    try {
        m_db->execute(sql);
        QFAIL("no error");
    } catch (const DataAccessError &error) {
        QCOMPARE(error.text(), text);
    }
}

void TestSqliteBackend::cancelKeepsTheRowsFetchedSoFar()
{
    std::atomic<qint64> fetched{0};
    ExecResult result;
    QString failure;
    std::thread worker([&] {
        try {
            result = m_db->execute(
                QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
                               "SELECT x, 'row ' || x FROM c"),
                &fetched);
        } catch (const DataAccessError &error) {
            failure = error.text();
        }
    });
    QTRY_VERIFY_WITH_TIMEOUT(fetched.load() > 5000, 20000);
    m_db->cancel();
    worker.join();
    QCOMPARE(failure, QString());
    QVERIFY(result.recordset);
    QVERIFY(result.recordset->incomplete());
    const qint64 rows = result.recordset->rowCount();
    QVERIFY(rows > 5000);
    QCOMPARE(result.recordset->value(rows - 1, 0).toLongLong(), rows);
    QCOMPARE(result.recordset->value(rows - 1, 1).toString(), QStringLiteral("row %1").arg(rows));

    // The connection is usable again afterwards.
    const ExecResult next = m_db->execute(QStringLiteral("SELECT count(*) FROM artist"));
    QVERIFY(!next.recordset->incomplete());
    QCOMPARE(next.recordset->value(0, 0).toInt(), 3);
}

void TestSqliteBackend::cancelDuringAFailingOpenIsSafe()
{
    // A file that is no database fails at the open's schema read, and the handle is closed
    // again; a Cancel pressed meanwhile must never reach a closed handle.
    const QString path = m_dir->filePath(QStringLiteral("garbage.db"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    auto backend = Backend::create(QStringLiteral("Provider=SQLite;Data Source=") + path);
    std::atomic<bool> done{false};
    std::thread canceller([&] {
        while (!done.load())
            backend->cancel();
    });
    struct Join
    {
        std::atomic<bool> &done;
        std::thread &thread;
        ~Join()
        {
            done.store(true);
            thread.join();
        }
    } join{done, canceller};
    for (int i = 0; i < 200; ++i)
        QVERIFY_THROWS_EXCEPTION(DataAccessError, backend->connect());
}

void TestSqliteBackend::openingFailsClearly_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("text");
    QTest::newRow("missing") << "missing.db" << QByteArray() << "The database file %1 does not exist.";
    QTest::newRow("folder") << "" << QByteArray() << "The database file %1 does not exist.";
    QTest::newRow("not a database") << "text.db" << QByteArray(4096, 'x') << "file is not a database";
}

void TestSqliteBackend::openingFailsClearly()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(QString, text);
    const QString path = file.isEmpty() ? m_dir->path() : m_dir->filePath(file);
    if (!content.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    auto backend = Backend::create(QStringLiteral("Provider=SQLite;Data Source=") + path);
    try {
        backend->connect();
        QFAIL("no error");
    } catch (const DataAccessError &error) {
        QCOMPARE(error.text(), text.contains(QStringLiteral("%1")) ? text.arg(path) : text);
    }
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("missing.db"))));
    QCOMPARE(backend->defaultDatabase(), QString());
    QVERIFY_THROWS_EXCEPTION(DataAccessError, backend->execute(QStringLiteral("SELECT 1")));
    QVERIFY_THROWS_EXCEPTION(DataAccessError, Backend::create(QStringLiteral("Provider=SQLite"))->connect());
}

void TestSqliteBackend::readOnlyModeRefusesWrites()
{
    QVERIFY(!m_db->readOnly());
    QVERIFY(!openBackend(QStringLiteral(";Mode=ReadWrite"))->readOnly());
    auto backend = openBackend(QStringLiteral(";Mode=Read|Share Deny None"));
    QVERIFY(backend->readOnly());
    QCOMPARE(backend->execute(QStringLiteral("SELECT count(*) FROM artist")).recordset->value(0, 0).toInt(),
             3);
    try {
        backend->execute(QStringLiteral("DELETE FROM artist"));
        QFAIL("no error");
    } catch (const DataAccessError &error) {
        QCOMPARE(error.text(), QStringLiteral("attempt to write a readonly database"));
    }
}

void TestSqliteBackend::identifiersAreQuotedOnlyWhenNeeded_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("quoted");
    QTest::newRow("plain") << "Album_1"
                           << "Album_1";
    QTest::newRow("underscore first") << "_x"
                                      << "_x";
    QTest::newRow("blank") << "odd name"
                           << "\"odd name\"";
    QTest::newRow("keyword") << "order"
                             << "\"order\"";
    QTest::newRow("keyword upper") << "SELECT"
                                   << "\"SELECT\"";
    QTest::newRow("digit first") << "1abc"
                                 << "\"1abc\"";
    QTest::newRow("quote inside") << "a\"b"
                                  << "\"a\"\"b\"";
    QTest::newRow("non-ASCII") << "Ärger"
                               << "\"Ärger\"";
    QTest::newRow("empty") << ""
                           << "\"\"";
}

void TestSqliteBackend::identifiersAreQuotedOnlyWhenNeeded()
{
    QFETCH(QString, name);
    QFETCH(QString, quoted);
    QCOMPARE(m_db->quoteIdentifier(name), quoted);
    // The quoted name works in SQL.
    m_db->execute(QStringLiteral("CREATE TABLE q(%1 INTEGER)").arg(m_db->quoteIdentifier(name)));
    m_db->execute(QStringLiteral("SELECT %1 FROM q AS %1").arg(m_db->quoteIdentifier(name)));
}

void TestSqliteBackend::connectionRunsNotificationsAndClosesCleanly()
{
    Connection connection;
    QStringList events;
    connection.setAfterConnect([&] {
        events << QStringLiteral("connect:") + connection.defaultDatabase();
        if (events.size() == 1)
            throw DataAccessError(QStringLiteral("after-connect failed"));
    });
    connection.setAfterDisconnect([&] { events << QStringLiteral("disconnect"); });
    // A runner that works on another thread, as the program's does, must bring errors back.
    connection.setWorkRunner([](const std::function<void()> &work, const std::function<void()> &) {
        std::exception_ptr error;
        std::thread([&] {
            try {
                work();
            } catch (...) {
                error = std::current_exception();
            }
        }).join();
        if (error)
            std::rethrow_exception(error);
    });

    connection.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") +
                                   m_dir->filePath("none.db"));
    QVERIFY_THROWS_EXCEPTION(DataAccessError, connection.open());
    QVERIFY(!connection.isOpen());
    QVERIFY(events.isEmpty());

    connection.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + m_path);
    try {
        connection.open();
        QFAIL("no error");
    } catch (const DataAccessError &error) {
        QCOMPARE(error.text(), QStringLiteral("after-connect failed"));
    }
    QVERIFY(connection.isOpen()); // the notification's error leaves the connection open
    QVERIFY_THROWS_EXCEPTION(DataAccessError, connection.setConnectionString(QString()));
    QCOMPARE(connection.execute(QStringLiteral("SELECT count(*) FROM album")).recordset->value(0, 0).toInt(),
             2);
    QVERIFY_THROWS_EXCEPTION(DataAccessError, connection.execute(QStringLiteral("SELEC")));
    QCOMPARE(
        connection.executeParams(QStringLiteral("DELETE FROM track WHERE album_id = ?"), {1}).recordsAffected,
        0);
    connection.close();
    QVERIFY(!connection.isOpen());
    QCOMPARE(connection.defaultDatabase(), QString());
    connection.close(); // nothing when closed
    connection.open();
    QCOMPARE(events, (QStringList{"connect:test.db", "disconnect", "connect:test.db"}));
    QVERIFY_THROWS_EXCEPTION(DataAccessError, Connection().execute(QStringLiteral("SELECT 1")));
}

void TestSqliteBackend::chinookDatabaseReadsCompletely()
{
    const QString source = QStringLiteral("/work/shared/data/chinook/Chinook_Sqlite.sqlite");
    if (!QFileInfo::exists(source))
        QSKIP("The Chinook sample database is not present at /work/shared/data/chinook.");
    const QString copy = m_dir->filePath(QStringLiteral("Chinook_Sqlite.sqlite"));
    QVERIFY(QFile::copy(source, copy));
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
    auto db = Backend::create(QStringLiteral("Provider=SQLite;Data Source=") + copy);
    db->connect();
    QCOMPARE(db->defaultDatabase(), QStringLiteral("Chinook_Sqlite.sqlite"));

    QStringList tables;
    for (const TableInfo &t : db->tables()) {
        if (t.type == QLatin1StringView("TABLE"))
            tables.append(t.name);
    }
    QCOMPARE(tables.join(u','),
             QStringLiteral("Album,Artist,Customer,Employee,Genre,Invoice,InvoiceLine,MediaType,"
                            "Playlist,PlaylistTrack,Track"));

    const TableMetadata track = db->tableMetadata(QString(), QStringLiteral("Track"));
    QCOMPARE(track.fields[0].name, QStringLiteral("TrackId"));
    QVERIFY(track.fields[0].autoIncrement);
    QCOMPARE(track.fields[1].type, AdoType::VarWChar);
    QCOMPARE(track.fields[1].definedSize, 200);
    QCOMPARE(track.fields.last().type, AdoType::Numeric);
    QCOMPARE(track.fields.last().precision, 10);
    QCOMPARE(track.fields.last().scale, 2);
    QVERIFY(!track.indexes.isEmpty());
    QVERIFY(track.indexes[0].primaryKey);
    QCOMPARE(track.indexes[0].columns, QStringList{QStringLiteral("TrackId")});

    const QList<KeyColumnInfo> playlistKey = db->primaryKeys(QString(), QStringLiteral("PlaylistTrack"));
    QCOMPARE(playlistKey.size(), 2);
    QCOMPARE(db->foreignKeys(QString(), QString()).size(), 11);
    const QList<ForeignKeyInfo> trackKeys = db->foreignKeys(QString(), QStringLiteral("Track"));
    QCOMPARE(trackKeys.size(), 3);
    QCOMPARE(trackKeys[0].pkTable, QStringLiteral("Album"));

    std::atomic<qint64> fetched{0};
    const ExecResult all = db->execute(QStringLiteral("SELECT * FROM Track ORDER BY TrackId"), &fetched);
    QCOMPARE(all.recordset->rowCount(), 3503);
    QCOMPARE(fetched.load(), 3503);
    QCOMPARE(all.recordset->fields()[0].baseTable, QStringLiteral("Track"));
    QCOMPARE(all.recordset->value(0, 1).toString(),
             QStringLiteral("For Those About To Rock (We Salute You)"));
    QCOMPARE(all.recordset->value(0, 8).toDouble(), 0.99);
}

QTEST_GUILESS_MAIN(TestSqliteBackend)
#include "tst_sqlitebackend.moc"

#include "db/Backends.h"
#include "db/access/AccessFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The Access provider on the sample files that live beside the clone in shared/data/access.

namespace {

QString dataFolder()
{
    const QString source = qEnvironmentVariable("ORVESSA_SOURCE_DIR");
    return QDir(source).filePath(QStringLiteral("../shared/data/access"));
}

QString joined(const QStringList &list)
{
    return list.join(u',');
}

} // namespace

class TestAccess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void typesMapOntoAdoTypes_data();
    void typesMapOntoAdoTypes();
    void datesHaveFourDigitYears_data();
    void datesHaveFourDigitYears();

    void catalogueListsUserTablesInOrder();
    void keysIndexesAndBothRelationships();
    void columnsCarryTypesSizesAndNullability();
    void manyTypesReadWhole();
    void accdbTypesAndValues();
    void unicodeAndControlCharactersReadExactly();
    void whereClausesGiveTheRightRows_data();
    void whereClausesGiveTheRightRows();
    void orderByJoinsAndAggregates();
    void writesAreRefused_data();
    void writesAreRefused();
    void badFilesFailClearly_data();
    void badFilesFailClearly();
    void dialectQuotesWithBrackets();

private:
    QString file(const char *name) const { return QDir(m_folder).filePath(QLatin1StringView(name)); }
    std::unique_ptr<Backend> open(const char *name, const char *provider = "Microsoft.Jet.OLEDB.4.0");
    QStringList column(Backend &backend, const QString &sql, int c = 0);

    QString m_folder;
};

void TestAccess::initTestCase()
{
    m_folder = dataFolder();
    if (!QFileInfo::exists(file("indexTestV2003.mdb"))) {
        if (qEnvironmentVariable("CI") == QLatin1StringView("true"))
            QFAIL(qPrintable(QStringLiteral("The Access sample files are missing from %1.").arg(m_folder)));
        QSKIP("The Access sample files (shared/data/access beside the clone) are not here.");
    }
}

std::unique_ptr<Backend> TestAccess::open(const char *name, const char *provider)
{
    auto backend = Backend::create(
        QStringLiteral("Provider=%1;Data Source=%2").arg(QLatin1StringView(provider), file(name)));
    backend->connect();
    return backend;
}

QStringList TestAccess::column(Backend &backend, const QString &sql, int c)
{
    const ExecResult result = backend.execute(sql);
    QStringList values;
    if (!result.recordset)
        return values;
    for (qint64 r = 0; r < result.recordset->rowCount(); ++r) {
        const QVariant v = result.recordset->value(r, c);
        values.append(v.isNull() ? QStringLiteral("NULL") : v.toString());
    }
    return values;
}

void TestAccess::typesMapOntoAdoTypes_data()
{
    QTest::addColumn<int>("mdbType");
    QTest::addColumn<int>("colSize");
    QTest::addColumn<bool>("jet3");
    QTest::addColumn<int>("type");
    QTest::addColumn<qint64>("size");

    QTest::newRow("Text(50), two bytes a character")
        << int(MDB_TEXT) << 100 << false << int(AdoType::VarWChar) << qint64(50);
    QTest::newRow("Text(50) in Jet 3") << int(MDB_TEXT) << 50 << true << int(AdoType::VarWChar) << qint64(50);
    QTest::newRow("Memo") << int(MDB_MEMO) << 0 << false << int(AdoType::LongVarWChar) << qint64(0);
    QTest::newRow("Byte") << int(MDB_BYTE) << 1 << false << int(AdoType::UnsignedTinyInt) << qint64(0);
    QTest::newRow("Integer") << int(MDB_INT) << 2 << false << int(AdoType::SmallInt) << qint64(0);
    QTest::newRow("Long Integer") << int(MDB_LONGINT) << 4 << false << int(AdoType::Integer) << qint64(0);
    QTest::newRow("Single") << int(MDB_FLOAT) << 4 << false << int(AdoType::Single) << qint64(0);
    QTest::newRow("Double") << int(MDB_DOUBLE) << 8 << false << int(AdoType::Double) << qint64(0);
    QTest::newRow("Currency") << int(MDB_MONEY) << 8 << false << int(AdoType::Currency) << qint64(0);
    QTest::newRow("Date/Time") << int(MDB_DATETIME) << 8 << false << int(AdoType::Date) << qint64(0);
    QTest::newRow("Yes/No") << int(MDB_BOOL) << 0 << false << int(AdoType::Boolean) << qint64(0);
    QTest::newRow("OLE") << int(MDB_OLE) << 0 << false << int(AdoType::LongVarBinary) << qint64(0);
    QTest::newRow("Replication ID") << int(MDB_REPID) << 16 << false << int(AdoType::GUID) << qint64(0);
    QTest::newRow("Decimal") << int(MDB_NUMERIC) << 17 << false << int(AdoType::Numeric) << qint64(0);
    QTest::newRow("Attachment") << int(MDB_COMPLEX) << 4 << false << int(AdoType::LongVarBinary) << qint64(0);
    QTest::newRow("unknown") << 0x42 << 4 << false << int(AdoType::Variant) << qint64(0);
}

void TestAccess::typesMapOntoAdoTypes()
{
    QFETCH(int, mdbType);
    QFETCH(int, colSize);
    QFETCH(bool, jet3);
    QFETCH(int, type);
    QFETCH(qint64, size);
    const AccessType t = accessColumnType(mdbType, colSize, 18, 4, jet3);
    QCOMPARE(int(t.type), type);
    QCOMPARE(t.definedSize, size);
    if (t.type == AdoType::Numeric) {
        QCOMPARE(t.precision, 18);
        QCOMPARE(t.scale, 4);
    }
}

void TestAccess::datesHaveFourDigitYears_data()
{
    QTest::addColumn<double>("days");
    QTest::addColumn<QString>("text");
    QTest::newRow("day zero") << 0.0 << "1899-12-30 00:00:00";
    QTest::newRow("1974") << 27293.0 << "1974-09-21 00:00:00";
    QTest::newRow("noon") << 29932.5 << "1981-12-12 12:00:00";
    QTest::newRow("before 1899 keeps the time forward") << -1.25 << "1899-12-29 06:00:00";
    QTest::newRow("year 100") << -657434.0 << "0100-01-01 00:00:00";
    QTest::newRow("rounds up to midnight") << 1.9999999999 << "1900-01-01 00:00:00";
}

void TestAccess::datesHaveFourDigitYears()
{
    QFETCH(double, days);
    QFETCH(QString, text);
    QCOMPARE(QString::fromLatin1(accessDateText(days)), text);
}

void TestAccess::catalogueListsUserTablesInOrder()
{
    auto backend = open("testIndexPropertiesV2010.accdb", "Microsoft.ACE.OLEDB.12.0");
    QStringList tables;
    for (const TableInfo &t : backend->tables()) {
        if (t.type == QLatin1StringView("TABLE"))
            tables.append(t.name);
        else
            QCOMPARE(t.type, QStringLiteral("SYSTEM TABLE"));
    }
    QCOMPARE(joined(tables), QStringLiteral("TableIgnoreNulls1,TableIgnoreNulls1_temp,TableIgnoreNulls2,"
                                            "TableIgnoreNulls2_temp,TableUnique1_temp,TableUnique2_temp"));
    QCOMPARE(backend->defaultDatabase(), QStringLiteral("testIndexPropertiesV2010.accdb"));
    QCOMPARE(backend->defaultSchema(), QString());
    QVERIFY(backend->readOnly());
    QCOMPARE(backend->dialect(), SqlDialect::Access);

    // Multi-column and unique indexes, primary key first.
    const QList<IndexInfo> indexes = backend->indexes(QString(), QStringLiteral("TableUnique2_temp"));
    QCOMPARE(indexes.size(), 2);
    QCOMPARE(indexes[0].name, QStringLiteral("DataIndex"));
    QVERIFY(indexes[0].unique && !indexes[0].primaryKey);
    QCOMPARE(joined(indexes[0].columns), QStringLiteral("data1,data2"));
    QCOMPARE(indexes[1].name, QStringLiteral("PrimaryKey"));
    QVERIFY(indexes[1].unique && indexes[1].primaryKey);
    const QList<IndexInfo> plain = backend->indexes(QString(), QStringLiteral("TableIgnoreNulls2"));
    QCOMPARE(plain[0].name, QStringLiteral("PrimaryKey"));
    QVERIFY(!plain[1].unique);
    QCOMPARE(joined(plain[1].columns), QStringLiteral("data1,data2"));
}

void TestAccess::keysIndexesAndBothRelationships()
{
    auto backend = open("indexTestV2003.mdb");
    QStringList tables;
    for (const TableInfo &t : backend->tables()) {
        if (t.type == QLatin1StringView("TABLE"))
            tables.append(t.name);
    }
    QCOMPARE(joined(tables), QStringLiteral("Table1,Table2,Table3"));

    const QList<KeyColumnInfo> pk = backend->primaryKeys(QString(), QStringLiteral("Table1"));
    QCOMPARE(pk.size(), 1);
    QCOMPARE(pk[0].column, QStringLiteral("id"));

    // The hidden relationship indexes are left out; the primary key comes first.
    QStringList indexes;
    for (const IndexInfo &index : backend->indexes(QString(), QStringLiteral("Table1")))
        indexes.append(index.name + u'(' + joined(index.columns) + u')');
    QCOMPARE(joined(indexes), QStringLiteral("PrimaryKey(id),id(id)"));

    QStringList keys;
    for (const ForeignKeyInfo &k : backend->foreignKeys(QString(), QString()))
        keys.append(QStringLiteral("%1.%2->%3.%4").arg(k.fkTable, k.fkColumn, k.pkTable, k.pkColumn));
    QCOMPARE(joined(keys), QStringLiteral("Table1.otherfk1->Table2.id,Table1.otherfk2->Table3.id"));
    QCOMPARE(backend->foreignKeys(QString(), QStringLiteral("Table1")).size(), 2);
    QVERIFY(backend->foreignKeys(QString(), QStringLiteral("Table2")).isEmpty());

    // Unicode sample: its system-table relationships are no user data.
    auto unicode = open("testUnicodeCompV2003.mdb");
    QVERIFY(unicode->foreignKeys(QString(), QString()).isEmpty());
}

void TestAccess::columnsCarryTypesSizesAndNullability()
{
    auto backend = open("indexTestV2003.mdb");
    const QList<ColumnInfo> columns = backend->columns(QString(), QStringLiteral("Table1"));
    QStringList names;
    for (const ColumnInfo &c : columns)
        names.append(c.name);
    QCOMPARE(joined(names), QStringLiteral("id,otherfk1,otherfk2,data,otherfk3"));
    QCOMPARE(columns[0].ordinal, 1);
    QVERIFY(!columns[0].nullable); // in the primary key
    QVERIFY(columns[1].nullable);
    QCOMPARE(columns[3].type, AdoType::VarWChar);
    QCOMPARE(columns[3].definedSize, qint64(50));
    QCOMPARE(columns[0].type, AdoType::Integer);

    const TableMetadata metadata = backend->tableMetadata(QString(), QStringLiteral("table2"));
    QCOMPARE(metadata.fields.size(), 2);
    QCOMPARE(metadata.fields[1].definedSize, qint64(50));
    QCOMPARE(metadata.indexes.first().name, QStringLiteral("PrimaryKey"));
    QVERIFY_THROWS_EXCEPTION(DataAccessError, backend->tableMetadata(QString(), QStringLiteral("Nope")));

    auto unicode = open("testUnicodeCompV2003.mdb");
    const QList<ColumnInfo> id = unicode->columns(QString(), QStringLiteral("Table"));
    QVERIFY(id[0].autoIncrement);
    QCOMPARE(id[0].type, AdoType::Integer);
    QVERIFY(!id[1].autoIncrement);
    QCOMPARE(id[1].definedSize, qint64(255));
}

void TestAccess::manyTypesReadWhole()
{
    auto backend = open("test2V2003.mdb");
    const QList<ColumnInfo> columns = backend->columns(QString(), QStringLiteral("MSP_PROJECTS"));
    QCOMPARE(columns.size(), 74);
    QMap<AdoType, int> counts;
    for (const ColumnInfo &c : columns)
        ++counts[c.type];
    QCOMPARE(counts[AdoType::Boolean], 22);
    QCOMPARE(counts[AdoType::Date], 10);
    QCOMPARE(counts[AdoType::Double], 2);
    QCOMPARE(counts[AdoType::SmallInt], 12);
    QCOMPARE(counts[AdoType::Integer], 6);
    QCOMPARE(counts[AdoType::LongVarWChar], 9);
    QCOMPARE(counts[AdoType::VarWChar], 12);
    QCOMPARE(counts[AdoType::LongVarBinary], 1);
    QVERIFY(backend->primaryKeys(QString(), QStringLiteral("MSP_PROJECTS")).isEmpty());

    const ExecResult result = backend->execute(QStringLiteral(
        "SELECT PROJ_PROP_AUTHOR, PROJ_OPT_CURRENCY_SYMBOL, RESERVED_BINARY_DATA FROM MSP_PROJECTS"));
    QVERIFY(result.recordset);
    QCOMPARE(result.recordset->rowCount(), qint64(1));
    QCOMPARE(result.recordset->value(0, 0).toString().size(), 348);
    QCOMPARE(result.recordset->value(0, 1).toString(), QStringLiteral("£"));
    QCOMPARE(result.recordset->value(0, 2).toByteArray().size(), 22970);
    QCOMPARE(result.recordset->fields()[0].type, AdoType::LongVarWChar);
    QCOMPARE(result.recordset->fields()[2].type, AdoType::LongVarBinary);
    QCOMPARE(result.recordset->fields()[1].baseTable, QStringLiteral("MSP_PROJECTS"));
}

void TestAccess::accdbTypesAndValues()
{
    auto backend = open("testV2007.accdb", "Microsoft.ACE.OLEDB.12.0");
    QList<int> types;
    for (const ColumnInfo &c : backend->columns(QString(), QStringLiteral("Table1")))
        types.append(int(c.type));
    QCOMPARE(types, (QList<int>{int(AdoType::VarWChar), int(AdoType::VarWChar), int(AdoType::UnsignedTinyInt),
                                int(AdoType::SmallInt), int(AdoType::Integer), int(AdoType::Double),
                                int(AdoType::Date), int(AdoType::Currency), int(AdoType::Boolean)}));

    const ExecResult result = backend->execute(QStringLiteral("SELECT * FROM Table1 ORDER BY A"));
    QVERIFY(result.recordset);
    const Recordset &rs = *result.recordset;
    QCOMPARE(rs.rowCount(), qint64(2));
    QCOMPARE(rs.value(0, 6).toString(), QStringLiteral("1981-12-12 00:00:00"));
    QCOMPARE(rs.value(1, 6).toString(), QStringLiteral("1974-09-21 00:00:00"));
    QCOMPARE(rs.value(1, 0).toString(), QStringLiteral("abcdefg"));
    QCOMPARE(rs.value(1, 1).toString(), QStringLiteral("hijklmnop"));
    QCOMPARE(rs.value(1, 2).toInt(), 2);
    QCOMPARE(rs.value(1, 3).toInt(), 222);
    QCOMPARE(rs.value(1, 4).toInt(), 333333333);
    QCOMPARE(rs.value(1, 5).toDouble(), 444.555);
    QCOMPARE(rs.value(1, 7).toDouble(), 3.5);
    QCOMPARE(rs.value(0, 7).toDouble(), 0.0);
    QCOMPARE(rs.value(1, 8).typeId(), QMetaType::Bool);
    QCOMPARE(rs.value(1, 8).toBool(), true);
    QCOMPARE(rs.value(0, 8).toBool(), false);
    QCOMPARE(rs.fields()[7].type, AdoType::Currency);
    QCOMPARE(rs.fields()[6].type, AdoType::Date);
    QCOMPARE(rs.fields()[0].definedSize, qint64(50));
    QVERIFY(!rs.fields()[0].nullable);

    QVERIFY(backend->columns(QString(), QStringLiteral("Table3"))[0].autoIncrement);
    const QList<ColumnInfo> guid = backend->columns(QString(), QStringLiteral("Table4"));
    QCOMPARE(guid[1].type, AdoType::GUID);
    QCOMPARE(backend->columns(QString(), QStringLiteral("Table2")).size(), 89);
    const ExecResult empty = backend->execute(QStringLiteral("SELECT * FROM Table4"));
    QCOMPARE(empty.recordset->rowCount(), qint64(0));
    QCOMPARE(empty.recordset->fields()[1].type, AdoType::GUID);
}

void TestAccess::unicodeAndControlCharactersReadExactly()
{
    auto backend = open("testUnicodeCompV2003.mdb");
    const QStringList ids = column(*backend, QStringLiteral("SELECT ID FROM [Table] ORDER BY ID"));
    QCOMPARE(ids.size(), 8);
    const QStringList texts = column(*backend, QStringLiteral("SELECT [Unicode] FROM [Table] ORDER BY ID"));
    QString every;
    for (char16_t c = 1; c <= 0xff; ++c)
        every.append(QChar(c));
    QCOMPARE(texts[7], every);
    QVERIFY(texts.contains(QStringLiteral("ümlaut")));
    QVERIFY(texts[5].contains(QChar(0x1d)) && texts[5].contains(QChar(0x02)) &&
            texts[5].contains(QChar(0x05)));

    // Every character takes part in WHERE, also past the first 255 bytes of UTF-8.
    QCOMPARE(column(*backend, QStringLiteral("SELECT ID FROM [Table] WHERE [Unicode] LIKE '%À%'")),
             QStringList{ids[7]});
    QCOMPARE(
        column(*backend, QStringLiteral("SELECT ID FROM [Table] WHERE instr([Unicode], 'ä') > 0 ORDER BY ID"))
            .size(),
        texts.filter(QStringLiteral("ä")).size());
}

void TestAccess::whereClausesGiveTheRightRows_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");

    QTest::newRow("id = 1") << "indexTestV2003.mdb"
                            << "SELECT id FROM Table1 WHERE id = 1"
                            << "1";
    QTest::newRow("id > 1") << "indexTestV2003.mdb"
                            << "SELECT id FROM Table1 WHERE id > 1 ORDER BY id"
                            << "2,3";
    QTest::newRow("currency") << "testV2007.accdb"
                              << "SELECT A FROM Table1 WHERE H > 1"
                              << "abcdefg";
    QTest::newRow("date before") << "testV2007.accdb"
                                 << "SELECT A FROM Table1 WHERE G < '1980-01-01'"
                                 << "abcdefg";
    QTest::newRow("date equal") << "testV2007.accdb"
                                << "SELECT A FROM Table1 WHERE G = '1974-09-21 00:00:00'"
                                << "abcdefg";
    QTest::newRow("date after") << "testV2007.accdb"
                                << "SELECT A FROM Table1 WHERE G > '1980-01-01'"
                                << "a";
    QTest::newRow("boolean") << "testV2007.accdb"
                             << "SELECT A FROM Table1 WHERE I"
                             << "abcdefg";
}

void TestAccess::whereClausesGiveTheRightRows()
{
    QFETCH(QString, file);
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    auto backend = open(file.toUtf8().constData());
    QCOMPARE(joined(column(*backend, sql)), expected);
}

void TestAccess::orderByJoinsAndAggregates()
{
    auto backend = open("indexTestV2003.mdb");
    const QStringList all = column(*backend, QStringLiteral("SELECT id FROM Table1 ORDER BY id DESC"));
    QCOMPARE(all.size(), 4);
    QVERIFY(std::is_sorted(all.rbegin(), all.rend(),
                           [](const QString &a, const QString &b) { return a.toInt() < b.toInt(); }));

    // A join reads two tables at once, each at its own position.
    const ExecResult joinedRows = backend->execute(
        QStringLiteral("SELECT t1.id, t2.id, t3.id FROM Table1 t1 JOIN [Table2] t2 ON t2.id = t1.otherfk1 "
                       "LEFT JOIN Table3 t3 ON t3.id = t1.otherfk2 ORDER BY t1.id"));
    const ExecResult manual = backend->execute(
        QStringLiteral("SELECT t1.id, (SELECT id FROM Table2 WHERE id = t1.otherfk1), (SELECT id FROM Table3 "
                       "WHERE id = t1.otherfk2) "
                       "FROM Table1 t1 WHERE t1.otherfk1 IN (SELECT id FROM Table2) ORDER BY t1.id"));
    QVERIFY(joinedRows.recordset && manual.recordset);
    QCOMPARE(joinedRows.recordset->rowCount(), manual.recordset->rowCount());
    QVERIFY(joinedRows.recordset->rowCount() > 0);
    for (qint64 r = 0; r < joinedRows.recordset->rowCount(); ++r) {
        for (int c = 0; c < 3; ++c)
            QCOMPARE(joinedRows.recordset->value(r, c), manual.recordset->value(r, c));
    }

    // A self join: two cursors on one table.
    QCOMPARE(column(*backend, QStringLiteral("SELECT count(*) FROM Table1 a, Table1 b")), QStringList{"16"});
    QCOMPARE(column(*backend, QStringLiteral("SELECT count(*), sum(id) FROM Table2")).size(), 1);

    auto nulls = open("testIndexPropertiesV2010.accdb", "Microsoft.ACE.OLEDB.12.0");
    const QStringList isNull =
        column(*nulls, QStringLiteral("SELECT row FROM TableIgnoreNulls1 WHERE data IS NULL ORDER BY row"));
    const QStringList notNull = column(
        *nulls, QStringLiteral("SELECT row FROM TableIgnoreNulls1 WHERE data IS NOT NULL ORDER BY row"));
    QVERIFY(!isNull.isEmpty());
    QVERIFY(!notNull.isEmpty());
    QCOMPARE(isNull.size() + notNull.size(), 10);
}

void TestAccess::writesAreRefused_data()
{
    QTest::addColumn<QString>("sql");
    QTest::newRow("insert") << "INSERT INTO Table2(id, data) VALUES (9, 'x')";
    QTest::newRow("update") << "UPDATE Table2 SET data = 'x'";
    QTest::newRow("delete") << "DELETE FROM Table2";
    QTest::newRow("create") << "CREATE TABLE t(a)";
    QTest::newRow("drop") << "DROP TABLE Table2";
    QTest::newRow("after a select") << "SELECT 1; DELETE FROM Table2";
    QTest::newRow("attach") << "ATTACH DATABASE '/tmp/orvessa-access-attach.db' AS other";
}

void TestAccess::writesAreRefused()
{
    QFETCH(QString, sql);
    const QString path = file("indexTestV2003.mdb");
    QFile original(path);
    QVERIFY(original.open(QIODevice::ReadOnly));
    const QByteArray before = original.readAll();
    original.close();

    auto backend = open("indexTestV2003.mdb");
    try {
        backend->execute(sql);
        QFAIL("the statement ran");
    } catch (const DataAccessError &e) {
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Access files are opened read-only."));
    }
    QVERIFY_THROWS_EXCEPTION(DataAccessError, backend->executeParams(sql, {}));
    QCOMPARE(column(*backend, QStringLiteral("SELECT count(*) FROM Table2")), QStringList{"3"});
    backend.reset();
    QVERIFY(original.open(QIODevice::ReadOnly));
    QCOMPARE(original.readAll(), before);
}

void TestAccess::badFilesFailClearly_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << "missing";
    QTest::newRow("text file named .mdb") << "text";
    QTest::newRow("empty") << "empty";
    QTest::newRow("cut mid-page") << "half";
    QTest::newRow("cut at a page") << "pages";
    QTest::newRow("only the header page") << "header";
    QTest::newRow("a folder") << "folder";
    QTest::newRow("no file named") << "none";
}

void TestAccess::badFilesFailClearly()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString path = dir.filePath(QStringLiteral("bad.mdb"));
    QFile source(file("indexTestV2003.mdb"));
    QVERIFY(source.open(QIODevice::ReadOnly));
    const QByteArray original = source.readAll();
    auto write = [&path](const QByteArray &bytes) {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    };
    if (kind == QLatin1StringView("text"))
        write("This is not a database.\n");
    else if (kind == QLatin1StringView("empty"))
        write(QByteArray());
    else if (kind == QLatin1StringView("half"))
        write(original.left(original.size() / 2 + 1000));
    else if (kind == QLatin1StringView("pages"))
        write(original.left(4096 * 3));
    else if (kind == QLatin1StringView("header"))
        write(original.left(4096));
    else if (kind == QLatin1StringView("folder"))
        path = dir.path();
    else if (kind == QLatin1StringView("none"))
        path.clear();

    auto backend = Backend::create(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;DBQ=") + path);
    try {
        backend->connect();
        // A file cut at a page boundary may still open; reading it must not crash either.
        QCOMPARE(kind, QStringLiteral("pages"));
        for (const TableInfo &t : backend->tables()) {
            try {
                backend->execute(QStringLiteral("SELECT * FROM [%1]").arg(t.name));
            } catch (const DataAccessError &) {
            }
        }
    } catch (const DataAccessError &e) {
        const QString text = QString::fromUtf8(e.what());
        if (kind == QLatin1StringView("none"))
            QVERIFY2(text.contains(QLatin1StringView("Data Source")), qPrintable(text));
        else
            QVERIFY2(text.contains(path), qPrintable(text));
    }
}

void TestAccess::dialectQuotesWithBrackets()
{
    auto backend = open("indexTestV2003.mdb");
    QCOMPARE(backend->quoteIdentifier(QStringLiteral("Table1")), QStringLiteral("Table1"));
    QCOMPARE(backend->quoteIdentifier(QStringLiteral("Order Details")), QStringLiteral("[Order Details]"));
    QCOMPARE(backend->quoteIdentifier(QStringLiteral("a]b")), QStringLiteral("[a]]b]"));
    QCOMPARE(backend->quoteIdentifier(QStringLiteral("Table")), QStringLiteral("[Table]"));
    QCOMPARE(backend->placeholder(1), QStringLiteral("?"));
    const ExecResult bound =
        backend->executeParams(QStringLiteral("SELECT [data] FROM [Table2] WHERE id = ?"), {QVariant(2)});
    QCOMPARE(bound.recordset->rowCount(), qint64(1));
}

QTEST_GUILESS_MAIN(TestAccess)
#include "tst_access.moc"

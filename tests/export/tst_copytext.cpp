// The text the result grid copies: tab-separated, CSV and JSON read back by Python's csv and json
// modules, a Markdown table, and INSERT statements that put the same rows into a table again.
#include "ExportReader.h"

#include "db/DataAccess.h"
#include "db/SqlDialectRules.h"
#include "db/fetch/RowStore.h"
#include "export/CopyText.h"

#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

#include <limits>

Q_DECLARE_METATYPE(CopyFormat)

namespace {

// Values a careless copy breaks, with the text a reader must see.
struct Case
{
    Cell cell;
    QString seen; // as CSV and TSV read it back
};

const QList<Case> kCases = {
    {Text{"plain"}, QStringLiteral("plain")},
    {Text{"tab\there"}, QStringLiteral("tab\there")},
    {Text{"two\nlines\r\nand CR LF"}, QStringLiteral("two\nlines\r\nand CR LF")},
    {Text{"say \"hi\""}, QStringLiteral("say \"hi\"")},
    {Text{"comma, inside"}, QStringLiteral("comma, inside")},
    {Text{"na\xc3\xafve \xe2\x98\x95 \xf0\x9d\x84\x9e"}, QStringLiteral(u"naïve ☕ 𝄞")},
    {Text{"bad \x80 byte"}, QStringLiteral(u"bad \uFFFD byte")},
    {Text{""}, QString()},
    {Cell(), QString()},
};

QString writeFile(const QTemporaryDir &dir, const QString &text)
{
    const QString path = dir.filePath(QStringLiteral("copied.txt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    file.write(text.toUtf8());
    return path;
}

std::vector<int> firstRows(const RowStore &store)
{
    std::vector<int> rows;
    for (int i = 0; i < store.rowCount(); ++i)
        rows.push_back(i);
    return rows;
}

} // namespace

class TestCopyText : public QObject
{
    Q_OBJECT

private slots:
    void textReadsBackCellForCell_data();
    void textReadsBackCellForCell();
    void jsonKeepsTypesAndTellsNullFromEmpty();
    void onlyTheColumnsAskedForInTheirOrder();
    void markdownTable();
    void insertStatementsPutTheRowsBack();
    void literalsFollowTheDialect();

private:
    QTemporaryDir m_dir;
};

void TestCopyText::textReadsBackCellForCell_data()
{
    QTest::addColumn<CopyFormat>("format");
    QTest::addColumn<bool>("header");
    QTest::newRow("tab-separated") << CopyFormat::Tsv << false;
    QTest::newRow("tab-separated with the header row") << CopyFormat::Tsv << true;
    QTest::newRow("CSV") << CopyFormat::Csv << true;
    QTest::newRow("JSON") << CopyFormat::Json << true;
}

void TestCopyText::textReadsBackCellForCell()
{
    QFETCH(CopyFormat, format);
    QFETCH(bool, header);
    RowStore store(2);
    QList<QList<Cell>> rows;
    for (qsizetype i = 0; i < kCases.size(); ++i)
        rows.append({qint64(i), kCases[i].cell});
    feedRows(store, rows);
    CopyRequest request;
    request.format = format;
    request.header = header;
    request.fields = {field(QStringLiteral("id"), AdoType::Integer),
                      field(QStringLiteral("say\t\"what\""), AdoType::VarWChar)};
    request.columns = {0, 1};
    const QString text = copyText(request, store, firstRows(store));

    const QString kind = format == CopyFormat::Tsv   ? QStringLiteral("tsv")
                         : format == CopyFormat::Csv ? QStringLiteral("csv")
                                                     : QStringLiteral("json");
    QJsonArray lines = exportedRows(readExport(kind, writeFile(m_dir, text)));
    if (format == CopyFormat::Json) {
        QCOMPARE(lines.size(), kCases.size());
        for (qsizetype i = 0; i < kCases.size(); ++i) {
            const QJsonObject object = lines.at(i).toObject();
            QCOMPARE(object.value(QStringLiteral("keys")).toArray().at(1).toString(), request.fields[1].name);
            const QJsonValue value = object.value(QStringLiteral("values")).toArray().at(1);
            if (std::holds_alternative<std::monostate>(kCases[i].cell))
                QVERIFY(value.isNull());
            else
                QCOMPARE(value.toObject().value(QStringLiteral("s")).toString(), kCases[i].seen);
        }
        return;
    }
    if (header) {
        QCOMPARE(lines.at(0).toArray().at(1).toString(), request.fields[1].name);
        lines.removeFirst();
    }
    QCOMPARE(lines.size(), kCases.size());
    for (qsizetype i = 0; i < kCases.size(); ++i) {
        QCOMPARE(lines.at(i).toArray().size(), 2);
        QCOMPARE(lines.at(i).toArray().at(0).toString(), QString::number(i));
        QCOMPARE(lines.at(i).toArray().at(1).toString(), kCases[i].seen);
    }
    // A value without a tab, line break or quote stands as it is: a paste splits on tabs alone.
    if (format == CopyFormat::Tsv)
        QVERIFY(text.contains(QStringLiteral("\n0\tplain\n")) ||
                text.startsWith(QStringLiteral("0\tplain\n")));
}

void TestCopyText::jsonKeepsTypesAndTellsNullFromEmpty()
{
    RowStore store(5);
    feedRows(store, {{qint64(1), Text{"12.50"}, 0.1, true, Blob{QByteArray("\x00\xff", 2)}},
                     {Cell(), Text{""}, std::numeric_limits<double>::infinity(), false, Blob{}}});
    CopyRequest request;
    request.format = CopyFormat::Json;
    request.fields = {
        field(QStringLiteral("id"), AdoType::Integer), field(QStringLiteral("id"), AdoType::Numeric),
        field(QStringLiteral("x"), AdoType::Double), field(QStringLiteral("ok"), AdoType::Boolean),
        field(QStringLiteral("bin"), AdoType::VarBinary)};
    request.columns = {0, 1, 2, 3, 4};
    const QJsonArray rows = exportedRows(
        readExport(QStringLiteral("json"), writeFile(m_dir, copyText(request, store, firstRows(store)))));
    QCOMPARE(rows.size(), 2);
    auto number = [](const char *text) { return QJsonObject{{"n", QString::fromLatin1(text)}}; };
    auto string = [](const char *text) { return QJsonObject{{"s", QString::fromLatin1(text)}}; };
    QCOMPARE(rows.at(0).toObject().value(QStringLiteral("keys")).toArray(),
             QJsonArray({"id", "id_2", "x", "ok", "bin"}));
    QCOMPARE(
        rows.at(0).toObject().value(QStringLiteral("values")).toArray(),
        QJsonArray({number("1"), number("12.50"), number("0.1"), QJsonObject{{"b", true}}, string("AP8=")}));
    QCOMPARE(
        rows.at(1).toObject().value(QStringLiteral("values")).toArray(),
        QJsonArray({QJsonValue(), string(""), string("Infinity"), QJsonObject{{"b", false}}, string("")}));

    // No rows: still one document.
    QCOMPARE(copyText(request, store, {}), QStringLiteral("[]\n"));
}

void TestCopyText::onlyTheColumnsAskedForInTheirOrder()
{
    RowStore store(3);
    feedRows(store, {{qint64(1), Text{"a"}, Text{"x"}}, {qint64(2), Text{"b"}, Text{"y"}}});
    RowStore pending(3);
    feedRows(pending, {{qint64(9), Text{"edited"}, Cell()}});
    CopyRequest request;
    request.fields = {field(QStringLiteral("id"), AdoType::Integer),
                      field(QStringLiteral("a"), AdoType::VarWChar),
                      field(QStringLiteral("b"), AdoType::VarWChar)};
    request.columns = {2, 0};
    request.header = true;
    // The second row shown is the one being edited: its own values are copied.
    QCOMPARE(copyText(request, store, {1, -1}, &pending), QStringLiteral("b\tid\ny\t2\n\t9\n"));
}

void TestCopyText::markdownTable()
{
    RowStore store(3);
    feedRows(store, {{qint64(1), Text{"pipe | and \\ back"}, 2.5},
                     {Cell(), Text{"two\nlines"}, Cell()},
                     {qint64(3), Text{""}, -0.125}});
    CopyRequest request;
    request.format = CopyFormat::Markdown;
    request.fields = {field(QStringLiteral("id"), AdoType::Integer),
                      field(QStringLiteral("a|b"), AdoType::VarWChar),
                      field(QStringLiteral("x"), AdoType::Double)};
    request.columns = {0, 1, 2};
    QCOMPARE(copyText(request, store, firstRows(store)),
             QStringLiteral("| id | a\\|b | x |\n"
                            "| ---: | --- | ---: |\n"
                            "| 1 | pipe \\| and \\\\ back | 2.5 |\n"
                            "| *NULL* | two<br>lines | *NULL* |\n"
                            "| 3 |  | -0.125 |\n"));
}

void TestCopyText::insertStatementsPutTheRowsBack()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("copy.db"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    Connection connection;
    connection.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
    connection.open();
    connection.execute(QStringLiteral("CREATE TABLE src (id INTEGER PRIMARY KEY, name TEXT, price NUMERIC, "
                                      "ratio REAL, ok BOOLEAN, pic BLOB, \"select\" TEXT)"));
    connection.execute(QStringLiteral(
        "INSERT INTO src VALUES (1, 'O''Brien; DROP TABLE src; --', '12.50', 0.1, 1, x'00ff27', 'a'), "
        "(2, NULL, NULL, NULL, NULL, NULL, ''), (3, 'line\nbreak \\ back', '-0.5', -1e300, 0, x'', 'b')"));
    connection.execute(QStringLiteral("CREATE TABLE dst AS SELECT * FROM src WHERE 0"));
    const ExecResult source = connection.execute(QStringLiteral("SELECT * FROM src ORDER BY id"));
    QVERIFY(source.recordset);

    const SqlDialectRules &rules = SqlDialectRules::of(SqlDialect::Sqlite);
    CopyRequest request;
    request.format = CopyFormat::Insert;
    request.dialect = SqlDialect::Sqlite;
    request.fields = source.recordset->fields();
    request.columns = {0, 1, 2, 3, 4, 5, 6};
    request.insertTarget = rules.quoteIdentifier(QStringLiteral("dst"));
    for (const FieldInfo &f : request.fields)
        request.insertColumns.append(rules.quoteIdentifier(f.name));
    const QString text = copyText(request, source.recordset->rows(), firstRows(source.recordset->rows()));
    QCOMPARE(
        text.count(QStringLiteral("INSERT INTO dst (id, name, price, ratio, ok, pic, \"select\") VALUES (")),
        3);
    for (const QString &statement : text.split(QStringLiteral(";\n"), Qt::SkipEmptyParts))
        connection.execute(statement);

    const ExecResult copied = connection.execute(QStringLiteral("SELECT * FROM dst ORDER BY id"));
    QCOMPARE(copied.recordset->rowCount(), 3);
    for (qint64 row = 0; row < 3; ++row) {
        for (int column = 0; column < 7; ++column)
            QCOMPARE(copied.recordset->value(row, column), source.recordset->value(row, column));
    }
    QCOMPARE(connection.execute(QStringLiteral("SELECT COUNT(*) FROM src")).recordset->value(0, 0).toInt(),
             3);
}

void TestCopyText::literalsFollowTheDialect()
{
    RowStore store(4);
    feedRows(store, {{Text{"it's \\"}, true, Blob{QByteArray("\x01\xab", 2)}, Text{"1E+3"}}});
    CopyRequest request;
    request.format = CopyFormat::Insert;
    request.fields = {
        field(QStringLiteral("t"), AdoType::VarWChar), field(QStringLiteral("b"), AdoType::Boolean),
        field(QStringLiteral("bin"), AdoType::VarBinary), field(QStringLiteral("n"), AdoType::Numeric)};
    request.columns = {0, 1, 2, 3};
    request.insertTarget = QStringLiteral("t");
    request.insertColumns = {QStringLiteral("t"), QStringLiteral("b"), QStringLiteral("bin"),
                             QStringLiteral("n")};
    auto values = [&](SqlDialect dialect) {
        request.dialect = dialect;
        const QString text = copyText(request, store, {0});
        return text.mid(text.indexOf(QLatin1String("VALUES (")) + 8).chopped(3);
    };
    QCOMPARE(values(SqlDialect::PostgreSql), QStringLiteral("'it''s \\', TRUE, '\\x01ab'::bytea, 1E+3"));
    QCOMPARE(values(SqlDialect::MySql), QStringLiteral("'it''s \\\\', TRUE, X'01ab', 1E+3"));
    QCOMPARE(values(SqlDialect::SqlServer), QStringLiteral("'it''s \\', 1, 0x01ab, 1E+3"));
}

QTEST_GUILESS_MAIN(TestCopyText)
#include "tst_copytext.moc"

#include "EditCases.h"

#include "db/ConnectionString.h"
#include "query/Query.h"
#include "query/RowEditor.h"

namespace {

const QList<EditFamily> allFamilies = {EditFamily::Sqlite, EditFamily::OdbcSqlite, EditFamily::Postgres,
                                       EditFamily::OdbcPostgres, EditFamily::MySql};
const QList<EditFamily> sqliteFamilies = {EditFamily::Sqlite, EditFamily::OdbcSqlite};
const QList<EditFamily> pgFamilies = {EditFamily::Postgres, EditFamily::OdbcPostgres};

QString familyName(EditFamily family)
{
    switch (family) {
    case EditFamily::Sqlite:
        return QStringLiteral("sqlite");
    case EditFamily::OdbcSqlite:
        return QStringLiteral("odbc sqlite3");
    case EditFamily::Postgres:
        return QStringLiteral("postgresql");
    case EditFamily::OdbcPostgres:
        return QStringLiteral("odbc postgresql");
    case EditFamily::MySql:
        return QStringLiteral("mariadb");
    }
    return QString();
}

// Column types by family: {int}, {serial} (a generated integer key), {float} (single precision
// where there is one), {json}, {text}.
QString typed(EditFamily family, QString sql)
{
    const bool pg = family == EditFamily::Postgres || family == EditFamily::OdbcPostgres;
    const bool my = family == EditFamily::MySql;
    sql.replace(QLatin1String("{int}"), pg ? "integer" : my ? "INT" : "INTEGER");
    sql.replace(QLatin1String("{serial}"), pg ? "serial" : my ? "INT AUTO_INCREMENT" : "INTEGER");
    sql.replace(QLatin1String("{float}"), pg ? "real" : my ? "FLOAT" : "REAL");
    sql.replace(QLatin1String("{json}"), pg ? "json" : my ? "JSON" : "TEXT");
    sql.replace(QLatin1String("{text}"), pg ? "text" : my ? "TEXT" : "TEXT");
    return sql;
}

struct Case
{
    const char *name;
    QList<EditFamily> families;
    QStringList setup;
    QString query;
    QString meanwhile; // run by somebody else after the query opened
    QString action;    // edit, delete, insert, or readonly (the result must refuse edits with error)
    int row;
    int field;
    QString value;
    QString error; // part of the one error expected; empty when the write must succeed
    QString check;
    QString expected;
};

const QString conflict = QStringLiteral("changed or deleted by someone else");
const QString apart = QStringLiteral("cannot be told apart");

const QStringList floats = {QStringLiteral("CREATE TABLE t (id {int} PRIMARY KEY, f {float}, note {text})"),
                            QStringLiteral("INSERT INTO t VALUES (1, 1.1, 'a'), (2, 2.5, 'b')")};
const QStringList looseFloats = {QStringLiteral("CREATE TABLE loose (a {int}, f {float}, note {text})"),
                                 QStringLiteral("INSERT INTO loose VALUES (1, 1.1, 'a'), (2, 1.1, 'b')")};
const QStringList docs = {QStringLiteral("CREATE TABLE j (id {int} PRIMARY KEY, doc {json})"),
                          QStringLiteral("INSERT INTO j VALUES (1, '{\"a\":1}'), (2, '[1,2]')")};
const QStringList looseDocs = {QStringLiteral("CREATE TABLE jl (n {int}, doc {json})"),
                               QStringLiteral("INSERT INTO jl VALUES (1, '{\"a\":1}'), (2, '{\"a\":1}')")};
const QStringList nullKeys = {
    QStringLiteral("CREATE TABLE codes (code TEXT PRIMARY KEY, name TEXT)"),
    QStringLiteral("INSERT INTO codes VALUES (NULL, 'a'), (NULL, 'b'), ('x', 'c')")};
const QStringList duplicates = {QStringLiteral("CREATE TABLE dup (a {int}, b {text})"),
                                QStringLiteral("INSERT INTO dup VALUES (1, 'x'), (1, 'x'), (2, 'y')")};
const QStringList myisamDuplicates = {QStringLiteral("CREATE TABLE dup (a INT, b TEXT) ENGINE=MyISAM"),
                                      QStringLiteral("INSERT INTO dup VALUES (1, 'x'), (1, 'x'), (2, 'y')")};
const QStringList inheritance = {QStringLiteral("CREATE TABLE animals (id integer PRIMARY KEY, name text)"),
                                 QStringLiteral("CREATE TABLE dogs () INHERITS (animals)"),
                                 QStringLiteral("INSERT INTO animals VALUES (1, 'cat')"),
                                 QStringLiteral("INSERT INTO dogs VALUES (1, 'rex'), (2, 'fido')")};
const QStringList partitions = {
    QStringLiteral("CREATE TABLE measures (id integer, region text, v real, PRIMARY KEY (id, region)) "
                   "PARTITION BY LIST (region)"),
    QStringLiteral("CREATE TABLE measures_n PARTITION OF measures FOR VALUES IN ('n')"),
    QStringLiteral("CREATE TABLE measures_s PARTITION OF measures FOR VALUES IN ('s')"),
    QStringLiteral("INSERT INTO measures VALUES (1, 'n', 1.5), (2, 's', 2.5)")};
const QStringList memos = {QStringLiteral("CREATE TABLE m (id {int} PRIMARY KEY, body {text})"),
                           QStringLiteral("INSERT INTO m VALUES (1, 'old')")};

const QString tq = QStringLiteral("SELECT id, f, note FROM t ORDER BY id");
const QString lq = QStringLiteral("SELECT a, f, note FROM loose ORDER BY a");
const QString jq = QStringLiteral("SELECT id, doc FROM j ORDER BY id");
const QString jlq = QStringLiteral("SELECT n, doc FROM jl ORDER BY n");
const QString dq = QStringLiteral("SELECT a, b FROM dup ORDER BY a, b");
const QString aq = QStringLiteral("SELECT id, name FROM animals ORDER BY name");
const QString ac = QStringLiteral("SELECT tableoid::regclass::text, id, name FROM animals ORDER BY name");
const QString mq = QStringLiteral("SELECT id, region, v FROM measures ORDER BY id");
const QString mc = QStringLiteral("SELECT tableoid::regclass::text, id, region, v FROM measures ORDER BY id");
const QString nq = QStringLiteral("SELECT code, name FROM codes ORDER BY name");
const QString nc = QStringLiteral("SELECT coalesce(code, '-'), name FROM codes ORDER BY name");

const QList<Case> &cases()
{
    // clang-format off
    // name, families, setup, query, meanwhile, action, row, field, value, error, check, expected
    static const QList<Case> list = {
        {"float column edited", allFamilies, floats, tq, {},
         "edit", 0, 1, "2.25", {}, tq, "1,2.25,a;2,2.5,b"},
        {"float column changed by someone else", allFamilies, floats, tq, "UPDATE t SET f = 3.5 WHERE id = 1",
         "edit", 0, 1, "2.25", conflict, tq, "1,3.5,a;2,2.5,b"},
        {"row without key found past its float", allFamilies, looseFloats, lq, {},
         "edit", 0, 2, "x", {}, lq, "1,1.1,x;2,1.1,b"},
        {"json column edited", allFamilies, docs, jq, {},
         "edit", 0, 1, "{\"b\":2}", {}, jq, "1,{\"b\":2};2,[1,2]"},
        {"json column changed by someone else", allFamilies, docs, jq, "UPDATE j SET doc = '{\"c\":3}' WHERE id = 1",
         "edit", 0, 1, "{\"b\":2}", conflict, jq, "1,{\"c\":3};2,[1,2]"},
        {"row without key found past its json", allFamilies, looseDocs, jlq, {},
         "edit", 0, 0, "5", {}, jlq, "2,{\"a\":1};5,{\"a\":1}"},
        {"memo keeps CRLF, CR, no-break space and line separator", allFamilies, memos, "SELECT id, body FROM m", {},
         "edit", 0, 1, QStringLiteral(u"a\r\nb\rc\u00a0d\u2028e"), {}, "SELECT body FROM m", "a<CR><LF>b<CR>c<NBSP>d<LS>e"},
        {"NULL key refuses an edit", sqliteFamilies, nullKeys, nq, {},
         "edit", 0, 1, "z", "key column code is NULL", nc, "-,a;-,b;x,c"},
        {"NULL key refuses a delete", sqliteFamilies, nullKeys, nq, {},
         "delete", 1, 0, {}, "key column code is NULL", nc, "-,a;-,b;x,c"},
        {"equal rows without key refuse an edit", allFamilies, duplicates, dq, {},
         "edit", 0, 1, "w", apart, dq, "1,x;1,x;2,y"},
        {"equal rows without key refuse a delete", allFamilies, duplicates, dq, {},
         "delete", 1, 0, {}, apart, dq, "1,x;1,x;2,y"},
        {"distinct row without key is edited", allFamilies, duplicates, dq, {},
         "edit", 2, 1, "z", {}, dq, "1,x;1,x;2,z"},
        {"distinct row without key is deleted", allFamilies, duplicates, dq, {},
         "delete", 2, 0, {}, {}, dq, "1,x;1,x"},
        {"MyISAM: equal rows refuse an edit", {EditFamily::MySql}, myisamDuplicates, dq, {},
         "edit", 0, 1, "w", apart, dq, "1,x;1,x;2,y"},
        {"MyISAM: distinct row is edited", {EditFamily::MySql}, myisamDuplicates, dq, {},
         "edit", 2, 1, "z", {}, dq, "1,x;1,x;2,z"},
        {"inheritance parent: key shared with a child refuses", pgFamilies, inheritance, aq, {},
         "edit", 0, 1, "lion", apart, ac, "animals,1,cat;dogs,2,fido;dogs,1,rex"},
        {"inheritance parent: unshared key edits the child's row", pgFamilies, inheritance, aq, {},
         "edit", 1, 1, "fido2", {}, ac, "animals,1,cat;dogs,2,fido2;dogs,1,rex"},
        {"inheritance parent: key shared with a child refuses a delete", pgFamilies, inheritance, aq, {},
         "delete", 2, 0, {}, apart, ac, "animals,1,cat;dogs,2,fido;dogs,1,rex"},
        {"partitioned table: a row is edited in its partition", pgFamilies, partitions, mq, {},
         "edit", 0, 2, "9", {}, mc, "measures_n,1,n,9;measures_s,2,s,2.5"},
        {"partitioned table: a row moves to another partition", pgFamilies, partitions, mq, {},
         "edit", 0, 1, "s", {}, mc, "measures_s,1,s,1.5;measures_s,2,s,2.5"},
        {"insert reads back the generated key", allFamilies,
         {QStringLiteral("CREATE TABLE t (id {serial} PRIMARY KEY, f {float}, note {text})")}, tq, {},
         "insert", -1, 2, "new", {}, tq, "1,NULL,new"},
        {"key column is not matched to a column that differs only in case", pgFamilies,
         {QStringLiteral("CREATE TABLE cs (\"ID\" integer PRIMARY KEY, id integer, name text)"),
          QStringLiteral("INSERT INTO cs VALUES (1, 2, 'one'), (2, 1, 'two')")},
         "SELECT id, name FROM cs ORDER BY id", {},
         "readonly", 0, 1, {}, "key columns of the table cs",
         "SELECT \"ID\", id, name FROM cs ORDER BY \"ID\"", "1,2,one;2,1,two"},
    };
    // clang-format on
    return list;
}

// The connection the grid edits through, with its record editor, and somebody else's.
struct Session
{
    explicit Session(const QString &connectionString)
    {
        for (Connection *c : {&connection, &other}) {
            c->setConnectionString(connectionString);
            c->open();
        }
        editor.setErrorHandler([this](const QString &text) { errors.append(text); });
    }

    Connection connection;
    Connection other;
    Query result{&connection};
    RowEditor editor{&result};
    QStringList errors;
};

QString cellText(const QVariant &v)
{
    if (v.isNull())
        return QStringLiteral("NULL");
    if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float)
        return QString::number(v.toDouble(), 'g', 6);
    QString text = v.toString();
    text.replace(QLatin1Char('\r'), QLatin1String("<CR>"));
    text.replace(QLatin1Char('\n'), QLatin1String("<LF>"));
    text.replace(QChar(0xa0), QLatin1String("<NBSP>"));
    text.replace(QChar(0x2028), QLatin1String("<LS>"));
    return text;
}

} // namespace

namespace EditCases {

void addRows(const QList<EditFamily> &families)
{
    QTest::addColumn<EditFamily>("family");
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("meanwhile");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("check");
    QTest::addColumn<QString>("expected");
    for (const EditFamily family : families) {
        for (const Case &c : cases()) {
            if (!c.families.contains(family))
                continue;
            QStringList setup;
            for (const QString &sql : c.setup)
                setup.append(typed(family, sql));
            QTest::addRow("%s: %s", qPrintable(familyName(family)), c.name)
                << family << setup << c.query << c.meanwhile << c.action << c.row << c.field << c.value
                << c.error << c.check << c.expected;
        }
    }
}

void run(const QString &connectionString)
{
    QFETCH(QStringList, setup);
    QFETCH(QString, query);
    QFETCH(QString, meanwhile);
    QFETCH(QString, action);
    QFETCH(int, row);
    QFETCH(int, field);
    QFETCH(QString, value);
    QFETCH(QString, error);
    QFETCH(QString, check);
    QFETCH(QString, expected);

    Session session(connectionString);
    RowEditor &editor = session.editor;
    const QStringList &errors = session.errors;
    for (const QString &sql : setup)
        session.connection.execute(sql);
    session.result.setSql(query);
    QVERIFY(session.result.run());
    if (!meanwhile.isEmpty())
        session.other.execute(meanwhile);

    if (action == QLatin1String("readonly")) {
        QVERIFY2(!editor.isEditable(), "the result must be read-only");
        QVERIFY2(editor.readOnlyReason().contains(error), qPrintable(editor.readOnlyReason()));
        QCOMPARE(tableText(session.other, check), expected);
        return;
    }
    QVERIFY2(editor.isEditable(), qPrintable(editor.readOnlyReason()));

    bool written = false;
    if (action == QLatin1String("insert")) {
        written = editor.insert() && editor.setValue(field, value) && editor.post();
    } else {
        QVERIFY(editor.setCurrentRow(row));
        if (action == QLatin1String("edit"))
            written = editor.setValue(field, value) && editor.post();
        else
            written = editor.remove();
    }
    if (error.isEmpty()) {
        QVERIFY2(written && errors.isEmpty(), qPrintable(errors.join(u'\n')));
    } else {
        QVERIFY(!written);
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().contains(error), qPrintable(errors.first()));
    }
    QCOMPARE(tableText(session.other, check), expected);
    // A new row shows what the table holds, its generated key included.
    if (action == QLatin1String("insert")) {
        const Recordset &rows = *session.result.recordset();
        QCOMPARE(rowText(rows, rows.rowCount() - 1), expected);
    }
}

void runInsideOpenTransaction(const QString &connectionString)
{
    QFETCH(EditFamily, family);
    Session session(connectionString);
    Connection &connection = session.connection;
    Connection &other = session.other;
    Query &result = session.result;
    RowEditor &editor = session.editor;
    const QStringList &errors = session.errors;
    connection.execute(typed(family, QStringLiteral("CREATE TABLE t (id {int} PRIMARY KEY, note {text})")));
    connection.execute(QStringLiteral("INSERT INTO t VALUES (1, 'a')"));

    // The user opens a transaction in the SQL editor and changes something in it.
    connection.execute(QStringLiteral("BEGIN"));
    connection.execute(QStringLiteral("INSERT INTO t VALUES (2, 'mine')"));
    result.setSql(QStringLiteral("SELECT id, note FROM t ORDER BY id"));
    QVERIFY(result.run());
    QVERIFY(editor.setValue(1, QStringLiteral("edited")));
    QVERIFY2(editor.post(), qPrintable(errors.join(u'\n')));
    // The grid's write joined the user's transaction: nothing of it is committed yet.
    QCOMPARE(tableText(other, QStringLiteral("SELECT id, note FROM t ORDER BY id")), QStringLiteral("1,a"));
    connection.execute(QStringLiteral("ROLLBACK"));
    QCOMPARE(tableText(other, QStringLiteral("SELECT id, note FROM t ORDER BY id")), QStringLiteral("1,a"));

    // Outside a transaction the grid commits its own write.
    result.setSql(QStringLiteral("SELECT id, note FROM t ORDER BY id"));
    QVERIFY(result.run());
    QVERIFY(editor.setValue(1, QStringLiteral("again")));
    QVERIFY2(editor.post(), qPrintable(errors.join(u'\n')));
    QCOMPARE(tableText(other, QStringLiteral("SELECT id, note FROM t ORDER BY id")),
             QStringLiteral("1,again"));
}

void addFamilyRows(const QList<EditFamily> &families)
{
    QTest::addColumn<EditFamily>("family");
    for (const EditFamily family : families)
        QTest::addRow("%s", qPrintable(familyName(family))) << family;
}

QString pgOdbcString(const QString &pgConnectionString)
{
    const ConnectionString cs(pgConnectionString);
    return QStringLiteral("Driver={PostgreSQL Unicode};Server=%1;Port=%2;Database=%3;UID=%4;PWD=%5")
        .arg(cs.value(QStringLiteral("Data Source")), cs.value(QStringLiteral("Port")),
             cs.value(QStringLiteral("Initial Catalog")), cs.value(QStringLiteral("User ID")),
             cs.value(QStringLiteral("Password")));
}

QString sqliteString(EditFamily family, const QString &path)
{
    return family == EditFamily::OdbcSqlite ? QStringLiteral("Driver=SQLite3;Database=") + path
                                            : QStringLiteral("Provider=SQLite;Data Source=") + path;
}

QString rowText(const Recordset &rows, qint64 row)
{
    QStringList cells;
    for (int column = 0; column < rows.fields().size(); ++column)
        cells.append(cellText(rows.value(row, column)));
    return cells.join(QLatin1Char(','));
}

QString tableText(Connection &connection, const QString &sql)
{
    const ExecResult r = connection.execute(sql);
    if (!r.recordset)
        return QStringLiteral("(no rows)");
    QStringList rows;
    for (qint64 row = 0; row < r.recordset->rowCount(); ++row)
        rows.append(rowText(*r.recordset, row));
    return rows.join(QLatin1Char(';'));
}

} // namespace EditCases

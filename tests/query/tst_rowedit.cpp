#include "EditCases.h"
#include "ScriptedPrompt.h"

#include "db/DataAccess.h"
#include "db/fetch/RowStore.h"
#include "query/CellValues.h"
#include "query/Query.h"
#include "query/RowEditor.h"
#include "shell/Language.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A SQLite file with a keyed table, a table without a key and a second keyed table.
const QStringList fixture = {
    QStringLiteral("CREATE TABLE people (id INTEGER PRIMARY KEY, name TEXT NOT NULL, score REAL, note TEXT)"),
    QStringLiteral(
        "INSERT INTO people VALUES (1, 'Ann', 1.5, NULL), (2, 'Bob', 2.0, 'x'), (3, 'Cy', NULL, 'y')"),
    QStringLiteral("CREATE TABLE pets (id INTEGER PRIMARY KEY, owner INTEGER, name TEXT)"),
    QStringLiteral("INSERT INTO pets VALUES (1, 1, 'Rex')"),
    QStringLiteral("CREATE TABLE loose (a INTEGER, b TEXT)"),
    QStringLiteral("INSERT INTO loose VALUES (1, 'x'), (1, 'x'), (2, 'y')"),
    QStringLiteral(
        "CREATE TABLE prices (id INTEGER PRIMARY KEY, amount NUMERIC(10,2), qty INTEGER, rate REAL, "
        "ok BOOLEAN)"),
    QStringLiteral("INSERT INTO prices VALUES (1, 2.5, 3, 0.5, 0)"),
};

// An empty file: an SQLite database without tables.
QString emptyFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot create %s", qPrintable(path));
    return path;
}

QVariant scalar(Connection &c, const QString &sql)
{
    ExecResult r = c.execute(sql);
    if (!r.recordset || r.recordset->rowCount() == 0)
        return QVariant();
    return r.recordset->value(0, 0);
}

} // namespace

class TestRowEdit : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void editPostsOneUpdateAndKeepsTheStore();
    void movingToAnotherRecordPostsThePendingEdit();
    void cancelLeavesDatabaseAndRowsAlone();
    void insertReadsBackTheGeneratedKey();
    void deleteRemovesTheCurrentRecord();
    void rowChangedBySomeoneElseIsAnError_data();
    void rowChangedBySomeoneElseIsAnError();
    void readOnlyResultsRefuseWithTheirReason_data();
    void readOnlyResultsRefuseWithTheirReason();
    void refreshKeepsTheCurrentRowIndex();
    void editsTouchExactlyOneRow_data();
    void editsTouchExactlyOneRow();
    void editInsideAnOpenTransaction_data();
    void editInsideAnOpenTransaction();
    void typedNumbersFollowTheInterfaceLanguage_data();
    void typedNumbersFollowTheInterfaceLanguage();
    void identityAndUnknownCountsOnSqlServer_data();
    void identityAndUnknownCountsOnSqlServer();

private:
    void open(const QString &sql);
    // A second session on the same file: "someone else".
    void other(const QString &sql);

    QTemporaryDir m_dir;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<Connection> m_conn;
    std::unique_ptr<Query> m_query;
    std::unique_ptr<RowEditor> m_editor;
    QStringList m_errors;
};

void TestRowEdit::init()
{
    m_prompt = std::make_unique<ScriptedPrompt>();
    const QString path = m_dir.filePath(QStringLiteral("edit.db"));
    QFile::remove(path);
    emptyFile(path);
    m_conn = std::make_unique<Connection>();
    m_conn->setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
    m_conn->open();
    for (const QString &sql : fixture)
        m_conn->execute(sql);
    m_query = std::make_unique<Query>(m_conn.get());
    m_editor = std::make_unique<RowEditor>(m_query.get());
    m_errors.clear();
    m_editor->setErrorHandler([this](const QString &text) { m_errors.append(text); });
}

void TestRowEdit::cleanup()
{
    m_editor.reset();
    m_query.reset();
    m_conn.reset();
    m_prompt.reset();
    setUiLanguage(QStringLiteral("en-US"));
}

void TestRowEdit::open(const QString &sql)
{
    m_query->setSql(sql);
    QVERIFY(m_query->run());
}

void TestRowEdit::other(const QString &sql)
{
    Connection c;
    c.setConnectionString(m_conn->connectionString());
    c.open();
    c.execute(sql);
}

void TestRowEdit::editPostsOneUpdateAndKeepsTheStore()
{
    open(QStringLiteral("SELECT * FROM people ORDER BY id"));
    QVERIFY(m_editor->isEditable());
    QVERIFY(m_editor->setCurrentRow(0));
    // The note of Ann is NULL: the row is still found (IS NULL, not = NULL).
    QVERIFY(m_editor->setValue(3, QStringLiteral("first")));
    QVERIFY(m_editor->setValue(2, QStringLiteral("7.25")));
    QCOMPARE(m_editor->state(), RowEditor::State::Edit);
    QCOMPARE(m_editor->value(0, 3).toString(), QStringLiteral("first"));
    QCOMPARE(m_query->recordset()->value(0, 3), QVariant()); // stored only when posted
    QVERIFY(m_editor->post());
    QVERIFY(m_errors.isEmpty());
    QCOMPARE(m_editor->state(), RowEditor::State::Browse);
    QCOMPARE(
        scalar(*m_conn, QStringLiteral("SELECT note || '/' || score FROM people WHERE id = 1")).toString(),
        QStringLiteral("first/7.25"));
    QCOMPARE(scalar(*m_conn, QStringLiteral("SELECT count(*) FROM people WHERE note = 'first'")).toInt(), 1);
    QCOMPARE(m_query->recordset()->value(0, 3).toString(), QStringLiteral("first"));
    QCOMPARE(m_query->recordset()->rows().kind(0, 2), RowStore::CellKind::Double);

    // Empty text in a number field means NULL.
    QVERIFY(m_editor->setValue(2, QString()));
    QVERIFY(m_editor->post());
    QVERIFY(scalar(*m_conn, QStringLiteral("SELECT score FROM people WHERE id = 1")).isNull());
}

void TestRowEdit::movingToAnotherRecordPostsThePendingEdit()
{
    open(QStringLiteral("SELECT id, name FROM people ORDER BY id"));
    QVERIFY(m_editor->setCurrentRow(1));
    QVERIFY(m_editor->setValue(1, QStringLiteral("Robert")));
    QVERIFY(m_editor->next());
    QCOMPARE(m_editor->currentRow(), 2);
    QCOMPARE(m_editor->state(), RowEditor::State::Browse);
    QCOMPARE(scalar(*m_conn, QStringLiteral("SELECT name FROM people WHERE id = 2")).toString(),
             QStringLiteral("Robert"));

    // A post the database refuses keeps the record current and in edit.
    QVERIFY(m_editor->setValue(1, QVariant()));
    QVERIFY(!m_editor->first());
    QCOMPARE(m_errors.size(), 1);
    QVERIFY2(m_errors.first().contains(QLatin1String("NOT NULL")), qPrintable(m_errors.first()));
    QCOMPARE(m_editor->currentRow(), 2);
    QCOMPARE(m_editor->state(), RowEditor::State::Edit);
}

void TestRowEdit::cancelLeavesDatabaseAndRowsAlone()
{
    open(QStringLiteral("SELECT * FROM people ORDER BY id"));
    QVERIFY(m_editor->setValue(1, QStringLiteral("Zed")));
    m_editor->cancel();
    QCOMPARE(m_editor->value(0, 1).toString(), QStringLiteral("Ann"));
    QVERIFY(m_editor->insert());
    QCOMPARE(m_editor->rowCount(), 4);
    QCOMPARE(m_editor->currentRow(), 3);
    m_editor->cancel();
    QCOMPARE(m_editor->rowCount(), 3);
    QCOMPARE(m_editor->currentRow(), 0);
    QCOMPARE(scalar(*m_conn, QStringLiteral("SELECT group_concat(name) FROM people")).toString(),
             QStringLiteral("Ann,Bob,Cy"));
}

void TestRowEdit::insertReadsBackTheGeneratedKey()
{
    open(QStringLiteral("SELECT id, name, score FROM people ORDER BY id"));
    other(QStringLiteral("INSERT INTO people VALUES (10, 'Late', NULL, NULL)"));
    QVERIFY(m_editor->insert());
    QCOMPARE(m_editor->state(), RowEditor::State::Insert);
    QVERIFY(m_editor->setValue(1, QStringLiteral("Dee")));
    QVERIFY(m_editor->post());
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(u'\n')));
    QCOMPARE(m_editor->rowCount(), 4);
    QCOMPARE(m_query->recordset()->rowCount(), 4);
    QCOMPARE(m_query->recordset()->value(3, 0).toLongLong(), 11);
    QCOMPARE(m_query->recordset()->value(3, 1).toString(), QStringLiteral("Dee"));
    QCOMPARE(scalar(*m_conn, QStringLiteral("SELECT name FROM people WHERE id = 11")).toString(),
             QStringLiteral("Dee"));

    // The new row is an ordinary row now: it can be edited by its key.
    QVERIFY(m_editor->setValue(2, QStringLiteral("3")));
    QVERIFY(m_editor->post());
    QCOMPARE(scalar(*m_conn, QStringLiteral("SELECT score FROM people WHERE id = 11")).toDouble(), 3.0);
}

void TestRowEdit::deleteRemovesTheCurrentRecord()
{
    open(QStringLiteral("SELECT * FROM people ORDER BY id"));
    QVERIFY(m_editor->setCurrentRow(1));
    QVERIFY(m_editor->remove());
    // The question belongs to the window: the record editor asks nothing.
    QVERIFY(m_prompt->dialogs.isEmpty());
    QCOMPARE(scalar(*m_conn, QStringLiteral("SELECT group_concat(name) FROM people")).toString(),
             QStringLiteral("Ann,Cy"));
    QCOMPARE(m_editor->rowCount(), 2);
    QCOMPARE(m_editor->currentRow(), 1);
    QCOMPARE(m_query->recordset()->value(1, 1).toString(), QStringLiteral("Cy"));
}

void TestRowEdit::rowChangedBySomeoneElseIsAnError_data()
{
    QTest::addColumn<QString>("meanwhile");
    QTest::addColumn<bool>("deleting");
    QTest::newRow("edit of a deleted row") << "DELETE FROM people WHERE id = 2" << false;
    QTest::newRow("edit of a changed field") << "UPDATE people SET name = 'Bobby' WHERE id = 2" << false;
    QTest::newRow("delete of a deleted row") << "DELETE FROM people WHERE id = 2" << true;
}

void TestRowEdit::rowChangedBySomeoneElseIsAnError()
{
    QFETCH(QString, meanwhile);
    QFETCH(bool, deleting);
    open(QStringLiteral("SELECT * FROM people ORDER BY id"));
    QVERIFY(m_editor->setCurrentRow(1));
    other(meanwhile);
    if (deleting) {
        QVERIFY(!m_editor->remove());
    } else {
        QVERIFY(m_editor->setValue(1, QStringLiteral("Robert")));
        QVERIFY(!m_editor->post());
        QCOMPARE(m_editor->state(), RowEditor::State::Edit);
    }
    QCOMPARE(m_errors, QStringList{RowEditor::conflictText()});
    QCOMPARE(m_query->recordset()->rowCount(), 3);
    QCOMPARE(m_query->recordset()->value(1, 1).toString(), QStringLiteral("Bob"));
}

void TestRowEdit::readOnlyResultsRefuseWithTheirReason_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("reason");
    QTest::newRow("join") << "SELECT p.id, p.name, q.name FROM people p JOIN pets q ON q.owner = p.id"
                          << "its columns come from more than one table";
    QTest::newRow("no key") << "SELECT name, score FROM people"
                            << "key columns of the table people";
    QTest::newRow("no key, not all columns") << "SELECT b FROM loose"
                                             << "the table loose has no key";
    QTest::newRow("expression") << "SELECT id, name || '!' AS shout FROM people"
                                << "does not come from a table";
    QTest::newRow("column twice") << "SELECT id, name, name AS again FROM people"
                                  << "appears more than once";
}

void TestRowEdit::readOnlyResultsRefuseWithTheirReason()
{
    QFETCH(QString, sql);
    QFETCH(QString, reason);
    open(sql);
    QVERIFY(!m_editor->isEditable());
    QVERIFY2(m_editor->readOnlyReason().startsWith(QLatin1String("The result is read-only: ")),
             qPrintable(m_editor->readOnlyReason()));
    QVERIFY2(m_editor->readOnlyReason().contains(reason), qPrintable(m_editor->readOnlyReason()));
    QVERIFY(!m_editor->edit());
    QVERIFY(!m_editor->setValue(0, QStringLiteral("changed")));
    QVERIFY(!m_editor->insert());
    QVERIFY(!m_editor->remove());
    QCOMPARE(m_errors, QStringList(4, m_editor->readOnlyReason()));
    QVERIFY(m_prompt->dialogs.isEmpty());
    QCOMPARE(m_editor->state(), RowEditor::State::Browse);
    QCOMPARE(scalar(*m_conn, QStringLiteral("SELECT group_concat(name) FROM people")).toString(),
             QStringLiteral("Ann,Bob,Cy"));
}

void TestRowEdit::refreshKeepsTheCurrentRowIndex()
{
    open(QStringLiteral("SELECT * FROM people ORDER BY id"));
    QVERIFY(m_editor->setCurrentRow(2));
    QVERIFY(m_editor->setValue(1, QStringLiteral("Cyd")));
    other(QStringLiteral("INSERT INTO people VALUES (0, 'Zero', NULL, NULL)"));
    QVERIFY(m_editor->refresh());
    // The pending edit was posted before the query ran again.
    QCOMPARE(m_editor->rowCount(), 4);
    QCOMPARE(m_editor->currentRow(), 2);
    QCOMPARE(m_query->recordset()->value(3, 1).toString(), QStringLiteral("Cyd"));
}

void TestRowEdit::editsTouchExactlyOneRow_data()
{
    EditCases::addRows({EditFamily::Sqlite, EditFamily::OdbcSqlite});
}

void TestRowEdit::editsTouchExactlyOneRow()
{
    QFETCH(EditFamily, family);
    QTemporaryDir dir;
    const QString path = emptyFile(dir.filePath(QStringLiteral("cases.db")));
    EditCases::run(EditCases::sqliteString(family, path));
}

void TestRowEdit::editInsideAnOpenTransaction_data()
{
    EditCases::addFamilyRows({EditFamily::Sqlite, EditFamily::OdbcSqlite});
}

void TestRowEdit::editInsideAnOpenTransaction()
{
    QFETCH(EditFamily, family);
    QTemporaryDir dir;
    const QString path = emptyFile(dir.filePath(QStringLiteral("open.db")));
    EditCases::runInsideOpenTransaction(EditCases::sqliteString(family, path));
}

void TestRowEdit::typedNumbersFollowTheInterfaceLanguage_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored"); // typeof:value; empty when the text is refused
    QTest::newRow("portuguese decimal comma") << "pt-BR"
                                              << "rate"
                                              << "1,5"
                                              << "real:1.5";
    QTest::newRow("portuguese takes a point too") << "pt-BR"
                                                  << "rate"
                                                  << "1.5"
                                                  << "real:1.5";
    QTest::newRow("english takes no comma") << "en-US"
                                            << "rate"
                                            << "1,5"
                                            << "";
    QTest::newRow("no group separators") << "pt-BR"
                                         << "rate"
                                         << "1.234,5"
                                         << "";
    QTest::newRow("no english group separator") << "en-US"
                                                << "qty"
                                                << "1,000"
                                                << "";
    QTest::newRow("text is no number") << "en-US"
                                       << "rate"
                                       << "abc"
                                       << "";
    QTest::newRow("integer") << "pt-BR"
                             << "qty"
                             << " 12 "
                             << "integer:12";
    QTest::newRow("a fraction is no integer") << "pt-BR"
                                              << "qty"
                                              << "1,5"
                                              << "";
    QTest::newRow("exact decimal in portuguese") << "pt-BR"
                                                 << "amount"
                                                 << "1234,75"
                                                 << "real:1234.75";
    QTest::newRow("empty is NULL") << "pt-BR"
                                   << "rate"
                                   << ""
                                   << "null:";
    QTest::newRow("yes/no value") << "en-US"
                                  << "ok"
                                  << "True"
                                  << "integer:1";
    QTest::newRow("neither true nor false") << "en-US"
                                            << "ok"
                                            << "maybe"
                                            << "";
}

void TestRowEdit::typedNumbersFollowTheInterfaceLanguage()
{
    QFETCH(QString, language);
    QFETCH(QString, column);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    m_editor->setLocaleProvider([language] { return CellValues::localeForLanguage(language); });
    open(QStringLiteral("SELECT id, amount, qty, rate, ok FROM prices"));
    const int field = m_query->recordset()->fieldIndex(column);
    const QString read =
        QStringLiteral("SELECT typeof(%1) || ':' || coalesce(%1, '') FROM prices").arg(column);
    const QString before = scalar(*m_conn, read).toString();

    const bool taken = m_editor->setValue(field, typed) && m_editor->post();
    if (stored.isEmpty()) {
        // Refused before anything is sent: no pending edit, the database as it was.
        QVERIFY(!taken);
        QCOMPARE(m_errors.size(), 1);
        QVERIFY2(m_errors.first().contains(typed.trimmed()) && m_errors.first().contains(column),
                 qPrintable(m_errors.first()));
        QCOMPARE(m_editor->state(), RowEditor::State::Browse);
        QCOMPARE(scalar(*m_conn, read).toString(), before);
    } else {
        QVERIFY2(taken, qPrintable(m_errors.join(u'\n')));
        QCOMPARE(scalar(*m_conn, read).toString(), stored);
    }
}

namespace {

// A SQL Server that is not there: answers every statement through a script and records what
// was sent, so that the statements the grid composes for it can be checked.
class ScriptedServer : public Backend
{
public:
    QStringList sent;
    std::function<ExecResult(const QString &sql)> answer;

    void connect() override {}
    void disconnect() override {}
    SqlDialect dialect() const override { return SqlDialect::SqlServer; }
    QString defaultDatabase() override { return QStringLiteral("Sales"); }
    QString defaultSchema() override { return QStringLiteral("dbo"); }
    QList<TableInfo> tables() override { return {}; }
    QList<ColumnInfo> columns(const QString &, const QString &) override
    {
        ColumnInfo id;
        id.name = QStringLiteral("id");
        id.autoIncrement = true;
        ColumnInfo name;
        name.name = QStringLiteral("name");
        return {id, name};
    }
    QList<KeyColumnInfo> primaryKeys(const QString &, const QString &) override
    {
        KeyColumnInfo key;
        key.column = QStringLiteral("id");
        key.ordinal = 1;
        return {key};
    }
    QList<ForeignKeyInfo> foreignKeys(const QString &, const QString &) override { return {}; }
    QList<IndexInfo> indexes(const QString &, const QString &) override { return {}; }
    TableMetadata tableMetadata(const QString &, const QString &) override { return {}; }
    ExecResult execute(const QString &sql, std::atomic<qint64> *) override { return executeParams(sql, {}); }
    ExecResult executeParams(const QString &sql, const QList<QVariant> &) override
    {
        sent.append(sql);
        return answer(sql);
    }
    void cancel() override {}
    QString quoteIdentifier(const QString &name) const override { return u'[' + name + u']'; }
    QString placeholder(int) const override { return QStringLiteral("?"); }
};

// Rows of the people table as the scripted server returns them.
ExecResult peopleRows(const QList<QPair<qlonglong, QString>> &rows, qint64 affected = -1)
{
    QList<FieldInfo> fields(2);
    fields[0].name = QStringLiteral("id");
    fields[0].type = AdoType::Integer;
    fields[1].name = QStringLiteral("name");
    fields[1].type = AdoType::VarWChar;
    for (int i = 0; i < 2; ++i) {
        fields[i].baseSchema = QStringLiteral("dbo");
        fields[i].baseTable = QStringLiteral("people");
        fields[i].baseColumn = fields[i].name;
    }
    auto store = std::make_unique<RowStore>(2);
    for (const auto &[id, name] : rows) {
        store->beginRow();
        store->addInt(id);
        const QByteArray utf8 = name.toUtf8();
        store->addText(utf8.constData(), utf8.size());
        store->endRow();
    }
    ExecResult r;
    r.recordset = std::make_unique<Recordset>(fields, std::move(store));
    r.recordsAffected = affected < 0 ? r.recordset->rowCount() : affected;
    return r;
}

ExecResult identityRow(qlonglong id)
{
    QList<FieldInfo> fields(1);
    fields[0].name = QStringLiteral("identity");
    fields[0].type = AdoType::Numeric;
    auto store = std::make_unique<RowStore>(1);
    store->beginRow();
    store->addInt(id);
    store->endRow();
    ExecResult r;
    r.recordset = std::make_unique<Recordset>(fields, std::move(store));
    r.recordsAffected = 1;
    return r;
}

ExecResult noCount()
{
    return ExecResult(); // no rows, and a count of -1: SET NOCOUNT ON
}

} // namespace

void TestRowEdit::identityAndUnknownCountsOnSqlServer_data()
{
    QTest::addColumn<qint64>("rowsAfterUpdate"); // what a COUNT(*) finds with the new values
    QTest::newRow("unknown count confirmed by reading the row") << qint64(1);
    QTest::newRow("unknown count, row not found: rolled back") << qint64(0);
}

void TestRowEdit::identityAndUnknownCountsOnSqlServer()
{
    QFETCH(qint64, rowsAfterUpdate);
    auto server = std::make_unique<ScriptedServer>();
    ScriptedServer *db = server.get();
    db->answer = [rowsAfterUpdate](const QString &sql) {
        if (sql == QLatin1String("SELECT id, name FROM people"))
            return peopleRows({{1, QStringLiteral("Ann")}});
        if (sql.startsWith(QLatin1String("INSERT")))
            return identityRow(42);
        if (sql.startsWith(QLatin1String("SELECT COUNT(*)"))) {
            ExecResult r = identityRow(rowsAfterUpdate);
            return r;
        }
        if (sql.startsWith(QLatin1String("SELECT [id], [name]")))
            return peopleRows({{42, QStringLiteral("Dee")}});
        return noCount();
    };
    Connection connection;
    connection.openWith(std::move(server));
    Query query(&connection);
    RowEditor editor(&query);
    editor.setErrorHandler([this](const QString &text) { m_errors.append(text); });
    query.setSql(QStringLiteral("SELECT id, name FROM people"));
    QVERIFY(query.run());
    QVERIFY2(editor.isEditable(), qPrintable(editor.readOnlyReason()));

    // The identity comes from the insert's own batch; an insert without a count is no failure.
    QVERIFY(editor.insert());
    QVERIFY(editor.setValue(1, QStringLiteral("Dee")));
    QVERIFY2(editor.post(), qPrintable(m_errors.join(u'\n')));
    const QString insert = db->sent.filter(QStringLiteral("INSERT")).value(0);
    QCOMPARE(insert,
             QStringLiteral("INSERT INTO [dbo].[people] ([name]) VALUES (?); SELECT SCOPE_IDENTITY()"));
    QVERIFY(db->sent.filter(QStringLiteral("@@IDENTITY")).isEmpty());
    QCOMPARE(query.recordset()->value(1, 0).toLongLong(), 42);
    QCOMPARE(query.recordset()->rowCount(), 2);

    // An update the server does not count is confirmed by reading the row with its new values.
    db->sent.clear();
    QVERIFY(editor.setValue(1, QStringLiteral("Deb")));
    QCOMPARE(editor.post(), rowsAfterUpdate == 1);
    QVERIFY(db->sent.contains(
        QStringLiteral("UPDATE [dbo].[people] SET [name] = ? WHERE [id] = ? AND [name] = ?")));
    QCOMPARE(db->sent.first(), QStringLiteral("BEGIN"));
    QCOMPARE(db->sent.last(), rowsAfterUpdate == 1 ? QStringLiteral("COMMIT") : QStringLiteral("ROLLBACK"));
    QCOMPARE(m_errors.size(), rowsAfterUpdate == 1 ? 0 : 1);
}

QTEST_GUILESS_MAIN(TestRowEdit)
#include "tst_rowedit.moc"

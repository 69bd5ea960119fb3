#include "ScriptedPrompt.h"

#include "connection/dataaccess/DataAccess.h"
#include "connection/dataaccess/RowStore.h"
#include "shell/UTools.h"
#include "sql/AdoQuery.h"
#include "sql/RowEditor.h"

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
};

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
    void deleteAsksFirst_data();
    void deleteAsksFirst();
    void rowChangedBySomeoneElseIsAnError_data();
    void rowChangedBySomeoneElseIsAnError();
    void readOnlyResultsRefuseWithTheirReason_data();
    void readOnlyResultsRefuseWithTheirReason();
    void tableWithoutKeyIsMatchedOnAllValues();
    void refreshKeepsTheCurrentRowIndex();

private:
    void open(const QString &sql);
    // A second session on the same file: "someone else".
    void other(const QString &sql);

    QTemporaryDir m_dir;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<Connection> m_conn;
    std::unique_ptr<AdoQuery> m_query;
    std::unique_ptr<RowEditor> m_editor;
    QStringList m_errors;
};

void TestRowEdit::init()
{
    m_prompt = std::make_unique<ScriptedPrompt>();
    const QString path = m_dir.filePath(QStringLiteral("edit.db"));
    QFile::remove(path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    m_conn = std::make_unique<Connection>();
    m_conn->setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
    m_conn->open();
    for (const QString &sql : fixture)
        m_conn->execute(sql);
    m_query = std::make_unique<AdoQuery>(m_conn.get());
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
    CurrentLanguage = QStringLiteral("en-US");
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

void TestRowEdit::deleteAsksFirst_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("question");
    QTest::addColumn<int>("remaining");
    QTest::newRow("yes") << "en-US" << int(mrYes) << "Delete record?" << 2;
    QTest::newRow("no") << "en-US" << int(mrNo) << "Delete record?" << 3;
    QTest::newRow("portuguese yes") << "pt-BR" << int(mrYes) << "Excluir registro?" << 2;
}

void TestRowEdit::deleteAsksFirst()
{
    QFETCH(QString, language);
    QFETCH(int, answer);
    QFETCH(QString, question);
    QFETCH(int, remaining);
    CurrentLanguage = language;
    open(QStringLiteral("SELECT * FROM people ORDER BY id"));
    QVERIFY(m_editor->setCurrentRow(1));
    m_prompt->dialogAnswers.enqueue(answer);
    QCOMPARE(m_editor->remove(), answer == mrYes);
    QCOMPARE(m_prompt->dialogs.size(), 1);
    QCOMPARE(m_prompt->dialogs.first().text, question);
    QCOMPARE(scalar(*m_conn, QStringLiteral("SELECT count(*) FROM people")).toInt(), remaining);
    QCOMPARE(m_editor->rowCount(), remaining);
    QCOMPARE(m_editor->currentRow(), 1);
    QCOMPARE(m_query->recordset()->value(1, 1).toString(),
             answer == mrYes ? QStringLiteral("Cy") : QStringLiteral("Bob"));
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
        m_prompt->dialogAnswers.enqueue(mrYes);
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

void TestRowEdit::tableWithoutKeyIsMatchedOnAllValues()
{
    open(QStringLiteral("SELECT a, b FROM loose ORDER BY a"));
    QVERIFY(m_editor->isEditable());
    QVERIFY(m_editor->setCurrentRow(2));
    QVERIFY(m_editor->setValue(1, QStringLiteral("z")));
    QVERIFY(m_editor->post());
    QCOMPARE(
        scalar(*m_conn, QStringLiteral("SELECT group_concat(b) FROM (SELECT b FROM loose ORDER BY rowid)"))
            .toString(),
        QStringLiteral("x,x,z"));

    // Two equal rows cannot be told apart: writing one would write both.
    QVERIFY(m_editor->setCurrentRow(0));
    QVERIFY(m_editor->setValue(1, QStringLiteral("w")));
    QVERIFY(!m_editor->post());
    QCOMPARE(m_errors.size(), 1);
    QVERIFY2(m_errors.first().contains(QLatin1String("cannot be told apart")), qPrintable(m_errors.first()));
    m_editor->cancel();
    m_prompt->dialogAnswers.enqueue(mrYes);
    QVERIFY(!m_editor->remove());
    QCOMPARE(scalar(*m_conn, QStringLiteral("SELECT count(*) FROM loose WHERE b = 'x'")).toInt(), 2);
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

QTEST_GUILESS_MAIN(TestRowEdit)
#include "tst_rowedit.moc"

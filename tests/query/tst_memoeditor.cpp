#include "ScriptedPrompt.h"

#include "WindowDriver.h"
#include "query/MemoEditor.h"
#include "query/Query.h"
#include "query/ResultGrid.h"
#include "query/ResultModel.h"
#include "query/RowEditor.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>

class TestMemoEditor : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void formIsAThirdOfTheScreenAtLeast_data();
    void formIsAThirdOfTheScreenAtLeast();
    void onlyMemoCellsOpenTheEditor_data();
    void onlyMemoCellsOpenTheEditor();
    void typingEditsTheRecordAndClosingDoesNotPost();
    void detachDropsTheBinding();
    void writesBackOnlyWhatTheUserChanged_data();
    void writesBackOnlyWhatTheUserChanged();

private:
    void doubleClick(int row, int column);

    QTemporaryDir m_dir;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<MainWindow> m_view;
    std::unique_ptr<MemoEditor> m_memo;
};

void TestMemoEditor::init()
{
    m_prompt = std::make_unique<ScriptedPrompt>();
    const QString path = m_dir.filePath(QStringLiteral("memo.db"));
    QFile::remove(path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    {
        Connection setup;
        setup.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
        setup.open();
        setup.execute(
            QStringLiteral("CREATE TABLE notes (id INTEGER PRIMARY KEY, title VARCHAR(20), body TEXT, "
                           "size INTEGER, pic BLOB)"));
        setup.execute(QStringLiteral(
            "INSERT INTO notes VALUES (1, 'one', 'first' || char(10) || 'body', 5, x'00'),"
            " (2, 'two', 'second', 6, NULL), (3, 'two' || char(10) || 'lines', NULL, 7, NULL)"));
    }
    m_view = std::make_unique<MainWindow>();
    m_memo = std::make_unique<MemoEditor>();
    m_view->setMemoEditor(m_memo.get());
    m_view->resize(1000, 700);
    m_view->session().connection().setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
    m_view->session().connection().open();
    m_view->session().query().setSql(QStringLiteral("SELECT * FROM notes ORDER BY id"));
    QVERIFY(m_view->session().query().run());
    // A loaded machine may show the first rows before the rest have come: wait for them all.
    m_view->session().query().finishFetch(false);
}

void TestMemoEditor::cleanup()
{
    m_view.reset();
    m_memo.reset();
    m_prompt.reset();
}

void TestMemoEditor::doubleClick(int row, int column)
{
    ui(*m_view).resultGrid()->setCurrentIndex(ui(*m_view).resultModel()->index(row, column));
    ui(*m_view).press(Command::EditMemo);
}

void TestMemoEditor::formIsAThirdOfTheScreenAtLeast_data()
{
    QTest::addColumn<bool>("screenRead");
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("1920 x 1050 maximised") << true << QSize(1920, 1050) << QSize(640, 347);
    QTest::newRow("1280 x 770 maximised") << true << QSize(1280, 770) << QSize(426, 254);
    QTest::newRow("screen not read") << false << QSize() << QSize(266, 190);
}

void TestMemoEditor::formIsAThirdOfTheScreenAtLeast()
{
    QFETCH(bool, screenRead);
    QFETCH(QSize, screen);
    QFETCH(QSize, expected);
    QCOMPARE(MemoEditor::formSize(screenRead ? std::optional<QSize>(screen) : std::nullopt), expected);
    // The form made at start-up cannot be made smaller than what it started with.
    QCOMPARE(m_memo->minimumSize(), m_memo->size());
    QVERIFY(!(m_memo->windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(m_memo->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(m_memo->windowFlags() & Qt::WindowCloseButtonHint);
}

void TestMemoEditor::onlyMemoCellsOpenTheEditor_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("caption"); // empty: nothing opens
    QTest::addColumn<QString>("text");
    QTest::newRow("text") << 0 << 1 << ""
                          << "";
    QTest::newRow("memo") << 0 << 2 << "Memo Editor (body)"
                          << "first\nbody";
    QTest::newRow("number") << 0 << 3 << ""
                            << "";
    QTest::newRow("blob") << 0 << 4 << ""
                          << "";
    // A one-line cell editor would flatten it: the whole text is edited here instead.
    QTest::newRow("text of several lines") << 2 << 1 << "Memo Editor (title)"
                                           << "two\nlines";
}

void TestMemoEditor::onlyMemoCellsOpenTheEditor()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, caption);
    QFETCH(QString, text);
    doubleClick(row, column);
    QCOMPARE(m_prompt->modalShown.size(), caption.isEmpty() ? 0 : 1);
    if (caption.isEmpty())
        return;
    QCOMPARE(m_prompt->modalShown.first(), m_memo.get());
    QCOMPARE(m_memo->windowTitle(), caption);
    QCOMPARE(m_memo->memoText->toPlainText(), text);
    // 40 % of the main window, but never below the form's minimum.
    QCOMPARE(m_memo->width(), qMax(m_view->width() * 40 / 100, m_memo->minimumWidth()));
    QCOMPARE(m_memo->height(), qMax(m_view->height() * 40 / 100, m_memo->minimumHeight()));
}

void TestMemoEditor::typingEditsTheRecordAndClosingDoesNotPost()
{
    doubleClick(1, 2);
    m_memo->memoText->setPlainText(QStringLiteral("second\nedited"));
    RowEditor *editor = ui(*m_view).resultModel()->editor();
    QCOMPARE(editor->state(), RowEditor::State::Edit);
    QCOMPARE(ui(*m_view).resultModel()->index(1, 2).data(Qt::EditRole).toString(),
             QStringLiteral("second\nedited"));
    m_memo->close();
    QCOMPARE(editor->state(), RowEditor::State::Edit);
    QVERIFY(editor->post());
    Connection check;
    check.setConnectionString(m_view->session().connection().connectionString());
    check.open();
    ExecResult r = check.execute(QStringLiteral("SELECT body FROM notes WHERE id = 2"));
    QCOMPARE(r.recordset->value(0, 0).toString(), QStringLiteral("second\nedited"));
}

void TestMemoEditor::detachDropsTheBinding()
{
    doubleClick(0, 2);
    m_memo->detach();
    QCOMPARE(m_memo->boundModel(), nullptr);
    m_memo->memoText->setPlainText(QStringLiteral("typed after detach"));
    QCOMPARE(ui(*m_view).resultModel()->editor()->state(), RowEditor::State::Browse);
}

void TestMemoEditor::writesBackOnlyWhatTheUserChanged_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("position"); // where the cursor goes, counting a line break as one
    QTest::addColumn<QString>("edit"); // "type:<text>", "enter", "delete:<count>", "type and undo"
    QTest::addColumn<QString>("written");
    QTest::newRow("typing keeps CRLF elsewhere") << "one\r\ntwo\r\nthree" << 4 << "type:X"
                                                 << "one\r\nXtwo\r\nthree";
    QTest::newRow("a lone CR survives") << "a\rb\nc" << 5 << "type:Z"
                                        << "a\rb\ncZ";
    QTest::newRow("no-break space and line separator survive")
        << QStringLiteral(u"x\u00a0y\u2028z") << 0 << "type:!" << QStringLiteral(u"!x\u00a0y\u2028z");
    QTest::newRow("Enter takes the text's own line end") << "p\r\nq" << 3 << "enter"
                                                         << "p\r\nq\r\n";
    QTest::newRow("deleting a CRLF deletes both characters") << "a\r\nb" << 1 << "delete:1"
                                                             << "ab";
    QTest::newRow("typing and undoing leaves NULL as NULL") << QString() << 0 << "type and undo" << QString();
}

void TestMemoEditor::writesBackOnlyWhatTheUserChanged()
{
    QFETCH(QString, stored);
    QFETCH(int, position);
    QFETCH(QString, edit);
    QFETCH(QString, written);
    Connection &connection = m_view->session().connection();
    connection.executeParams(QStringLiteral("UPDATE notes SET body = ? WHERE id = 2"),
                             {stored.isNull() ? QVariant() : QVariant(stored)});
    QVERIFY(m_view->session().query().run());
    m_view->session().query().finishFetch(false);
    doubleClick(1, 2);
    QCOMPARE(m_memo->boundField(), 2);

    QTextCursor cursor(m_memo->memoText->document());
    cursor.setPosition(position);
    if (edit.startsWith(QLatin1String("type:"))) {
        cursor.insertText(edit.mid(5));
    } else if (edit == QLatin1String("enter")) {
        cursor.insertBlock();
    } else if (edit.startsWith(QLatin1String("delete:"))) {
        for (int i = edit.mid(7).toInt(); i > 0; --i)
            cursor.deleteChar();
    } else {
        cursor.insertText(QStringLiteral("x"));
        cursor.deletePreviousChar();
    }
    QVERIFY(ui(*m_view).resultModel()->editor()->post());

    Connection check;
    check.setConnectionString(connection.connectionString());
    check.open();
    ExecResult r = check.execute(QStringLiteral("SELECT body FROM notes WHERE id = 2"));
    const QVariant body = r.recordset->value(0, 0);
    QCOMPARE(body.isNull(), written.isNull());
    QCOMPARE(body.toString(), written);
}

QTEST_MAIN(TestMemoEditor)
#include "tst_memoeditor.moc"

#include "ScriptedPrompt.h"

#include "shell/UMainView.h"
#include "sql/AdoQuery.h"
#include "sql/ResultGrid.h"
#include "sql/ResultModel.h"
#include "sql/RowEditor.h"
#include "sql/UMemoEditor.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

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

private:
    void doubleClick(int row, int column);

    QTemporaryDir m_dir;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<TMainView> m_view;
    std::unique_ptr<TMemoEditor> m_memo;
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
        setup.execute(
            QStringLiteral("INSERT INTO notes VALUES (1, 'one', 'first' || char(10) || 'body', 5, x'00'),"
                           " (2, 'two', 'second', 6, NULL)"));
    }
    m_view = std::make_unique<TMainView>();
    m_memo = std::make_unique<TMemoEditor>();
    m_view->setMemoEditor(m_memo.get());
    m_view->resize(1000, 700);
    m_view->ADOConnection1->setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
    m_view->ADOConnection1->open();
    m_view->ADOQuery1->setSql(QStringLiteral("SELECT * FROM notes ORDER BY id"));
    QVERIFY(m_view->ADOQuery1->run());
}

void TestMemoEditor::cleanup()
{
    m_view.reset();
    m_memo.reset();
    m_prompt.reset();
}

void TestMemoEditor::doubleClick(int row, int column)
{
    m_view->DBGrid1->setCurrentIndex(m_view->DataSource1->index(row, column));
    m_view->DBGrid1DblClick();
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
    QCOMPARE(TMemoEditor::formSize(screenRead ? std::optional<QSize>(screen) : std::nullopt), expected);
    // The form made at start-up cannot be made smaller than what it started with.
    QCOMPARE(m_memo->minimumSize(), m_memo->size());
    QVERIFY(!(m_memo->windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(m_memo->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(m_memo->windowFlags() & Qt::WindowCloseButtonHint);
}

void TestMemoEditor::onlyMemoCellsOpenTheEditor_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("opens");
    QTest::newRow("text") << 1 << false;
    QTest::newRow("memo") << 2 << true;
    QTest::newRow("number") << 3 << false;
    QTest::newRow("blob") << 4 << false;
}

void TestMemoEditor::onlyMemoCellsOpenTheEditor()
{
    QFETCH(int, column);
    QFETCH(bool, opens);
    doubleClick(0, column);
    QCOMPARE(m_prompt->modalShown.size(), opens ? 1 : 0);
    if (!opens)
        return;
    QCOMPARE(m_prompt->modalShown.first(), m_memo.get());
    QCOMPARE(m_memo->windowTitle(), QStringLiteral("Memo Editor (body)"));
    QCOMPARE(m_memo->DBMemo1->toPlainText(), QStringLiteral("first\nbody"));
    // 40 % of the main window, but never below the form's minimum.
    QCOMPARE(m_memo->width(), qMax(m_view->width() * 40 / 100, m_memo->minimumWidth()));
    QCOMPARE(m_memo->height(), qMax(m_view->height() * 40 / 100, m_memo->minimumHeight()));
}

void TestMemoEditor::typingEditsTheRecordAndClosingDoesNotPost()
{
    doubleClick(1, 2);
    m_memo->DBMemo1->setPlainText(QStringLiteral("second\nedited"));
    RowEditor *editor = m_view->DataSource1->editor();
    QCOMPARE(editor->state(), RowEditor::State::Edit);
    QCOMPARE(m_view->DataSource1->index(1, 2).data(Qt::EditRole).toString(),
             QStringLiteral("second\nedited"));
    m_memo->close();
    QCOMPARE(editor->state(), RowEditor::State::Edit);
    QVERIFY(editor->post());
    Connection check;
    check.setConnectionString(m_view->ADOConnection1->connectionString());
    check.open();
    ExecResult r = check.execute(QStringLiteral("SELECT body FROM notes WHERE id = 2"));
    QCOMPARE(r.recordset->value(0, 0).toString(), QStringLiteral("second\nedited"));
}

void TestMemoEditor::detachDropsTheBinding()
{
    doubleClick(0, 2);
    m_memo->detach();
    QCOMPARE(m_memo->boundModel(), nullptr);
    m_memo->DBMemo1->setPlainText(QStringLiteral("typed after detach"));
    QCOMPARE(m_view->DataSource1->editor()->state(), RowEditor::State::Browse);
}

QTEST_MAIN(TestMemoEditor)
#include "tst_memoeditor.moc"

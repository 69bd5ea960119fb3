// The result grid's commands in the main window: in Tools > Result grid as in the grid's context
// menu, run through the command table one at a time whatever starts them (an item, a key, a click
// on a title, Return in the filter row), the status bar counting the rows that match, the log
// taking the grid's notes, and both languages.
#include "ScriptedPrompt.h"
#include "WindowDriver.h"
#include "editor/EditorFindBar.h"

#include "editor/SqlEditor.h"
#include "query/GridFindBar.h"
#include "query/ResultHeader.h"
#include "query/ResultShaper.h"
#include "shell/Language.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

using Action = ResultGrid::Action;

class TestGridCommands : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void toolsMenuHoldsTheGridCommands();
    void gridActionsRunAsCommandsOneAtATime();
    void statusBarCountsTheRowsThatMatch();
    void gridNotesGoToTheLog();
    void ctrlFFindsWhereTheFocusIs();

private:
    void run(const QString &sql);
    QList<qint64> ids() const;

    QTemporaryDir m_dir;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<MainWindow> m_view;
};

void TestGridCommands::init()
{
    setUiLanguage(QStringLiteral("en-US"));
    m_prompt = std::make_unique<ScriptedPrompt>();
    m_view = std::make_unique<MainWindow>();
    const QString path = m_dir.filePath(QStringLiteral("grid.db"));
    QFile::remove(path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    Connection &connection = m_view->session().connection();
    connection.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
    connection.open();
    connection.execute(QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, pic BLOB)"));
    connection.execute(QStringLiteral("INSERT INTO t VALUES (1, 'delta', x'0001'), (2, 'alpha', NULL), (3, "
                                      "'charlie', NULL), (4, 'bravo', NULL)"));
    m_view->applyLanguage();
    m_view->updateCommands();
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    m_view->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_view.get()));
}

void TestGridCommands::cleanup()
{
    m_view.reset();
    m_prompt.reset();
    setUiLanguage(QStringLiteral("en-US"));
}

void TestGridCommands::run(const QString &sql)
{
    ui(*m_view).press(Command::ShowSql);
    ui(*m_view).editor()->setText(sql);
    ui(*m_view).press(Command::Run);
    QTRY_VERIFY(!ui(*m_view).query().isFetching());
    ui(*m_view).settle();
}

QList<qint64> TestGridCommands::ids() const
{
    QList<qint64> out;
    const ResultModel *model = ui(*m_view).resultModel();
    for (int row = 0; row < model->rowCount(); ++row)
        out.append(model->index(row, 0).data(Qt::EditRole).toLongLong());
    return out;
}

void TestGridCommands::toolsMenuHoldsTheGridCommands()
{
    ResultGrid *grid = ui(*m_view).resultGrid();
    auto *tools = qobject_cast<QMenu *>(ui(*m_view).action(Command::Run)->associatedObjects().value(0));
    QVERIFY(tools);
    QMenu *gridMenu = tools->actions().last()->menu();
    QVERIFY(gridMenu);
    QCOMPARE(tools->actions().last()->text(), QStringLiteral("Result grid"));
    // The same items as the context menu, with their keys.
    std::unique_ptr<QMenu> context(grid->makeContextMenu(nullptr));
    QStringList windowItems;
    QStringList contextItems;
    for (QAction *a : gridMenu->actions())
        windowItems.append(a->text());
    for (QAction *a : context->actions())
        contextItems.append(a->text());
    QCOMPARE(windowItems, contextItems);
    QVERIFY(gridMenu->actions().contains(grid->action(Action::Copy)));
    QCOMPARE(grid->action(Action::SetNull)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_0));
    QCOMPARE(grid->action(Action::FilterRow)->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));

    // In Portuguese too.
    ui(*m_view).press(Command::Portuguese);
    QCOMPARE(tools->actions().last()->text(), QStringLiteral("Grade de resultados"));
    QCOMPARE(grid->action(Action::Copy)->text(), QStringLiteral("Copiar"));
    QCOMPARE(grid->action(Action::Find)->text(), QStringLiteral(u"Localizar…"));
}

void TestGridCommands::gridActionsRunAsCommandsOneAtATime()
{
    run(QStringLiteral("SELECT id, name FROM t"));
    ResultGrid *grid = ui(*m_view).resultGrid();
    QList<Command> started;
    m_view->commands().setInterceptor([&started](Command command) {
        started.append(command);
        return false;
    });
    // A click on a title is asked for now and runs as a command once the click has returned.
    ResultHeader *header = grid->resultHeader();
    const QPoint title(header->sectionViewportPosition(1) + header->sectionSize(1) / 2, 4);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, title);
    QCOMPARE(ids(), (QList<qint64>{1, 2, 3, 4}));
    ui(*m_view).settle();
    QCOMPARE(ids(), (QList<qint64>{2, 4, 3, 1}));
    QCOMPARE(started, (QList<Command>{Command::GridAction}));

    // Two at once from the menu run in the order asked.
    grid->selectionModel()->select(QItemSelection(grid->model()->index(0, 1), grid->model()->index(1, 1)),
                                   QItemSelectionModel::ClearAndSelect);
    grid->action(Action::OriginalOrder)->setEnabled(true);
    grid->action(Action::Copy)->trigger();
    grid->action(Action::OriginalOrder)->trigger();
    ui(*m_view).settle();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("alpha\nbravo\n"));
    QCOMPARE(ids(), (QList<qint64>{1, 2, 3, 4}));

    // Keys on the grid: the find bar, then F3.
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_F, Qt::ControlModifier);
    ui(*m_view).settle();
    QVERIFY(grid->findBar()->isVisible());
    grid->findBar()->textBox()->setText(QStringLiteral("charlie"));
    QTest::keyClick(grid->findBar()->textBox(), Qt::Key_Return);
    ui(*m_view).settle();
    QCOMPARE(grid->currentIndex(), grid->model()->index(2, 1));
    QCOMPARE(started.count(Command::GridAction), 5);
}

void TestGridCommands::statusBarCountsTheRowsThatMatch()
{
    run(QStringLiteral("SELECT id, name FROM t"));
    QCOMPARE(ui(*m_view).statusText(), QStringLiteral(" Selected records: 4"));
    ResultGrid *grid = ui(*m_view).resultGrid();
    grid->action(Action::FilterRow)->trigger();
    ui(*m_view).settle();
    QLineEdit *box = grid->resultHeader()->filterBox(1);
    QVERIFY(box && box->isVisible());
    box->setText(QStringLiteral("LIKE %l%"));
    QTest::keyClick(box, Qt::Key_Return);
    ui(*m_view).settle();
    QCOMPARE(ids(), (QList<qint64>{1, 2, 3}));
    QCOMPARE(ui(*m_view).statusText(), QStringLiteral(" 3 of 4 rows match"));
    // By the database, the count holds once its rows are in.
    grid->resultModel()->shaper()->setLargeRows(0);
    box->setText(QStringLiteral("LIKE %o"));
    QTest::keyClick(box, Qt::Key_Return);
    ui(*m_view).settle();
    QTRY_VERIFY(!ui(*m_view).query().isFetching());
    QCOMPARE(grid->resultModel()->shaper()->site(), ResultShaper::Site::Database);
    QCOMPARE(ids(), (QList<qint64>{4}));
    QCOMPARE(ui(*m_view).statusText(), QStringLiteral(" 1 of 4 rows match"));
    // Without filters the status counts the rows again.
    grid->action(Action::FilterRow)->trigger();
    ui(*m_view).settle();
    QTRY_VERIFY(!ui(*m_view).query().isFetching());
    QCOMPARE(ui(*m_view).statusText(), QStringLiteral(" Selected records: 4"));
}

void TestGridCommands::gridNotesGoToTheLog()
{
    run(QStringLiteral("SELECT id, pic FROM t"));
    ResultGrid *grid = ui(*m_view).resultGrid();
    grid->setCurrentIndex(grid->model()->index(0, 1));
    const QString saved = m_dir.filePath(QStringLiteral("pic.bin"));
    m_prompt->fileAnswers.enqueue(saved);
    grid->action(Action::SaveValue)->trigger();
    ui(*m_view).settle();
    QVERIFY(ui(*m_view).logText().endsWith(uiTexts().grid.valueSaved.arg(saved).arg(2)));
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("\x00\x01", 2));
}

void TestGridCommands::ctrlFFindsWhereTheFocusIs()
{
    run(QStringLiteral("SELECT id, name FROM t ORDER BY id"));
    ResultGrid *grid = ui(*m_view).resultGrid();
    SqlEditor *editor = ui(*m_view).editor();
    // In the grid, the grid's find bar; in the SQL editor, the editor's: the window's Find item
    // has the key only there.
    grid->setFocus();
    QTRY_VERIFY(grid->hasFocus());
    QTest::keyClick(grid, Qt::Key_F, Qt::ControlModifier);
    ui(*m_view).settle();
    QTRY_VERIFY(grid->findBar()->isVisible());
    QVERIFY(!editor->findBar()->isVisible());

    editor->setFocus();
    QTRY_VERIFY(editor->hasFocus());
    QTest::keyClick(editor, Qt::Key_F, Qt::ControlModifier);
    ui(*m_view).settle();
    QTRY_VERIFY(editor->findBar()->isVisible());
}

QTEST_MAIN(TestGridCommands)
#include "tst_gridcommands.moc"

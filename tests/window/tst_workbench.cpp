#include "ScriptedPrompt.h"
#include "WindowDriver.h"
#include "connection/ProfileFile.h"
#include "editor/HistoryModel.h"
#include "editor/HistoryWindow.h"
#include "editor/QueryHistory.h"
#include "query/RowEditor.h"
#include "shell/Language.h"

#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The SQL page as a workbench, driven through the window: the statement under the cursor, the
// script, the history, completion and the editor's text kept per profile.
class TestWorkbench : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<MainWindow> m_view;

    QString path(const QString &name) const { return m_dir->filePath(name); }

    // A SQLite database with t(id, v) holding (1, a), (2, b), (3, c), and a profile naming it.
    QString makeProfile(const QString &name)
    {
        const QString database = path(name + QStringLiteral(".db"));
        QFile file(database);
        [&] { QVERIFY(file.open(QIODevice::WriteOnly)); }();
        file.close();
        Connection setup;
        setup.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + database);
        setup.open();
        setup.execute(QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, v TEXT)"));
        setup.execute(QStringLiteral("INSERT INTO t VALUES (1, 'a'), (2, 'b'), (3, 'c')"));
        const QString profile = path(name + QStringLiteral(".ovs"));
        ProfileFile::writeString(profile, QStringLiteral("DB"), QStringLiteral("ConnString"),
                                 QStringLiteral("Provider=SQLite;Data Source=") + database);
        return profile;
    }

    void load(const QString &profile)
    {
        m_prompt->fileAnswers.enqueue(profile);
        ui(*m_view).press(Command::Load);
        QVERIFY(ui(*m_view).connection().isOpen());
    }

    // A value read beside the window, through a connection of its own.
    QVariant valueOf(const QString &profileName, const QString &sql)
    {
        Connection check;
        check.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") +
                                  path(profileName + QStringLiteral(".db")));
        check.open();
        const ExecResult result = check.execute(sql);
        return result.recordset && result.recordset->rowCount() > 0 ? result.recordset->value(0, 0)
                                                                    : QVariant();
    }

    void newWindow()
    {
        m_view = std::make_unique<MainWindow>();
        m_view->applyLanguage();
        m_view->updateCommands();
    }

    void showActive()
    {
        m_view->show();
        m_view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_view.get()));
        ui(*m_view).pages()->setCurrentWidget(ui(*m_view).page(Page::Sql));
        ui(*m_view).editor()->setFocus();
    }

    // Puts a script into the editor: "|" marks the cursor, "[" and "]" a selection.
    void type(const QString &marked)
    {
        QString script = marked;
        const qsizetype open = script.indexOf(u'[');
        if (open >= 0)
            script.remove(open, 1);
        const qsizetype close = script.indexOf(u']');
        if (close >= 0)
            script.remove(close, 1);
        const qsizetype cursor = script.indexOf(u'|');
        if (cursor >= 0)
            script.remove(cursor, 1);
        SqlEditor *editor = ui(*m_view).editor();
        editor->setText(script);
        if (open >= 0)
            editor->SendScintilla(QsciScintillaBase::SCI_SETSEL, static_cast<unsigned long>(open),
                                  long(close));
        else
            editor->SendScintilla(QsciScintillaBase::SCI_GOTOPOS,
                                  static_cast<unsigned long>(cursor >= 0 ? cursor : script.size()));
    }

    void key(Qt::Key k, Qt::KeyboardModifiers modifiers)
    {
        QTest::keyClick(ui(*m_view).editor(), k, modifiers);
        ui(*m_view).settle();
    }

    QueryHistory readHistory() const
    {
        QueryHistory history(QueryHistory::defaultPath());
        QString error;
        [&] { QVERIFY2(history.load(&error), qPrintable(error)); }();
        return history;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        // The history and the editor's texts of this test alone.
        qputenv("XDG_DATA_HOME", path(QStringLiteral("data")).toUtf8());
        setUiLanguage(QStringLiteral("en-US"));
        m_prompt = std::make_unique<ScriptedPrompt>();
        newWindow();
    }

    void cleanup()
    {
        m_view.reset();
        m_prompt.reset();
        m_dir.reset();
    }

    void ctrlEnterRunsOnlyTheStatementUnderTheCursor_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("ran");
        QTest::addColumn<int>("changed"); // rows of t whose v became 'x'
        QTest::newRow("the middle statement")
            << "UPDATE t SET v = 'x';\nSELECT id FROM t WHERE i|d > 1;\nDELETE FROM t;"
            << "SELECT id FROM t WHERE id > 1" << 0;
        QTest::newRow("a blank line inside the statement")
            << "SELECT 1;\nUP|DATE t SET v = 'x'\n\nWHERE id = 2;\nDELETE FROM t;"
            << "UPDATE t SET v = 'x'\n\nWHERE id = 2" << 1;
        QTest::newRow("right after its terminator") << "UPDATE t SET v = 'x' WHERE id < 3;| \nDELETE FROM t;"
                                                    << "UPDATE t SET v = 'x' WHERE id < 3" << 2;
        QTest::newRow("the selection") << "DELETE FROM t; [UPDATE t SET v = 'x'] WHERE id = 1;"
                                       << "UPDATE t SET v = 'x'" << 3;
    }

    void ctrlEnterRunsOnlyTheStatementUnderTheCursor()
    {
        QFETCH(QString, script);
        QFETCH(QString, ran);
        QFETCH(int, changed);
        load(makeProfile(QStringLiteral("shop")));
        showActive();
        type(script);
        key(Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(ui(*m_view).query().sql(), ran);
        QCOMPARE(valueOf(QStringLiteral("shop"), QStringLiteral("SELECT count(*) FROM t")).toInt(), 3);
        QCOMPARE(
            valueOf(QStringLiteral("shop"), QStringLiteral("SELECT count(*) FROM t WHERE v = 'x'")).toInt(),
            changed);
        // The same entry through the menu item: the statement runs again.
        QCOMPARE(readHistory().entries().size(), 1);
        ui(*m_view).press(Command::RunStatement);
        QCOMPARE(readHistory().entries().size(), 2);
        QCOMPARE(readHistory().entries().last().sql, ran);
    }

    void escapeInTheEditorStopsRowsStillArriving()
    {
        load(makeProfile(QStringLiteral("shop")));
        showActive();
        const QString endless =
            QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT x FROM c");
        type(endless);
        key(Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(ui(*m_view).query().isFetching());
        QTest::keyClick(ui(*m_view).editor(), Qt::Key_Escape);
        QTRY_VERIFY(!ui(*m_view).query().isFetching());
        QVERIFY2(ui(*m_view).statusText().endsWith(QStringLiteral("(incomplete: cancelled)")),
                 qPrintable(ui(*m_view).statusText()));
        // The key stopped the rows and did nothing to the text.
        QCOMPARE(ui(*m_view).editor()->text(), endless);
    }

    void scriptLogsEachOutcomeByLineAndShowsTheLastRows_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("F5") << int(Qt::Key_F5) << int(Qt::NoModifier);
        QTest::newRow("Ctrl+Shift+Enter")
            << int(Qt::Key_Return) << int(Qt::ControlModifier | Qt::ShiftModifier);
    }

    void scriptLogsEachOutcomeByLineAndShowsTheLastRows()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        load(makeProfile(QStringLiteral("shop")));
        showActive();
        type(QStringLiteral(
            "CREATE TABLE u (n INTEGER);\nINSERT INTO u VALUES (1), (2);\n\n-- the rows\n"
            "SELECT n FROM u ORDER BY n;\nUPDATE u SET n = n + 10;\nSELECT 'none' WHERE 0;\n"));
        this->key(Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        const QString log = ui(*m_view).logText();
        QVERIFY2(log.contains(QStringLiteral("|Line 1: ")), qPrintable(log));
        QVERIFY2(log.contains(QStringLiteral("|Line 2: 2 records affected in ")), qPrintable(log));
        QVERIFY2(log.contains(QStringLiteral("|Line 5: 2 rows in ")), qPrintable(log));
        QVERIFY2(log.contains(QStringLiteral("|Line 6: 2 records affected in ")), qPrintable(log));
        QVERIFY2(log.contains(QStringLiteral("|Line 7: 0 rows in ")), qPrintable(log));
        QVERIFY2(log.contains(QStringLiteral("|Script: 5 of 5 statements run in ")), qPrintable(log));
        // The last statement that returned rows is shown: its rows as they were read, and Refresh
        // or an export runs that statement, never the script.
        QCOMPARE(ui(*m_view).query().sql(), QStringLiteral("SELECT 'none' WHERE 0"));
        QCOMPARE(ui(*m_view).resultModel()->rowCount(), 0);
        QCOMPARE(ui(*m_view).statusText(), QStringLiteral(" Selected records: 0"));
        QCOMPARE(ui(*m_view).currentPage(), Page::Sql);

        type(QStringLiteral("SELECT id, v FROM t ORDER BY id;\nUPDATE t SET v = 'z';"));
        this->key(Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(ui(*m_view).query().sql(), QStringLiteral("SELECT id, v FROM t ORDER BY id"));
        QCOMPARE(ui(*m_view).resultModel()->rowCount(), 3);
        QCOMPARE(ui(*m_view).resultModel()->index(2, 1).data().toString(), QStringLiteral("c"));
        QCOMPARE(ui(*m_view).statusText(), QStringLiteral(" Selected records: 3"));
        // The rows shown are the query's own: they can be edited as a run's are.
        QVERIFY(ui(*m_view).resultModel()->editor()->isEditable());
        QCOMPARE(
            valueOf(QStringLiteral("shop"), QStringLiteral("SELECT count(*) FROM t WHERE v = 'z'")).toInt(),
            3);
    }

    void scriptStopsAtTheFirstErrorUnlessToldToContinue_data()
    {
        QTest::addColumn<bool>("goOn");
        QTest::newRow("stop") << false;
        QTest::newRow("continue") << true;
    }

    void scriptStopsAtTheFirstErrorUnlessToldToContinue()
    {
        QFETCH(bool, goOn);
        load(makeProfile(QStringLiteral("shop")));
        if (goOn)
            ui(*m_view).press(Command::ContinueScriptOnError);
        QCOMPARE(ui(*m_view).action(Command::ContinueScriptOnError)->isChecked(), goOn);
        type(QStringLiteral("INSERT INTO t VALUES (10, 'p');\nINSERT INTO nowhere\n  VALUES (1);\n"
                            "INSERT INTO t VALUES (11, 'q');"));
        ui(*m_view).press(Command::RunScript);
        QCOMPARE(
            valueOf(QStringLiteral("shop"), QStringLiteral("SELECT count(*) FROM t WHERE id >= 10")).toInt(),
            goOn ? 2 : 1);
        const QString log = ui(*m_view).logText();
        QVERIFY2(log.contains(QStringLiteral("|Line 2: error in INSERT INTO nowhere")), qPrintable(log));
        QCOMPARE(log.contains(QStringLiteral("The script stopped at its first error.")), !goOn);
        QVERIFY2(log.contains(goOn ? QStringLiteral("|Script: 3 of 3 statements run")
                                   : QStringLiteral("|Script: 2 of 3 statements run")),
                 qPrintable(log));
        // The failure is reported as a run's is, and its statement is marked in the editor.
        QCOMPARE(ui(*m_view).currentPage(), Page::Messages);
        QVERIFY(m_prompt->beeps > 0);
        QVERIFY(ui(*m_view).editor()->lineMarked(2));
        QVERIFY(!ui(*m_view).editor()->lineMarked(1));
        QVERIFY(readHistory().entries().last().failed);
    }

    void historyRecordsWhatRanAndPutsItBack()
    {
        const QString profile = makeProfile(QStringLiteral("shop"));
        load(profile);
        showActive();
        // Rows that stream in are recorded once the last has come.
        const QString many = QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c "
                                            "WHERE x < 100000) SELECT x FROM c");
        type(many);
        key(Qt::Key_Return, Qt::ControlModifier);
        ui(*m_view).query().finishFetch(false);
        type(QStringLiteral("SELECT id FROM t;\nSELECT nothing FROM t;"));
        key(Qt::Key_F5, Qt::NoModifier);

        const QList<HistoryEntry> entries = readHistory().entries();
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[0].sql, many);
        QCOMPARE(entries[0].rows, qint64(100000));
        QVERIFY(!entries[0].failed);
        QCOMPARE(entries[0].source, QStringLiteral("shop.ovs"));
        QCOMPARE(entries[1].sql, QStringLiteral("SELECT id FROM t;\nSELECT nothing FROM t;"));
        QVERIFY(entries[1].failed);
        QVERIFY(entries[1].time >= entries[0].time);

        // Ctrl+Up steps back through what ran, newest first; Ctrl+Down comes back to the draft.
        type(QStringLiteral("draft"));
        ui(*m_view).pages()->setCurrentWidget(ui(*m_view).page(Page::Sql));
        key(Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(ui(*m_view).editor()->text(), entries[1].sql);
        key(Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(ui(*m_view).editor()->text(), many);
        key(Qt::Key_Down, Qt::ControlModifier);
        key(Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(ui(*m_view).editor()->text(), QStringLiteral("draft"));

        // The History window: filtered, and the chosen entry back in the editor.
        ui(*m_view).press(Command::ShowHistory);
        auto *window = m_view->findChild<HistoryWindow *>(QStringLiteral("historyWindow"));
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->model()->rowCount(), 2);
        window->filterField()->setText(QStringLiteral("RECURSIVE"));
        QCOMPARE(window->model()->rowCount(), 1);
        window->table()->setCurrentIndex(window->model()->index(0, 0));
        window->useSelected();
        QCOMPARE(ui(*m_view).editor()->text(), many);
        QVERIFY(!window->isVisible());
        // Undo gives the text back that was replaced.
        ui(*m_view).editor()->undo();
        QCOMPARE(ui(*m_view).editor()->text(), QStringLiteral("draft"));
    }

    void runWithoutAProfileIsKeptUnderTheCaption()
    {
        makeProfile(QStringLiteral("loose"));
        Connection &connection = ui(*m_view).connection();
        connection.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path("loose.db"));
        connection.open();
        m_view->updateCommands();
        // Run keeps its ways and is kept in the history too.
        ui(*m_view).editor()->setText(QStringLiteral("SELECT id FROM t"));
        ui(*m_view).press(Command::Run);
        QCOMPARE(ui(*m_view).statusText(), QStringLiteral(" Selected records: 3"));
        const HistoryEntry entry = readHistory().entries().value(0);
        QCOMPARE(entry.sql, QStringLiteral("SELECT id FROM t"));
        QCOMPARE(entry.rows, qint64(3));
        QVERIFY2(entry.source.contains(path("loose.db")) &&
                     !entry.source.startsWith(QStringLiteral("Orvessa")),
                 qPrintable(entry.source));
    }

    void editorTextComesBackForEachProfile()
    {
        const QString first = makeProfile(QStringLiteral("first"));
        const QString second = makeProfile(QStringLiteral("second"));
        load(first);
        ui(*m_view).editor()->setText(QStringLiteral("SELECT 'first';\r\n-- kept as typed"));
        load(second);
        QCOMPARE(ui(*m_view).editor()->text(), QString());
        ui(*m_view).editor()->setText(QStringLiteral("SELECT 'second';"));
        m_view->show();
        ui(*m_view).press(Command::Exit);
        QVERIFY(!m_view->isVisible());

        newWindow();
        load(first);
        QCOMPARE(ui(*m_view).editor()->text(), QStringLiteral("SELECT 'first';\r\n-- kept as typed"));
        // Refresh keeps what is being typed.
        ui(*m_view).editor()->setText(QStringLiteral("SELECT 'changed';"));
        ui(*m_view).press(Command::Refresh);
        QCOMPARE(ui(*m_view).editor()->text(), QStringLiteral("SELECT 'changed';"));
        load(second);
        QCOMPARE(ui(*m_view).editor()->text(), QStringLiteral("SELECT 'second';"));
        load(first);
        QCOMPARE(ui(*m_view).editor()->text(), QStringLiteral("SELECT 'changed';"));
    }

    void completionOffersColumnsOfTheTablesTheStatementNames()
    {
        load(makeProfile(QStringLiteral("shop")));
        showActive();
        SqlEditor *editor = ui(*m_view).editor();
        // From the catalogue read for the tree.
        type(QStringLiteral("SELECT | FROM t AS alias"));
        QTest::keyClicks(editor, QStringLiteral("alias."));
        QTRY_COMPARE(editor->completionLabels(), (QStringList{"id", "v"}));
        editor->chooseCompletion(QStringLiteral("v"));
        QCOMPARE(editor->text(), QStringLiteral("SELECT alias.v FROM t AS alias"));

        // A table made after the tree was read: its columns are read through the connection,
        // and the list follows.
        type(QStringLiteral("CREATE TABLE later (alpha INTEGER, beta TEXT)"));
        key(Qt::Key_Return, Qt::ControlModifier);
        type(QStringLiteral("SELECT | FROM later l"));
        QTest::keyClicks(editor, QStringLiteral("l."));
        QTRY_COMPARE(editor->completionLabels(), (QStringList{"alpha", "beta"}));
    }
};

QTEST_MAIN(TestWorkbench)
#include "tst_workbench.moc"

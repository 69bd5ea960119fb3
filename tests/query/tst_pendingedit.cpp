#include "EditCases.h"
#include "ScriptedPrompt.h"

#include "WindowDriver.h"
#include "editor/SqlEditor.h"
#include "query/Query.h"
#include "query/ResultGrid.h"
#include "query/ResultModel.h"
#include "query/RowEditor.h"
#include "shell/Language.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

// What is typed in the grid is never lost to a command that replaces or drops the rows: the
// real main window posts it first, and stops the command when the post fails.
class TestPendingEdit : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void typedValueIsPostedBeforeTheCommand_data();
    void typedValueIsPostedBeforeTheCommand();

private:
    QString table() const;

    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<MainWindow> m_view;
};

void TestPendingEdit::init()
{
    setUiLanguage(QStringLiteral("en-US"));
    m_prompt = std::make_unique<ScriptedPrompt>();
    m_path = m_dir.filePath(QStringLiteral("pending.db"));
    QFile::remove(m_path);
    QFile file(m_path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    {
        Connection setup;
        setup.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + m_path);
        setup.open();
        setup.execute(
            QStringLiteral("CREATE TABLE people (id INTEGER PRIMARY KEY, name TEXT CHECK (name <> 'bad'))"));
        setup.execute(QStringLiteral("INSERT INTO people VALUES (1, 'Ann'), (2, 'Bob')"));
    }
    m_view = std::make_unique<MainWindow>();
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    m_view->session().connection().setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") +
                                                       m_path);
    m_view->session().connection().open();
    ui(*m_view).editor()->setText(QStringLiteral("SELECT id, name FROM people ORDER BY id"));
    ui(*m_view).press(Command::Run);
    // A loaded machine may show the first rows before the rest have come; edits wait for them all.
    m_view->session().query().finishFetch(false);
    QVERIFY(m_view->session().query().isOpen());
    ui(*m_view).pages()->setCurrentWidget(ui(*m_view).page(Page::Sql));
}

void TestPendingEdit::cleanup()
{
    m_view.reset();
    m_prompt.reset();
    setUiLanguage(QStringLiteral("en-US"));
}

QString TestPendingEdit::table() const
{
    Connection other;
    other.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + m_path);
    other.open();
    return EditCases::tableText(other, QStringLiteral("SELECT id, name FROM people ORDER BY id"));
}

void TestPendingEdit::typedValueIsPostedBeforeTheCommand_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("typed");
    for (const char *command : {"Run", "Refresh", "tree double-click", "Disconnect", "Load", "Compact",
                                "Stats", "language", "close"}) {
        QTest::addRow("%s after a good value", command) << command << "Zed";
        QTest::addRow("%s after a refused value", command) << command << "bad";
    }
}

void TestPendingEdit::typedValueIsPostedBeforeTheCommand()
{
    QFETCH(QString, command);
    QFETCH(QString, typed);
    const bool refused = typed == QLatin1String("bad");
    MainWindow &v = *m_view;
    RowEditor *editor = ui(v).resultModel()->editor();

    // The value is still in the open cell editor when the command is chosen: clicking a button
    // or a menu leaves it open.
    const QModelIndex cell = ui(v).resultModel()->index(0, 1);
    ui(v).resultGrid()->setCurrentIndex(cell);
    ui(v).resultGrid()->edit(cell);
    auto *line = qobject_cast<QLineEdit *>(ui(v).resultGrid()->indexWidget(cell));
    QVERIFY(line);
    QTest::keyClicks(line, typed);

    if (command == QLatin1String("Run"))
        ui(v).pressButton(Command::Run);
    else if (command == QLatin1String("Refresh"))
        ui(v).pressButton(Command::Refresh);
    else if (command == QLatin1String("Disconnect"))
        ui(v).pressButton(Command::Disconnect);
    else if (command == QLatin1String("Load"))
        ui(v).pressButton(Command::Load);
    else if (command == QLatin1String("Compact"))
        ui(v).press(Command::Compact);
    else if (command == QLatin1String("Stats"))
        ui(v).pressButton(Command::Stats);
    else if (command == QLatin1String("language"))
        ui(v).press(Command::Portuguese);
    else if (command == QLatin1String("close")) {
        v.close();
        ui(v).settle();
    } else {
        QTreeWidgetItem *people = ui(v).tree()->topLevelItem(0)->child(0);
        QCOMPARE(people->text(0), QStringLiteral("people"));
        ui(v).tree()->setCurrentItem(people);
        ui(v).press(Command::QueryTable);
    }

    if (refused) {
        // The command did not run; the edit is on screen and the error was shown.
        QCOMPARE(table(), QStringLiteral("1,Ann;2,Bob"));
        QCOMPARE(editor->state(), RowEditor::State::Edit);
        QCOMPARE(ui(v).resultModel()->index(0, 1).data().toString(), QStringLiteral("bad"));
        QCOMPARE(m_prompt->beeps, 1);
        QCOMPARE(ui(v).pages()->currentWidget(), ui(v).page(Page::Messages));
        QVERIFY2(ui(v).log()->toPlainText().contains(QLatin1String("CHECK constraint failed")),
                 qPrintable(ui(v).log()->toPlainText()));
        QVERIFY(v.session().connection().isOpen());
        QVERIFY(v.isVisible());
        QCOMPARE(uiLanguage(), QStringLiteral("en-US"));
        QVERIFY(m_prompt->openDialogs.isEmpty() && m_prompt->dialogs.isEmpty());
        return;
    }
    QCOMPARE(table(), QStringLiteral("1,Zed;2,Bob"));
    QCOMPARE(m_prompt->beeps, 0);
    // ... and the command went on.
    if (command == QLatin1String("Disconnect") || command == QLatin1String("close"))
        QVERIFY(!v.session().connection().isOpen());
    if (command == QLatin1String("close"))
        QVERIFY(!v.isVisible());
    if (command == QLatin1String("Load"))
        QCOMPARE(m_prompt->openDialogs.size(), 1);
    if (command == QLatin1String("Compact"))
        QCOMPARE(m_prompt->dialogs.size(), 1);
    if (command == QLatin1String("language"))
        QCOMPARE(uiLanguage(), QStringLiteral("pt-BR"));
}

QTEST_MAIN(TestPendingEdit)
#include "tst_pendingedit.moc"

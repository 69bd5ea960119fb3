#include "ScriptedPrompt.h"

#include "editor/HistoryModel.h"
#include "editor/HistoryWindow.h"
#include "editor/QueryHistory.h"
#include "shell/texts/WorkbenchTexts.h"

#include <QAbstractItemModelTester>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

// The History window: newest first, a filter, and a chosen entry handed to the editor.
class TestHistoryWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void newestFirstAndFiltered();
    void chosenEntryGoesToTheEditor();
    void entriesAreDeletedOrClearedAfterYes();

private:
    QStringList statements() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QueryHistory> m_history;
};

void TestHistoryWindow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_history = std::make_unique<QueryHistory>(m_dir->filePath(QStringLiteral("history")));
    QString error;
    const struct
    {
        const char *sql;
        const char *source;
        bool failed;
    } entries[] = {{"SELECT * FROM album", "chinook.sqlite", false},
                   {"UPDATE track SET name = 'x'\nWHERE id = 1", "sales.ovs", false},
                   {"SELEC oops", "sales.ovs", true}};
    for (const auto &e : entries) {
        HistoryEntry entry;
        entry.time = QDateTime::currentDateTime();
        entry.sql = QString::fromLatin1(e.sql);
        entry.source = QString::fromLatin1(e.source);
        entry.failed = e.failed;
        entry.rows = e.failed ? -1 : 1;
        QVERIFY(m_history->add(entry, &error));
    }
}

QStringList TestHistoryWindow::statements() const
{
    QStringList result;
    for (const HistoryEntry &entry : m_history->entries())
        result.append(entry.sql);
    return result;
}

void TestHistoryWindow::newestFirstAndFiltered()
{
    HistoryWindow window(m_history.get());
    QAbstractItemModelTester tester(window.model());
    HistoryModel *model = window.model();
    QCOMPARE(model->rowCount(), 3);
    QCOMPARE(model->index(0, HistoryModel::Statement).data().toString(), QStringLiteral("SELEC oops"));
    QCOMPARE(model->index(0, HistoryModel::Result).data().toString(), QStringLiteral("failed"));
    QCOMPARE(model->index(1, HistoryModel::Statement).data().toString(),
             QStringLiteral(u"UPDATE track SET name = 'x' …"));
    QCOMPARE(model->index(1, HistoryModel::Statement).data(Qt::ToolTipRole).toString(),
             QStringLiteral("UPDATE track SET name = 'x'\nWHERE id = 1"));
    // The filter looks at the whole statement and at the connection, ignoring case.
    QTest::keyClicks(window.filterField(), QStringLiteral("where ID"));
    QCOMPARE(model->rowCount(), 1);
    window.filterField()->setText(QStringLiteral("SALES.ovs"));
    QCOMPARE(model->rowCount(), 2);
    window.filterField()->clear();
    QCOMPARE(model->rowCount(), 3);
    // Texts follow the language.
    QCOMPARE(window.filterField()->accessibleName(), QStringLiteral("History filter"));
    window.setTexts(portugueseWorkbenchTexts());
    QCOMPARE(window.windowTitle(), QStringLiteral(u"Histórico"));
    QCOMPARE(model->headerData(HistoryModel::Statement, Qt::Horizontal).toString(),
             QStringLiteral("Comando"));
    QCOMPARE(model->index(0, HistoryModel::Result).data().toString(), QStringLiteral("falhou"));
}

void TestHistoryWindow::chosenEntryGoesToTheEditor()
{
    HistoryWindow window(m_history.get());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy chosen(&window, &HistoryWindow::entryChosen);
    window.filterField()->setText(QStringLiteral("track"));
    // The newest match is selected: Return puts it into the editor, whole.
    window.table()->setFocus();
    QTest::keyClick(window.table(), Qt::Key_Return);
    QCOMPARE(chosen.size(), 1);
    QCOMPARE(chosen.last().first().toString(), QStringLiteral("UPDATE track SET name = 'x'\nWHERE id = 1"));
    window.filterField()->clear();
    const QModelIndex oldest = window.model()->index(2, HistoryModel::Statement);
    const QPoint at = window.table()->visualRect(oldest).center();
    QTest::mousePress(window.table()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(window.table()->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(chosen.size(), 2);
    QCOMPARE(chosen.last().first().toString(), QStringLiteral("SELECT * FROM album"));
}

void TestHistoryWindow::entriesAreDeletedOrClearedAfterYes()
{
    ScriptedPrompt prompt;
    HistoryWindow window(m_history.get());
    window.table()->selectRow(0);
    window.deleteSelected();
    QCOMPARE(statements(), (QStringList{"SELECT * FROM album", "UPDATE track SET name = 'x'\nWHERE id = 1"}));
    QueryHistory reread(m_history->path());
    QString error;
    QVERIFY(reread.load(&error));
    QCOMPARE(reread.entries().size(), 2);
    prompt.dialogAnswers.enqueue(7); // No
    window.clearAll();
    QCOMPARE(window.model()->rowCount(), 2);
    prompt.dialogAnswers.enqueue(6); // Yes
    window.clearAll();
    QCOMPARE(window.model()->rowCount(), 0);
    QVERIFY(reread.load(&error));
    QVERIFY(reread.entries().isEmpty());
    QCOMPARE(prompt.dialogs.first().text, QStringLiteral("Delete every entry of the history?"));
}

QTEST_MAIN(TestHistoryWindow)
#include "tst_historywindow.moc"

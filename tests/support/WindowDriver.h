#pragma once

#include "editor/SqlEditor.h"
#include "query/RecordNavigator.h"
#include "query/ResultGrid.h"
#include "query/ResultModel.h"
#include "window/CommandTable.h"
#include "window/MainWindow.h"
#include "window/Session.h"
#include "window/Workspace.h"
#include "window/panes/MessagesPage.h"

#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

// Drives the main window as a user does, for tests: its parts found by their names (the names a
// screen reader's user never sees, set where each part is built), its commands started through
// their menu items, tool buttons or the work area's own signals, and a wait until they have run.
class WindowDriver
{
public:
    explicit WindowDriver(MainWindow &window) : m_window(window) {}

    MainWindow &window() const { return m_window; }
    Session &session() const { return m_window.session(); }
    Connection &connection() const { return m_window.session().connection(); }
    Query &query() const { return m_window.session().query(); }
    CommandTable &commands() const { return m_window.commands(); }

    QTreeWidget *tree() const { return part<QTreeWidget>("catalogueTree"); }
    QWidget *treePanel() const { return tree()->parentWidget(); }
    QTableWidget *structureGrid() const { return part<QTableWidget>("structureGrid"); }
    QPlainTextEdit *scratch() const { return part<QPlainTextEdit>("scratchText"); }
    SqlEditor *editor() const { return part<SqlEditor>("sqlEditor"); }
    ResultGrid *resultGrid() const { return part<ResultGrid>("resultGrid"); }
    ResultModel *resultModel() const { return resultGrid()->resultModel(); }
    RecordNavigator *navigator() const { return part<RecordNavigator>("navigator"); }
    QPlainTextEdit *log() const { return part<QPlainTextEdit>("messageLog"); }
    MessagesPage *messagesPage() const { return m_window.findChild<MessagesPage *>(); }
    QString logText() const { return log()->toPlainText(); }
    QPushButton *clearLogButton() const { return part<QPushButton>("clearLogButton"); }
    QTextBrowser *reportView() const { return part<QTextBrowser>("reportView"); }
    QPushButton *printButton() const { return part<QPushButton>("printButton"); }
    QTabWidget *pages() const { return part<QTabWidget>("pages"); }
    QWidget *page(Page page) const { return pages()->widget(int(page)); }
    Page currentPage() const { return Page(pages()->currentIndex()); }
    bool reportTabVisible() const { return pages()->isTabVisible(int(Page::Report)); }
    QLabel *statusLabel() const { return part<QLabel>("statusText"); }
    QString statusText() const { return statusLabel()->text(); }
    QToolButton *cancelFetchButton() const { return part<QToolButton>("cancelFetchButton"); }
    QToolBar *toolBar() const { return part<QToolBar>("toolBar"); }
    QAction *action(Command command) const { return commands().action(command); }
    // The items of the menu bar, in order: File, Edit, View, Tools, Window, Language, Help.
    QAction *menuBarItem(int index) const { return m_window.menuBar()->actions().value(index); }
    QToolButton *button(Command command) const { return commands().button(command); }

    // Chooses a command the way the user does, through its menu item (its tool button when it
    // has no item, the command table when it has neither), whatever state the commands were left
    // in; then waits until it, and every command it started, has run.
    void press(Command command) const
    {
        if (QAction *item = action(command)) {
            item->setEnabled(true);
            item->trigger();
        } else if (QToolButton *tool = button(command)) {
            tool->setEnabled(true);
            tool->click();
        } else {
            commands().trigger(command);
        }
        settle();
    }
    // The same through the command's tool button.
    void pressButton(Command command) const
    {
        QToolButton *tool = button(command);
        QVERIFY2(tool, "the command has no tool button");
        tool->setEnabled(true);
        tool->click();
        settle();
    }
    // Waits until no command waits or runs.
    void settle() const
    {
        QVERIFY2(QTest::qWaitFor([this] { return commands().settled(); }, 60000), "a command did not end");
    }

    QTreeWidgetItem *node(const QString &name) const
    {
        return tree()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive).value(0);
    }
    // Makes a node (a table by its name) the tree's current and selected one.
    void select(const QString &name) const
    {
        QTreeWidgetItem *item = node(name);
        QVERIFY2(item, qPrintable(QStringLiteral("no node ") + name));
        tree()->setCurrentItem(item);
    }
    // Selects a table and shows its structure, as a click on it does.
    void describe(const QString &name) const
    {
        select(name);
        press(Command::DescribeTable);
    }
    // Selects a node and clicks it, or double-clicks it, with the mouse; then waits for what that
    // started.
    void clickNode(const QString &name) const { mouseOnNode(name, false); }
    void doubleClickNode(const QString &name) const { mouseOnNode(name, true); }
    // Selects a node and presses a key on the tree (Space, Return).
    void keyOnNode(const QString &name, Qt::Key key) const
    {
        QTreeWidgetItem *item = node(name);
        QVERIFY2(item, qPrintable(QStringLiteral("no node ") + name));
        tree()->setCurrentItem(item);
        tree()->setFocus();
        QTest::keyClick(tree(), key);
        settle();
    }

private:
    template <typename T> T *part(const char *name) const
    {
        return m_window.findChild<T *>(QString::fromLatin1(name));
    }

    void mouseOnNode(const QString &name, bool twice) const
    {
        QTreeWidgetItem *item = node(name);
        QVERIFY2(item, qPrintable(QStringLiteral("no node ") + name));
        tree()->setCurrentItem(item);
        tree()->scrollToItem(item);
        const QPoint at = tree()->visualItemRect(item).center();
        if (twice)
            QTest::mouseDClick(tree()->viewport(), Qt::LeftButton, {}, at);
        else
            QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, at);
        settle();
    }

    MainWindow &m_window;
};

inline WindowDriver ui(MainWindow &window)
{
    return WindowDriver(window);
}

// TMainView: what makes the window usable from the keyboard alone and with a screen reader.
//
// Keyboard map (no command has a shortcut or an accelerator letter of its own):
// - F10, or Alt pressed and released, opens the menu bar; every command of the tool bar is
//   also a menu item, so the tool buttons stay out of the Tab order.
// - Tab goes through the work area from left to right and top to bottom: the tree, the page
//   tabs (arrow keys change the page), then the controls of the page on show: the structure
//   grid; the SQL editor, the result grid and the navigator's ten buttons; the log and Clear;
//   the report and Print.
// - The SQL editor and the result grid keep Tab for themselves (a tab character, the next
//   cell); Ctrl+Tab and Ctrl+Shift+Tab leave them.
// - In the tree, Space does what a click does (the table's structure) and Return what a
//   double-click does (query the table); Return on the structure grid sends it to the
//   spreadsheet as a double-click does, and on a memo cell of the result grid opens the memo
//   editor.
#include "shell/UMainView.h"

#include "editor/SqlEditor.h"
#include "query/RecordNavigator.h"
#include "query/ResultGrid.h"
#include "shell/Accessibility.h"

#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBrowser>
#include <QToolButton>
#include <QTreeWidget>

void TMainView::initAccessPart()
{
    QList<QWidget *> order{TreeView1, PageControl1, StringGrid1, SynEdit1, DBGrid1};
    for (int i = 0; i < RecordNavigator::ButtonCount; ++i)
        order.append(DBNavigator1->button(i));
    order << reMessages << btClearMessages << WebBrowser1 << Button1;
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    // The structure grid is read-only: Tab leaves it instead of walking its cells.
    StringGrid1->setTabKeyNavigation(false);
    a11y::releaseTabFocus(SynEdit1);
    a11y::releaseTabFocus(DBGrid1);

    auto *menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, this, [this] {
        menuBar()->setFocus(Qt::ShortcutFocusReason);
        menuBar()->setActiveAction(File1);
    });

    const QList<int> enter{Qt::Key_Return, Qt::Key_Enter};
    a11y::onKeys(TreeView1, {Qt::Key_Space}, [this] {
        TreeView1Click();
        return true;
    });
    a11y::onKeys(TreeView1, enter, [this] {
        TreeView1DblClick();
        return true;
    });
    a11y::onKeys(StringGrid1, enter, [this] {
        StringGrid1DblClick();
        return true;
    });
    // The key goes on to the grid, which may have its own use for it on other cells.
    a11y::onKeys(DBGrid1, enter, [this] {
        DBGrid1DblClick();
        return false;
    });
}

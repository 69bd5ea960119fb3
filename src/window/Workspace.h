#pragma once

#include "window/Command.h"

#include <QString>

#include <functional>

class CataloguePane;
class MemoEditor;
class MessagesPage;
class QMainWindow;
class QTabWidget;
class QWidget;
class ReportPage;
class Session;
class SqlPage;
class StatusBarPane;
class StructurePage;
struct Catalogue;

// The window's pages, in tab order.
enum class Page { Structure, Sql, Messages, Report };

// What the commands work on: the session and the window's panes, with the few things only the
// window itself does (its caption, its pages, the command state). Built by the main window, which
// owns everything it refers to.
class Workspace
{
public:
    Workspace(QMainWindow &window, QTabWidget &pages, Session &session, CataloguePane &catalogue,
              StructurePage &structure, SqlPage &sql, MessagesPage &messages, ReportPage &report,
              StatusBarPane &status);

    Session &session;
    CataloguePane &catalogue;
    StructurePage &structure;
    SqlPage &sql;
    MessagesPage &messages;
    ReportPage &report;
    StatusBarPane &status;

    // The program's folder (where OVS.xsl and the demo database are), with a trailing separator.
    QString appFolder;
    // A desktop application opens .xlsx workbooks.
    bool spreadsheetAvailable = false;

    // The parent of the commands' dialogs.
    QWidget *window() const;
    void setCaption(const QString &caption);
    void showPage(Page page);
    Page activePage() const;
    void setReportTabVisible(bool visible);

    // A line in the message log.
    void log(const QString &text);
    // The error report of the commands that catch errors: beep, the Messages page, the log.
    void reportError(const QString &text);

    // Installed by the window: the command-state update, the command table's trigger, and the
    // enabled state of one command's menu item and tool button.
    std::function<void()> updateCommands;
    std::function<void(Command)> trigger;
    std::function<void(Command, bool)> enableCommand;
    // Installed by the SQL page's workbench: told of each catalogue read for the tree (connect,
    // Refresh), of a session's editor put on show, and of the work area about to go back to no
    // connection (the editor's text still in it).
    std::function<void(const Catalogue &)> catalogueRead;
    std::function<void()> sessionShown;
    std::function<void()> workAreaResetting;
    // The memo editor window, once start-up has made it.
    MemoEditor *memoEditor = nullptr;

private:
    QMainWindow &m_window;
    QTabWidget &m_pages;
};

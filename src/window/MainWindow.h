#pragma once

#include "window/Command.h"

#include <QMainWindow>

#include <memory>

class AboutBox;
class CataloguePane;
class CommandTable;
class ExportCommands;
class MaintenanceCommands;
class MemoEditor;
class MessagesPage;
class QTabWidget;
class ReportCommands;
class ReportPage;
class Session;
class SessionCommands;
class SqlCommands;
class SqlPage;
class StatusBarPane;
class StructurePage;
class TableCommands;
class WindowMenus;
class WorkbenchCommands;
class Workspace;

// The main window: a switchboard. It builds the panes and the menus, holds the session, and
// owns the command table, whose entries forward to the command classes (SessionCommands,
// TableCommands, SqlCommands, WorkbenchCommands, ReportCommands, MaintenanceCommands,
// ExportCommands). Beyond that it
// only does what belongs to the window itself: its activation, its texts in the current
// language, the enabled state of the commands, and closing.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The two windows created after the main window (start-up order).
    void setMemoEditor(MemoEditor *memoEditor);
    void setAboutBox(AboutBox *aboutBox);

    // Every command the window runs, with its menu item and tool button.
    CommandTable &commands() { return *m_commands; }
    // The session with the database: the connection, the query, the facts and the profile.
    Session &session() { return *m_session; }

    // Where the files the program reads from its own folder are (OVS.xsl), and whether a desktop
    // application opens workbooks; found at creation, set by tests.
    void setAppFolder(const QString &folder);
    void setSpreadsheetAvailable(bool available);
    // The limits of the maximise test at activation; creation reads them from the screen.
    void setScreenLimits(int width, int height);

    // A second start asks for the program: restore, raise and activate it, and raise the open
    // modal dialog if there is one.
    void bringToFront();
    // Recomputes which commands are enabled and which items carry a check mark.
    void updateCommands();
    // Writes the texts of the current language into the window and the About box.
    void applyLanguage();

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildWorkArea();
    void addCommands();
    void setUpKeyboard();
    void activate();
    void setLanguage(const QString &language);
    // The Run tool button while the user types, by the text alone.
    void onSqlEdited();
    // The query and the connection close with the window.
    void closeSession();

    std::unique_ptr<Session> m_session;
    QTabWidget *m_pages = nullptr;
    CataloguePane *m_catalogue = nullptr;
    StructurePage *m_structure = nullptr;
    SqlPage *m_sql = nullptr;
    MessagesPage *m_messages = nullptr;
    ReportPage *m_report = nullptr;
    StatusBarPane *m_status = nullptr;
    std::unique_ptr<Workspace> m_workspace;
    CommandTable *m_commands = nullptr;
    std::unique_ptr<WindowMenus> m_menus;
    std::unique_ptr<SessionCommands> m_sessionCommands;
    std::unique_ptr<TableCommands> m_tableCommands;
    std::unique_ptr<SqlCommands> m_sqlCommands;
    std::unique_ptr<WorkbenchCommands> m_workbenchCommands;
    std::unique_ptr<ReportCommands> m_reportCommands;
    std::unique_ptr<MaintenanceCommands> m_maintenanceCommands;
    std::unique_ptr<ExportCommands> m_exportCommands;
    AboutBox *m_aboutBox = nullptr;
    int m_screenWidthLimit = 0;
    int m_screenHeightLimit = 0;
    bool m_activating = false;
    bool m_activatedOnce = false;
    // Set by the Close command once its gate has passed: the next close event closes.
    bool m_closing = false;
};

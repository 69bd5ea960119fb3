#pragma once

#include "db/DataAccess.h"
#include "shell/Prompt.h"

#include <QMainWindow>
#include <QString>

#include <exception>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTabWidget;
class QTableWidget;
class QTextBrowser;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

class Query;
struct CatalogueObject;
class TableReader;
class ReportSink;
class RecordNavigator;
class ResultGrid;
class ResultModel;
class SqlEditor;
class AboutBox;
class MemoEditor;
class WheelKeyFilter;

// The main window: a switchboard. Handlers keep their given names and forward to the classes
// of their subsystem; the subsystems' TMainView methods live in their own folders
// (src/connection/MainViewConnection.cpp, src/sql/MainViewSql.cpp, src/reports/MainViewReports.cpp).
class TMainView : public QMainWindow
{
    Q_OBJECT

public:
    explicit TMainView(QWidget *parent = nullptr);
    ~TMainView() override;

    // The two windows created after the main window (start-up order).
    void setMemoEditor(MemoEditor *memoEditor) { m_memoEditor = memoEditor; }
    void setAbout(AboutBox *about) { m_aboutBox = about; }

    // ---- shell ------------------------------------------------------------------------
    void FormCreate();
    void FormActivate();
    void FormClose();
    void AnyClick(QObject *sender);
    void UpdateCommands();
    void ApplyLanguage();
    void ResetStructureGrid();
    void LogMessage(const QString &text);
    void btClearMessagesClick();
    void SynEdit1Change();
    // The error-report sequence of the commands that catch errors: beep, Messages page, log.
    void reportError(const QString &text);
    // A second start asks for the program: restore, raise and activate it, and raise the open
    // modal dialog if there is one.
    void bringToFront();
    // Test seam: when set, AnyClick calls it with the number (1 to 21) of each row whose sender
    // matched, before the row's action; returning true skips the action.
    std::function<bool(int row)> commandInterceptor;

    // ---- connection (src/connection) --------------------------------------------------
    void OpenConnection();
    void EditConnection();
    void ADOConnection1AfterConnect();
    void ADOConnection1AfterDisconnect();
    void FillTree();
    void TreeView1Click();
    void TreeView1Expanded(QTreeWidgetItem *node);
    void LoadProfile(const QString &fileName);
    void SaveProfile(const QString &fileName);
    void initConnectionPart();

    // ---- structure and SQL (src/sql) --------------------------------------------------
    // Grid mode when target is TreeView1; report mode otherwise, which only ReportStructure uses:
    // it writes the table's field elements into the report being written.
    void DescribeTable(QObject *target, const QString &tableName, const QString &schema = QString());
    void RunSql();
    void TreeView1DblClick();
    void StatsCommand();
    void DBGrid1DblClick();

    // ---- grid (src/sql/MainViewGrid.cpp) ----------------------------------------------
    // Binds the navigator, the memo editor and error reporting to the result grid.
    void initGridPart();
    // The gate before every command that would replace or drop the grid's rows (Run, Refresh,
    // the tree double-click, Disconnect, Load, Compact, Stats, a language switch, closing the
    // window): an open cell editor is written into the record and a pending edit is posted.
    // False when that failed: the error has been shown, the edit stays, the command must stop.
    bool postPendingEdit();

    // ---- results that arrive while the window stays live (src/sql/MainViewFetch.cpp) ----
    // What a command that needs the connection does with a fetch still running.
    enum class FetchRule { Cancel, Wait };
    // The gate beside postPendingEdit, before every command that needs the connection while
    // rows stream in. Commands that replace or drop the result (Connect, Disconnect, Load, Edit,
    // Refresh, Run, Stats, Compact, the tree double-click, closing the window) cancel it: the
    // rows so far stay until they are replaced. Commands that keep it (Report, the tree click,
    // a data export) wait for it to end, in the progress dialog whose Cancel cancels it. Any
    // other call that reaches the connection meanwhile waits the same way (Connection's own
    // guard). Afterwards the connection is free; nothing happens when no fetch runs.
    void endFetch(FetchRule rule);
    void initFetchPart();

    // ---- reports and maintenance (src/reports) ----------------------------------------
    void ReportStructure();
    void WebBrowser1DocumentComplete();
    void Button1Click();
    void CompactCommand();
    void CompactDatabase(const QString &sourcePath);
    void StringGrid1DblClick();
    void initReportsPart();

    // ---- data export (src/export/MainViewExport.cpp) -----------------------------------
    // Tools > Export data: the current result's statement, or the selected tree table, run again
    // and its rows streamed into a CSV, workbook or JSON Lines file.
    void ExportCommand();

    // ---- keyboard and assistive technology (src/shell/MainViewAccess.cpp) ---------------
    void initAccessPart();

    // ---- program-wide state the other Parts share (globals of the original unit) --------
    // The connection facts and dialect flags of the after-connect analysis (IsSqlite: the
    // embedded fifth dialect); they keep their values after a disconnect.
    bool IsAccess = false;
    bool IsSqlServer = false;
    bool IsMySql = false;
    bool IsPostgreSql = false;
    bool IsSqlite = false;
    QString DatabaseName;
    QString DatabaseFileName;
    QString ServerVersion;
    // Profiles: the connection string waiting to be applied or last loaded, edited or saved,
    // and the current profile file.
    QString ProfileConnectionString;
    QString ProfileFileName;
    QString AppFolder; // the program's folder, with a trailing separator
    bool ExcelAvailable = false;
    // Message templates of the current language (ApplyLanguage).
    QString TextSaveAs, TextFileExists, TextUndefined, TextCompactConfirm, TextSendToExcel, TextFileNotFound,
        TextCannotRename, TextCannotDelete, TextReporting, TextWait, TextReady;
    // The limits of the maximise test at activation; FormCreate reads them from the screen.
    void setScreenLimits(int width, int height);

    // ---- components -------------------------------------------------------------------
    // Menus
    QAction *File1 = nullptr, *Connect1 = nullptr, *Disconnect1 = nullptr, *Load1 = nullptr, *Save1 = nullptr,
            *Exit1 = nullptr, *Edit1 = nullptr, *View1 = nullptr, *Expand1 = nullptr, *Collapse1 = nullptr,
            *Refresh1 = nullptr, *Tools1 = nullptr, *mRun = nullptr, *mStats = nullptr, *mReport = nullptr,
            *mCompact = nullptr, *Window1 = nullptr, *Structure1 = nullptr, *SQL1 = nullptr,
            *Messages1 = nullptr, *Language1 = nullptr, *En_US = nullptr, *Pt_BR = nullptr, *Help1 = nullptr,
            *Pelmora1 = nullptr, *About1 = nullptr;
    QAction *mExport = nullptr; // Tools > Export data, after Report
    // Tool bar
    QToolBar *ToolBar1 = nullptr;
    QToolButton *ToolButton1 = nullptr, *ToolButton2 = nullptr, *ToolButton3 = nullptr,
                *ToolButton4 = nullptr, *ToolButton5 = nullptr, *btLoad = nullptr, *btSave = nullptr,
                *btRun = nullptr, *btStats = nullptr, *btReport = nullptr, *btAbout = nullptr;
    QAction *ToolSeparator1 = nullptr, *ToolSeparator2 = nullptr, *ToolButton6 = nullptr;
    // Work area
    QWidget *Panel1 = nullptr;
    QTreeWidget *TreeView1 = nullptr;
    QTabWidget *PageControl1 = nullptr;
    QWidget *TabSheet1 = nullptr, *TabSheet2 = nullptr, *TabSheet3 = nullptr, *TabSheet4 = nullptr;
    QWidget *Panel2 = nullptr;
    // Row 0 is the header row (ResetStructureGrid, ApplyLanguage), rows 1..N describe the columns;
    // row 0 and column 0 are drawn as fixed cells.
    QTableWidget *StringGrid1 = nullptr;
    QPlainTextEdit *RichEdit1 = nullptr;
    SqlEditor *SynEdit1 = nullptr;
    ResultGrid *DBGrid1 = nullptr;
    RecordNavigator *DBNavigator1 = nullptr;
    QPlainTextEdit *reMessages = nullptr;
    QWidget *Panel3 = nullptr;
    QPushButton *btClearMessages = nullptr;
    QTextBrowser *WebBrowser1 = nullptr;
    QWidget *Panel4 = nullptr;
    QPushButton *Button1 = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    // Beside the running count while rows arrive: stops the fetch (also Escape).
    QToolButton *btCancelFetch = nullptr;
    // Non-visual
    std::unique_ptr<Connection> ADOConnection1;
    std::unique_ptr<Query> ADOQuery1;
    std::unique_ptr<TableReader> ADOTable1;
    ResultModel *DataSource1 = nullptr;
    FileDialogOptions OpenDialog1, SaveDialog1;
    WheelKeyFilter *ApplicationEvents1 = nullptr;

    void setStatusText(const QString &text);
    QString statusTextValue() const;

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // The frame, menus, tool bar, work area and status bar (MainViewLayout.cpp).
    void buildWindow();
    void buildMenus();
    void buildToolBar();
    void buildWorkArea();
    void connectShellSignals();
    void writeGridHeader();
    void SaveCommand();
    void LoadCommand();
    // The running count while rows arrive; the runner's own text once they are in.
    void showFetchStatus();
    void ADOQuery1FetchEnded();
    void activate();
    void showMessagesPage();
    // The error of a table or view the user asked for: logged with its name and the beep, or
    // only noted when the user cancelled the reading.
    void reportObjectError(const QString &objectName, const std::exception &e);

    // The windows created after the main window (start-up order).
    MemoEditor *m_memoEditor = nullptr;
    AboutBox *m_aboutBox = nullptr;
    QLabel *statusText = nullptr; // the status bar's one simple text
    int ScreenWidthLimit = 0;
    int ScreenHeightLimit = 0;
    bool m_activating = false;
    bool m_activatedOnce = false;
    // While ReportStructure runs: where DescribeTable writes in report mode, and the object it
    // describes there, read with the whole catalogue beforehand (none: it reads the table).
    struct ReportTarget
    {
        ReportSink *sink = nullptr;
        const CatalogueObject *object = nullptr;
    };
    ReportTarget m_report;
    // The folder of the last export, where the next one proposes its file; empty at first.
    QString m_exportFolder;
};

// The one main window of the process.
extern TMainView *MainView;

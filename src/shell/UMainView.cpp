#include "shell/UMainView.h"

#include "editor/SqlEditor.h"
#include "shell/Guard.h"
#include "sql/AdoQuery.h"
#include "sql/AdoTable.h"
#include "sql/DbNavigator.h"
#include "sql/ResultGrid.h"
#include "sql/ResultModel.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

TMainView *MainView = nullptr;

TMainView::TMainView(QWidget *parent) : QMainWindow(parent)
{
    ADOConnection1 = std::make_unique<Connection>();
    ADOQuery1 = std::make_unique<AdoQuery>(ADOConnection1.get());
    ADOTable1 = std::make_unique<AdoTable>(ADOConnection1.get());
    buildMenus();
    buildToolBar();
    buildWorkArea();
    initConnectionPart();
    initSqlPart();
    initGridPart();
    initReportsPart();
    FormCreate();
}

TMainView::~TMainView() = default;

void TMainView::buildMenus()
{
    QMenuBar *bar = menuBar();
    QMenu *file = bar->addMenu(QStringLiteral("File"));
    File1 = file->menuAction();
    Connect1 = file->addAction(QStringLiteral("Connect"));
    Disconnect1 = file->addAction(QStringLiteral("Disconnect"));
    file->addSeparator();
    Load1 = file->addAction(QStringLiteral("Load"));
    Save1 = file->addAction(QStringLiteral("Save"));
    file->addSeparator();
    Exit1 = file->addAction(QStringLiteral("Exit"));
    Edit1 = bar->addAction(QStringLiteral("Edit"));
    QMenu *view = bar->addMenu(QStringLiteral("View"));
    View1 = view->menuAction();
    Expand1 = view->addAction(QStringLiteral("Expand"));
    Collapse1 = view->addAction(QStringLiteral("Collapse"));
    view->addSeparator();
    Refresh1 = view->addAction(QStringLiteral("Refresh"));
    QMenu *tools = bar->addMenu(QStringLiteral("Tools"));
    Tools1 = tools->menuAction();
    mRun = tools->addAction(QStringLiteral("Run"));
    mStats = tools->addAction(QStringLiteral("Stats"));
    mReport = tools->addAction(QStringLiteral("Report"));
    tools->addSeparator();
    mCompact = tools->addAction(QStringLiteral("Compact"));
    QMenu *window = bar->addMenu(QStringLiteral("Window"));
    Window1 = window->menuAction();
    Structure1 = window->addAction(QStringLiteral("Structure"));
    SQL1 = window->addAction(QStringLiteral("SQL"));
    Messages1 = window->addAction(QStringLiteral("Messages"));
    QMenu *language = bar->addMenu(QStringLiteral("Language"));
    Language1 = language->menuAction();
    En_US = language->addAction(QStringLiteral("English (USA)"));
    Pt_BR = language->addAction(QStringLiteral("Português (Brasil)"));
    QMenu *help = bar->addMenu(QStringLiteral("Help"));
    Help1 = help->menuAction();
    Pelmora1 = help->addAction(QStringLiteral("Pelmora"));
    help->addSeparator();
    About1 = help->addAction(QStringLiteral("About..."));
}

void TMainView::buildToolBar()
{
    ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    auto add = [this](QToolButton *&button) {
        button = new QToolButton(ToolBar1);
        ToolBar1->addWidget(button);
    };
    add(ToolButton1);
    add(ToolButton2);
    ToolSeparator1 = ToolBar1->addSeparator();
    add(ToolButton3);
    add(ToolButton4);
    add(ToolButton5);
    ToolSeparator2 = ToolBar1->addSeparator();
    add(btLoad);
    add(btSave);
    add(btRun);
    add(btStats);
    add(btReport);
    ToolButton6 = ToolBar1->addSeparator();
    add(btAbout);
}

void TMainView::buildWorkArea()
{
    Panel1 = new QWidget;
    TreeView1 = new QTreeWidget(Panel1);
    PageControl1 = new QTabWidget;
    TabSheet1 = new QWidget;
    TabSheet2 = new QWidget;
    TabSheet3 = new QWidget;
    TabSheet4 = new QWidget;
    PageControl1->addTab(TabSheet1, QStringLiteral("Structure"));
    PageControl1->addTab(TabSheet2, QStringLiteral("SQL"));
    PageControl1->addTab(TabSheet3, QStringLiteral("Messages"));
    PageControl1->addTab(TabSheet4, QStringLiteral("Report"));
    Panel2 = new QWidget(TabSheet1);
    StringGrid1 = new QTableWidget(2, 5, Panel2);
    auto *sql = new QVBoxLayout(TabSheet2);
    RichEdit1 = new QPlainTextEdit;
    SynEdit1 = new SqlEditor;
    DBGrid1 = new ResultGrid;
    DataSource1 = new ResultModel(ADOQuery1.get(), this);
    DBGrid1->setModel(DataSource1);
    DBNavigator1 = new DbNavigator;
    sql->addWidget(RichEdit1);
    sql->addWidget(SynEdit1);
    sql->addWidget(DBGrid1);
    sql->addWidget(DBNavigator1);
    auto *messages = new QVBoxLayout(TabSheet3);
    reMessages = new QPlainTextEdit;
    reMessages->setReadOnly(true);
    Panel3 = new QWidget;
    btClearMessages = new QPushButton(QStringLiteral("Clear"), Panel3);
    messages->addWidget(reMessages);
    messages->addWidget(Panel3);
    auto *report = new QVBoxLayout(TabSheet4);
    WebBrowser1 = new QTextBrowser;
    Panel4 = new QWidget;
    Button1 = new QPushButton(QStringLiteral("Print"), Panel4);
    report->addWidget(WebBrowser1);
    report->addWidget(Panel4);
    auto *central = new QWidget;
    auto *row = new QHBoxLayout(central);
    row->addWidget(Panel1);
    row->addWidget(PageControl1, 1);
    setCentralWidget(central);
    StatusBar1 = statusBar();
    statusText = new QLabel;
    StatusBar1->addWidget(statusText, 1);
}

void TMainView::FormCreate() {}
void TMainView::FormActivate() {}
void TMainView::AnyClick(QObject *) {}
void TMainView::UpdateCommands() {}
void TMainView::ApplyLanguage() {}
void TMainView::ResetStructureGrid() {}
void TMainView::LogMessage(const QString &text)
{
    reMessages->appendPlainText(text);
}
void TMainView::btClearMessagesClick()
{
    reMessages->clear();
}
void TMainView::SynEdit1Change() {}
void TMainView::reportError(const QString &text)
{
    showMessagesPage();
    LogMessage(text);
}
void TMainView::showMessagesPage()
{
    PageControl1->setCurrentWidget(TabSheet3);
}
void TMainView::setStatusText(const QString &text)
{
    statusText->setText(text);
}
QString TMainView::statusTextValue() const
{
    return statusText->text();
}
void TMainView::SaveCommand() {}
void TMainView::LoadCommand() {}
void TMainView::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
}
void TMainView::closeEvent(QCloseEvent *event)
{
    QMainWindow::closeEvent(event);
}

#include "window/MainWindow.h"

#include "about/AboutBox.h"
#include "connection/WorkRunnerDialog.h"
#include "editor/SqlEditor.h"
#include "query/MemoEditor.h"
#include "query/RecordNavigator.h"
#include "query/ResultGrid.h"
#include "reports/SpreadsheetAvailability.h"
#include "shell/Guard.h"
#include "shell/ImageList.h"
#include "shell/Language.h"
#include "shell/WheelKeyFilter.h"
#include "shell/texts/WorkbenchTexts.h"
#include "window/CommandState.h"
#include "window/CommandTable.h"
#include "window/ExportCommands.h"
#include "window/MaintenanceCommands.h"
#include "window/ReportCommands.h"
#include "window/Session.h"
#include "window/SessionCommands.h"
#include "window/SqlCommands.h"
#include "window/TableCommands.h"
#include "window/WindowMenus.h"
#include "window/WorkbenchCommands.h"
#include "window/Workspace.h"
#include "window/panes/CataloguePane.h"
#include "window/panes/Fonts.h"
#include "window/panes/MessagesPage.h"
#include "window/panes/ReportPage.h"
#include "window/panes/SqlPage.h"
#include "window/panes/StatusBarPane.h"
#include "window/panes/StructurePage.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), m_session(std::make_unique<Session>())
{
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        m_screenWidthLimit = screen->size().width();
        m_screenHeightLimit = screen->availableGeometry().height() - 7;
    } else {
        m_screenWidthLimit = 800;
        m_screenHeightLimit = 572;
    }
    setWindowTitle(texts::applicationTitle());
    setWindowIcon(imagelist::applicationIcon());
    setFont(fonts::requested(QStringLiteral("MS Sans Serif"), 8, QFont::SansSerif));
    setContextMenuPolicy(Qt::NoContextMenu);
    move(192, 114);
    resize(800, 572);

    Connection &connection = m_session->connection();
    connection.setWorkRunner(makeDialogWorkRunner(this, connection.rowsFetchedCounter()));
    m_commands = new CommandTable(connection, this);
    m_menus = std::make_unique<WindowMenus>(*this, *m_commands);
    buildWorkArea();
    m_menus->addResultGridMenu(*m_sql->grid());
    m_workspace = std::make_unique<Workspace>(*this, *m_pages, *m_session, *m_catalogue, *m_structure, *m_sql,
                                              *m_messages, *m_report, *m_status);
    m_workspace->appFolder = QCoreApplication::applicationDirPath() + u'/';
    m_workspace->updateCommands = [this] { updateCommands(); };
    m_workspace->trigger = [this](Command command) { m_commands->trigger(command); };
    m_workspace->enableCommand = [this](Command command, bool enabled) {
        if (QAction *action = m_commands->action(command))
            action->setEnabled(enabled);
        if (QToolButton *button = m_commands->button(command))
            button->setEnabled(enabled);
    };
    // The grid's own long work (a sort, a search, a copy) waits as the connection's work does: one
    // wait at a time.
    m_sql->grid()->setWorkRunner(
        [&connection](const std::function<void()> &work, const std::function<void()> &cancel) {
            connection.runAside(work, cancel);
        });
    m_sessionCommands = std::make_unique<SessionCommands>(*m_workspace);
    m_tableCommands = std::make_unique<TableCommands>(*m_workspace);
    m_sqlCommands = std::make_unique<SqlCommands>(*m_workspace);
    m_workbenchCommands = std::make_unique<WorkbenchCommands>(*m_workspace, *m_sqlCommands);
    m_reportCommands = std::make_unique<ReportCommands>(*m_workspace, *m_tableCommands);
    m_maintenanceCommands = std::make_unique<MaintenanceCommands>(*m_workspace);
    m_exportCommands = std::make_unique<ExportCommands>(*m_workspace, *m_tableCommands);
    addCommands();
    setUpKeyboard();
    qApp->installEventFilter(new WheelKeyFilter(this));

    // The window as it starts: the language of the system, no connection, the Structure page.
    setUiLanguage(languageForLocale(QLocale::system()));
    m_session->profile.fileName.clear();
    m_sessionCommands->resetWorkArea();
    m_workspace->showPage(Page::Structure);
    m_messages->clear();
    setSpreadsheetAvailable(isSpreadsheetAppRegistered());
    m_workspace->setReportTabVisible(false);
    m_report->setPrintEnabled(false);
}

MainWindow::~MainWindow() = default;

void MainWindow::buildWorkArea()
{
    m_catalogue = new CataloguePane;
    m_pages = new QTabWidget;
    m_pages->setObjectName(QStringLiteral("pages"));
    m_structure = new StructurePage;
    m_sql = new SqlPage(m_session->query());
    m_messages = new MessagesPage;
    m_report = new ReportPage;
    m_pages->addTab(m_structure, QStringLiteral("Structure"));
    m_pages->addTab(m_sql, QStringLiteral("SQL"));
    m_pages->addTab(m_messages, QStringLiteral("Messages"));
    m_pages->addTab(m_report, QStringLiteral("Report"));

    auto *central = new QWidget;
    auto *row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    row->addWidget(m_catalogue);
    row->addWidget(m_pages, 1);
    setCentralWidget(central);
    m_status = new StatusBarPane(statusBar());
}

void MainWindow::addCommands()
{
    CommandTable &table = *m_commands;
    // Commands that replace or drop the result post what was typed into the grid first and
    // cancel rows still arriving; those that keep it but need the connection wait for them.
    const CommandGate replacing{true, FetchRule::Cancel};
    const CommandGate keeping{false, FetchRule::Wait};
    auto menu = [&table](Command command, CommandGate gate, std::function<void()> operation) {
        table.add(command, {gate, true, false, {}}, std::move(operation));
    };
    auto area = [&table](Command command, CommandGate gate, std::function<void()> operation) {
        table.add(command, {gate, false, false, {}}, std::move(operation));
    };
    SessionCommands &session = *m_sessionCommands;
    menu(Command::Connect, replacing, [&session] { session.connect(); });
    menu(Command::Disconnect, replacing, [&session] { session.disconnect(); });
    menu(Command::Load, replacing, [&session] { session.load(); });
    menu(Command::Save, {}, [&session] { session.save(); });
    // Closes the window as its close box does.
    menu(Command::Exit, {}, [this] { close(); });
    menu(Command::Edit, replacing, [&session] { session.edit(); });
    menu(Command::Expand, {}, [this] { m_catalogue->expandAll(); });
    menu(Command::Collapse, {}, [this] { m_catalogue->collapseAll(); });
    menu(Command::Refresh, replacing, [&session] { session.refresh(); });
    WorkbenchCommands &workbench = *m_workbenchCommands;
    menu(Command::Run, replacing, [&workbench] { workbench.runWholeText(); });
    menu(Command::Stats, replacing, [this] { m_sqlCommands->showStatistics(); });
    menu(Command::Report, keeping, [this] { m_reportCommands->writeStructureReport(); });
    menu(Command::Compact, replacing, [this] { m_maintenanceCommands->compact(); });
    menu(Command::ShowStructure, {}, [this] { m_workspace->showPage(Page::Structure); });
    menu(Command::ShowSql, {}, [this] { m_workspace->showPage(Page::Sql); });
    menu(Command::ShowMessages, {}, [this] { m_workspace->showPage(Page::Messages); });
    // How typed numbers are read changes with the language: what was typed goes in first.
    menu(Command::English, {true, FetchRule::None}, [this] { setLanguage(QStringLiteral("en-US")); });
    menu(Command::Portuguese, {true, FetchRule::None}, [this] { setLanguage(QStringLiteral("pt-BR")); });
    menu(Command::WebSite, {}, [this] {
        showMinimized();
        prompt().openUrl(QUrl(texts::makerWebSite()));
    });
    menu(Command::About, {}, [this] {
        applyLanguage();
        if (m_aboutBox)
            prompt().showModal(m_aboutBox);
    });
    // Runs the statement again beside the rows on show: what was typed goes in first, and a fetch
    // still arriving ends before the connection is used.
    menu(Command::ExportData, {true, FetchRule::Wait}, [this] { m_exportCommands->exportData(); });

    area(Command::DescribeTable, keeping, [this] { m_tableCommands->describeSelectedTable(); });
    table.add(Command::QueryTable,
              {replacing, false, false, [this] { return m_tableCommands->tableSelected(); }},
              [this] { m_tableCommands->querySelectedTable(); });
    area(Command::SendStructureToSpreadsheet, {}, [this] { m_tableCommands->sendStructureToSpreadsheet(); });
    area(Command::EditMemo, {}, [this] { m_sqlCommands->openMemoEditor(); });
    area(Command::PrintReport, {}, [this] { m_reportCommands->printReport(); });
    area(Command::ClearLog, {}, [this] { m_messages->clear(); });
    // Stops the fetch at once, whatever waits in the queue.
    table.add(Command::CancelFetch, {{}, false, true, {}}, [this] { m_sqlCommands->cancelFetch(); });
    for (int b = 0; b < RecordNavigator::ButtonCount; ++b) {
        const auto button = RecordNavigator::Button(b);
        area(Command(int(Command::FirstRecord) + b), {},
             [this, button] { m_sqlCommands->recordAction(button); });
    }
    // Each action of the result grid gates itself: a sort or filter posts what was typed first and
    // decides itself between the grid, the database and waiting for the last row.
    area(Command::GridAction, {}, [this] { m_sql->grid()->runNextAction(); });
    area(Command::CloseWindow, replacing, [this] {
        closeSession();
        m_closing = true;
        close();
    });

    // The workbench's runs have Run's gate.
    menu(Command::RunStatement, replacing, [&workbench] { workbench.runStatement(); });
    menu(Command::RunScript, replacing, [&workbench] { workbench.runScript(); });
    menu(Command::ContinueScriptOnError, {}, [&workbench] { workbench.toggleContinueOnError(); });
    menu(Command::Find, {}, [&workbench] { workbench.find(); });
    menu(Command::OpenSqlFile, {}, [&workbench] { workbench.openFile(); });
    menu(Command::SaveSqlFile, {}, [&workbench] { workbench.saveFile(); });
    menu(Command::SaveSqlFileAs, {}, [&workbench] { workbench.saveFileAs(); });
    menu(Command::ShowHistory, {}, [&workbench] { workbench.showHistory(); });

    table.setGates([this] { return m_sqlCommands->postPendingEdit(); },
                   [this](FetchRule rule) { m_sqlCommands->endFetch(rule); });
    table.setUpdate([this] { updateCommands(); });

    connect(m_catalogue, &CataloguePane::clicked, this,
            [this] { m_commands->trigger(Command::DescribeTable); });
    connect(m_catalogue, &CataloguePane::activated, this,
            [this] { m_commands->trigger(Command::QueryTable); });
    // The tree's own handler: an expanded node can be collapsed again.
    connect(m_catalogue, &CataloguePane::expanded, this,
            [this] { m_workspace->enableCommand(Command::Collapse, true); });
    connect(m_structure, &StructurePage::activated, this,
            [this] { m_commands->trigger(Command::SendStructureToSpreadsheet); });
    connect(m_sql, &SqlPage::editorChanged, this, [this] { guarded([this] { onSqlEdited(); }); });
    connect(m_sql, &SqlPage::memoRequested, this, [this] { m_commands->trigger(Command::EditMemo); });
    connect(m_sql, &SqlPage::recordAction, this, [this](RecordNavigator::Button button) {
        m_commands->trigger(Command(int(Command::FirstRecord) + int(button)));
    });
    connect(m_sql, &SqlPage::gridAction, this, [this] { m_commands->trigger(Command::GridAction); });
    connect(m_messages, &MessagesPage::clearRequested, this,
            [this] { m_commands->trigger(Command::ClearLog); });
    connect(m_report, &ReportPage::printRequested, this,
            [this] { m_commands->trigger(Command::PrintReport); });
    connect(m_status, &StatusBarPane::cancelRequested, this,
            [this] { m_commands->trigger(Command::CancelFetch); });
}

void MainWindow::setUpKeyboard()
{
    // Tab goes through the work area from left to right and top to bottom.
    QList<QWidget *> order = m_catalogue->focusOrder();
    order << m_pages;
    order << m_structure->focusOrder() << m_sql->focusOrder() << m_messages->focusOrder()
          << m_report->focusOrder();
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    // Ctrl+F finds where the focus is: in the SQL editor its find bar, in the result grid the
    // grid's own (a key of the window would leave both without it).
    QAction *find = m_commands->action(Command::Find);
    find->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_sql->editor()->addAction(find);
    // F10, or Alt pressed and released, opens the menus.
    auto *menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, this, [this] {
        menuBar()->setFocus(Qt::ShortcutFocusReason);
        menuBar()->setActiveAction(m_menus->fileMenu());
    });
}

void MainWindow::setMemoEditor(MemoEditor *memoEditor)
{
    m_workspace->memoEditor = memoEditor;
}

void MainWindow::setAboutBox(AboutBox *aboutBox)
{
    m_aboutBox = aboutBox;
}

void MainWindow::setAppFolder(const QString &folder)
{
    m_workspace->appFolder = folder;
}

void MainWindow::setSpreadsheetAvailable(bool available)
{
    m_workspace->spreadsheetAvailable = available;
    m_structure->setHint(available ? uiTexts().gridHint : QString());
}

void MainWindow::setScreenLimits(int width, int height)
{
    m_screenWidthLimit = width;
    m_screenHeightLimit = height;
}

void MainWindow::setLanguage(const QString &language)
{
    setUiLanguage(language);
    applyLanguage();
}

void MainWindow::updateCommands()
{
    Connection &connection = m_session->connection();
    CommandInputs in;
    in.connected = connection.isOpen();
    in.sessionLost = m_sessionCommands->lostSessionPending();
    in.connectionString = connection.connectionString();
    in.profileConnectionString = m_session->profile.connectionString;
    in.treeHasNodes = m_catalogue->hasNodes();
    in.editorText = m_sql->editor()->text();
    in.isAccess = m_session->facts.isAccess;
    in.isSqlite = m_session->facts.isSqlite;
    in.activePage = int(m_workspace->activePage());
    in.currentLanguage = uiLanguage();
    const CommandState s = CommandState::compute(in);

    const std::pair<Command, bool> enabled[] = {{Command::Connect, s.connect},
                                                {Command::Disconnect, s.disconnect},
                                                {Command::Load, s.load},
                                                {Command::Save, s.save},
                                                {Command::Exit, s.exit},
                                                {Command::Edit, s.edit},
                                                {Command::Expand, s.expand},
                                                {Command::Collapse, s.collapse},
                                                {Command::Refresh, s.refresh},
                                                {Command::Run, s.run},
                                                {Command::Stats, s.stats},
                                                {Command::Report, s.report},
                                                {Command::Compact, s.compact},
                                                {Command::ExportData, s.exportData},
                                                {Command::RunStatement, s.workbench},
                                                {Command::RunScript, s.workbench},
                                                {Command::ContinueScriptOnError, s.workbench},
                                                {Command::Find, s.workbench},
                                                {Command::OpenSqlFile, s.workbench},
                                                {Command::SaveSqlFile, s.workbench},
                                                {Command::SaveSqlFileAs, s.workbench},
                                                {Command::ShowHistory, s.workbench}};
    // Each tool button follows its menu item.
    for (const auto &[command, on] : enabled)
        m_workspace->enableCommand(command, on);
    const std::pair<Command, bool> checked[] = {
        {Command::ShowStructure, s.structureChecked},
        {Command::ShowSql, s.sqlChecked},
        {Command::ShowMessages, s.messagesChecked},
        {Command::English, s.englishChecked},
        {Command::Portuguese, s.portugueseChecked},
        {Command::ContinueScriptOnError, m_workbenchCommands->continuesOnError()}};
    for (const auto &[command, on] : checked)
        m_commands->action(command)->setChecked(on);

    if (s.resetReportPage) {
        m_workspace->setReportTabVisible(false);
        m_report->clear();
        m_report->setPrintEnabled(false);
    }
}

void MainWindow::onSqlEdited()
{
    m_commands->button(Command::Run)->setEnabled(CommandState::runButtonWhileTyping(m_sql->editor()->text()));
}

void MainWindow::applyLanguage()
{
    const UiTexts &t = uiTexts();
    m_menus->applyTexts(t);
    const WorkbenchTexts &workbench = workbenchTextsFor(uiLanguage());
    m_menus->applyTexts(workbench);
    m_workbenchCommands->applyTexts(workbench);
    m_pages->setTabText(int(Page::Structure), t.structureTab);
    m_pages->setTabText(int(Page::Sql), t.sqlTab);
    m_pages->setTabText(int(Page::Messages), t.messagesTab);
    m_pages->setTabText(int(Page::Report), t.reportTab);
    m_report->setPrintText(t.printButton);
    m_structure->writeHeader(t.gridHeader);
    m_sql->navigator()->setHints(t.navigatorHints);
    m_sql->grid()->applyLanguage();
    m_messages->setClearText(t.clearLogButton);
    m_status->setCancelTexts(t.cancelFetch, t.cancelFetchHint);
    m_sqlCommands->showFetchStatus();
    m_structure->setHint(m_workspace->spreadsheetAvailable ? t.gridHint : QString());
    if (m_aboutBox)
        m_aboutBox->applyTexts(t);
}

void MainWindow::closeSession()
{
    Query &query = m_session->query();
    if (query.isOpen())
        query.close();
    if (m_session->connection().isOpen())
        m_session->connection().close();
}

void MainWindow::bringToFront()
{
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    if (QWidget *modal = QApplication::activeModalWidget()) {
        if (modal->isMinimized())
            modal->setWindowState(modal->windowState() & ~Qt::WindowMinimized);
        modal->raise();
        modal->activateWindow();
    }
}

void MainWindow::activate()
{
    // Maximising may activate the window again; one run per activation.
    if (m_activating)
        return;
    m_activating = true;
    m_activatedOnce = true;
    guarded([this] {
        if (width() <= m_screenWidthLimit && height() <= m_screenHeightLimit && !isMaximized())
            setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
        applyLanguage();
        updateCommands();
    });
    m_activating = false;
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        activate();
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // Without a window manager the window is never activated, yet the texts and command state
    // must be in place before the first command: the first showing counts as an activation.
    if (!m_activatedOnce) {
        QTimer::singleShot(0, this, [this] {
            if (!m_activatedOnce)
                activate();
        });
    }
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_closing) {
        QMainWindow::closeEvent(event);
        return;
    }
    // Closing is a command like any other: what was typed in the grid is posted first (when that
    // fails the window stays open with the edit on screen), rows still arriving are cancelled,
    // and the query and the connection close.
    event->ignore();
    m_commands->trigger(Command::CloseWindow);
}

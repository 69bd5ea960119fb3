#include "window/WindowMenus.h"

#include "query/ResultGrid.h"
#include "shell/Accessibility.h"
#include "shell/ImageList.h"
#include "shell/texts/UiTexts.h"
#include "shell/texts/WorkbenchTexts.h"
#include "window/CommandTable.h"

#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QToolBar>
#include <QToolButton>

#include <optional>

namespace {

// An 8-pixel gap with an etched line between groups of tool buttons.
class ToolSeparator : public QWidget
{
public:
    explicit ToolSeparator(QWidget *parent) : QWidget(parent) { setFixedSize(8, 24); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        const int x = width() / 2 - 1;
        p.setPen(palette().color(QPalette::Mid));
        p.drawLine(x, 2, x, height() - 3);
        p.setPen(palette().color(QPalette::Light));
        p.drawLine(x + 1, 2, x + 1, height() - 3);
    }
};

// The commands whose caption is a text of the language (all but the two language items).
struct Caption
{
    Command command;
    QString UiTexts::*text;
};

const Caption captions[] = {
    {Command::Connect, &UiTexts::connectItem},
    {Command::Disconnect, &UiTexts::disconnectItem},
    {Command::Load, &UiTexts::loadItem},
    {Command::Save, &UiTexts::saveItem},
    {Command::Exit, &UiTexts::exitItem},
    {Command::Edit, &UiTexts::editItem},
    {Command::Expand, &UiTexts::expandItem},
    {Command::Collapse, &UiTexts::collapseItem},
    {Command::Refresh, &UiTexts::refreshItem},
    {Command::Run, &UiTexts::runItem},
    {Command::Stats, &UiTexts::statsItem},
    {Command::Report, &UiTexts::reportItem},
    {Command::ExportData, &UiTexts::exportItem},
    {Command::Compact, &UiTexts::compactItem},
    {Command::ShowStructure, &UiTexts::structureItem},
    {Command::ShowSql, &UiTexts::sqlItem},
    {Command::ShowMessages, &UiTexts::messagesItem},
    {Command::About, &UiTexts::aboutItem},
};

// The workbench's items at the end of the Tools menu, with their keys; a separator where the
// command is none.
struct WorkbenchItem
{
    std::optional<Command> command;
    QString WorkbenchTexts::*text = nullptr;
    QList<QKeySequence> keys;
};

const WorkbenchItem workbenchItems[] = {
    {},
    {Command::RunStatement,
     &WorkbenchTexts::runStatementItem,
     {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)}},
    {Command::RunScript,
     &WorkbenchTexts::runScriptItem,
     {QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Return),
      QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Enter)}},
    {Command::ContinueScriptOnError, &WorkbenchTexts::continueOnErrorItem, {}},
    {},
    {Command::Find, &WorkbenchTexts::findItem, {QKeySequence(Qt::CTRL | Qt::Key_F)}},
    {Command::OpenSqlFile, &WorkbenchTexts::openSqlItem, {QKeySequence(Qt::CTRL | Qt::Key_O)}},
    {Command::SaveSqlFile, &WorkbenchTexts::saveSqlItem, {QKeySequence(Qt::CTRL | Qt::Key_S)}},
    {Command::SaveSqlFileAs,
     &WorkbenchTexts::saveSqlAsItem,
     {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)}},
    {Command::ShowHistory, &WorkbenchTexts::historyItem, {QKeySequence(Qt::CTRL | Qt::Key_H)}},
};

// The tool buttons, left to right; a separator where the command is none.
struct Tool
{
    std::optional<Command> command;
    int image = -1;
    QString UiTexts::*hint = nullptr;
};

const Tool tools[] = {
    {Command::Connect, imagelist::Connect, &UiTexts::hintConnect},
    {Command::Disconnect, imagelist::Disconnect, &UiTexts::hintDisconnect},
    {},
    {Command::Expand, imagelist::Expand, &UiTexts::hintExpand},
    {Command::Collapse, imagelist::Collapse, &UiTexts::hintCollapse},
    {Command::Refresh, imagelist::Refresh, &UiTexts::hintRefresh},
    {},
    {Command::Load, imagelist::Load, &UiTexts::hintLoad},
    {Command::Save, imagelist::Save, &UiTexts::hintSave},
    {Command::Run, imagelist::Run, &UiTexts::hintRun},
    {Command::Stats, imagelist::Statistics, &UiTexts::hintStats},
    {Command::Report, imagelist::Report, &UiTexts::hintReport},
    {},
    {Command::About, imagelist::About, &UiTexts::hintAbout},
};

} // namespace

WindowMenus::WindowMenus(QMainWindow &window, CommandTable &commands) : m_commands(commands)
{
    buildMenus(window);
    buildToolBar(window);
}

void WindowMenus::buildMenus(QMainWindow &window)
{
    using namespace imagelist;
    QMenuBar *bar = window.menuBar();
    auto item = [this](QMenu *menu, Command command, const QString &text, int image = -1) {
        QAction *action = menu->addAction(text);
        if (image >= 0)
            action->setIcon(icon(image));
        m_commands.bind(command, action);
        return action;
    };
    QMenu *file = bar->addMenu(QStringLiteral("File"));
    m_fileMenu = file->menuAction();
    item(file, Command::Connect, QStringLiteral("Connect"), Connect);
    item(file, Command::Disconnect, QStringLiteral("Disconnect"), Disconnect);
    file->addSeparator();
    item(file, Command::Load, QStringLiteral("Load"), Load);
    item(file, Command::Save, QStringLiteral("Save"), Save);
    file->addSeparator();
    item(file, Command::Exit, QStringLiteral("Exit"), Exit);
    // Edit has no list: the top-level item is the command itself.
    m_commands.bind(Command::Edit, bar->addAction(QStringLiteral("Edit")));
    QMenu *view = bar->addMenu(QStringLiteral("View"));
    m_viewMenu = view->menuAction();
    item(view, Command::Expand, QStringLiteral("Expand"), Expand);
    item(view, Command::Collapse, QStringLiteral("Collapse"), Collapse);
    view->addSeparator();
    item(view, Command::Refresh, QStringLiteral("Refresh"), Refresh);
    QMenu *toolsMenu = bar->addMenu(QStringLiteral("Tools"));
    m_toolsMenu = toolsMenu->menuAction();
    item(toolsMenu, Command::Run, QStringLiteral("Run"), Run);
    item(toolsMenu, Command::Stats, QStringLiteral("Stats"), Statistics);
    item(toolsMenu, Command::Report, QStringLiteral("Report"), Report);
    item(toolsMenu, Command::ExportData, QStringLiteral(u"Export data…"));
    toolsMenu->addSeparator();
    item(toolsMenu, Command::Compact, QStringLiteral("Compact"), Compact);
    for (const WorkbenchItem &entry : workbenchItems) {
        if (!entry.command) {
            toolsMenu->addSeparator();
            continue;
        }
        QAction *action = item(toolsMenu, *entry.command, englishWorkbenchTexts().*entry.text);
        action->setShortcuts(entry.keys);
    }
    m_commands.action(Command::ContinueScriptOnError)->setCheckable(true);
    QMenu *windowMenu = bar->addMenu(QStringLiteral("Window"));
    m_windowMenu = windowMenu->menuAction();
    item(windowMenu, Command::ShowStructure, QStringLiteral("Structure"));
    item(windowMenu, Command::ShowSql, QStringLiteral("SQL"));
    item(windowMenu, Command::ShowMessages, QStringLiteral("Messages"));
    QMenu *language = bar->addMenu(QStringLiteral("Language"));
    m_languageMenu = language->menuAction();
    item(language, Command::English, texts::englishLanguageItem());
    item(language, Command::Portuguese, texts::portugueseLanguageItem());
    QMenu *help = bar->addMenu(QStringLiteral("Help"));
    m_helpMenu = help->menuAction();
    QAction *site = item(help, Command::WebSite, texts::makerItem(), WebSite);
    site->setToolTip(texts::makerHost());
    help->setToolTipsVisible(true);
    help->addSeparator();
    item(help, Command::About, QStringLiteral("About..."), imagelist::About);
    for (Command checked : {Command::ShowStructure, Command::ShowSql, Command::ShowMessages, Command::English,
                            Command::Portuguese})
        m_commands.action(checked)->setCheckable(true);
}

void WindowMenus::addResultGridMenu(ResultGrid &grid)
{
    QMenu *tools = m_toolsMenu->menu();
    tools->addSeparator();
    QMenu *menu = tools->addMenu(QStringLiteral("Result grid"));
    m_gridMenu = menu->menuAction();
    grid.fillMenu(menu);
}

void WindowMenus::buildToolBar(QMainWindow &window)
{
    m_toolBar = new QToolBar(QStringLiteral("toolBar"), &window);
    m_toolBar->setObjectName(QStringLiteral("toolBar"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    m_toolBar->toggleViewAction()->setVisible(false);
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->setFixedHeight(29);
    m_toolBar->setContentsMargins(0, 0, 0, 0);
    m_toolBar->layout()->setSpacing(0);
    window.addToolBar(Qt::TopToolBarArea, m_toolBar);
    for (const Tool &tool : tools) {
        if (!tool.command) {
            m_toolBar->addWidget(new ToolSeparator(m_toolBar));
            continue;
        }
        auto *button = new QToolButton(m_toolBar);
        button->setIcon(imagelist::icon(tool.image));
        button->setIconSize(QSize(16, 16));
        button->setFixedSize(25, 24);
        button->setAutoRaise(true);
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        // Every tool button's command is also a menu item: the buttons stay out of the Tab order.
        button->setFocusPolicy(Qt::NoFocus);
        m_toolBar->addWidget(button);
        m_commands.bind(*tool.command, button);
    }
}

void WindowMenus::applyTexts(const UiTexts &texts)
{
    m_fileMenu->setText(texts.fileMenu);
    m_viewMenu->setText(texts.viewMenu);
    m_toolsMenu->setText(texts.toolsMenu);
    if (m_gridMenu)
        m_gridMenu->setText(texts.grid.menu);
    m_windowMenu->setText(texts.windowMenu);
    m_languageMenu->setText(texts.languageMenu);
    m_helpMenu->setText(texts.helpMenu);
    for (const Caption &caption : captions)
        m_commands.action(caption.command)->setText(texts.*caption.text);
    // The buttons show only pictures: the hint is also the name a screen reader says.
    for (const Tool &tool : tools) {
        if (tool.command)
            a11y::setHint(m_commands.button(*tool.command), texts.*tool.hint);
    }
}

void WindowMenus::applyTexts(const WorkbenchTexts &texts)
{
    for (const WorkbenchItem &entry : workbenchItems) {
        if (entry.command)
            m_commands.action(*entry.command)->setText(texts.*entry.text);
    }
}

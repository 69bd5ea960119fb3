#pragma once

#include <QList>

class CommandTable;
class QAction;
class QMainWindow;
class QToolBar;
class QToolButton;
class ResultGrid;
struct UiTexts;
struct WorkbenchTexts;

// The menu bar and the tool bar of the main window, built from the command table: each item and
// button is bound to its command there.
class WindowMenus
{
public:
    WindowMenus(QMainWindow &window, CommandTable &commands);

    // Tools > Result grid: the result grid's own commands, the same items (and keys) as its
    // context menu.
    void addResultGridMenu(ResultGrid &grid);
    // Captions of the menus and items, hints of the tool buttons (also their accessible names).
    void applyTexts(const UiTexts &texts);
    void applyTexts(const WorkbenchTexts &texts);
    QToolBar *toolBar() const { return m_toolBar; }
    QAction *fileMenu() const { return m_fileMenu; }

private:
    void buildMenus(QMainWindow &window);
    void buildToolBar(QMainWindow &window);

    CommandTable &m_commands;
    QAction *m_fileMenu = nullptr;
    QAction *m_viewMenu = nullptr;
    QAction *m_toolsMenu = nullptr;
    QAction *m_gridMenu = nullptr;
    QAction *m_windowMenu = nullptr;
    QAction *m_languageMenu = nullptr;
    QAction *m_helpMenu = nullptr;
    QToolBar *m_toolBar = nullptr;
};

#pragma once

#include <QString>

// What the command state is computed from, read off the main window at the moment of the call.
struct CommandInputs
{
    bool connected = false;
    // The session went away under the program (not a Disconnect) and its connection string is
    // still the pending one: Refresh opens it again.
    bool sessionLost = false;
    QString connectionString;        // as the connection reports it now
    QString profileConnectionString; // the one last loaded, edited or saved
    bool treeHasNodes = false;
    QString editorText;
    bool isAccess = false;
    bool isSqlite = false;
    int activePage = 0; // 0 Structure, 1 SQL, 2 Messages, 3 report
    QString currentLanguage;
};

// Enabled and checked states of every command; the tool buttons follow their menu items.
struct CommandState
{
    bool connect = false;
    bool disconnect = false;
    bool load = false;
    bool save = false;
    bool exit = false;
    bool edit = false;
    bool expand = false;
    bool collapse = false;
    bool refresh = false;
    bool run = false;
    bool stats = false;
    bool report = false;
    bool compact = false;
    bool exportData = false;
    // The SQL page's workbench: its runs, Find, .sql files and the History window.
    bool workbench = false;

    bool structureChecked = false;
    bool sqlChecked = false;
    bool messagesChecked = false;
    bool englishChecked = false;
    bool portugueseChecked = false;

    // Not connected: the report page is taken away.
    bool resetReportPage = false;

    static CommandState compute(const CommandInputs &in);

    // The Run tool button while the user types: some character above the blank remains once the
    // text is trimmed of characters of code 32 and below at both ends.
    static bool runButtonWhileTyping(const QString &editorText);

    bool operator==(const CommandState &) const = default;
};

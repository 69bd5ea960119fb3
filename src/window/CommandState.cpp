#include "window/CommandState.h"

CommandState CommandState::compute(const CommandInputs &in)
{
    CommandState s;
    s.connect = !in.connected;
    s.disconnect = in.connected;
    s.load = true;
    s.save = in.connectionString != in.profileConnectionString;
    s.exit = true;
    s.edit = in.connected || !in.profileConnectionString.isEmpty();
    s.expand = in.treeHasNodes;
    s.collapse = in.treeHasNodes;
    // Refresh reconnects a lost session; after a Disconnect only Connect opens it again.
    s.refresh = in.connected || in.sessionLost;
    s.run = in.connected && !in.editorText.isEmpty();
    s.stats = in.connected && !in.isAccess;
    s.report = in.connected;
    // Export data follows Report.
    s.exportData = s.report;
    // The editor is on show with a connection; Ctrl+Enter and F5 work on the text they find then.
    s.workbench = in.connected;
    // SQLite files compact as well as Access files.
    s.compact = in.connected && (in.isAccess || in.isSqlite);

    s.structureChecked = in.activePage == 0;
    s.sqlChecked = in.activePage == 1;
    s.messagesChecked = in.activePage == 2;
    s.englishChecked = in.currentLanguage == QLatin1String("en-US");
    s.portugueseChecked = in.currentLanguage == QLatin1String("pt-BR");

    s.resetReportPage = !in.connected;
    return s;
}

bool CommandState::runButtonWhileTyping(const QString &editorText)
{
    for (const QChar c : editorText) {
        if (c.unicode() > 32)
            return true;
    }
    return false;
}

#pragma once

#include "editor/CompletionSource.h"
#include "editor/EditorTextStore.h"
#include "editor/QueryHistory.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QSet>

#include <memory>
#include <optional>

class HistoryWindow;
class SqlCommands;
class SqlEditor;
class Workspace;
struct Catalogue;
struct SqlStatement;
struct WorkbenchTexts;

// The SQL page as a workbench: the statement under the cursor and the whole text as a script;
// the history of what ran (a file of the user's, Ctrl+Up and Ctrl+Down in the editor, the History
// window); completion from the catalogue read for the tree; Find; .sql files; and the editor's
// text kept for each profile between runs of the program.
class WorkbenchCommands
{
public:
    // Installs itself on the workspace: told of each catalogue read, of a session's editor put on
    // show and of the work area about to be reset.
    WorkbenchCommands(Workspace &workspace, SqlCommands &sql);
    ~WorkbenchCommands();
    WorkbenchCommands(const WorkbenchCommands &) = delete;
    WorkbenchCommands &operator=(const WorkbenchCommands &) = delete;

    // Run: the whole text sent as one, as it always was; kept in the history.
    void runWholeText();
    // The statement under the cursor, or the selection, briefly highlighted.
    void runStatement();
    // The whole text statement by statement, as one piece of work: each outcome logged by its
    // line, the first error's place marked, the last rows shown.
    void runScript();
    bool continuesOnError() const { return m_continueOnError; }
    void toggleContinueOnError() { m_continueOnError = !m_continueOnError; }

    void find();
    void openFile();
    void saveFile();
    void saveFileAs();
    void showHistory();

    void applyTexts(const WorkbenchTexts &texts);

    QueryHistory &history() { return m_history; }
    HistoryWindow *historyWindow() const { return m_historyWindow; }

private:
    void catalogueRead(const Catalogue &catalogue);
    void sessionShown();
    void workAreaResetting();

    SqlEditor &editor() const;
    // Runs a statement through the query as Run does; statement places it in the editor's text.
    void runThroughQuery(const SqlStatement &statement, const QString &text);
    void nothingToRun();
    // The profile's file name, or the window's caption for a connection without one.
    QString historySource() const;
    void record(const HistoryEntry &entry);
    // The run whose rows were still arriving when it returned, recorded once they are in.
    void recordArrivedRows();
    // Reads the columns of a table the catalogue did not describe, once the connection is idle.
    void readColumnsLater(const QString &schema, const QString &table);
    QString profileKey() const;

    Workspace &m_workspace;
    SqlCommands &m_sql;
    QueryHistory m_history;
    EditorTextStore m_textStore;
    CompletionSource m_completion;
    HistoryWindow *m_historyWindow = nullptr;
    bool m_continueOnError = false;

    // The editor holds the text of the session's profile: it is kept when the session ends.
    bool m_holdsProfileText = false;

    std::optional<HistoryEntry> m_arriving;
    QElapsedTimer m_arrivingTimer;
    QMetaObject::Connection m_fetchEnded;

    // Counts the catalogues read: a column read for an older one is dropped.
    int m_catalogueGeneration = 0;
    QSet<QString> m_columnReads;
    // Tells the tasks handed to the connection whether this object is still there.
    std::shared_ptr<int> m_life = std::make_shared<int>(0);
};

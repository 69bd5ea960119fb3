#pragma once

#include "db/DataAccess.h"
#include "query/RecordNavigator.h"
#include "window/CommandTable.h"

#include <optional>

class Workspace;

// How a statement sent as Run sends the editor's text ended: failed (the error reported), and
// where the database placed the error in the text when it said.
struct SqlRunResult
{
    bool failed = false;
    std::optional<SqlErrorPosition> errorPosition;
};

// The commands of the SQL page: Run, Stats, the memo editor and the record navigator's actions;
// the running count in the status bar while rows arrive; and the two gates of the command table:
// posting the grid's pending edit and ending a fetch still running.
class SqlCommands
{
public:
    explicit SqlCommands(Workspace &workspace);

    // Runs the editor's whole text (Run).
    void runSql();
    // Runs a text as Run does: its rows on show, the first at once and the rest streaming in, or
    // the records affected in the status bar; an error reported.
    SqlRunResult runText(const QString &sql);
    void showStatistics();
    void openMemoEditor();
    void recordAction(RecordNavigator::Button button);
    void cancelFetch();

    // An open cell editor is written into the record and a pending edit is posted. False when that
    // failed: the error has been shown, the edit stays, the command must stop. When the post
    // found the session gone, the edit has been logged and dropped, and the command goes on.
    bool postPendingEdit();
    void endFetch(FetchRule rule);
    // The running count while rows arrive; nothing once they are in.
    void showFetchStatus();

private:
    void onFetchEnded();
    // The rows of the result on show: " Selected records: n", or how many match its filters.
    void showRowsStatus();

    Workspace &m_workspace;
};

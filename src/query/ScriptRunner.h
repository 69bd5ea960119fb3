#pragma once

#include "db/DataAccess.h"
#include "editor/StatementSplitter.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>

// What became of one statement of a script.
struct StatementOutcome
{
    enum class Result {
        Rows,          // it returned rows (rows tells how many)
        Command,       // it ran as a command (affected tells how many records, -1 unknown)
        Failed,        // the database refused it (error)
        Cancelled,     // Cancel stopped it; rows it returned so far are in rows
        ClientCommand, // a psql command, which no database runs: refused before it was sent
        Skipped,       // a psql command that changes nothing here (\restrict, \unrestrict): passed over
    };

    int index = 0; // among the script's statements, from 0
    int line = 1;  // where it starts in the script, from 1
    // The statement's first line, for the log.
    QString head;
    Result result = Result::Command;
    qint64 rows = -1;
    qint64 affected = -1;
    qint64 elapsedMs = 0;
    QString error;
    // Where the database placed the error in the script: an offset (-1 unknown) and its line
    // (0 unknown; known alone when the database names only a line).
    qsizetype errorOffset = -1;
    int errorLine = 0;
};

// A place in a script: an offset (-1 unknown) and its line (from 1; 0 unknown).
struct ScriptPlace
{
    qsizetype offset = -1;
    int line = 0;
};

struct ScriptResult
{
    QList<StatementOutcome> outcomes; // in the order they ran; statements never reached have none
    // The rows of the last statement that returned rows, and the index of its outcome.
    std::unique_ptr<Recordset> rows;
    int rowsOutcome = -1;
    int statementCount = 0;
    int failures = 0;
    bool cancelled = false;
    // An error ended the script before its last statement.
    bool stopped = false;
    // The session was lost: the connection has closed itself.
    bool connectionLost = false;
    qint64 elapsedMs = 0;
};

// Runs the statements of a script one after the other as one piece of work on the connection's
// worker: one progress display, one Cancel for the whole script.
class ScriptRunner
{
public:
    enum class OnError { Stop, Continue };

    explicit ScriptRunner(Connection &connection) : m_connection(connection) {}

    // Cancel stops the statement running and the script with it. progress, when given, is told
    // of each outcome as it comes, on the worker's thread.
    ScriptResult run(const QList<SqlStatement> &statements, const QString &script, OnError onError,
                     const std::function<void(const StatementOutcome &)> &progress = {});

    // The line (from 1) of an offset into a script.
    static int lineAt(const QString &script, qsizetype offset);
    // Where an error the database placed in a statement lies in the script.
    static ScriptPlace placeInScript(const SqlErrorPosition &position, const SqlStatement &statement,
                                     const QString &script);

    // The statement's first line, cut to a length that fits a log line.
    static QString headOf(const QString &text);

private:
    Connection &m_connection;
};

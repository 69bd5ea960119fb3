#pragma once

#include "db/DataAccess.h"
#include "db/fetch/CancelGate.h"
#include "db/fetch/CellSink.h"

#include <atomic>
#include <memory>

// The one road from a backend's rows to a result.
//
// A backend supplies a StatementCursor over a statement text it has sent: how to step to the
// next result and to the next row, and how to write the current row into a CellSink. The rest
// (progress, cancel, "incomplete", which result a text gives, and freeing whatever the server
// still sends on every path) is written once, here.
//
// Beyond Backend::execute, the same pieces serve:
//  - Results shown while they arrive. On the worker: Backend::openCursor, nextResult() until a
//    result has fields, then RowFetcher::fetch(store, N) for a first batch; hand the fields and
//    the RowStore to the window and go on calling fetch(store) on the worker until it answers End
//    or Cancelled; then nextResult() to the end of the text (or just destroy the cursor, which
//    discards the rest). The connection is busy until the cursor is destroyed: no other call
//    may use it meanwhile, and Cancel (Backend::cancel) reaches the cursor's statement only.
//  - A data export: the same steps with the file writer as the sink, no RowStore in between.
// Both reach the cursor through Connection, which owns the worker: a Connection call that runs
// the first steps through the work runner, keeps the cursor and the piece of work open (its
// Cancel still reaching the backend) while the rest is read, and ends them when the cursor goes
// (Connection::stream, over ResultStream).

// One statement text running on a backend's connection, read result by result, row by row.
// Destroying it ends the statement: what the server still has to send is discarded (drained,
// cancelled or its results freed), so the connection can run the next statement.
class StatementCursor
{
public:
    // From here until the cursor is destroyed the statement counts as running: Cancel reaches it.
    explicit StatementCursor(CancelGate &gate) : m_running(gate), m_gate(gate) {}
    virtual ~StatementCursor() = default;
    StatementCursor(const StatementCursor &) = delete;
    StatementCursor &operator=(const StatementCursor &) = delete;

    // Moves to the next result of the text, skipping what is left of the current one: true with
    // rows when fields() is not empty, true with a command (recordsAffected()) when it is; false
    // at the end of the text. Throws DataAccessError.
    virtual bool nextResult() = 0;
    virtual const QList<FieldInfo> &fields() const = 0;
    // Records the current command changed; -1 when the database does not tell.
    virtual qint64 recordsAffected() const = 0;
    // Moves to the next row of the current result; false at its end. Everything that talks to
    // the database happens here. Throws DataAccessError.
    virtual bool nextRow() = 0;
    // Writes the row nextRow() fetched into sink: beginRow, one add call per field, endRow. Only
    // the sink can make it fail.
    virtual void readRow(CellSink &sink) = 0;
    // Once the text has ended: adds to the fields of its last result with rows what can only be
    // asked while the connection is free (base tables, nullability).
    virtual void completeFields(QList<FieldInfo> &) {}

    bool cancelled() const { return m_gate.cancelled(); }

private:
    CancelGate::Running m_running;
    CancelGate &m_gate;
};

// Reads the rows of a cursor's current result into a sink, in as many steps as the caller likes.
class RowFetcher
{
public:
    enum class Step { More, End, Cancelled };

    // rowsFetched, when given, follows rows() for a progress display on another thread.
    explicit RowFetcher(StatementCursor &cursor, std::atomic<qint64> *rowsFetched = nullptr);

    // Reads up to limit rows (all when negative). Cancelled when Cancel reached the statement:
    // the rows read so far stay in the sink, whole. A failure of the database throws, as does a
    // failure of the sink (which then holds a partial row: drop it).
    Step fetch(CellSink &sink, qint64 limit = -1);
    qint64 rows() const { return m_rows; }
    // The database's words for the cancel, when it answered one with an error.
    const QString &cancelText() const { return m_cancelText; }

private:
    void publish();

    StatementCursor &m_cursor;
    std::atomic<qint64> *m_rowsFetched;
    qint64 m_rows = 0;
    QString m_cancelText;
};

// Runs the whole text: what Backend::execute returns. Each result with rows goes into a RowStore
// of its own and the text gives the last one; recordsAffected is the count of its last result
// (the rows of a result set, or the records a command changed; 0 when the text ran nothing). On Cancel the
// rows so far stay: the text gives the latest result that received rows, marked incomplete, or, when none
// did, the cancel's error. Any other failure throws and keeps nothing. The cursor is destroyed (its statement
// ended) before this returns.
ExecResult fetchAll(std::unique_ptr<StatementCursor> cursor, std::atomic<qint64> *rowsFetched);

// The text of a cancelled call that has no words of the database's own.
QString cancelledText();

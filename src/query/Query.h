#pragma once

#include "db/DataAccess.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

// The query: a command text and, while open, the rows it returned.
// Shared by the SQL runner and the version query; the result grid watches it.
//
// A streaming query (the SQL runner's) shows its rows while they arrive: run() returns once the
// first rows are in, and the rest are announced in batches (rowsAboutToArrive, rowsArrived, a
// few times a second) until fetchEnded. Meanwhile the connection is busy with the fetch
// (Connection::stream). Whatever replaces or drops the rows (run, close, destruction) cancels a
// fetch still running first.
class Query : public QObject
{
    Q_OBJECT

public:
    explicit Query(Connection *connection, QObject *parent = nullptr);
    ~Query() override;

    QString sql() const { return m_sql; }
    // A new text also drops the statement the grid ran in its place (runShaped).
    void setSql(const QString &sql)
    {
        m_sql = sql;
        m_shapedSql.clear();
        m_shapedParams.clear();
        ++m_textSerial;
    }
    // Changes with every setSql: a result run again (refresh, runShaped) keeps it.
    quint64 textSerial() const { return m_textSerial; }
    // Runs, in place of sql(), a statement made of it (the grid's sort or filter by the
    // database) with its parameters; run() then runs that statement until the next setSql.
    // What run() returns.
    bool runShaped(const QString &statement, const QList<QVariant> &params);
    // Runs sql() itself again, no longer the statement runShaped gave.
    bool runUnshaped();
    // The statement run() runs: sql() or the one runShaped gave.
    QString runningSql() const { return m_shapedSql.isNull() ? m_sql : m_shapedSql; }

    // Off by default: run() returns with every row.
    void setStreaming(bool streaming) { m_streaming = streaming; }
    bool streaming() const { return m_streaming; }
    // How long a streaming run waits for rows before it shows the first ones.
    void setFirstRowsMs(int ms) { m_firstRowsMs = ms; }
    // How often rows that arrived are announced.
    static constexpr int announceMs = 100;

    bool isOpen() const { return m_recordset != nullptr; }
    // Runs sql(); returns true when it yielded rows (the query is then open), false when it
    // ran as a command (recordsAffected() tells how many). Throws DataAccessError.
    bool run();
    // Like run() with every row, never streaming, and a statement without rows is an error (the
    // version query).
    void open();
    void close();
    // Shows rows read elsewhere as this query's result, complete (a script's last rows): sql()
    // becomes the statement that gave them, which Refresh and an export run again.
    void adopt(std::unique_ptr<Recordset> recordset, const QString &sql);

    Recordset *recordset() const { return m_recordset.get(); }
    // The rows announced so far; every row once the fetch has ended.
    qint64 rowCount() const;
    qint64 recordsAffected() const { return m_recordsAffected; }
    // Rows are still arriving.
    bool isFetching() const { return m_fetching; }
    // Asks the fetch to stop and returns at once; the rows so far stay (fetchEnded follows).
    void cancelFetch();
    // Ends a running fetch, cancelled first when asked, else waited for (in the work runner,
    // whose Cancel cancels it); fetchEnded has been emitted when this returns.
    void finishFetch(bool cancel);
    // Why the last fetch stopped short when an error stopped it; empty otherwise.
    QString fetchError() const { return m_fetchError; }

    // Field Tags: minimum widths of stretchable grid columns, 0 by default.
    int tag(int field) const;
    void setTag(int field, int tag);
    // Value of a field of the first row as text; empty when absent.
    QString firstRowText(const QString &fieldName) const;

    Connection *connection() const { return m_connection; }

    // Work to do with the fields of a result once all its rows are in, in the same piece of work
    // as the statement, on the connection's worker (the record editor's analysis). It must not
    // touch the window. It does not run for a cancelled or failed fetch.
    void setRowsStep(std::function<void(const QList<FieldInfo> &)> step) { m_rowsStep = std::move(step); }

signals:
    void opened();
    void closed();
    // Rows first..last (0-based) have arrived: announced before and after rowCount() grows.
    void rowsAboutToArrive(qint64 first, qint64 last);
    void rowsArrived(qint64 first, qint64 last);
    // The fetch has ended: all rows are in, or it was cancelled (recordset()->incomplete()) or
    // failed (fetchError()). The connection is free again.
    void fetchEnded();

private:
    bool runWith(bool streaming);
    void announceRows();
    void fetchFinished(StreamEnd end);
    void setRecordset(std::unique_ptr<Recordset> recordset);

    Connection *m_connection;
    QString m_sql;
    QString m_shapedSql;
    QList<QVariant> m_shapedParams;
    quint64 m_textSerial = 0;
    std::unique_ptr<Recordset> m_recordset;
    qint64 m_recordsAffected = -1;
    QList<int> m_tags;
    std::function<void(const QList<FieldInfo> &)> m_rowsStep;
    bool m_streaming = false;
    int m_firstRowsMs = 50;
    bool m_fetching = false;
    qint64 m_announced = 0;
    QString m_fetchError;
    QTimer m_announcer;
};

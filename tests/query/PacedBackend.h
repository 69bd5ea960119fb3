#pragma once

#include "db/DataAccess.h"
#include "db/fetch/Fetch.h"

#include <QMutex>
#include <QStringList>

#include <condition_variable>
#include <mutex>
#include <thread>

// A database whose one table t (id INTEGER PRIMARY KEY, name TEXT) sends its rows only as fast as
// the test lets them through, so that a fetch can be caught before its first rows, half way or
// after its end. Cancel stops a waiting fetch at once, with an error as a server answers one.
// Every call is logged, and a call that comes while another one uses the session is noted.
class PacedBackend : public Backend
{
public:
    explicit PacedBackend(qint64 total) : m_total(total) {}

    // Lets rows through until count have been sent. Any thread.
    void allow(qint64 count);
    // The row (0-based) at which the fetch fails with an error of the database; -1 for none.
    void failAt(qint64 row) { m_failAt = row; }
    // How long each call other than a row step keeps the session, so that a call made beside
    // another one is caught overlapping it.
    void setCallMs(int ms) { m_callMs = ms; }
    qint64 total() const { return m_total; }

    QStringList log() const;
    bool overlapped() const { return m_overlapped.load(); }
    // The threads cancel() was called on.
    QList<std::thread::id> cancelThreads() const;

    static QString nameOf(qint64 row) { return QStringLiteral("row %1").arg(row + 1); }

    void connect() override {}
    void disconnect() override {}
    SqlDialect dialect() const override { return SqlDialect::Sqlite; }
    QString defaultDatabase() override;
    QString defaultSchema() override { return QString(); }
    QList<TableInfo> tables() override;
    QList<ColumnInfo> columns(const QString &schema, const QString &table) override;
    QList<KeyColumnInfo> primaryKeys(const QString &schema, const QString &table) override;
    QList<ForeignKeyInfo> foreignKeys(const QString &, const QString &) override { return {}; }
    QList<IndexInfo> indexes(const QString &, const QString &) override { return {}; }
    TableMetadata tableMetadata(const QString &schema, const QString &table) override;
    std::unique_ptr<StatementCursor> openCursor(const QString &sql, const QList<QVariant> *params) override;
    void cancel() override;
    QString quoteIdentifier(const QString &name) const override { return u'"' + name + u'"'; }
    QString placeholder(int) const override { return QStringLiteral("?"); }

private:
    friend class PacedCursor;

    static QList<ColumnInfo> columnsOfT();

    // Marks the session in use for the span of a call.
    class Use
    {
    public:
        Use(PacedBackend &backend, const QString &what);
        ~Use();

    private:
        PacedBackend &m_backend;
    };

    const qint64 m_total;
    std::atomic<qint64> m_failAt{-1};
    std::atomic<int> m_callMs{0};
    CancelGate m_gate;
    std::mutex m_mutex;
    std::condition_variable m_moved;
    qint64 m_allowed = 0; // under m_mutex
    mutable QMutex m_logMutex;
    QStringList m_log;
    std::atomic<int> m_users{0};
    QList<std::thread::id> m_cancelThreads; // under m_logMutex
    std::atomic<bool> m_overlapped{false};
};

#pragma once

#include "connection/dataaccess/DataAccess.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

// The query object (ADOQuery1): a command text and, while open, the rows it returned.
// Shared by the SQL runner and the version query; the result grid watches it.
class AdoQuery : public QObject
{
    Q_OBJECT

public:
    explicit AdoQuery(Connection *connection, QObject *parent = nullptr);
    ~AdoQuery() override;

    QString sql() const { return m_sql; }
    void setSql(const QString &sql) { m_sql = sql; }

    bool isOpen() const { return m_recordset != nullptr; }
    // Runs sql(); returns true when it yielded rows (the query is then open), false when it
    // ran as a command (recordsAffected() tells how many). Throws DataAccessError.
    bool run();
    // Like run(), but a statement without rows is an error (the version query).
    void open();
    void close();

    Recordset *recordset() const { return m_recordset.get(); }
    qint64 recordsAffected() const { return m_recordsAffected; }
    // Field Tags: minimum widths of stretchable grid columns, 0 by default.
    int tag(int field) const;
    void setTag(int field, int tag);
    // Value of a field of the first row as text; empty when absent.
    QString firstRowText(const QString &fieldName) const;

    Connection *connection() const { return m_connection; }

    // Work to do with new rows in the same piece of work as the statement, on the connection's
    // worker (the record editor's analysis of the result). It must not touch the window.
    void setRowsStep(std::function<void(const Recordset &)> step) { m_rowsStep = std::move(step); }

signals:
    void opened();
    void closed();

private:
    Connection *m_connection;
    QString m_sql;
    std::unique_ptr<Recordset> m_recordset;
    qint64 m_recordsAffected = -1;
    QList<int> m_tags;
    std::function<void(const Recordset &)> m_rowsStep;
};

#pragma once

#include "connection/dataaccess/DataAccess.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <functional>

#include "sql/AdoQuery.h"

// How the rows of a result are written back, decided once per opened result.
struct EditTarget
{
    bool editable = false;
    QString reason; // why the result is read-only
    QString schema;
    QString table;
    QStringList columns;  // base column of each field, in field order
    QList<int> keyFields; // the fields that find a row: its primary key, or else every field
    bool primaryKey = false;
    QList<bool> autoIncrement; // per field
};

// The record editing of the result grid: the current record, the pending edit or insert, and
// the one UPDATE, INSERT or DELETE a post or delete sends. The rows shown are the result's
// rows followed, while an insert is pending, by the new row.
//
// Operations that fail hand the error text to the error handler (the main window logs it) and
// return false; without a handler the error is thrown.
class RowEditor : public QObject
{
    Q_OBJECT

public:
    enum class State { Browse, Edit, Insert };

    explicit RowEditor(AdoQuery *query, QObject *parent = nullptr);
    ~RowEditor() override;

    AdoQuery *query() const { return m_query; }
    // The open result; null when none is open (or the query is gone).
    Recordset *recordset() const;
    bool isOpen() const;
    qint64 rowCount() const;
    int fieldCount() const;
    qint64 currentRow() const { return m_current; }
    State state() const { return m_state; }

    // The analysis runs on first use and asks the database for the table's key.
    const EditTarget &target();
    bool isEditable() { return target().editable; }
    QString readOnlyReason() { return target().reason; }

    // The value shown for a cell: the pending value on the record being edited or inserted.
    QVariant value(qint64 row, int field) const;

    // Moving posts a pending edit or insert first; when that fails the record stays current.
    bool setCurrentRow(qint64 row);
    bool first() { return setCurrentRow(0); }
    bool prior() { return setCurrentRow(m_current - 1); }
    bool next() { return setCurrentRow(m_current + 1); }
    bool last() { return setCurrentRow(rowCount() - 1); }

    bool edit();
    bool insert();
    // Sets a field of the current record, starting an edit when none is pending. Text given for
    // a number, date or boolean field is converted; empty text there means NULL.
    bool setValue(int field, const QVariant &value);
    bool post();
    void cancel();
    // Asks for confirmation, then deletes the current record.
    bool remove();
    // Posts a pending change, runs the query again and keeps the current row index.
    bool refresh();

    void setErrorHandler(std::function<void(const QString &)> handler)
    {
        m_errorHandler = std::move(handler);
    }

    // The texts of the confirmation and of the errors.
    static QString deleteQuestion();
    static QString conflictText();

signals:
    void aboutToReset();
    void reset();
    void rowAboutToBeInserted(qint64 row);
    void rowInserted(qint64 row);
    void rowAboutToBeRemoved(qint64 row);
    void rowRemoved(qint64 row);
    void rowChanged(qint64 row);
    void currentRowChanged(qint64 row);
    void stateChanged(RowEditor::State state);

private:
    void resetState();
    void analyse();
    QList<QVariant> storedRow(qint64 row) const;
    QVariant coerce(int field, const QVariant &value) const;
    void ensureEditable();
    void postEdit();
    void postInsert();
    void deleteRow();
    QString qualifiedTable() const;
    // Appends "col = ?" / "col IS NULL" terms for the fields to where and params.
    void addCriteria(const QList<int> &fields, const QList<QVariant> &values, QStringList &where,
                     QList<QVariant> &params) const;
    void requireOneMatch(const QString &whereSql, const QList<QVariant> &params);
    QList<QVariant> reread(const QList<QVariant> &values);
    void setState(State state);
    bool attempt(const std::function<void()> &work);

    QPointer<AdoQuery> m_query; // the main window may destroy the query before its model
    EditTarget m_target;
    bool m_analysed = false;
    qint64 m_current = -1;
    qint64 m_beforeInsert = -1;
    State m_state = State::Browse;
    QList<QVariant> m_original;
    QList<QVariant> m_values;
    QList<bool> m_touched;
    std::function<void(const QString &)> m_errorHandler;
};

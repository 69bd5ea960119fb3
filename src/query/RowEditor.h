#pragma once

#include "db/DataAccess.h"
#include "query/EditTarget.h"

#include <QList>
#include <QLocale>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>

#include "query/Query.h"

// The record editing of the result grid: the current record, the pending edit or insert, and
// the one UPDATE, INSERT or DELETE a post or delete sends (RowWriter). The rows shown are the
// result's rows followed, while an insert is pending, by the new row.
//
// Whether the result can be written back is decided once all its rows are in (EditAnalysis, run
// in the same piece of work as the query, or on its own after a cancel); everything else here
// reads that answer. While rows are still arriving the result is read-only.
//
// Operations that fail hand the error text to the error handler (the main window logs it) and
// return false; without a handler the error is thrown. Nothing here asks the user anything:
// the delete confirmation belongs to the window.
class RowEditor : public QObject
{
    Q_OBJECT

public:
    enum class State { Browse, Edit, Insert };

    explicit RowEditor(Query *query, QObject *parent = nullptr);
    ~RowEditor() override;

    Query *query() const { return m_query; }
    // The open result; null when none is open (or the query is gone).
    Recordset *recordset() const;
    bool isOpen() const;
    qint64 rowCount() const;
    int fieldCount() const;
    qint64 currentRow() const { return m_current; }
    State state() const { return m_state; }

    // The stored answer of the analysis; never asks the database.
    const EditTarget &target() const { return m_target; }
    bool isEditable() const { return m_target.editable; }
    QString readOnlyReason() const { return m_target.reason; }
    // Runs the analysis of the open result now, as one piece of work on the connection (a
    // result normally brings its analysis along when it opens).
    void analyse();
    // Why a row of an editable result cannot be changed or deleted (a NULL key value does not
    // identify it); empty when it can. Reads the stored values only.
    QString rowRefusal(qint64 row) const;
    bool canEditRow(qint64 row) const { return isEditable() && rowRefusal(row).isEmpty(); }

    // The value shown for a cell: the pending value on the record being edited or inserted.
    QVariant value(qint64 row, int field) const;
    AdoType fieldType(int field) const;

    // Moving posts a pending edit or insert first; when that fails the record stays current.
    bool setCurrentRow(qint64 row);
    bool isFetching() const;
    bool first() { return setCurrentRow(0); }
    bool prior() { return setCurrentRow(m_current - 1); }
    bool next() { return setCurrentRow(m_current + 1); }
    bool last() { return setCurrentRow(rowCount() - 1); }

    bool edit();
    bool insert();
    // Sets a field of the current record, starting an edit when none is pending. Text given for
    // a number or boolean field is read in locale(); text that is no such value is refused
    // before anything changes. Empty text there means NULL.
    bool setValue(int field, const QVariant &value);
    bool post();
    void cancel();
    // Reports (through the error handler) why the current record cannot be deleted; true when
    // it can. The window asks for confirmation between this and remove().
    bool canRemove();
    // Deletes the current record (a pending insert is just dropped).
    bool remove();
    // Posts a pending change, runs the query again and keeps the current row index (once that
    // row has arrived).
    bool refresh();

    // A change that was pending when it had to be dropped unwritten.
    struct DroppedChange
    {
        QString table;      // as the analysis found it, with its schema
        QStringList key;    // "column = value" of the changed row's key; empty for a new row
        QStringList values; // "column = value" of each field typed
    };
    // Drops a pending edit or insert without writing it (the session that would have written it is
    // gone) and says what it held, so that nothing typed is lost; nothing when none is pending.
    std::optional<DroppedChange> dropPendingChange();

    void setErrorHandler(std::function<void(const QString &)> handler)
    {
        m_errorHandler = std::move(handler);
    }
    // The locale numbers are typed in: the language of the interface. C when not set.
    void setLocaleProvider(std::function<QLocale()> provider) { m_localeProvider = std::move(provider); }
    QLocale locale() const;

    static QString conflictText();
    static QString arrivingText();

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
    // Rows of a result still arriving (Query): first..last join the rows, then the fetch ends.
    void rowsAboutToArrive(qint64 first, qint64 last);
    void rowsArrived(qint64 first, qint64 last);
    void fetchEnded();

private:
    void replaced();
    void rowsCame(qint64 first, qint64 last);
    void fetchDone();
    // Takes the analysis made at the end of the fetch, or makes one now.
    void takeAnalysis();
    bool moveTo(qint64 row);
    void resetState();
    QList<QVariant> storedRow(qint64 row) const;
    void ensureEditable() const;
    void ensureRowEditable(qint64 row) const;
    void startEdit();
    void postEdit();
    void postInsert();
    void deleteRow();
    void setState(State state);
    bool attempt(const std::function<void()> &work);

    QPointer<Query> m_query; // the main window may destroy the query before its model
    EditTarget m_target;
    // The analysis made in the query's own piece of work, taken over when the result opens. The
    // fetch's end step writes it on the worker: shared, since the fetch may outlive this editor.
    struct Arriving
    {
        EditTarget target;
        bool arrived = false;
    };
    std::shared_ptr<Arriving> m_arriving = std::make_shared<Arriving>();
    // The result opened while its rows were arriving: its analysis comes once they are in.
    bool m_awaitingFetch = false;
    // The row Refresh goes back to once it has arrived; -1 when none.
    qint64 m_wantedRow = -1;
    qint64 m_current = -1;
    qint64 m_beforeInsert = -1;
    State m_state = State::Browse;
    QList<QVariant> m_original;
    QList<QVariant> m_values;
    QList<bool> m_touched;
    std::function<void(const QString &)> m_errorHandler;
    std::function<QLocale()> m_localeProvider;
};

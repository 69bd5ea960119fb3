#pragma once

#include "query/EditTarget.h"

#include <QList>
#include <QVariant>

// Writes one row of a result back to its table so that exactly that row changes, or nothing.
// Each write is one piece of work in a transaction on the connection (a savepoint inside a
// transaction the user opened): the row is first read and locked, so a row that somebody else
// changed or deleted, or that cannot be told apart from others, is refused; then the one
// statement runs, and a count of changed rows other than one rolls it back. Where the database
// cannot tell the count, the row is read again to confirm. Failures throw AppError (or
// DataAccessError with the database's text), after the rollback.
class RowWriter
{
public:
    RowWriter(Connection &connection, const EditTarget &target);

    // Sets the changed fields; returns the row as the table holds it afterwards.
    QList<QVariant> update(const QList<QVariant> &original, const QList<QVariant> &values,
                           const QList<int> &changed);
    // Inserts the given fields; returns the new row with its generated key as the table holds it.
    QList<QVariant> insert(const QList<QVariant> &values, const QList<bool> &given);
    void remove(const QList<QVariant> &original);

    static QString conflictText();

private:
    // Reads the rows the conditions find; exactly one must be there, and its fields in compare
    // must still hold the values the result showed.
    QList<QVariant> lockOne(const QList<QVariant> &original, const QList<int> &also,
                            const QList<int> &compare);
    // The row by its key as the table holds it now; values when it cannot be read by key.
    QList<QVariant> reread(const QList<QVariant> &values);
    qint64 count(const QList<QVariant> &values, const QList<int> &also);
    QList<int> allFields() const;

    Connection &m_connection;
    const EditTarget m_target; // a copy: the work runs off the window's thread
};

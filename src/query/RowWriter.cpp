#include "query/RowWriter.h"

#include "query/CellValues.h"
#include "query/EditStatements.h"

namespace {

QList<QVariant> firstRow(const Recordset &rows)
{
    QList<QVariant> values;
    for (int i = 0; i < rows.fields().size(); ++i)
        values.append(rows.value(0, i));
    return values;
}

DataAccessError rolledBack(const QString &what, qint64 rows)
{
    return DataAccessError(
        QStringLiteral("The %1 would have reached %2 rows instead of one; it was rolled back and nothing was "
                       "written.")
            .arg(what)
            .arg(rows));
}

} // namespace

RowWriter::RowWriter(Connection &connection, const EditTarget &target)
    : m_connection(connection), m_target(target)
{
}

QString RowWriter::conflictText()
{
    return QStringLiteral("The row was changed or deleted by someone else.");
}

QList<int> RowWriter::allFields() const
{
    QList<int> fields;
    for (int f = 0; f < m_target.columns.size(); ++f)
        fields.append(f);
    return fields;
}

QList<QVariant> RowWriter::lockOne(const QList<QVariant> &original, const QList<int> &also,
                                   const QList<int> &compare)
{
    const EditStatements statements(m_connection, m_target);
    const BoundStatement select = statements.select(statements.where(original, also));
    const ExecResult r = m_connection.executeParams(select.sql, select.params);
    const qint64 found = r.recordset ? r.recordset->rowCount() : 0;
    if (found == 0)
        throw DataAccessError(conflictText());
    if (found > 1)
        throw DataAccessError(QStringLiteral("The row cannot be told apart from %1 other rows with the same "
                                             "values; nothing was written.")
                                  .arg(found - 1));
    const QList<QVariant> row = firstRow(*r.recordset);
    if (row.size() != original.size())
        throw DataAccessError(
            QStringLiteral("The row could not be read back from the table %1.").arg(m_target.table));
    // Values the database cannot compare itself (floating-point, long text, JSON, binary) are
    // compared here, as read back through the same connection.
    for (int f : compare) {
        if (!CellValues::same(m_target.types.value(f), row[f], original[f]))
            throw DataAccessError(conflictText());
    }
    return row;
}

qint64 RowWriter::count(const QList<QVariant> &values, const QList<int> &also)
{
    const EditStatements statements(m_connection, m_target);
    const BoundStatement where = statements.where(values, also);
    QString sql = QStringLiteral("SELECT COUNT(*) FROM ") + statements.qualifiedTable();
    if (!where.sql.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.sql;
    const ExecResult r = m_connection.executeParams(sql, where.params);
    return r.recordset && r.recordset->rowCount() > 0 ? r.recordset->value(0, 0).toLongLong() : -1;
}

QList<QVariant> RowWriter::reread(const QList<QVariant> &values)
{
    if (!m_target.hasKey() || !m_target.keyIsUnique)
        return values;
    for (int f : m_target.keyFields) {
        if (values[f].isNull())
            return values;
    }
    const EditStatements statements(m_connection, m_target);
    const BoundStatement select = statements.select(statements.where(values));
    const ExecResult r = m_connection.executeParams(select.sql, select.params);
    if (!r.recordset || r.recordset->rowCount() != 1 || r.recordset->fields().size() != values.size())
        return values;
    return firstRow(*r.recordset);
}

QList<QVariant> RowWriter::update(const QList<QVariant> &original, const QList<QVariant> &values,
                                  const QList<int> &changed)
{
    QList<QVariant> stored;
    m_connection.transaction([&] {
        // With a key only the changed fields must still hold what the result showed; without
        // one every value identifies the row.
        lockOne(original, changed, m_target.hasKey() ? changed : allFields());
        const BoundStatement update =
            EditStatements(m_connection, m_target).update(changed, values, original);
        const qint64 affected = m_connection.executeParams(update.sql, update.params).recordsAffected;
        if (affected < 0) {
            if (count(values, changed) != 1)
                throw DataAccessError(
                    QStringLiteral("The database did not tell how many rows the change reached, and the row "
                                   "was not found with its new values; it was rolled back and nothing was "
                                   "written."));
        } else if (affected == 0) {
            throw DataAccessError(conflictText());
        } else if (affected > 1) {
            throw rolledBack(QStringLiteral("change"), affected);
        }
        stored = reread(values);
    });
    return stored;
}

QList<QVariant> RowWriter::insert(const QList<QVariant> &values, const QList<bool> &given)
{
    QList<QVariant> stored;
    m_connection.transaction([&] {
        const EditStatements statements(m_connection, m_target);
        const BoundStatement insert = statements.insert(values, given);
        const ExecResult r = m_connection.executeParams(insert.sql, insert.params);
        QList<QVariant> row = values;
        if (m_connection.dialect() == SqlDialect::PostgreSql) {
            // RETURNING gives the row as stored.
            if (!r.recordset || r.recordset->rowCount() != 1 || r.recordset->fields().size() != row.size())
                throw DataAccessError(QStringLiteral("The row was not inserted."));
            stored = firstRow(*r.recordset);
            return;
        }
        // A count of -1 means the database does not tell (SET NOCOUNT ON): not a failure.
        if (!r.recordset && r.recordsAffected == 0)
            throw DataAccessError(QStringLiteral("The row was not inserted."));
        QVariant generated;
        if (r.recordset) {
            if (r.recordset->rowCount() > 0)
                generated = r.recordset->value(0, 0);
        } else if (const QString query = statements.generatedKeyQuery(); !query.isEmpty()) {
            const ExecResult id = m_connection.execute(query);
            if (id.recordset && id.recordset->rowCount() > 0)
                generated = id.recordset->value(0, 0);
        }
        // SQLite: the new row by its rowid, the generated key and defaults included, whether or
        // not the key is the rowid (a driver may not say).
        if (const BoundStatement byRowid = statements.selectByRowid(generated);
            !generated.isNull() && !byRowid.sql.isEmpty()) {
            try {
                const ExecResult inserted = m_connection.executeParams(byRowid.sql, byRowid.params);
                if (inserted.recordset && inserted.recordset->rowCount() == 1 &&
                    inserted.recordset->fields().size() == row.size()) {
                    stored = firstRow(*inserted.recordset);
                    return;
                }
            } catch (const DataAccessError &e) {
                letLostSessionThrough(e);
                // A table without rowid has no such column; the key is then read back below. A
                // failed read changes nothing in SQLite's transaction.
            }
        }
        for (int f = 0; f < row.size(); ++f) {
            if (m_target.autoIncrement.value(f) && row[f].isNull()) {
                if (!generated.isNull())
                    row[f] = generated.toLongLong();
                break; // a table has one generated key
            }
        }
        bool keyKnown = m_target.hasKey();
        for (int f : m_target.keyFields)
            keyKnown = keyKnown && !row[f].isNull();
        if (r.recordsAffected < 0 && !r.recordset && keyKnown && count(row, {}) != 1)
            throw DataAccessError(QStringLiteral("The row was not inserted."));
        stored = reread(row);
    });
    return stored;
}

void RowWriter::remove(const QList<QVariant> &original)
{
    m_connection.transaction([&] {
        lockOne(original, {}, m_target.hasKey() ? QList<int>() : allFields());
        const EditStatements statements(m_connection, m_target);
        const BoundStatement remove = statements.remove(statements.where(original));
        const qint64 affected = m_connection.executeParams(remove.sql, remove.params).recordsAffected;
        if (affected < 0) {
            if (count(original, {}) != 0)
                throw DataAccessError(
                    QStringLiteral("The database did not tell how many rows the delete reached, and the row "
                                   "is still there; it was rolled back and nothing was deleted."));
        } else if (affected == 0) {
            throw DataAccessError(conflictText());
        } else if (affected > 1) {
            throw rolledBack(QStringLiteral("delete"), affected);
        }
    });
}

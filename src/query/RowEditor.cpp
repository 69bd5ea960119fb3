#include "query/RowEditor.h"

#include "db/fetch/RowStore.h"
#include "query/CellValues.h"
#include "query/EditAnalysis.h"
#include "query/Query.h"
#include "query/RowWriter.h"

#include <utility>

RowEditor::RowEditor(Query *query, QObject *parent) : QObject(parent), m_query(query)
{
    // A new result (or none) replaces the rows: a pending change of the old rows is dropped.
    connect(query, &Query::closed, this, &RowEditor::replaced);
    connect(query, &Query::opened, this, &RowEditor::replaced);
    connect(query, &Query::rowsAboutToArrive, this, &RowEditor::rowsAboutToArrive);
    connect(query, &Query::rowsArrived, this, &RowEditor::rowsCame);
    connect(query, &Query::fetchEnded, this, &RowEditor::fetchDone);
    // On the connection's worker, once all rows are in; read here only after the fetch has ended.
    // The step writes into what it shares with this editor, which may go before the fetch ends.
    query->setRowsStep(
        [arriving = m_arriving, connection = query->connection()](const QList<FieldInfo> &fields) {
            arriving->target = EditAnalysis::analyse(*connection, fields);
            arriving->arrived = true;
        });
    resetState();
    if (isOpen() && !isFetching())
        analyse();
}

RowEditor::~RowEditor()
{
    if (m_query)
        m_query->setRowsStep(nullptr);
}

void RowEditor::replaced()
{
    emit aboutToReset();
    resetState();
    m_wantedRow = -1;
    if (isOpen() && isFetching()) {
        // The fetch's end step may be writing the arriving analysis now: it is read at the end.
        m_target.reason = arrivingText();
        m_awaitingFetch = true;
    } else {
        if (isOpen())
            takeAnalysis();
        m_awaitingFetch = false;
        *m_arriving = Arriving();
    }
    emit reset();
    emit currentRowChanged(m_current);
    emit stateChanged(m_state);
}

void RowEditor::takeAnalysis()
{
    m_awaitingFetch = false;
    if (m_arriving->arrived)
        m_target = std::move(m_arriving->target);
    else
        analyse();
    *m_arriving = Arriving();
}

void RowEditor::rowsCame(qint64 first, qint64 last)
{
    emit rowsArrived(first, last);
    if (m_current < 0 && rowCount() > 0) {
        m_current = 0;
        emit currentRowChanged(m_current);
    }
    if (m_wantedRow >= 0 && m_wantedRow < rowCount()) {
        const qint64 wanted = std::exchange(m_wantedRow, -1);
        moveTo(wanted);
    }
}

void RowEditor::fetchDone()
{
    if (m_wantedRow >= 0 && rowCount() > 0)
        moveTo(qMin(std::exchange(m_wantedRow, -1), rowCount() - 1));
    m_wantedRow = -1;
    if (m_awaitingFetch && isOpen()) {
        if (m_arriving->arrived) {
            takeAnalysis();
        } else {
            // After a cancel or an error the analysis is a piece of work of its own, handed to the
            // connection: it runs once the command that ended the fetch is done and its wait has
            // returned, never inside it. When that command drops the rows it does nothing.
            m_query->connection()->whenIdle([self = QPointer<RowEditor>(this)] {
                if (self && self->m_awaitingFetch && self->isOpen() && !self->isFetching()) {
                    self->takeAnalysis();
                    emit self->stateChanged(self->m_state);
                }
            });
        }
    }
    emit fetchEnded();
    emit stateChanged(m_state);
}

bool RowEditor::isFetching() const
{
    return m_query && m_query->isFetching();
}

QString RowEditor::arrivingText()
{
    return EditAnalysis::readOnlyPrefix() + QStringLiteral("its rows are still arriving.");
}

void RowEditor::resetState()
{
    m_state = State::Browse;
    m_target = EditTarget();
    m_target.reason = EditAnalysis::readOnlyPrefix() + QStringLiteral("no query is open.");
    m_original.clear();
    m_values.clear();
    m_touched.clear();
    m_current = rowCount() > 0 ? 0 : -1;
}

void RowEditor::analyse()
{
    if (!isOpen())
        return;
    Connection &connection = *m_query->connection();
    const QList<FieldInfo> fields = recordset()->fields();
    EditTarget target;
    try {
        connection.run([&] { target = EditAnalysis::analyse(connection, fields); });
    } catch (const AppError &e) {
        target.reason = EditAnalysis::readOnlyPrefix() + e.text();
    }
    m_target = std::move(target);
}

Recordset *RowEditor::recordset() const
{
    return m_query ? m_query->recordset() : nullptr;
}

bool RowEditor::isOpen() const
{
    return recordset() != nullptr;
}

qint64 RowEditor::rowCount() const
{
    if (!m_query || !m_query->isOpen())
        return 0;
    return m_query->rowCount() + (m_state == State::Insert ? 1 : 0);
}

int RowEditor::fieldCount() const
{
    const Recordset *rs = recordset();
    return rs ? int(rs->fields().size()) : 0;
}

AdoType RowEditor::fieldType(int field) const
{
    const Recordset *rs = recordset();
    return rs && field >= 0 && field < rs->fields().size() ? rs->fields().at(field).type : AdoType::Empty;
}

QLocale RowEditor::locale() const
{
    return m_localeProvider ? m_localeProvider() : QLocale::c();
}

QVariant RowEditor::value(qint64 row, int field) const
{
    if (m_state != State::Browse && row == m_current)
        return m_values.value(field);
    const Recordset *rs = recordset();
    if (!rs || row < 0 || row >= rs->rowCount())
        return QVariant();
    return rs->value(row, field);
}

QList<QVariant> RowEditor::storedRow(qint64 row) const
{
    QList<QVariant> values;
    const Recordset *rs = recordset();
    const int n = fieldCount();
    values.reserve(n);
    for (int i = 0; i < n; ++i)
        values.append(rs->value(row, i));
    return values;
}

QString RowEditor::rowRefusal(qint64 row) const
{
    const Recordset *rs = recordset();
    // The pending new row has no stored key yet.
    if (!rs || row < 0 || row >= rs->rowCount())
        return QString();
    for (int f : m_target.keyFields) {
        if (rs->rows().kind(row, f) == RowStore::CellKind::Null)
            return QStringLiteral(
                       "The row cannot be found again: its key column %1 is NULL, and a NULL key does "
                       "not identify one row. Nothing was changed.")
                .arg(m_target.columns.value(f));
    }
    return QString();
}

void RowEditor::ensureEditable() const
{
    if (!isOpen())
        throw AppError(QStringLiteral("No query is open."));
    if (!m_target.editable)
        throw AppError(m_target.reason);
}

void RowEditor::ensureRowEditable(qint64 row) const
{
    ensureEditable();
    if (const QString refusal = rowRefusal(row); !refusal.isEmpty())
        throw AppError(refusal);
}

bool RowEditor::attempt(const std::function<void()> &work)
{
    try {
        work();
        return true;
    } catch (const AppError &e) {
        if (!m_errorHandler)
            throw;
        m_errorHandler(e.text());
        return false;
    }
}

void RowEditor::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged(state);
}

bool RowEditor::setCurrentRow(qint64 row)
{
    // The user has moved: Refresh no longer leads back to its row.
    m_wantedRow = -1;
    return moveTo(row);
}

bool RowEditor::moveTo(qint64 row)
{
    if (!isOpen() || row < 0 || row >= rowCount())
        return false;
    if (row == m_current)
        return true;
    if (m_state != State::Browse && !post())
        return false;
    m_current = qMin(row, rowCount() - 1);
    emit currentRowChanged(m_current);
    return true;
}

void RowEditor::startEdit()
{
    ensureRowEditable(m_current);
    m_original = storedRow(m_current);
    m_values = m_original;
    m_touched = QList<bool>(m_values.size(), false);
    setState(State::Edit);
}

bool RowEditor::edit()
{
    return attempt([this] {
        if (m_state != State::Browse)
            return;
        if (m_current < 0) {
            ensureEditable();
            throw AppError(QStringLiteral("There is no record to edit."));
        }
        startEdit();
        emit rowChanged(m_current);
    });
}

bool RowEditor::insert()
{
    if (m_state != State::Browse && !post())
        return false;
    return attempt([this] {
        ensureEditable();
        const qint64 row = m_query->recordset()->rowCount();
        m_beforeInsert = m_current;
        emit rowAboutToBeInserted(row);
        m_original = QList<QVariant>(fieldCount());
        m_values = m_original;
        m_touched = QList<bool>(m_values.size(), false);
        m_state = State::Insert;
        m_current = row;
        emit rowInserted(row);
        emit currentRowChanged(m_current);
        emit stateChanged(m_state);
    });
}

bool RowEditor::setValue(int field, const QVariant &value)
{
    return attempt([&] {
        if (!isOpen() || m_current < 0)
            throw AppError(QStringLiteral("There is no record to edit."));
        if (field < 0 || field >= fieldCount())
            throw AppError(QStringLiteral("There is no field %1.").arg(field));
        if (m_state == State::Browse)
            ensureRowEditable(m_current);
        const AdoType type = fieldType(field);
        // Refused text changes nothing, not even the state of the record.
        const QVariant v = CellValues::parse(type, recordset()->fields().at(field).name, value, locale());
        if (m_state == State::Browse) {
            if (CellValues::same(type, m_query->recordset()->value(m_current, field), v))
                return;
            startEdit();
        }
        m_values[field] = v;
        m_touched[field] = true;
        emit rowChanged(m_current);
    });
}

bool RowEditor::post()
{
    if (m_state == State::Browse)
        return true;
    return attempt([this] {
        if (m_state == State::Edit)
            postEdit();
        else
            postInsert();
    });
}

void RowEditor::cancel()
{
    if (m_state == State::Edit) {
        setState(State::Browse);
        emit rowChanged(m_current);
    } else if (m_state == State::Insert) {
        const qint64 row = m_current;
        emit rowAboutToBeRemoved(row);
        m_state = State::Browse;
        emit rowRemoved(row);
        m_current = qMin(m_beforeInsert, rowCount() - 1);
        emit currentRowChanged(m_current);
        emit stateChanged(m_state);
    }
}

bool RowEditor::canRemove()
{
    if (!isOpen() || m_current < 0)
        return false;
    return attempt([this] {
        if (m_state == State::Insert)
            ensureEditable();
        else
            ensureRowEditable(m_current);
    });
}

bool RowEditor::remove()
{
    if (!canRemove())
        return false;
    if (m_state == State::Insert) {
        cancel();
        return true;
    }
    cancel();
    return attempt([this] { deleteRow(); });
}

bool RowEditor::refresh()
{
    if (!isOpen() || !post())
        return false;
    const qint64 row = m_current;
    if (!attempt([this] { m_query->run(); }))
        return false;
    if (isOpen() && rowCount() > 0)
        moveTo(qBound<qint64>(0, row, rowCount() - 1));
    // A row that has not arrived yet becomes current when it does.
    if (isFetching() && row >= rowCount())
        m_wantedRow = row;
    return true;
}

namespace {

// A value as it would be written in SQL: NULL, a number, or text in quotes.
QString literalText(const QVariant &value)
{
    if (value.isNull())
        return QStringLiteral("NULL");
    switch (value.typeId()) {
    case QMetaType::QByteArray:
        return QStringLiteral("(%1 bytes)").arg(value.toByteArray().size());
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return value.toString();
    default:
        break;
    }
    QString text = value.toString();
    return u'\'' + text.replace(u'\'', QLatin1String("''")) + u'\'';
}

} // namespace

std::optional<RowEditor::DroppedChange> RowEditor::dropPendingChange()
{
    if (m_state == State::Browse)
        return std::nullopt;
    DroppedChange dropped;
    dropped.table = m_target.schema.isEmpty() ? m_target.table : m_target.schema + u'.' + m_target.table;
    if (m_state == State::Edit) {
        for (int f : m_target.keyFields)
            dropped.key.append(m_target.columns.value(f) + QLatin1String(" = ") +
                               literalText(m_original.value(f)));
    }
    const Recordset *rs = recordset();
    for (int f = 0; f < m_values.size(); ++f) {
        if (!m_touched.value(f))
            continue;
        const QString name =
            rs && f < rs->fields().size() ? rs->fields().at(f).name : m_target.columns.value(f);
        dropped.values.append(name + QLatin1String(" = ") + literalText(m_values.at(f)));
    }
    cancel();
    return dropped;
}

QString RowEditor::conflictText()
{
    return RowWriter::conflictText();
}

void RowEditor::postEdit()
{
    QList<int> changed;
    for (int i = 0; i < m_values.size(); ++i) {
        if (m_touched[i] && !CellValues::same(fieldType(i), m_values[i], m_original[i]))
            changed.append(i);
    }
    if (!changed.isEmpty()) {
        const QList<QVariant> row =
            RowWriter(*m_query->connection(), m_target).update(m_original, m_values, changed);
        m_query->recordset()->rows().setRow(m_current, row);
    }
    setState(State::Browse);
    emit rowChanged(m_current);
}

void RowEditor::postInsert()
{
    const QList<QVariant> row = RowWriter(*m_query->connection(), m_target).insert(m_values, m_touched);
    // The pending row becomes the stored last row: same index, same count.
    m_query->recordset()->rows().appendRow(row);
    m_state = State::Browse;
    emit rowChanged(m_current);
    emit stateChanged(m_state);
}

void RowEditor::deleteRow()
{
    RowWriter(*m_query->connection(), m_target).remove(storedRow(m_current));
    const qint64 row = m_current;
    emit rowAboutToBeRemoved(row);
    m_query->recordset()->rows().removeRow(row);
    emit rowRemoved(row);
    m_current = qMin(row, rowCount() - 1);
    emit currentRowChanged(m_current);
}

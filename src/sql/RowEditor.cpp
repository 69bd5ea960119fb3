#include "sql/RowEditor.h"

#include "connection/dataaccess/RowStore.h"
#include "shell/UTools.h"
#include "sql/AdoQuery.h"

#include <QLocale>
#include <QSet>

#include <algorithm>

namespace {

const QString readOnlyPrefix = QStringLiteral("The result is read-only: ");

bool isIntegerType(AdoType t)
{
    switch (t) {
    case AdoType::SmallInt:
    case AdoType::Integer:
    case AdoType::TinyInt:
    case AdoType::UnsignedTinyInt:
    case AdoType::UnsignedSmallInt:
    case AdoType::UnsignedInt:
    case AdoType::BigInt:
    case AdoType::UnsignedBigInt:
        return true;
    default:
        return false;
    }
}

bool isTextType(AdoType t)
{
    switch (t) {
    case AdoType::Empty:
    case AdoType::BSTR:
    case AdoType::Char:
    case AdoType::WChar:
    case AdoType::VarChar:
    case AdoType::LongVarChar:
    case AdoType::VarWChar:
    case AdoType::LongVarWChar:
    case AdoType::Variant:
        return true;
    default:
        return false;
    }
}

bool sameValue(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return a == b;
}

} // namespace

RowEditor::RowEditor(AdoQuery *query, QObject *parent) : QObject(parent), m_query(query)
{
    // A new result (or none) replaces the rows: a pending change of the old rows is dropped.
    auto replaced = [this] {
        emit aboutToReset();
        resetState();
        emit reset();
        emit currentRowChanged(m_current);
        emit stateChanged(m_state);
    };
    connect(query, &AdoQuery::closed, this, replaced);
    connect(query, &AdoQuery::opened, this, replaced);
    resetState();
}

RowEditor::~RowEditor() = default;

void RowEditor::resetState()
{
    m_state = State::Browse;
    m_analysed = false;
    m_target = EditTarget();
    m_original.clear();
    m_values.clear();
    m_touched.clear();
    m_current = isOpen() && m_query->recordset()->rowCount() > 0 ? 0 : -1;
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
    const Recordset *rs = recordset();
    if (!rs)
        return 0;
    return rs->rowCount() + (m_state == State::Insert ? 1 : 0);
}

int RowEditor::fieldCount() const
{
    const Recordset *rs = recordset();
    return rs ? int(rs->fields().size()) : 0;
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

const EditTarget &RowEditor::target()
{
    if (!m_analysed) {
        m_analysed = true;
        m_target = EditTarget();
        try {
            analyse();
        } catch (const AppError &e) {
            m_target = EditTarget();
            m_target.reason = readOnlyPrefix + e.text();
        }
    }
    return m_target;
}

void RowEditor::analyse()
{
    const Recordset *rs = recordset();
    if (!rs) {
        m_target.reason = readOnlyPrefix + QStringLiteral("no query is open.");
        return;
    }
    Connection &connection = *m_query->connection();
    if (connection.readOnly()) {
        m_target.reason = readOnlyPrefix + QStringLiteral("Access files are opened read-only.");
        return;
    }
    const QList<FieldInfo> &fields = rs->fields();
    if (fields.isEmpty()) {
        m_target.reason = readOnlyPrefix + QStringLiteral("it has no columns.");
        return;
    }
    QString schema = fields.first().baseSchema;
    QString table = fields.first().baseTable;
    QSet<QString> seen;
    for (const FieldInfo &f : fields) {
        if (f.baseTable.isEmpty() || f.baseColumn.isEmpty()) {
            m_target.reason =
                readOnlyPrefix + QStringLiteral("its column %1 does not come from a table.").arg(f.name);
            return;
        }
        if (f.baseTable != table || f.baseSchema != schema) {
            m_target.reason = readOnlyPrefix + QStringLiteral("its columns come from more than one table.");
            return;
        }
        // Two fields over one column would write it twice with different values.
        if (seen.contains(f.baseColumn)) {
            m_target.reason =
                readOnlyPrefix + QStringLiteral("its column %1 appears more than once.").arg(f.baseColumn);
            return;
        }
        seen.insert(f.baseColumn);
        m_target.columns.append(f.baseColumn);
    }
    m_target.schema = schema;
    m_target.table = table;

    auto fieldOf = [this](const QString &column) {
        int index = m_target.columns.indexOf(column);
        if (index < 0) {
            for (int i = 0; i < m_target.columns.size() && index < 0; ++i) {
                if (m_target.columns[i].compare(column, Qt::CaseInsensitive) == 0)
                    index = i;
            }
        }
        return index;
    };

    const QList<ColumnInfo> columns = connection.columns(schema, table);
    QList<KeyColumnInfo> keys = connection.primaryKeys(schema, table);
    std::sort(keys.begin(), keys.end(),
              [](const KeyColumnInfo &a, const KeyColumnInfo &b) { return a.ordinal < b.ordinal; });

    m_target.autoIncrement = QList<bool>(fields.size(), false);
    for (int i = 0; i < fields.size(); ++i)
        m_target.autoIncrement[i] = fields[i].autoIncrement;
    for (const ColumnInfo &c : columns) {
        const int f = fieldOf(c.name);
        if (f >= 0 && c.autoIncrement)
            m_target.autoIncrement[f] = true;
    }

    QList<int> keyFields;
    for (const KeyColumnInfo &k : keys) {
        const int f = fieldOf(k.column);
        if (f < 0) {
            keyFields.clear();
            break;
        }
        keyFields.append(f);
    }
    if (!keys.isEmpty() && !keyFields.isEmpty()) {
        m_target.keyFields = keyFields;
        m_target.primaryKey = true;
        m_target.editable = true;
        return;
    }
    // Without its key every column of the table must be there to find the row again.
    bool all = !columns.isEmpty();
    for (const ColumnInfo &c : columns)
        all = all && fieldOf(c.name) >= 0;
    if (!all) {
        m_target.reason =
            readOnlyPrefix +
            (keys.isEmpty()
                 ? QStringLiteral("the table %1 has no key and not all its columns are in the result.")
                 : QStringLiteral("the key columns of the table %1 are not all in the result."))
                .arg(table);
        return;
    }
    for (int i = 0; i < fields.size(); ++i)
        m_target.keyFields.append(i);
    m_target.editable = true;
}

void RowEditor::ensureEditable()
{
    if (!isOpen())
        throw AppError(QStringLiteral("No query is open."));
    if (!target().editable)
        throw AppError(target().reason);
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

bool RowEditor::edit()
{
    return attempt([this] {
        if (m_state != State::Browse)
            return;
        ensureEditable();
        if (m_current < 0)
            throw AppError(QStringLiteral("There is no record to edit."));
        m_original = storedRow(m_current);
        m_values = m_original;
        m_touched = QList<bool>(m_values.size(), false);
        setState(State::Edit);
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

QVariant RowEditor::coerce(int field, const QVariant &value) const
{
    if (value.typeId() != QMetaType::QString)
        return value;
    const AdoType type = m_query->recordset()->fields().value(field).type;
    if (isTextType(type))
        return value;
    const QString text = value.toString().trimmed();
    if (text.isEmpty())
        return QVariant();
    bool ok = false;
    if (isIntegerType(type)) {
        const qlonglong n = text.toLongLong(&ok);
        if (ok)
            return n;
    } else if (type == AdoType::Double || type == AdoType::Single) {
        const double d = QLocale::c().toDouble(text, &ok);
        if (ok)
            return d;
    } else if (type == AdoType::Boolean) {
        const QString t = text.toLower();
        if (t == QLatin1String("true") || t == QLatin1String("1") || t == QLatin1String("yes"))
            return true;
        if (t == QLatin1String("false") || t == QLatin1String("0") || t == QLatin1String("no"))
            return false;
    }
    // Anything else goes to the database as text, which converts it or says why not.
    return text;
}

bool RowEditor::setValue(int field, const QVariant &value)
{
    return attempt([&] {
        if (!isOpen() || m_current < 0)
            throw AppError(QStringLiteral("There is no record to edit."));
        if (field < 0 || field >= fieldCount())
            throw AppError(QStringLiteral("There is no field %1.").arg(field));
        const QVariant v = coerce(field, value);
        if (m_state == State::Browse) {
            if (sameValue(m_query->recordset()->value(m_current, field), v))
                return;
            ensureEditable();
            m_original = storedRow(m_current);
            m_values = m_original;
            m_touched = QList<bool>(m_values.size(), false);
            setState(State::Edit);
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

bool RowEditor::remove()
{
    if (!isOpen() || m_current < 0)
        return false;
    if (!attempt([this] { ensureEditable(); }))
        return false;
    if (ShowMessageDialog(deleteQuestion(), mtConfirmation, mbYes | mbNo) != mrYes)
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
        setCurrentRow(qBound<qint64>(0, row, rowCount() - 1));
    return true;
}

QString RowEditor::deleteQuestion()
{
    return CurrentLanguage == QLatin1String("pt-BR") ? QStringLiteral("Excluir registro?")
                                                     : QStringLiteral("Delete record?");
}

QString RowEditor::conflictText()
{
    return QStringLiteral("The row was changed or deleted by someone else.");
}

QString RowEditor::qualifiedTable() const
{
    const Connection &b = *m_query->connection();
    if (m_target.schema.isEmpty())
        return b.quoteIdentifier(m_target.table);
    return b.quoteIdentifier(m_target.schema) + QLatin1Char('.') + b.quoteIdentifier(m_target.table);
}

void RowEditor::addCriteria(const QList<int> &fields, const QList<QVariant> &values, QStringList &where,
                            QList<QVariant> &params) const
{
    const Connection &b = *m_query->connection();
    for (int f : fields) {
        const QString column = b.quoteIdentifier(m_target.columns[f]);
        if (values[f].isNull()) {
            where.append(column + QStringLiteral(" IS NULL"));
        } else {
            params.append(values[f]);
            where.append(column + QStringLiteral(" = ") + b.placeholder(int(params.size())));
        }
    }
}

// A table without a key is matched on all its values; two equal rows would both be written.
void RowEditor::requireOneMatch(const QString &whereSql, const QList<QVariant> &params)
{
    Connection &b = *m_query->connection();
    ExecResult r = b.executeParams(QStringLiteral("SELECT COUNT(*) FROM ") + qualifiedTable() +
                                       QStringLiteral(" WHERE ") + whereSql,
                                   params);
    const qint64 count =
        r.recordset && r.recordset->rowCount() > 0 ? r.recordset->value(0, 0).toLongLong() : 1;
    if (count == 0)
        throw DataAccessError(conflictText());
    if (count > 1)
        throw DataAccessError(
            QStringLiteral("The row cannot be told apart from %1 other rows with the same values; "
                           "nothing was written.")
                .arg(count - 1));
}

QList<QVariant> RowEditor::reread(const QList<QVariant> &values)
{
    if (!m_target.primaryKey)
        return values;
    for (int f : m_target.keyFields) {
        if (values[f].isNull())
            return values;
    }
    Connection &b = *m_query->connection();
    QStringList columns;
    for (const QString &c : m_target.columns)
        columns.append(b.quoteIdentifier(c));
    QStringList where;
    QList<QVariant> params;
    addCriteria(m_target.keyFields, values, where, params);
    ExecResult r = b.executeParams(QStringLiteral("SELECT ") + columns.join(QStringLiteral(", ")) +
                                       QStringLiteral(" FROM ") + qualifiedTable() +
                                       QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND ")),
                                   params);
    if (!r.recordset || r.recordset->rowCount() != 1 || r.recordset->fields().size() != values.size())
        return values;
    QList<QVariant> row;
    for (int i = 0; i < values.size(); ++i)
        row.append(r.recordset->value(0, i));
    return row;
}

void RowEditor::postEdit()
{
    QList<int> changed;
    for (int i = 0; i < m_values.size(); ++i) {
        if (m_touched[i] && !sameValue(m_values[i], m_original[i]))
            changed.append(i);
    }
    if (changed.isEmpty()) {
        setState(State::Browse);
        emit rowChanged(m_current);
        return;
    }
    Connection &b = *m_query->connection();
    QStringList sets;
    QList<QVariant> params;
    for (int f : changed) {
        params.append(m_values[f]);
        sets.append(b.quoteIdentifier(m_target.columns[f]) + QStringLiteral(" = ") +
                    b.placeholder(int(params.size())));
    }
    // The key finds the row; the changed fields' old values make sure nobody changed them meanwhile.
    QList<int> criteria = m_target.keyFields;
    for (int f : changed) {
        if (!criteria.contains(f))
            criteria.append(f);
    }
    if (!m_target.primaryKey) {
        QStringList where;
        QList<QVariant> whereParams;
        addCriteria(criteria, m_original, where, whereParams);
        requireOneMatch(where.join(QStringLiteral(" AND ")), whereParams);
    }
    QStringList where;
    addCriteria(criteria, m_original, where, params);
    const ExecResult r = b.executeParams(QStringLiteral("UPDATE ") + qualifiedTable() +
                                             QStringLiteral(" SET ") + sets.join(QStringLiteral(", ")) +
                                             QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND ")),
                                         params);
    if (r.recordsAffected == 0)
        throw DataAccessError(conflictText());
    const QList<QVariant> row = reread(m_values);
    m_query->recordset()->rows().setRow(m_current, row);
    setState(State::Browse);
    emit rowChanged(m_current);
}

void RowEditor::postInsert()
{
    Connection &b = *m_query->connection();
    QStringList columns;
    QStringList marks;
    QList<QVariant> params;
    for (int i = 0; i < m_values.size(); ++i) {
        if (!m_touched[i] || (m_target.autoIncrement.value(i) && m_values[i].isNull()))
            continue;
        params.append(m_values[i]);
        columns.append(b.quoteIdentifier(m_target.columns[i]));
        marks.append(b.placeholder(int(params.size())));
    }
    QString sql = QStringLiteral("INSERT INTO ") + qualifiedTable();
    if (!columns.isEmpty())
        sql += QStringLiteral(" (") + columns.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (") +
               marks.join(QStringLiteral(", ")) + QLatin1Char(')');
    else if (b.dialect() == SqlDialect::MySql)
        sql += QStringLiteral(" () VALUES ()");
    else
        sql += QStringLiteral(" DEFAULT VALUES");

    const bool returning = b.dialect() == SqlDialect::PostgreSql;
    if (returning) {
        QStringList all;
        for (const QString &c : m_target.columns)
            all.append(b.quoteIdentifier(c));
        sql += QStringLiteral(" RETURNING ") + all.join(QStringLiteral(", "));
    }
    ExecResult r = b.executeParams(sql, params);
    QList<QVariant> row = m_values;
    if (returning && r.recordset) {
        if (r.recordset->rowCount() != 1)
            throw DataAccessError(QStringLiteral("The row was not inserted."));
        for (int i = 0; i < row.size(); ++i)
            row[i] = r.recordset->value(0, i);
    } else {
        if (r.recordsAffected == 0)
            throw DataAccessError(QStringLiteral("The row was not inserted."));
        QString idQuery;
        switch (b.dialect()) {
        case SqlDialect::Sqlite:
            idQuery = QStringLiteral("SELECT last_insert_rowid()");
            break;
        case SqlDialect::MySql:
            idQuery = QStringLiteral("SELECT LAST_INSERT_ID()");
            break;
        case SqlDialect::SqlServer:
            idQuery = QStringLiteral("SELECT @@IDENTITY");
            break;
        default:
            break;
        }
        for (int i = 0; i < row.size(); ++i) {
            if (!m_target.autoIncrement.value(i) || !row[i].isNull() || idQuery.isEmpty())
                continue;
            ExecResult id = b.execute(idQuery);
            if (id.recordset && id.recordset->rowCount() > 0 && !id.recordset->value(0, 0).isNull())
                row[i] = id.recordset->value(0, 0).toLongLong();
            break; // a table has one generated key
        }
        row = reread(row);
    }
    // The pending row becomes the stored last row: same index, same count.
    m_query->recordset()->rows().appendRow(row);
    m_state = State::Browse;
    emit rowChanged(m_current);
    emit stateChanged(m_state);
}

void RowEditor::deleteRow()
{
    const QList<QVariant> original = storedRow(m_current);
    Connection &b = *m_query->connection();
    QStringList where;
    QList<QVariant> params;
    addCriteria(m_target.keyFields, original, where, params);
    if (!m_target.primaryKey)
        requireOneMatch(where.join(QStringLiteral(" AND ")), params);
    const ExecResult r = b.executeParams(QStringLiteral("DELETE FROM ") + qualifiedTable() +
                                             QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND ")),
                                         params);
    if (r.recordsAffected == 0)
        throw DataAccessError(conflictText());
    const qint64 row = m_current;
    emit rowAboutToBeRemoved(row);
    m_query->recordset()->rows().removeRow(row);
    emit rowRemoved(row);
    m_current = qMin(row, rowCount() - 1);
    emit currentRowChanged(m_current);
}

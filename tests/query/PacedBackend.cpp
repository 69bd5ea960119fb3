#include "PacedBackend.h"

#include <QMutexLocker>

#include <chrono>
#include <thread>

class PacedCursor final : public StatementCursor
{
public:
    PacedCursor(PacedBackend &backend) : StatementCursor(backend.m_gate), m_backend(backend)
    {
        for (const char *name : {"id", "name"}) {
            FieldInfo field;
            field.name = QString::fromLatin1(name);
            field.type = field.name == QLatin1String("id") ? AdoType::Integer : AdoType::VarWChar;
            field.baseTable = QStringLiteral("t");
            field.baseColumn = field.name;
            m_fields.append(field);
        }
    }

    bool nextResult() override { return !std::exchange(m_started, true); }
    const QList<FieldInfo> &fields() const override { return m_fields; }
    qint64 recordsAffected() const override { return -1; }

    bool nextRow() override
    {
        const PacedBackend::Use use(m_backend, QString());
        std::unique_lock lock(m_backend.m_mutex);
        m_backend.m_moved.wait(lock, [this] {
            return cancelled() || m_next >= m_backend.m_total || m_next < m_backend.m_allowed;
        });
        if (cancelled())
            throw DataAccessError(QStringLiteral("interrupted"));
        if (m_next == m_backend.m_failAt.load())
            throw DataAccessError(QStringLiteral("row %1 cannot be read").arg(m_next + 1));
        if (m_next >= m_backend.m_total) {
            lock.unlock();
            const QMutexLocker log(&m_backend.m_logMutex);
            m_backend.m_log.append(QStringLiteral("last row"));
            return false;
        }
        m_row = m_next++;
        return true;
    }

    void readRow(CellSink &sink) override
    {
        sink.beginRow();
        sink.addInt(m_row + 1);
        const QByteArray name = PacedBackend::nameOf(m_row).toUtf8();
        sink.addText(name.constData(), name.size());
        sink.endRow();
    }

private:
    PacedBackend &m_backend;
    QList<FieldInfo> m_fields;
    bool m_started = false;
    qint64 m_next = 0;
    qint64 m_row = -1;
};

PacedBackend::Use::Use(PacedBackend &backend, const QString &what) : m_backend(backend)
{
    if (m_backend.m_users.fetch_add(1) > 0)
        m_backend.m_overlapped.store(true);
    if (!what.isEmpty()) {
        {
            const QMutexLocker log(&m_backend.m_logMutex);
            m_backend.m_log.append(what);
        }
        if (const int ms = m_backend.m_callMs.load(); ms > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

PacedBackend::Use::~Use()
{
    m_backend.m_users.fetch_sub(1);
}

void PacedBackend::allow(qint64 count)
{
    {
        const std::lock_guard lock(m_mutex);
        m_allowed = count;
    }
    m_moved.notify_all();
}

QStringList PacedBackend::log() const
{
    const QMutexLocker lock(&m_logMutex);
    return m_log;
}

QString PacedBackend::defaultDatabase()
{
    const Use use(*this, QStringLiteral("defaultDatabase"));
    return QStringLiteral("paced");
}

QList<TableInfo> PacedBackend::tables()
{
    const Use use(*this, QStringLiteral("tables"));
    TableInfo t;
    t.name = QStringLiteral("t");
    t.type = QStringLiteral("TABLE");
    return {t};
}

QList<ColumnInfo> PacedBackend::columns(const QString &, const QString &)
{
    const Use use(*this, QStringLiteral("columns"));
    return columnsOfT();
}

QList<ColumnInfo> PacedBackend::columnsOfT()
{
    ColumnInfo id;
    id.table = QStringLiteral("t");
    id.name = QStringLiteral("id");
    id.ordinal = 1;
    id.type = AdoType::Integer;
    ColumnInfo name;
    name.table = QStringLiteral("t");
    name.name = QStringLiteral("name");
    name.ordinal = 2;
    name.type = AdoType::VarWChar;
    return {id, name};
}

QList<KeyColumnInfo> PacedBackend::primaryKeys(const QString &, const QString &)
{
    const Use use(*this, QStringLiteral("primaryKeys"));
    KeyColumnInfo key;
    key.table = QStringLiteral("t");
    key.column = QStringLiteral("id");
    key.ordinal = 1;
    return {key};
}

TableMetadata PacedBackend::tableMetadata(const QString &, const QString &)
{
    const Use use(*this, QStringLiteral("tableMetadata"));
    TableMetadata metadata;
    for (const ColumnInfo &column : columnsOfT())
        metadata.fields.append(fieldFromColumn(column));
    return metadata;
}

std::unique_ptr<StatementCursor> PacedBackend::openCursor(const QString &sql, const QList<QVariant> *)
{
    const Use use(*this, QStringLiteral("open ") + sql);
    return std::make_unique<PacedCursor>(*this);
}

QList<std::thread::id> PacedBackend::cancelThreads() const
{
    const QMutexLocker lock(&m_logMutex);
    return m_cancelThreads;
}

void PacedBackend::cancel()
{
    {
        const QMutexLocker lock(&m_logMutex);
        m_cancelThreads.append(std::this_thread::get_id());
    }
    m_gate.cancel([this] {
        // The waiting fetch looks again once it can take the lock.
        const std::lock_guard lock(m_mutex);
        m_moved.notify_all();
    });
}

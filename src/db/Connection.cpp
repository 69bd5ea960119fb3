#include "db/ConnectionInternal.h"
#include "db/ConnectionString.h"
#include "db/fetch/Fetch.h"

#include <exception>

using connection_internal::refuseNul;
using connection_internal::t_working;

namespace {

void runDirectly(const std::function<void()> &work, const std::function<void()> &)
{
    work();
}

} // namespace

Connection::Connection() : m_runner(runDirectly), m_self(std::make_shared<Connection *>(this))
{
}

Connection::~Connection()
{
    // Tasks posted to the event loop find the connection gone.
    *m_self = nullptr;
    dropStream();
    if (m_backend) {
        try {
            m_backend->disconnect();
        } catch (...) {
            // Nothing to report to while the program winds down.
        }
        m_backend.reset();
    }
}

void Connection::setConnectionString(const QString &connectionString)
{
    if (isOpen())
        throw DataAccessError(
            QStringLiteral("The connection string cannot be changed while the connection is open."));
    m_connectionString = connectionString;
}

void Connection::setWorkRunner(WorkRunner runner)
{
    m_runner = runner ? std::move(runner) : WorkRunner(runDirectly);
}

void Connection::open()
{
    if (isOpen())
        return;
    QString connectionString = m_connectionString;
    if (hasPassword()) {
        ConnectionString cs(connectionString);
        cs.remove(QStringLiteral("PWD"));
        cs.setValue(QStringLiteral("Password"), m_password);
        connectionString = cs.toString();
    }
    openWith(Backend::create(connectionString, m_asker));
}

void Connection::openWith(std::unique_ptr<Backend> backend)
{
    if (isOpen())
        return;
    Backend *raw = backend.get();
    try {
        runWork(*raw, [raw] { raw->connect(); });
    } catch (...) {
        // A connect that fails half way must not leave a session behind.
        try {
            raw->disconnect();
        } catch (...) {
        }
        throw;
    }
    m_lost = false;
    m_backend = std::move(backend);
    if (m_afterConnect)
        m_afterConnect();
}

void Connection::close()
{
    if (!m_backend)
        return;
    // Closing drops the result, so a fetch still streaming is cancelled, not waited for.
    finishStream(true);
    if (!m_backend)
        return; // the fetch found the session lost and closed the connection
    // The connection is closed afterwards whatever the backend says; its error is reported
    // after the after-disconnect notification has run.
    std::unique_ptr<Backend> backend = std::move(m_backend);
    std::exception_ptr error;
    try {
        backend->disconnect();
    } catch (...) {
        error = std::current_exception();
    }
    backend.reset();
    if (m_afterDisconnect)
        m_afterDisconnect();
    if (error)
        std::rethrow_exception(error);
}

Backend &Connection::backend() const
{
    if (!m_backend)
        throw DataAccessError(QStringLiteral("The connection is not open."));
    return *m_backend;
}

SqlDialect Connection::dialect() const
{
    return backend().dialect();
}

bool Connection::readOnly() const
{
    return backend().readOnly();
}

SessionSecurity Connection::security() const
{
    return backend().security();
}

QString Connection::closeIfEnded()
{
    if (!m_backend || m_stream)
        return QString();
    {
        const std::lock_guard lock(m_workMutex);
        if (m_workActive)
            return QString();
    }
    const QString reason = m_backend->endedReason();
    if (reason.isEmpty())
        return reason;
    m_lost = true;
    try {
        close();
    } catch (const DataAccessError &) {
        // The tunnel's end is the one to report.
    }
    return reason;
}

QString Connection::quoteIdentifier(const QString &name) const
{
    return backend().quoteIdentifier(name);
}

QString Connection::placeholder(int index) const
{
    return backend().placeholder(index);
}

// One call of the backend through the runner, its answer handed back.
template <typename Call> auto Connection::call(Call &&callBackend)
{
    Backend &b = freeBackend();
    decltype(callBackend(b)) result;
    runWork(b, [&] { result = callBackend(b); });
    return result;
}

QString Connection::defaultDatabase()
{
    if (m_stream && t_working != this)
        finishStream(false);
    if (!m_backend)
        return QString();
    try {
        return call([](Backend &b) { return b.defaultDatabase(); });
    } catch (const DataAccessError &e) {
        // A lost session is no name the provider failed to tell: whoever asked learns of it.
        letLostSessionThrough(e);
        // The original reports an empty name when the provider fails to tell.
        return QString();
    }
}

QString Connection::defaultSchema()
{
    return call([](Backend &b) { return b.defaultSchema(); });
}

QList<TableInfo> Connection::tables()
{
    return call([](Backend &b) { return b.tables(); });
}

QList<ColumnInfo> Connection::columns(const QString &schema, const QString &table)
{
    return call([&](Backend &b) { return b.columns(schema, table); });
}

QList<KeyColumnInfo> Connection::primaryKeys(const QString &schema, const QString &table)
{
    return call([&](Backend &b) { return b.primaryKeys(schema, table); });
}

QList<ForeignKeyInfo> Connection::foreignKeys(const QString &schema, const QString &table)
{
    return call([&](Backend &b) { return b.foreignKeys(schema, table); });
}

QList<IndexInfo> Connection::indexes(const QString &schema, const QString &table)
{
    return call([&](Backend &b) { return b.indexes(schema, table); });
}

TableMetadata Connection::tableMetadata(const QString &schema, const QString &table)
{
    return call([&](Backend &b) { return b.tableMetadata(schema, table); });
}

ExecResult Connection::execute(const QString &sql)
{
    refuseNul(sql);
    m_rowsFetched.store(0);
    return call([&](Backend &b) { return b.execute(sql, &m_rowsFetched); });
}

ExecResult Connection::executeParams(const QString &sql, const QList<QVariant> &params)
{
    refuseNul(sql);
    m_rowsFetched.store(0);
    return call([&](Backend &b) { return b.executeParams(sql, params); });
}

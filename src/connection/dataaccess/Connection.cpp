#include "connection/dataaccess/DataAccess.h"

#include <exception>

Connection::Connection()
    : m_runner([](const std::function<void()> &work, const std::function<void()> &) { work(); })
{
}

Connection::~Connection()
{
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
    if (!runner)
        runner = [](const std::function<void()> &work, const std::function<void()> &) { work(); };
    m_runner = std::move(runner);
}

void Connection::open()
{
    if (isOpen())
        return;
    std::unique_ptr<Backend> backend = Backend::create(m_connectionString);
    Backend *raw = backend.get();
    try {
        m_runner([raw] { raw->connect(); }, [raw] { raw->cancel(); });
    } catch (...) {
        // A connect that fails half way must not leave a session behind.
        try {
            raw->disconnect();
        } catch (...) {
        }
        throw;
    }
    m_backend = std::move(backend);
    if (m_afterConnect)
        m_afterConnect();
}

void Connection::close()
{
    if (!m_backend)
        return;
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

QString Connection::defaultDatabase() const
{
    if (!m_backend)
        return QString();
    try {
        return m_backend->defaultDatabase();
    } catch (const DataAccessError &) {
        // The original reports an empty name when the provider fails to tell.
        return QString();
    }
}

Backend &Connection::backend() const
{
    if (!m_backend)
        throw DataAccessError(QStringLiteral("The connection is not open."));
    return *m_backend;
}

ExecResult Connection::execute(const QString &sql)
{
    Backend &b = backend();
    ExecResult result;
    m_rowsFetched.store(0);
    m_runner([&] { result = b.execute(sql, &m_rowsFetched); }, [&b] { b.cancel(); });
    return result;
}

ExecResult Connection::executeParams(const QString &sql, const QList<QVariant> &params)
{
    Backend &b = backend();
    ExecResult result;
    m_rowsFetched.store(0);
    m_runner([&] { result = b.executeParams(sql, params); }, [&b] { b.cancel(); });
    return result;
}

#include "connection/dataaccess/DataAccess.h"

Connection::Connection()
    : m_runner([](const std::function<void()> &work, const std::function<void()> &) { work(); })
{
}

Connection::~Connection()
{
    if (m_backend) {
        m_backend->disconnect();
        m_backend.reset();
    }
}

void Connection::setConnectionString(const QString &connectionString)
{
    if (isOpen())
        throw DataAccessError(QStringLiteral("The connection string cannot be changed while the connection is open."));
    m_connectionString = connectionString;
}

void Connection::setWorkRunner(WorkRunner runner)
{
    m_runner = std::move(runner);
}

void Connection::open()
{
    if (isOpen())
        return;
    std::unique_ptr<Backend> backend = Backend::create(m_connectionString);
    Backend *raw = backend.get();
    m_runner([raw] { raw->connect(); }, [raw] { raw->cancel(); });
    m_backend = std::move(backend);
    if (m_afterConnect)
        m_afterConnect();
}

void Connection::close()
{
    if (!m_backend)
        return;
    m_backend->disconnect();
    m_backend.reset();
    if (m_afterDisconnect)
        m_afterDisconnect();
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
    m_runner([&] { result = b.execute(sql); }, [&b] { b.cancel(); });
    return result;
}

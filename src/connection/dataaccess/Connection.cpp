#include "connection/dataaccess/DataAccess.h"

#include <exception>

namespace {

// Client libraries disagree about a NUL in SQL text: some stop reading at it ("DELETE FROM t"
// NUL "WHERE id = 1" deletes every row), others never finish. No provider gets such text.
void refuseNul(const QString &sql)
{
    if (sql.contains(QChar(u'\0')))
        throw DataAccessError(
            QStringLiteral("The SQL text contains a NUL character (U+0000) and was not run. "
                           "Pass binary values as parameters."));
}

} // namespace

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
    openWith(Backend::create(m_connectionString));
}

void Connection::openWith(std::unique_ptr<Backend> backend)
{
    if (isOpen())
        return;
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

SqlDialect Connection::dialect() const
{
    return backend().dialect();
}

bool Connection::readOnly() const
{
    return backend().readOnly();
}

QString Connection::quoteIdentifier(const QString &name) const
{
    return backend().quoteIdentifier(name);
}

QString Connection::placeholder(int index) const
{
    return backend().placeholder(index);
}

void Connection::run(const std::function<void()> &work)
{
    Backend &b = backend();
    m_runner(work, [&b] { b.cancel(); });
}

// One call of the backend through the runner, its answer handed back.
template <typename Call> auto Connection::call(Call &&callBackend)
{
    Backend &b = backend();
    decltype(callBackend(b)) result;
    m_runner([&] { result = callBackend(b); }, [&b] { b.cancel(); });
    return result;
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

void Connection::transaction(const std::function<void()> &work)
{
    run([&] {
        Backend &b = backend();
        b.beginTransaction();
        try {
            work();
        } catch (...) {
            try {
                b.rollbackTransaction();
            } catch (...) {
                // The work's own error is the one to report.
            }
            throw;
        }
        // A commit the database refuses must not leave the transaction open.
        try {
            b.commitTransaction();
        } catch (...) {
            try {
                b.rollbackTransaction();
            } catch (...) {
                // The commit's error is the one to report.
            }
            throw;
        }
    });
}

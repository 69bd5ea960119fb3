#include "db/ConnectionString.h"
#include "db/DataAccess.h"
#include "db/fetch/Fetch.h"
#include "db/fetch/ResultStream.h"

#include <QCoreApplication>

#include <condition_variable>
#include <exception>
#include <thread>

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

// The connection whose piece of work runs on this thread: its calls run directly.
thread_local const Connection *t_working = nullptr;

void runDirectly(const std::function<void()> &work, const std::function<void()> &)
{
    work();
}

bool isLost(const std::exception_ptr &error)
{
    if (!error)
        return false;
    try {
        std::rethrow_exception(error);
    } catch (const ConnectionLostError &) {
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace

// A fetch that goes on after Connection::stream has returned: the reader on a thread of its own.
struct Connection::Stream
{
    std::unique_ptr<ResultStream> reader;
    std::function<void(const QList<FieldInfo> &)> endStep;
    std::function<void()> ended;
    std::function<void(StreamEnd)> finished;
    Backend *backend = nullptr;
    std::thread thread;
    std::thread canceller;

    mutable std::mutex mutex;
    std::condition_variable doneChanged;
    bool done = false; // under mutex, with end
    StreamEnd end;

    bool isDone() const
    {
        const std::lock_guard lock(mutex);
        return done;
    }
    void waitDone()
    {
        std::unique_lock lock(mutex);
        doneChanged.wait(lock, [this] { return done; });
    }
    void join()
    {
        if (thread.joinable())
            thread.join();
        if (canceller.joinable())
            canceller.join();
    }
};

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

void Connection::throwIfCancelled() const
{
    if (m_workCancelled.load())
        throw DataAccessError(cancelledText());
}

void Connection::cancelWork(Backend &b)
{
    // Under the lock, so that the work cannot end (and the next begin) while its cancel is sent.
    const std::lock_guard lock(m_workMutex);
    if (!m_workActive || m_workCancelled.load())
        return;
    m_workCancelled.store(true);
    b.cancel();
}

void Connection::endWork()
{
    const std::lock_guard lock(m_workMutex);
    m_workActive = false;
}

void Connection::refuseNestedWork() const
{
    Q_ASSERT_X(false, "Connection", "work started from an event handled while other work was waited for");
    throw DataAccessError(QStringLiteral("Internal error: work was started on the connection while other "
                                         "work was running. It was not run."));
}

void Connection::wait(const std::function<void()> &work, const std::function<void()> &cancel)
{
    if (m_waitDepth > 0)
        refuseNestedWork();
    struct Depth
    {
        Connection &self;
        explicit Depth(Connection &c) : self(c) { ++self.m_waitDepth; }
        ~Depth()
        {
            if (--self.m_waitDepth == 0)
                self.postIdleTasks();
        }
    } depth(*this);
    m_runner(work, cancel);
}

void Connection::whenIdle(std::function<void()> task)
{
    m_idleTasks.push_back(std::move(task));
    postIdleTasks();
}

void Connection::postIdleTasks()
{
    if (m_idlePosted || m_idleTasks.empty() || m_waitDepth > 0 || m_holds > 0)
        return;
    QCoreApplication *app = QCoreApplication::instance();
    if (!app) {
        runIdleTasks();
        return;
    }
    m_idlePosted = true;
    QMetaObject::invokeMethod(
        app,
        [self = std::weak_ptr<Connection *>(m_self)] {
            const std::shared_ptr<Connection *> alive = self.lock();
            if (!alive || !*alive)
                return;
            (*alive)->m_idlePosted = false;
            (*alive)->runIdleTasks();
        },
        Qt::QueuedConnection);
}

void Connection::runIdleTasks()
{
    // A wait or a hold that begins inside a task keeps the tasks after it waiting; its end posts
    // them again.
    while (!m_idleTasks.empty() && m_waitDepth == 0 && m_holds == 0) {
        const std::function<void()> task = std::move(m_idleTasks.front());
        m_idleTasks.pop_front();
        task();
    }
}

Connection::Hold::Hold(Connection &connection) : m_connection(connection)
{
    ++m_connection.m_holds;
}

Connection::Hold::~Hold()
{
    if (--m_connection.m_holds == 0)
        m_connection.postIdleTasks();
}

void Connection::runWork(Backend &b, const std::function<void()> &work, const bool *keepOpen)
{
    if (t_working == this) {
        throwIfCancelled();
        work();
        return;
    }
    // Before anything of the work that runs now is touched.
    if (m_waitDepth > 0)
        refuseNestedWork();
    {
        const std::lock_guard lock(m_workMutex);
        m_workActive = true;
        m_workCancelled.store(false);
    }
    // The progress display counts the rows of this work only, not those of the last query.
    m_rowsFetched.store(0);
    const auto piece = [this, &work, keepOpen] {
        const Connection *outer = t_working;
        t_working = this;
        struct Leave
        {
            Connection *self;
            const Connection *outer;
            const bool *keepOpen;
            ~Leave()
            {
                if (!keepOpen || !*keepOpen)
                    self->endWork();
                t_working = outer;
            }
        } leave{this, outer, keepOpen};
        throwIfCancelled();
        work();
    };
    try {
        wait(piece, [this, &b] { cancelWork(b); });
    } catch (const ConnectionLostError &) {
        endWork();
        if (m_backend.get() == &b) {
            // The session is gone: the window learns it through the after-disconnect
            // notification; Connect opens the connection string again.
            m_lost = true;
            try {
                close();
            } catch (const DataAccessError &) {
                // The lost session's own error is the one to report.
            }
        }
        throw;
    }
    if (!keepOpen || !*keepOpen)
        endWork();
}

Backend &Connection::freeBackend()
{
    // A call from the fetch's own end step runs inside its piece of work.
    if (m_stream && t_working != this)
        finishStream(false);
    return backend();
}

void Connection::run(const std::function<void()> &work)
{
    runWork(freeBackend(), work);
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
        // Inside a piece of work a lost session ends the work; outside, the connection has closed.
        if (t_working == this)
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

bool Connection::streamRows(const QString &sql,
                            const std::function<CellSink &(const QList<FieldInfo> &)> &startResult)
{
    refuseNul(sql);
    Backend &b = freeBackend();
    m_rowsFetched.store(0);
    bool complete = false;
    try {
        runWork(b, [&] {
            const std::unique_ptr<StatementCursor> cursor = b.openCursor(sql, nullptr);
            stopIfCancelledMeanwhile(b);
            while (cursor->nextResult()) {
                if (cursor->fields().isEmpty())
                    continue;
                CellSink &sink = startResult(cursor->fields());
                RowFetcher fetcher(*cursor, &m_rowsFetched);
                if (fetcher.fetch(sink) == RowFetcher::Step::Cancelled)
                    return;
                // A cancel between two statements of the text stops it there.
                if (cursor->cancelled())
                    return;
            }
            complete = true;
        });
    } catch (const ConnectionLostError &) {
        throw;
    } catch (const DataAccessError &) {
        // The database answers a cancel with an error of its own.
        if (!m_workCancelled.load())
            throw;
    }
    return complete;
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

ExecResult Connection::stream(const QString &sql, StreamOptions options)
{
    refuseNul(sql);
    Backend &b = freeBackend();
    m_rowsFetched.store(0);
    const QDeadlineTimer deadline(options.firstRowsMs);
    std::unique_ptr<ResultStream> reader;
    ExecResult first;
    bool keepOpen = false;
    runWork(
        b,
        [&] {
            reader = std::make_unique<ResultStream>(b.openCursor(sql, nullptr), &m_rowsFetched);
            stopIfCancelledMeanwhile(b);
            try {
                first = reader->start(deadline);
            } catch (...) {
                reader.reset(); // the statement ends before anything else happens to the session
                throw;
            }
            if (reader->handedOut()) {
                keepOpen = true;
                return;
            }
            reader.reset();
            if (first.recordset && !first.recordset->incomplete() && options.endStep)
                options.endStep(first.recordset->fields());
        },
        &keepOpen);
    if (!keepOpen)
        return first;

    auto stream = std::make_shared<Stream>();
    stream->reader = std::move(reader);
    stream->endStep = std::move(options.endStep);
    stream->ended = std::move(options.ended);
    stream->finished = std::move(options.finished);
    stream->backend = &b;
    try {
        stream->thread = std::thread([this, s = stream.get()] { readStream(*s); });
    } catch (...) {
        stream->reader.reset();
        endWork();
        throw;
    }
    m_stream = std::move(stream);
    return first;
}

void Connection::readStream(Stream &stream)
{
    // The rest of the fetch belongs to the piece of work stream() opened: the end step's calls run
    // directly, and its Cancel reaches them.
    t_working = this;
    StreamEnd end = stream.reader->finish();
    stream.reader.reset();
    if (!end.cancelled && !end.error && stream.endStep) {
        try {
            stream.endStep(end.later ? end.later->fields() : *end.fields);
        } catch (...) {
            // A Cancel that came as the last rows did stops only the end step: the rows are all
            // in, and the step's owner makes up for it afterwards.
            if (!m_workCancelled.load())
                end.error = std::current_exception();
        }
    }
    t_working = nullptr;
    {
        const std::lock_guard lock(stream.mutex);
        stream.end = std::move(end);
        stream.done = true;
    }
    stream.doneChanged.notify_all();
    if (stream.ended)
        stream.ended();
}

bool Connection::streamDone() const
{
    const std::shared_ptr<Stream> stream = m_stream;
    return !stream || stream->isDone();
}

void Connection::cancelStream()
{
    if (!m_stream || m_stream->canceller.joinable())
        return;
    // KILL QUERY opens a connection of its own, the PostgreSQL cancel request waits for the
    // server: neither on the window's thread.
    Backend *b = m_stream->backend;
    m_stream->canceller = std::thread([this, b] { cancelFetch(*b); });
}

void Connection::stopIfCancelledMeanwhile(Backend &b)
{
    // A Cancel that came while the statement was being sent found nothing running to stop; it is
    // meant for this statement all the same.
    if (m_workCancelled.load())
        b.cancel();
}

void Connection::cancelFetch(Backend &b) noexcept
{
    try {
        cancelWork(b);
    } catch (const std::exception &) {
        // A cancel the server refuses leaves the fetch to end by itself.
    }
}

void Connection::dropStream()
{
    const std::shared_ptr<Stream> stream = m_stream;
    if (!stream)
        return;
    // The cancel may have to open a connection of its own (KILL QUERY): never on this thread.
    cancelStream();
    stream->join();
    m_stream.reset();
    endWork();
}

void Connection::finishStream(bool cancel)
{
    const std::shared_ptr<Stream> stream = m_stream;
    if (!stream)
        return;
    if (cancel)
        cancelStream();
    if (!stream->isDone()) {
        Backend *b = stream->backend;
        wait([stream] { stream->waitDone(); }, [this, b] { cancelWork(*b); });
    }
    // A notification handled while the runner waited may have finished the stream already.
    if (m_stream != stream)
        return;
    stream->join();
    m_stream.reset();
    endWork();
    StreamEnd end;
    {
        const std::lock_guard lock(stream->mutex);
        end = std::move(stream->end);
    }
    if (isLost(end.error) && m_backend.get() == stream->backend) {
        m_lost = true;
        try {
            close();
        } catch (const DataAccessError &) {
            // The lost session's own error is the one to report.
        }
    }
    if (stream->finished)
        stream->finished(std::move(end));
}

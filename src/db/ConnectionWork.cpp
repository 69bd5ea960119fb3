// The connection's pieces of work: one at a time, on the work runner, with Cancel; and the work
// handed over to run once the connection is idle.
#include "db/ConnectionInternal.h"
#include "db/fetch/Fetch.h"

#include <QCoreApplication>

using connection_internal::t_working;

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

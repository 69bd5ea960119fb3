// Results that go on arriving after Connection::stream has returned, and rows streamed into a sink.
#include "db/ConnectionInternal.h"
#include "db/fetch/Fetch.h"
#include "db/fetch/ResultStream.h"

#include <condition_variable>
#include <thread>

using connection_internal::isLost;
using connection_internal::refuseNul;
using connection_internal::t_working;

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
            reader = std::make_unique<ResultStream>(
                b.openCursor(sql, options.params.isEmpty() ? nullptr : &options.params), &m_rowsFetched);
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

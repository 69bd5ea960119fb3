#include "db/fetch/Fetch.h"

#include "db/fetch/ResultStream.h"

QString cancelledText()
{
    return QStringLiteral("The operation was cancelled.");
}

RowFetcher::RowFetcher(StatementCursor &cursor, std::atomic<qint64> *rowsFetched)
    : m_cursor(cursor), m_rowsFetched(rowsFetched)
{
    publish();
}

void RowFetcher::publish()
{
    if (m_rowsFetched)
        m_rowsFetched->store(m_rows, std::memory_order_relaxed);
}

RowFetcher::Step RowFetcher::fetch(CellSink &sink, qint64 limit)
{
    for (qint64 taken = 0; limit < 0 || taken < limit; ++taken) {
        if (m_cursor.cancelled()) {
            publish();
            return Step::Cancelled;
        }
        bool more = false;
        try {
            more = m_cursor.nextRow();
        } catch (const ConnectionLostError &) {
            publish();
            throw;
        } catch (const DataAccessError &error) {
            publish();
            // The database answers a cancel with an error of its own: the rows so far stay.
            if (!m_cursor.cancelled())
                throw;
            m_cancelText = error.text();
            return Step::Cancelled;
        }
        if (!more) {
            publish();
            return Step::End;
        }
        m_cursor.readRow(sink);
        if ((++m_rows & 0xff) == 0)
            publish();
    }
    publish();
    return Step::More;
}

ExecResult fetchAll(std::unique_ptr<StatementCursor> cursor, std::atomic<qint64> *rowsFetched)
{
    return ResultStream(std::move(cursor), rowsFetched).start(std::nullopt);
}

#include "connection/dataaccess/Fetch.h"

#include "connection/dataaccess/RowStore.h"

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

namespace {

// What a cancelled text gives: the latest result that received rows, marked incomplete.
ExecResult cancelledResult(std::unique_ptr<Recordset> current, std::unique_ptr<Recordset> previous,
                           const QString &text)
{
    ExecResult out;
    if (current && current->rowCount() > 0)
        out.recordset = std::move(current);
    else if (previous && previous->rowCount() > 0)
        out.recordset = std::move(previous);
    else
        throw DataAccessError(text.isEmpty() ? cancelledText() : text);
    out.recordset->setIncomplete(true);
    out.recordsAffected = out.recordset->rowCount();
    return out;
}

} // namespace

ExecResult fetchAll(std::unique_ptr<StatementCursor> cursor, std::atomic<qint64> *rowsFetched)
{
    ExecResult out;
    out.recordsAffected = 0; // a text that runs no statement changes nothing
    std::unique_ptr<Recordset> current;
    try {
        for (;;) {
            // A cancel between two statements of the text stops it there.
            if (cursor->cancelled()) {
                cursor.reset();
                return cancelledResult(nullptr, std::move(out.recordset), QString());
            }
            if (!cursor->nextResult())
                break;
            const QList<FieldInfo> &fields = cursor->fields();
            if (fields.isEmpty()) {
                out.recordsAffected = cursor->recordsAffected();
                continue;
            }
            current = std::make_unique<Recordset>(fields, std::make_unique<RowStore>(int(fields.size())));
            RowFetcher fetcher(*cursor, rowsFetched);
            if (fetcher.fetch(current->rows()) == RowFetcher::Step::Cancelled) {
                const QString text = fetcher.cancelText();
                cursor.reset();
                return cancelledResult(std::move(current), std::move(out.recordset), text);
            }
            out.recordsAffected = current->rowCount();
            out.recordset = std::move(current);
        }
    } catch (const ConnectionLostError &) {
        throw;
    } catch (const DataAccessError &error) {
        if (!cursor || !cursor->cancelled())
            throw;
        const QString text = error.text();
        cursor.reset();
        return cancelledResult(std::move(current), std::move(out.recordset), text);
    }
    if (out.recordset)
        cursor->completeFields(out.recordset->fields());
    cursor.reset();
    return out;
}

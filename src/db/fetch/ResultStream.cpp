#include "db/fetch/ResultStream.h"

#include "db/fetch/RowStore.h"

ResultStream::ResultStream(std::unique_ptr<StatementCursor> cursor, std::atomic<qint64> *rowsFetched)
    : m_cursor(std::move(cursor)), m_rowsFetched(rowsFetched)
{
}

ResultStream::~ResultStream() = default;

void ResultStream::beginResult()
{
    const QList<FieldInfo> &fields = m_cursor->fields();
    m_readingOwned = std::make_unique<Recordset>(fields, std::make_unique<RowStore>(int(fields.size())));
    m_reading = m_readingOwned.get();
    m_fetcher = std::make_unique<RowFetcher>(*m_cursor, m_rowsFetched);
}

void ResultStream::endResult()
{
    m_affected = m_reading->rowCount();
    if (m_reading == m_shown) {
        m_shown->rows().endFetch();
        // The result handed out is the latest again.
        m_latest.reset();
    } else {
        m_latest = std::move(m_readingOwned);
    }
    m_reading = nullptr;
    m_fetcher.reset();
}

RowFetcher::Step ResultStream::fetchUntil(const QDeadlineTimer &deadline)
{
    // Row by row, so that rows that come slowly are shown once the deadline has passed.
    for (;;) {
        const RowFetcher::Step step = m_fetcher->fetch(m_reading->rows(), 1);
        if (step != RowFetcher::Step::More || (deadline.hasExpired() && m_reading->rowCount() > 0))
            return step;
    }
}

ExecResult ResultStream::start(const std::optional<QDeadlineTimer> &deadline)
{
    std::optional<QString> cancelText;
    try {
        for (;;) {
            if (!m_reading) {
                // A cancel between two statements of the text stops it there.
                if (m_cursor->cancelled())
                    return cancelled(QString());
                if (!m_cursor->nextResult())
                    break;
                if (m_cursor->fields().isEmpty()) {
                    m_affected = m_cursor->recordsAffected();
                    continue;
                }
                beginResult();
            }
            const RowFetcher::Step step =
                deadline ? fetchUntil(*deadline) : m_fetcher->fetch(m_reading->rows());
            if (step == RowFetcher::Step::Cancelled)
                return cancelled(m_fetcher->cancelText());
            if (step == RowFetcher::Step::End) {
                endResult();
                continue;
            }
            // The deadline has passed with rows to show: they go out now, the rest follows.
            m_reading->rows().beginFetch();
            m_shown = m_reading;
            m_latest.reset(); // an earlier result is not the text's result any more
            ExecResult out;
            out.recordsAffected = m_reading->rowCount();
            out.recordset = std::move(m_readingOwned);
            return out;
        }
    } catch (const ConnectionLostError &) {
        throw;
    } catch (const DataAccessError &error) {
        if (!m_cursor || !m_cursor->cancelled())
            throw;
        cancelText = error.text();
    }
    return cancelText ? cancelled(*cancelText) : complete();
}

ExecResult ResultStream::complete()
{
    ExecResult out;
    out.recordsAffected = m_affected;
    out.recordset = std::move(m_latest);
    if (out.recordset)
        m_cursor->completeFields(out.recordset->fields());
    m_cursor.reset();
    return out;
}

// What a cancelled text gives: the latest result that received rows, marked incomplete.
ExecResult ResultStream::cancelled(const QString &text)
{
    m_cursor.reset();
    ExecResult out;
    if (m_reading && m_reading->rowCount() > 0)
        out.recordset = std::move(m_readingOwned);
    else if (m_latest && m_latest->rowCount() > 0)
        out.recordset = std::move(m_latest);
    else
        throw DataAccessError(text.isEmpty() ? cancelledText() : text);
    out.recordset->setIncomplete(true);
    out.recordsAffected = out.recordset->rowCount();
    return out;
}

void ResultStream::finishCancelled(StreamEnd &end)
{
    end.cancelled = true;
    if (m_reading && m_reading != m_shown && m_reading->rowCount() > 0)
        end.later = std::move(m_readingOwned);
    else if (m_latest && m_latest->rowCount() > 0)
        end.later = std::move(m_latest);
    if (end.later) {
        end.later->setIncomplete(true);
        end.recordsAffected = end.later->rowCount();
    } else {
        // The result handed out has rows: it is the latest that received some.
        end.incomplete = true;
        end.recordsAffected = m_shown->rowCount();
    }
}

StreamEnd ResultStream::finish() noexcept
{
    StreamEnd end;
    try {
        for (;;) {
            if (!m_reading) {
                if (m_cursor->cancelled()) {
                    finishCancelled(end);
                    break;
                }
                if (!m_cursor->nextResult())
                    break;
                if (m_cursor->fields().isEmpty()) {
                    m_affected = m_cursor->recordsAffected();
                    continue;
                }
                beginResult();
            }
            if (m_fetcher->fetch(m_reading->rows()) == RowFetcher::Step::Cancelled) {
                finishCancelled(end);
                break;
            }
            endResult();
        }
        if (!end.cancelled) {
            // The rows handed out are being read elsewhere: their fields are completed in a copy.
            if (m_latest) {
                m_cursor->completeFields(m_latest->fields());
                end.later = std::move(m_latest);
            } else {
                QList<FieldInfo> fields = m_shown->fields();
                m_cursor->completeFields(fields);
                end.fields = std::move(fields);
            }
            end.recordsAffected = m_affected;
        }
    } catch (const ConnectionLostError &) {
        end.error = std::current_exception();
    } catch (const DataAccessError &) {
        // The database answers a cancel with an error of its own: the rows so far stay.
        if (m_cursor && m_cursor->cancelled())
            finishCancelled(end);
        else
            end.error = std::current_exception();
    } catch (...) {
        end.error = std::current_exception();
    }
    if (end.error) {
        end.later.reset();
        end.fields.reset();
        end.incomplete = true;
        end.recordsAffected = m_shown->rowCount();
    }
    if (m_shown->rows().isFetching())
        m_shown->rows().endFetch();
    m_cursor.reset();
    m_reading = nullptr;
    m_readingOwned.reset();
    m_fetcher.reset();
    m_latest.reset();
    return end;
}

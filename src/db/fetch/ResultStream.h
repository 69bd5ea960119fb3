#pragma once

#include "db/fetch/Fetch.h"

#include <QDeadlineTimer>

#include <atomic>
#include <memory>
#include <optional>

// One statement text read result by result with the rules of Backend::execute, in two stages
// when its rows should be shown while they arrive:
//  - start() reads until the text ends, or, given a deadline, until the deadline has passed
//    while a result with rows has more to come; that result is then handed out (its RowStore
//    between beginFetch and endFetch) and the statement stays open;
//  - finish() reads the rest, on another thread if need be, while the window reads the rows
//    handed out; it ends the statement.
// Without a deadline start() is fetchAll. Whoever owns the handed-out result keeps it alive
// until finish() has returned.
class ResultStream
{
public:
    ResultStream(std::unique_ptr<StatementCursor> cursor, std::atomic<qint64> *rowsFetched);
    ~ResultStream();
    ResultStream(const ResultStream &) = delete;
    ResultStream &operator=(const ResultStream &) = delete;

    // What fetchAll returns, or the result handed out (handedOut() then true). Throws as
    // fetchAll does.
    ExecResult start(const std::optional<QDeadlineTimer> &deadline);
    bool handedOut() const { return m_shown != nullptr; }
    // After a hand-out: reads the rest of the text. Never throws.
    StreamEnd finish() noexcept;

private:
    void beginResult();
    // The current result has all its rows.
    void endResult();
    RowFetcher::Step fetchUntil(const QDeadlineTimer &deadline);
    ExecResult complete();
    ExecResult cancelled(const QString &text);
    void finishCancelled(StreamEnd &end);

    std::unique_ptr<StatementCursor> m_cursor;
    std::atomic<qint64> *m_rowsFetched;
    qint64 m_affected = 0; // a text that runs no statement changes nothing
    // The result being read (null between results), owned here until it is handed out.
    Recordset *m_reading = nullptr;
    std::unique_ptr<Recordset> m_readingOwned;
    std::unique_ptr<RowFetcher> m_fetcher;
    // The last result whose rows all came, when it is not the one handed out.
    std::unique_ptr<Recordset> m_latest;
    Recordset *m_shown = nullptr;
};

#pragma once

#include "db/DataAccess.h"

#include <QList>

#include <functional>
#include <memory>

// A work runner for tests (Connection::setWorkRunner) that runs each piece of work on a thread
// of its own, as the program's runner does, and presses Cancel for a piece once cancelWhen says
// so: it is asked, with the piece's number from 1, until it answers true or the piece ends. It
// answers at once for a Cancel pressed before the work gets going. Copies share what they saw.
class ThreadedRunner
{
public:
    explicit ThreadedRunner(std::function<bool(int piece)> cancelWhen = {});

    void operator()(const std::function<void()> &work, const std::function<void()> &cancel) const;

    // How many pieces of work ran, and for each (from 1) whether Cancel was pressed while it ran.
    int pieces() const { return int(m_seen->cancelledWhileRunning.size()); }
    bool cancelledWhileRunning(int piece) const { return m_seen->cancelledWhileRunning.value(piece - 1); }

private:
    struct Seen
    {
        QList<bool> cancelledWhileRunning;
    };
    std::function<bool(int)> m_cancelWhen;
    std::shared_ptr<Seen> m_seen;
};

#pragma once

#include <QtGlobal>

#include <atomic>
#include <functional>
#include <mutex>

// Lets Cancel reach the statement that runs now and no other. A backend opens a Running scope
// around each statement; cancel() marks that statement cancelled and runs the backend's
// interrupt (sqlite3_interrupt, PQcancel, KILL QUERY, SQLCancel) under the lock that also ends
// the scope, so an interrupt can never outlive its statement and stop the next one. A cancel
// while nothing runs does nothing.
class CancelGate
{
public:
    // One statement running, from its start until everything it sent back has been read.
    class Running
    {
    public:
        explicit Running(CancelGate &gate);
        ~Running();
        Running(const Running &) = delete;
        Running &operator=(const Running &) = delete;

    private:
        CancelGate &m_gate;
    };

    // True once cancel() has reached the running statement.
    bool cancelled() const { return m_cancelled.load(std::memory_order_relaxed); }

    // From any thread: marks the running statement cancelled and runs interrupt for it.
    void cancel(const std::function<void()> &interrupt);

    // For interrupts that must first open a connection of their own: mark() marks the running
    // statement cancelled and returns its ticket (0 when none runs); interrupt() then runs
    // interrupt under the lock, but only while that very statement still runs.
    quint64 mark();
    void interrupt(quint64 ticket, const std::function<void()> &interrupt);

    // Runs work under the lock, for state that an interrupt reads (a handle being closed).
    void locked(const std::function<void()> &work);

private:
    std::mutex m_mutex;
    quint64 m_ticket = 0; // of the running statement; 0 while none runs
    quint64 m_lastTicket = 0;
    int m_depth = 0;
    std::atomic<bool> m_cancelled{false};
};

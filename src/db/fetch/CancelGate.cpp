#include "db/fetch/CancelGate.h"

CancelGate::Running::Running(CancelGate &gate) : m_gate(gate)
{
    const std::lock_guard lock(m_gate.m_mutex);
    // A statement run while another one is being read (a catalogue lookup for its fields)
    // belongs to the same cancel.
    if (m_gate.m_depth++ > 0)
        return;
    m_gate.m_ticket = ++m_gate.m_lastTicket;
    m_gate.m_cancelled.store(false, std::memory_order_relaxed);
}

CancelGate::Running::~Running()
{
    const std::lock_guard lock(m_gate.m_mutex);
    if (--m_gate.m_depth == 0)
        m_gate.m_ticket = 0;
}

void CancelGate::cancel(const std::function<void()> &interrupt)
{
    const std::lock_guard lock(m_mutex);
    if (m_ticket == 0)
        return;
    m_cancelled.store(true, std::memory_order_relaxed);
    if (interrupt)
        interrupt();
}

quint64 CancelGate::mark()
{
    const std::lock_guard lock(m_mutex);
    if (m_ticket != 0)
        m_cancelled.store(true, std::memory_order_relaxed);
    return m_ticket;
}

void CancelGate::interrupt(quint64 ticket, const std::function<void()> &interrupt)
{
    const std::lock_guard lock(m_mutex);
    if (ticket != 0 && ticket == m_ticket && interrupt)
        interrupt();
}

void CancelGate::locked(const std::function<void()> &work)
{
    const std::lock_guard lock(m_mutex);
    work();
}

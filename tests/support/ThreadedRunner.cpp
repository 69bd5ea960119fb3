#include "ThreadedRunner.h"

#include <atomic>
#include <exception>
#include <thread>

ThreadedRunner::ThreadedRunner(std::function<bool(int piece)> cancelWhen)
    : m_cancelWhen(std::move(cancelWhen)), m_seen(std::make_shared<Seen>())
{
}

void ThreadedRunner::operator()(const std::function<void()> &work, const std::function<void()> &cancel) const
{
    m_seen->cancelledWhileRunning.append(false);
    const int piece = int(m_seen->cancelledWhileRunning.size());
    std::atomic<bool> done{false};
    std::exception_ptr error;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
        done = true;
    });
    if (m_cancelWhen && cancel) {
        bool pressed = false;
        while (!done && !(pressed = m_cancelWhen(piece)))
            std::this_thread::yield();
        if (pressed) {
            m_seen->cancelledWhileRunning[piece - 1] = !done;
            cancel();
        }
    }
    worker.join();
    if (error)
        std::rethrow_exception(error);
}

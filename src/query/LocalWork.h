#pragma once

#include "db/DataAccess.h"

#include <atomic>
#include <exception>
#include <functional>

// Work of the window's own (a sort, a search, a copy) run through a work runner, so that it runs
// off the window's thread with the program's progress display and Cancel; the work watches the
// flag it is given. False when Cancel was pressed; the work's own error is thrown here.
inline bool runLocalWork(const WorkRunner &runner, const std::function<void(const std::atomic<bool> &)> &work)
{
    std::atomic<bool> cancel{false};
    std::exception_ptr error;
    runner(
        [&] {
            try {
                work(cancel);
            } catch (...) {
                error = std::current_exception();
            }
        },
        [&cancel] { cancel.store(true); });
    if (cancel.load())
        return false;
    if (error)
        std::rethrow_exception(error);
    return true;
}

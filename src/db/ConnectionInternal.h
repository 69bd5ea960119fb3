#pragma once

// What the parts of Connection (Connection.cpp, ConnectionWork.cpp, ConnectionStream.cpp) share;
// nothing outside the connection uses it.

#include "db/DataAccess.h"

#include <exception>

namespace connection_internal {

// The connection whose piece of work runs on this thread: its calls run directly.
inline thread_local const Connection *t_working = nullptr;

// Client libraries disagree about a NUL in SQL text: some stop reading at it ("DELETE FROM t"
// NUL "WHERE id = 1" deletes every row), others never finish. No provider gets such text.
inline void refuseNul(const QString &sql)
{
    if (sql.contains(QChar(u'\0')))
        throw DataAccessError(
            QStringLiteral("The SQL text contains a NUL character (U+0000) and was not run. "
                           "Pass binary values as parameters."));
}

inline bool isLost(const std::exception_ptr &error)
{
    if (!error)
        return false;
    try {
        std::rethrow_exception(error);
    } catch (const ConnectionLostError &) {
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace connection_internal

#pragma once

#include "query/EditTarget.h"

// Decides whether, and how, the rows of a result can be written back to their table. Asks the
// database for the table's columns and key (and, on PostgreSQL, whether the table has
// inheritance children), so it runs as part of a piece of work on the connection, once the
// result's fields are known. A failure makes the result read-only with its reason; a lost session
// goes on to the caller, so that the piece of work ends and the connection closes, and so does a
// Cancel of the work it runs in.
namespace EditAnalysis {

EditTarget analyse(Connection &connection, const QList<FieldInfo> &fields);

// The prefix of every read-only reason.
QString readOnlyPrefix();

} // namespace EditAnalysis

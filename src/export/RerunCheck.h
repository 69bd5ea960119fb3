#pragma once

#include <QString>

// Whether running a statement text again could change data, so that an export, which runs the
// statement of the result on show again, asks first. Only one statement that plainly reads
// counts as safe: its first word SELECT, WITH, VALUES, TABLE, SHOW, DESCRIBE, DESC or EXPLAIN,
// and none of the words that write (INSERT, UPDATE, DELETE, MERGE, INTO, CREATE, DROP, ALTER,
// TRUNCATE, CALL, EXEC, EXECUTE, DO, COPY, GRANT, REVOKE, LOCK) outside comments, string
// literals and quoted names. Anything else, several statements, or a text that cannot be read
// to its end (an open quote or comment), may change data. Functions with side effects cannot be
// told apart and pass.
bool rerunMayChangeData(const QString &sql);

#pragma once

#include <QString>

// The connection string as it may appear in the log: the value of every secret entry (PWD and
// every name ending in "Password", see isSecretConnectionStringName) reads "***", also inside
// an Extended Properties value, which holds a connection string of its own.
// The entries are the ones the connection-string parser reads, so quoted and braced values are
// masked whole, and a string the parser refuses is masked as leniently read: an open quote
// masks everything after it. Everything else is kept as written.
QString maskPasswords(const QString &connectionString);

#pragma once

#include <QString>

// The connection string as it may appear in the log: the value of every Password or PWD entry
// (also "Database Password" and the like) reads "***". Quoted ("..." or '...') and braced
// ({...}) values are masked whole, even when they hold a ";". Everything else is kept as is.
QString maskPasswords(const QString &connectionString);

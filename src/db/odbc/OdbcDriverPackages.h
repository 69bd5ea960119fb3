#pragma once

#include <QString>

// The Debian package that provides an ODBC driver registered under this name (as Driver= names
// it, braces or not); empty for a driver Debian does not ship.
QString debianPackageOfOdbcDriver(const QString &driver);

// The driver manager's text of a failed connect, with a sentence saying which package provides
// the driver when the text says the driver named in odbcString is not installed.
QString explainMissingOdbcDriver(const QString &text, const QString &odbcString);

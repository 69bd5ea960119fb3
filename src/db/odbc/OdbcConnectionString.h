#pragma once

#include <QString>

// What the ODBC backend hands to SQLDriverConnect for a connection string.
//
// sqlServer: the string names a SQL Server provider (SQLOLEDB, SQLNCLI, MSOLEDBSQL) and is
// mapped onto the installed FreeTDS driver: Data Source (host[,port] or host\instance),
// Initial Catalog, User ID and Password become Server, Port, Database, UID and PWD.
// Otherwise everything but Provider is passed on; the OLE DB names an ODBC driver would not
// know (Data Source, User ID, Password, Initial Catalog) are renamed, and an "Extended
// Properties" value (how OLE DB carries an ODBC string) is unwrapped.
// Throws DataAccessError for a string that cannot be read.
QString odbcConnectionString(const QString &connectionString, bool sqlServer);

// A value written for an ODBC connection string: in braces when it holds ';', braces or
// surrounding blanks, with '}' doubled inside.
QString odbcValue(const QString &value);

#pragma once

#include "connection/dataaccess/DataAccess.h"

#include <atomic>
#include <functional>

struct sqlite3;
struct sqlite3_stmt;

// Running SQL on an open sqlite3 handle: the statement loop, row streaming into a RowStore and
// parameter binding. Shared by the SQLite backend and the Access backend (whose queries run on
// an in-memory SQLite connection).

// ADO type of a declared SQLite column type, with the size, precision and scale it declares.
struct SqliteType
{
    AdoType type = AdoType::Variant;
    qint64 definedSize = 0;
    int precision = 0;
    int scale = 0;
};

// The one mapping from declared column types ("VARCHAR(50)", "NUMERIC(10,2)", "") to ADO types.
SqliteType sqliteDeclaredType(const QString &declared);

// Lets a caller map declared types of its own; the size, precision and scale still come from
// the declaration's arguments.
using SqliteTypeMapper = std::function<AdoType(const char *declType)>;

struct SqliteExecOptions
{
    std::atomic<qint64> *rowsFetched = nullptr;   // rows so far of the statement being fetched
    const std::atomic<bool> *cancelled = nullptr; // checked before each statement
    SqliteTypeMapper typeOf;
    const QList<QVariant> *params = nullptr; // bound to the placeholders in order of appearance
};

// Runs every statement of the text in turn. The last statement that yields columns gives the
// recordset; recordsAffected is the count of the last statement (0 when it changed nothing,
// e.g. DDL). An interrupt while rows are fetched keeps the rows so far and marks the recordset
// incomplete; any other failure throws DataAccessError with SQLite's own message.
ExecResult sqliteExecute(sqlite3 *db, const QString &sql, const SqliteExecOptions &options);
ExecResult sqliteExecute(sqlite3 *db, const QString &sql, std::atomic<qint64> *rowsFetched,
                         const SqliteTypeMapper &typeOf = {});
ExecResult sqliteExecuteParams(sqlite3 *db, const QString &sql, const QList<QVariant> &params,
                               const SqliteTypeMapper &typeOf = {});

// Binds one value (index from 1): null, bool (0/1), integers, doubles, text, blobs; dates and
// times as ISO text; anything else as its text. Throws DataAccessError.
void sqliteBind(sqlite3 *db, sqlite3_stmt *stmt, int index, const QVariant &value);

// The column that is the rowid alias of a table (its INTEGER PRIMARY KEY), which SQLite fills
// by itself; empty when the table has none. schema empty means "main".
QString sqliteRowidAlias(sqlite3 *db, const QString &schema, const QString &table);

// A DataAccessError with the connection's last error message.
DataAccessError sqliteError(sqlite3 *db);

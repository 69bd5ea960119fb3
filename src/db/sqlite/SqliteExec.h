#pragma once

#include "db/DataAccess.h"
#include "db/fetch/CancelGate.h"

#include <functional>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

// Running SQL on an sqlite3 handle: the statement cursor, parameter binding and the handle's
// cancel. Shared by the SQLite backend and the Access backend (whose queries run on an
// in-memory SQLite connection).

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
    SqliteTypeMapper typeOf;
    // Applied to the fields of each result once they are known.
    std::function<void(QList<FieldInfo> &)> adjustFields;
    const QList<QVariant> *params = nullptr; // bound to the placeholders in order of appearance
};

struct SqliteStatementDeleter
{
    void operator()(sqlite3_stmt *stmt) const;
};
using SqliteStatement = std::unique_ptr<sqlite3_stmt, SqliteStatementDeleter>;

// Prepares one statement; throws SQLite's error.
SqliteStatement sqlitePrepare(sqlite3 *db, const char *sql);

// An open sqlite3 handle and the cancel of what runs on it. A cancel interrupts the handle
// under the same lock that closes it, so cancelling an open that is failing is safe.
class SqliteSession
{
public:
    SqliteSession() = default;
    ~SqliteSession() { close(); }
    SqliteSession(const SqliteSession &) = delete;
    SqliteSession &operator=(const SqliteSession &) = delete;

    // Opens the file (or ":memory:") with these sqlite3_open_v2 flags; throws SQLite's error.
    void open(const QString &path, int flags);
    void close();
    bool isOpen() const { return m_db != nullptr; }
    // The handle; throws when not open.
    sqlite3 *db() const;

    // Runs a text without results (settings, a schema check); throws SQLite's error.
    void exec(const char *sql);
    // Runs every statement of the text in turn, with the cursor's contract (Fetch.h). Rows of a
    // result without declared types take the type of their first value.
    std::unique_ptr<StatementCursor> openCursor(const QString &sql, const SqliteExecOptions &options);
    void cancel();

private:
    sqlite3 *m_db = nullptr;
    CancelGate m_gate;
};

// Binds one value (index from 1): null, bool (0/1), integers, doubles, text, blobs; dates and
// times as ISO text; anything else as its text. Throws DataAccessError.
void sqliteBind(sqlite3 *db, sqlite3_stmt *stmt, int index, const QVariant &value);

// The column that is the rowid alias of a table (its INTEGER PRIMARY KEY), which SQLite fills
// by itself; empty when the table has none. schema empty means "main".
QString sqliteRowidAlias(sqlite3 *db, const QString &schema, const QString &table);
// The same from a table's key columns (name and declared type, in key order) and whether its key
// has an index of its own (origin "pk"): the lone INTEGER key column of a key without one.
QString sqliteRowidAliasOf(const QList<QPair<QString, QString>> &keyColumns, bool keyIndexed);

// A DataAccessError with the connection's last error message.
DataAccessError sqliteError(sqlite3 *db);

#pragma once

#include "db/DataAccess.h"
#include "db/fetch/CancelGate.h"

#include <sql.h>
#include <sqlext.h>

#include <memory>

// One ODBC connection: the driver manager's handles, statements read through a cursor
// (OdbcStatement.cpp), cancel, and the one path from diagnostic records to exceptions.

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC's SQLWCHAR is UTF-16");

inline const SQLWCHAR *odbcWide(const QString &text)
{
    return reinterpret_cast<const SQLWCHAR *>(text.utf16());
}

inline QString odbcText(const SQLWCHAR *text, qsizetype chars)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(text), chars);
}

// The driver's own texts of every diagnostic record of a handle, joined by line breaks;
// ConnectionLostError when a record's state says the connection is gone (class 08).
[[noreturn]] void throwOdbcError(SQLSMALLINT handleType, SQLHANDLE handle);

// Bytes read per SQLGetData call of long values.
constexpr SQLLEN OdbcChunkBytes = 64 * 1024;

// A statement handle, freed (with whatever results it still holds) on scope exit.
class OdbcStatementHandle
{
public:
    explicit OdbcStatementHandle(SQLHDBC dbc);
    ~OdbcStatementHandle();
    OdbcStatementHandle(const OdbcStatementHandle &) = delete;
    OdbcStatementHandle &operator=(const OdbcStatementHandle &) = delete;

    SQLHSTMT handle() const { return m_stmt; }
    // Throws the driver's error unless rc succeeded (or is SQL_NO_DATA).
    void check(SQLRETURN rc) const;
    // A column of the current row as text, read in chunks; isNull tells NULL from "".
    QString text(SQLUSMALLINT column, bool *isNull = nullptr) const;
    qint64 integer(SQLUSMALLINT column) const;
    bool fetch() const;

private:
    SQLHSTMT m_stmt = SQL_NULL_HSTMT;
};

class OdbcSession
{
public:
    OdbcSession() = default;
    ~OdbcSession() { close(); }
    OdbcSession(const OdbcSession &) = delete;
    OdbcSession &operator=(const OdbcSession &) = delete;

    // Connects with an ODBC connection string; throws the driver manager's or driver's text.
    void open(const QString &odbcString);
    void close();
    bool isOpen() const { return m_dbc != SQL_NULL_HDBC; }
    SQLHDBC handle() const; // throws when not open
    QString info(SQLUSMALLINT what) const;

    // Runs a statement text (prepared, with bound parameters, when params is given); its
    // results are read through the cursor.
    std::unique_ptr<StatementCursor> openCursor(const QString &sql, const QList<QVariant> *params);
    // SQLCancel of the statement running now.
    void cancel();
    // The statement that cancel() reaches, and whether the driver is running it (rather than
    // handing over its rows); set and cleared by the cursor that runs it.
    void setRunning(SQLHSTMT stmt, bool executing);

private:
    SQLHENV m_env = SQL_NULL_HENV;
    SQLHDBC m_dbc = SQL_NULL_HDBC;
    // The SQLite drivers keep a result's rows in memory once it has run, and free them in
    // SQLCancel under a fetch in progress; their fetches never wait, so the fetch loop's own
    // check of the cancel is enough there.
    bool m_cancelWhileFetching = true;
    SQLHSTMT m_running = SQL_NULL_HSTMT; // these two under the gate's lock
    bool m_executing = false;
    CancelGate m_gate;
};

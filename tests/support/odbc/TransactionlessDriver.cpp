// An ODBC driver for tests that hands every call to a real driver (the SQLite3 driver, over a
// real database file) but reports no transactions (SQL_TXN_CAPABLE is SQL_TC_NONE) and a DBMS
// of no known family, as a driver for a source without transactions does. Loaded by the driver
// manager from the path in a connection string's Driver entry.
#include <sql.h>
#include <sqlext.h>

#include <cstring>

#include <dlfcn.h>

namespace {

void *wrapped()
{
    static void *const driver = ::dlopen(ORVESSA_WRAPPED_ODBC_DRIVER, RTLD_NOW | RTLD_LOCAL);
    return driver;
}

template <typename Function> Function real(const char *name)
{
    return wrapped() ? reinterpret_cast<Function>(::dlsym(wrapped(), name)) : nullptr;
}

// What this driver says of itself instead of the wrapped one; false for everything else.
bool answer(SQLUSMALLINT what, SQLPOINTER value, SQLSMALLINT size, SQLSMALLINT *length)
{
    if (what == SQL_TXN_CAPABLE) {
        if (value)
            *static_cast<SQLUSMALLINT *>(value) = SQL_TC_NONE;
        if (length)
            *length = sizeof(SQLUSMALLINT);
        return true;
    }
    if (what == SQL_DBMS_NAME) {
        const char name[] = "Transactionless";
        if (value && size >= SQLSMALLINT(sizeof name))
            std::memcpy(value, name, sizeof name);
        if (length)
            *length = SQLSMALLINT(sizeof name - 1);
        return true;
    }
    return false;
}

} // namespace

#define ORVESSA_FORWARD(name, params, args)                                                                  \
    extern "C" SQLRETURN SQL_API name params                                                                 \
    {                                                                                                        \
        const auto function = real<decltype(&::name)>(#name);                                                \
        return function ? function args : SQL_ERROR;                                                         \
    }

// The SQLite3 driver of Debian speaks the ANSI calls; the driver manager turns the program's
// wide ones into them.
ORVESSA_FORWARD(SQLAllocHandle, (SQLSMALLINT a, SQLHANDLE b, SQLHANDLE *c), (a, b, c))
ORVESSA_FORWARD(SQLFreeHandle, (SQLSMALLINT a, SQLHANDLE b), (a, b))
ORVESSA_FORWARD(SQLSetEnvAttr, (SQLHENV a, SQLINTEGER b, SQLPOINTER c, SQLINTEGER d), (a, b, c, d))
ORVESSA_FORWARD(SQLGetEnvAttr, (SQLHENV a, SQLINTEGER b, SQLPOINTER c, SQLINTEGER d, SQLINTEGER *e),
                (a, b, c, d, e))
ORVESSA_FORWARD(SQLDriverConnect,
                (SQLHDBC a, SQLHWND b, SQLCHAR *c, SQLSMALLINT d, SQLCHAR *e, SQLSMALLINT f, SQLSMALLINT *g,
                 SQLUSMALLINT h),
                (a, b, c, d, e, f, g, h))
ORVESSA_FORWARD(SQLDisconnect, (SQLHDBC a), (a))
ORVESSA_FORWARD(SQLGetDiagRec,
                (SQLSMALLINT a, SQLHANDLE b, SQLSMALLINT c, SQLCHAR *d, SQLINTEGER *e, SQLCHAR *f,
                 SQLSMALLINT g, SQLSMALLINT *h),
                (a, b, c, d, e, f, g, h))
ORVESSA_FORWARD(SQLGetDiagField,
                (SQLSMALLINT a, SQLHANDLE b, SQLSMALLINT c, SQLSMALLINT d, SQLPOINTER e, SQLSMALLINT f,
                 SQLSMALLINT *g),
                (a, b, c, d, e, f, g))
ORVESSA_FORWARD(SQLExecDirect, (SQLHSTMT a, SQLCHAR *b, SQLINTEGER c), (a, b, c))
ORVESSA_FORWARD(SQLPrepare, (SQLHSTMT a, SQLCHAR *b, SQLINTEGER c), (a, b, c))
ORVESSA_FORWARD(SQLExecute, (SQLHSTMT a), (a))
ORVESSA_FORWARD(SQLBindParameter,
                (SQLHSTMT a, SQLUSMALLINT b, SQLSMALLINT c, SQLSMALLINT d, SQLSMALLINT e, SQLULEN f,
                 SQLSMALLINT g, SQLPOINTER h, SQLLEN i, SQLLEN *j),
                (a, b, c, d, e, f, g, h, i, j))
ORVESSA_FORWARD(SQLDescribeParam,
                (SQLHSTMT a, SQLUSMALLINT b, SQLSMALLINT *c, SQLULEN *d, SQLSMALLINT *e, SQLSMALLINT *f),
                (a, b, c, d, e, f))
ORVESSA_FORWARD(SQLNumParams, (SQLHSTMT a, SQLSMALLINT *b), (a, b))
ORVESSA_FORWARD(SQLNumResultCols, (SQLHSTMT a, SQLSMALLINT *b), (a, b))
ORVESSA_FORWARD(SQLDescribeCol,
                (SQLHSTMT a, SQLUSMALLINT b, SQLCHAR *c, SQLSMALLINT d, SQLSMALLINT *e, SQLSMALLINT *f,
                 SQLULEN *g, SQLSMALLINT *h, SQLSMALLINT *i),
                (a, b, c, d, e, f, g, h, i))
ORVESSA_FORWARD(SQLColAttribute,
                (SQLHSTMT a, SQLUSMALLINT b, SQLUSMALLINT c, SQLPOINTER d, SQLSMALLINT e, SQLSMALLINT *f,
                 SQLLEN *g),
                (a, b, c, d, e, f, g))
ORVESSA_FORWARD(SQLFetch, (SQLHSTMT a), (a))
ORVESSA_FORWARD(SQLGetData, (SQLHSTMT a, SQLUSMALLINT b, SQLSMALLINT c, SQLPOINTER d, SQLLEN e, SQLLEN *f),
                (a, b, c, d, e, f))
ORVESSA_FORWARD(SQLRowCount, (SQLHSTMT a, SQLLEN *b), (a, b))
ORVESSA_FORWARD(SQLMoreResults, (SQLHSTMT a), (a))
ORVESSA_FORWARD(SQLFreeStmt, (SQLHSTMT a, SQLUSMALLINT b), (a, b))
ORVESSA_FORWARD(SQLCloseCursor, (SQLHSTMT a), (a))
ORVESSA_FORWARD(SQLCancel, (SQLHSTMT a), (a))
ORVESSA_FORWARD(SQLTables,
                (SQLHSTMT a, SQLCHAR *b, SQLSMALLINT c, SQLCHAR *d, SQLSMALLINT e, SQLCHAR *f, SQLSMALLINT g,
                 SQLCHAR *h, SQLSMALLINT i),
                (a, b, c, d, e, f, g, h, i))
ORVESSA_FORWARD(SQLColumns,
                (SQLHSTMT a, SQLCHAR *b, SQLSMALLINT c, SQLCHAR *d, SQLSMALLINT e, SQLCHAR *f, SQLSMALLINT g,
                 SQLCHAR *h, SQLSMALLINT i),
                (a, b, c, d, e, f, g, h, i))
ORVESSA_FORWARD(SQLPrimaryKeys,
                (SQLHSTMT a, SQLCHAR *b, SQLSMALLINT c, SQLCHAR *d, SQLSMALLINT e, SQLCHAR *f, SQLSMALLINT g),
                (a, b, c, d, e, f, g))
ORVESSA_FORWARD(SQLForeignKeys,
                (SQLHSTMT a, SQLCHAR *b, SQLSMALLINT c, SQLCHAR *d, SQLSMALLINT e, SQLCHAR *f, SQLSMALLINT g,
                 SQLCHAR *h, SQLSMALLINT i, SQLCHAR *j, SQLSMALLINT k, SQLCHAR *l, SQLSMALLINT m),
                (a, b, c, d, e, f, g, h, i, j, k, l, m))
ORVESSA_FORWARD(SQLStatistics,
                (SQLHSTMT a, SQLCHAR *b, SQLSMALLINT c, SQLCHAR *d, SQLSMALLINT e, SQLCHAR *f, SQLSMALLINT g,
                 SQLUSMALLINT h, SQLUSMALLINT i),
                (a, b, c, d, e, f, g, h, i))
ORVESSA_FORWARD(SQLSetConnectAttr, (SQLHDBC a, SQLINTEGER b, SQLPOINTER c, SQLINTEGER d), (a, b, c, d))
ORVESSA_FORWARD(SQLGetConnectAttr, (SQLHDBC a, SQLINTEGER b, SQLPOINTER c, SQLINTEGER d, SQLINTEGER *e),
                (a, b, c, d, e))
ORVESSA_FORWARD(SQLSetStmtAttr, (SQLHSTMT a, SQLINTEGER b, SQLPOINTER c, SQLINTEGER d), (a, b, c, d))
ORVESSA_FORWARD(SQLGetStmtAttr, (SQLHSTMT a, SQLINTEGER b, SQLPOINTER c, SQLINTEGER d, SQLINTEGER *e),
                (a, b, c, d, e))
ORVESSA_FORWARD(SQLEndTran, (SQLSMALLINT a, SQLHANDLE b, SQLSMALLINT c), (a, b, c))

extern "C" SQLRETURN SQL_API SQLGetInfo(SQLHDBC connection, SQLUSMALLINT what, SQLPOINTER value,
                                        SQLSMALLINT size, SQLSMALLINT *length)
{
    if (answer(what, value, size, length))
        return SQL_SUCCESS;
    const auto function = real<decltype(&::SQLGetInfo)>("SQLGetInfo");
    return function ? function(connection, what, value, size, length) : SQL_ERROR;
}

#include "db/odbc/OdbcSession.h"

#include <QStringList>

#include <algorithm>
#include <vector>

void throwOdbcError(SQLSMALLINT handleType, SQLHANDLE handle)
{
    QStringList messages;
    bool lost = false;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        std::vector<SQLWCHAR> message(1024);
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(handleType, handle, record, state, &native, message.data(),
                                      SQLSMALLINT(message.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && length >= SQLSMALLINT(message.size())) {
            message.resize(size_t(length) + 1);
            rc = SQLGetDiagRecW(handleType, handle, record, state, &native, message.data(),
                                SQLSMALLINT(message.size()), &length);
        }
        if (!SQL_SUCCEEDED(rc))
            break;
        // Class 08: the connection failed or is gone; 57P0x: PostgreSQL ended the session.
        const QString code = odbcText(state, 5);
        lost = lost || code.startsWith(QLatin1StringView("08")) || code.startsWith(QLatin1StringView("57P0"));
        messages.append(odbcText(message.data(), std::min<qsizetype>(length, qsizetype(message.size()) - 1)));
    }
    if (messages.isEmpty())
        throw DataAccessError(QStringLiteral("The ODBC driver reported an error without a message."));
    if (lost && handleType != SQL_HANDLE_ENV)
        throw ConnectionLostError(messages.join(QLatin1Char('\n')));
    throw DataAccessError(messages.join(QLatin1Char('\n')));
}

OdbcStatementHandle::OdbcStatementHandle(SQLHDBC dbc)
{
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &m_stmt)))
        throwOdbcError(SQL_HANDLE_DBC, dbc);
}

OdbcStatementHandle::~OdbcStatementHandle()
{
    SQLFreeHandle(SQL_HANDLE_STMT, m_stmt);
}

void OdbcStatementHandle::check(SQLRETURN rc) const
{
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
        throwOdbcError(SQL_HANDLE_STMT, m_stmt);
}

QString OdbcStatementHandle::text(SQLUSMALLINT column, bool *isNull) const
{
    QString result;
    if (isNull)
        *isNull = false;
    std::vector<SQLWCHAR> buffer(size_t(OdbcChunkBytes) / sizeof(SQLWCHAR));
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc =
            SQLGetData(m_stmt, column, SQL_C_WCHAR, buffer.data(), OdbcChunkBytes, &indicator);
        if (rc == SQL_NO_DATA)
            break;
        check(rc);
        if (indicator == SQL_NULL_DATA) {
            if (isNull)
                *isNull = true;
            return QString();
        }
        const SQLLEN room = OdbcChunkBytes - SQLLEN(sizeof(SQLWCHAR));
        const SQLLEN bytes = (indicator == SQL_NO_TOTAL || indicator > room) ? room : indicator;
        result += odbcText(buffer.data(), qsizetype(bytes) / qsizetype(sizeof(SQLWCHAR)));
        if (rc == SQL_SUCCESS)
            break;
    }
    return result;
}

qint64 OdbcStatementHandle::integer(SQLUSMALLINT column) const
{
    SQLBIGINT value = 0;
    SQLLEN indicator = 0;
    check(SQLGetData(m_stmt, column, SQL_C_SBIGINT, &value, 0, &indicator));
    return indicator == SQL_NULL_DATA ? 0 : qint64(value);
}

bool OdbcStatementHandle::fetch() const
{
    const SQLRETURN rc = SQLFetch(m_stmt);
    if (rc == SQL_NO_DATA)
        return false;
    check(rc);
    return true;
}

void OdbcSession::open(const QString &odbcString)
{
    close();
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_env)))
        throw DataAccessError(QStringLiteral("The ODBC driver manager could not be initialised."));
    try {
        SQLSetEnvAttr(m_env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLHDBC dbc = SQL_NULL_HDBC;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, m_env, &dbc)))
            throwOdbcError(SQL_HANDLE_ENV, m_env);
        // An unreachable server fails within these many seconds.
        SQLSetConnectAttrW(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(10), 0);
        SQLSetConnectAttrW(dbc, SQL_ATTR_CONNECTION_TIMEOUT, reinterpret_cast<SQLPOINTER>(30), 0);
        std::vector<SQLWCHAR> out(1024);
        SQLSMALLINT outLength = 0;
        const SQLRETURN rc =
            SQLDriverConnectW(dbc, nullptr, const_cast<SQLWCHAR *>(odbcWide(odbcString)), SQL_NTS, out.data(),
                              SQLSMALLINT(out.size()), &outLength, SQL_DRIVER_NOPROMPT);
        if (!SQL_SUCCEEDED(rc)) {
            struct Free
            {
                SQLHDBC dbc;
                ~Free() { SQLFreeHandle(SQL_HANDLE_DBC, dbc); }
            } free{dbc};
            try {
                throwOdbcError(SQL_HANDLE_DBC, dbc);
            } catch (const DataAccessError &error) {
                // Never opened, so never lost: a plain failure to connect.
                throw DataAccessError(error.text());
            }
        }
        m_dbc = dbc;
        m_cancelWhileFetching =
            !info(SQL_DRIVER_NAME).contains(QLatin1StringView("sqlite"), Qt::CaseInsensitive);
    } catch (...) {
        close();
        throw;
    }
}

void OdbcSession::close()
{
    if (m_dbc != SQL_NULL_HDBC) {
        SQLDisconnect(m_dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
        m_dbc = SQL_NULL_HDBC;
    }
    if (m_env != SQL_NULL_HENV) {
        SQLFreeHandle(SQL_HANDLE_ENV, m_env);
        m_env = SQL_NULL_HENV;
    }
}

SQLHDBC OdbcSession::handle() const
{
    if (m_dbc == SQL_NULL_HDBC)
        throw DataAccessError(QStringLiteral("The connection is not open."));
    return m_dbc;
}

QString OdbcSession::info(SQLUSMALLINT what) const
{
    std::vector<SQLWCHAR> buffer(512);
    SQLSMALLINT length = 0;
    const SQLRETURN rc =
        SQLGetInfoW(handle(), what, buffer.data(), SQLSMALLINT(buffer.size() * sizeof(SQLWCHAR)), &length);
    if (!SQL_SUCCEEDED(rc))
        throwOdbcError(SQL_HANDLE_DBC, m_dbc);
    const qsizetype chars =
        std::min<qsizetype>(length / qsizetype(sizeof(SQLWCHAR)), qsizetype(buffer.size()) - 1);
    return odbcText(buffer.data(), chars);
}

void OdbcSession::cancel()
{
    m_gate.cancel([this] {
        if (m_running != SQL_NULL_HSTMT && (m_executing || m_cancelWhileFetching))
            SQLCancel(m_running);
    });
}

void OdbcSession::setRunning(SQLHSTMT stmt, bool executing)
{
    m_gate.locked([&] {
        m_running = stmt;
        m_executing = executing;
    });
}

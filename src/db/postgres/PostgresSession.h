#pragma once

#include "db/DataAccess.h"
#include "db/fetch/CancelGate.h"

#include <QHash>
#include <QPair>

#include <libpq-fe.h>

#include <memory>
#include <vector>

// One libpq connection: opening it, the catalogue queries' helper, statements read through a
// cursor (PostgresStatement.cpp), cancel, and the one path from libpq's errors to exceptions.

struct PgResultDeleter
{
    void operator()(PGresult *result) const { PQclear(result); }
};
using PgResult = std::unique_ptr<PGresult, PgResultDeleter>;

// Reading catalogue rows, which come as text.
namespace pg {
inline QString text(const PGresult *result, int row, int column)
{
    return QString::fromUtf8(PQgetvalue(result, row, column), PQgetlength(result, row, column));
}
inline int toInt(const PGresult *result, int row, int column)
{
    return std::atoi(PQgetvalue(result, row, column));
}
inline bool toBool(const PGresult *result, int row, int column)
{
    return PQgetvalue(result, row, column)[0] == 't';
}
} // namespace pg

class PgSession
{
public:
    PgSession() = default;
    ~PgSession() { close(); }
    PgSession(const PgSession &) = delete;
    PgSession &operator=(const PgSession &) = delete;

    // Connects with libpq keywords and values (null-terminated arrays); throws libpq's text.
    void open(const char *const *keywords, const char *const *values);
    void close();
    bool isOpen() const { return m_conn != nullptr; }
    // Whether a transaction is open on the connection; throws when it is not open.
    PGTransactionStatusType transactionStatus() const { return PQtransactionStatus(connection()); }

    // A query with text parameters (nullptr for NULL), its whole result at once; throws the
    // server's error.
    PgResult query(const char *sql, const std::vector<const char *> &params = {});
    // Sends a statement text (with bound parameters when params is given); its results are read
    // through the cursor.
    std::unique_ptr<StatementCursor> openCursor(const QString &sql, const QList<QVariant> *params);
    void cancel();
    // Whether the session is encrypted and verified, as libpq reports it.
    SessionSecurity security() const;

    // The error of a failed call: the result's message, else the connection's, without libpq's
    // trailing line feed; a ConnectionLostError once the connection is gone. Given the statement
    // text that was sent, the error carries the position the server reports in it.
    [[noreturn]] void fail(const PGresult *result = nullptr, const QString *sql = nullptr) const;

    // Fields of a result, typed like catalogue columns (a domain maps like its base type).
    QList<FieldInfo> describeFields(const PGresult *result) const;
    Oid baseType(Oid type) const;
    // Adds base schema, table and column, nullability and auto-increment to result fields
    // whose columns come from tables (PQftable, PQftablecol); left as they are when the
    // catalogue cannot be read now.
    void resolveBaseColumns(QList<FieldInfo> &fields, const std::vector<Oid> &tableOids,
                            const std::vector<int> &tableColumns);

private:
    PGconn *connection() const;
    void loadDomains();

    PGconn *m_conn = nullptr;
    PGcancel *m_cancel = nullptr; // read by cancel() under the gate's lock
    CancelGate m_gate;
    // Domains seen at connect: their base type and type modifier.
    QHash<Oid, QPair<Oid, int>> m_domains;
};

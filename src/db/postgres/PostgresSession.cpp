#include "db/postgres/PostgresSession.h"

#include "db/postgres/PostgresTypes.h"

#include <QStringList>

#include <cstdlib>

namespace {

// libpq's messages end with a line feed; the text is otherwise kept as it is.
QString trimmedMessage(const char *message)
{
    QString text = QString::fromUtf8(message);
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    return text;
}

// A FATAL error (the session terminated, the server shutting down) ends the session even
// before libpq has seen the connection close.
bool endsSession(const PGresult *result)
{
    if (!result)
        return false;
    const char *severity = PQresultErrorField(result, PG_DIAG_SEVERITY_NONLOCALIZED);
    const char *state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
    return (severity && (qstrcmp(severity, "FATAL") == 0 || qstrcmp(severity, "PANIC") == 0)) ||
           (state && qstrncmp(state, "08", 2) == 0);
}

// The server counts the position in characters from 1; a QString counts UTF-16 units from 0.
std::optional<SqlErrorPosition> errorPosition(const PGresult *result, const QString *sql)
{
    const char *field = result && sql ? PQresultErrorField(result, PG_DIAG_STATEMENT_POSITION) : nullptr;
    if (!field)
        return std::nullopt;
    qsizetype characters = QByteArray(field).toLongLong() - 1;
    if (characters < 0)
        return std::nullopt;
    qsizetype index = 0;
    while (characters > 0 && index < sql->size()) {
        index += sql->at(index).isHighSurrogate() && index + 1 < sql->size() ? 2 : 1;
        --characters;
    }
    return SqlErrorPosition{index, 0};
}

Oid toOid(const char *text)
{
    return Oid(std::strtoul(text, nullptr, 10));
}

} // namespace

void PgSession::open(const char *const *keywords, const char *const *values)
{
    close();
    PGconn *conn = PQconnectdbParams(keywords, values, 0);
    if (!conn)
        throw DataAccessError(QStringLiteral("Out of memory while connecting to the PostgreSQL server."));
    if (PQstatus(conn) != CONNECTION_OK) {
        const QString message = trimmedMessage(PQerrorMessage(conn));
        PQfinish(conn);
        throw DataAccessError(message);
    }
    // Notices would otherwise be printed on stderr.
    PQsetNoticeProcessor(
        conn, [](void *, const char *) {}, nullptr);
    m_conn = conn;
    PGcancel *cancel = PQgetCancel(conn);
    m_gate.locked([&] { m_cancel = cancel; });
    try {
        loadDomains();
    } catch (...) {
        close();
        throw;
    }
}

void PgSession::close()
{
    m_gate.locked([&] {
        if (m_cancel)
            PQfreeCancel(m_cancel);
        m_cancel = nullptr;
    });
    if (m_conn)
        PQfinish(m_conn);
    m_conn = nullptr;
}

PGconn *PgSession::connection() const
{
    if (!m_conn)
        throw DataAccessError(QStringLiteral("The connection is not open."));
    return m_conn;
}

void PgSession::fail(const PGresult *result, const QString *sql) const
{
    QString text = result ? trimmedMessage(PQresultErrorMessage(result)) : QString();
    if (text.isEmpty() && m_conn)
        text = trimmedMessage(PQerrorMessage(m_conn));
    if (!m_conn || PQstatus(m_conn) == CONNECTION_BAD || endsSession(result))
        throw ConnectionLostError(text);
    throw DataAccessError(text, errorPosition(result, sql));
}

PgResult PgSession::query(const char *sql, const std::vector<const char *> &params)
{
    PGconn *conn = connection();
    const CancelGate::Running running(m_gate);
    PgResult result(PQexecParams(conn, sql, int(params.size()), nullptr, params.data(), nullptr, nullptr, 0));
    if (!result)
        fail();
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
        fail(result.get());
    return result;
}

void PgSession::cancel()
{
    m_gate.cancel([this] {
        if (m_cancel) {
            char message[256];
            PQcancel(m_cancel, message, sizeof message);
        }
    });
}

SessionSecurity PgSession::security() const
{
    SessionSecurity security;
    if (!m_conn)
        return security;
    security.host = QString::fromUtf8(PQhost(m_conn));
    // libpq reports the socket folder as the host of a local socket.
    security.network = !security.host.startsWith(QLatin1Char('/'));
    security.known = true;
    security.encrypted = PQsslInUse(m_conn) == 1;
    if (!security.encrypted)
        return security;
    security.protocol = QString::fromUtf8(PQsslAttribute(m_conn, "protocol"));
    security.cipher = QString::fromUtf8(PQsslAttribute(m_conn, "cipher"));
    // The mode in effect, however it was given (SSL Mode or libpq's own sslmode).
    QByteArray mode;
    if (PQconninfoOption *options = PQconninfo(m_conn)) {
        for (PQconninfoOption *option = options; option->keyword; ++option) {
            if (qstrcmp(option->keyword, "sslmode") == 0 && option->val)
                mode = option->val;
        }
        PQconninfoFree(options);
    }
    security.verified = mode == "verify-ca" || mode == "verify-full";
    if (mode == "verify-full")
        security.verifiedName = security.host;
    return security;
}

void PgSession::loadDomains()
{
    m_domains.clear();
    try {
        PgResult result =
            query("SELECT t.oid, t.typbasetype, t.typtypmod FROM pg_type t WHERE t.typtype = 'd'");
        for (int row = 0; row < PQntuples(result.get()); ++row) {
            m_domains.insert(toOid(PQgetvalue(result.get(), row, 0)),
                             {toOid(PQgetvalue(result.get(), row, 1)), pg::toInt(result.get(), row, 2)});
        }
    } catch (const ConnectionLostError &) {
        throw;
    } catch (const DataAccessError &) {
        // Domains then map as unknown types; nothing else depends on them.
    }
}

Oid PgSession::baseType(Oid type) const
{
    const auto domain = m_domains.constFind(type);
    return domain != m_domains.constEnd() ? domain->first : type;
}

QList<FieldInfo> PgSession::describeFields(const PGresult *result) const
{
    QList<FieldInfo> fields;
    const int count = PQnfields(result);
    fields.reserve(count);
    for (int column = 0; column < count; ++column) {
        FieldInfo field;
        field.name = QString::fromUtf8(PQfname(result, column));
        Oid oid = PQftype(result, column);
        int typmod = PQfmod(result, column);
        const auto domain = m_domains.constFind(oid);
        if (domain != m_domains.constEnd()) {
            oid = domain->first;
            if (typmod == -1)
                typmod = domain->second;
        }
        const PgType type = pgTypeOf(pgBuiltinTypeName(oid), typmod);
        field.type = type.type;
        field.definedSize = type.definedSize;
        field.precision = type.precision;
        field.scale = type.scale;
        fields.append(field);
    }
    return fields;
}

void PgSession::resolveBaseColumns(QList<FieldInfo> &fields, const std::vector<Oid> &tableOids,
                                   const std::vector<int> &tableColumns)
{
    if (!m_conn || PQstatus(m_conn) != CONNECTION_OK || PQtransactionStatus(m_conn) == PQTRANS_INERROR)
        return; // in an aborted transaction the catalogue cannot be read
    QStringList distinct;
    for (Oid oid : tableOids) {
        if (oid != InvalidOid && !distinct.contains(QString::number(oid)))
            distinct.append(QString::number(oid));
    }
    if (distinct.isEmpty())
        return;
    const QByteArray array = ('{' + distinct.join(QLatin1Char(',')) + '}').toUtf8();
    PgResult result;
    try {
        result = query(R"(
SELECT c.oid, n.nspname, c.relname, a.attnum, a.attname, NOT a.attnotnull,
       a.attidentity <> '' OR COALESCE(pg_get_expr(d.adbin, d.adrelid) LIKE 'nextval(%', false)
FROM pg_class c
JOIN pg_namespace n ON n.oid = c.relnamespace
JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0
LEFT JOIN pg_attrdef d ON d.adrelid = a.attrelid AND d.adnum = a.attnum
WHERE c.oid = ANY($1::oid[]))",
                       {array.constData()});
    } catch (const ConnectionLostError &) {
        throw;
    } catch (const DataAccessError &) {
        // The rows are there anyway; only their origin stays unknown (so they are not editable).
        return;
    }
    const PGresult *r = result.get();
    QHash<QPair<Oid, int>, int> rowOf;
    for (int row = 0; row < PQntuples(r); ++row)
        rowOf.insert({toOid(PQgetvalue(r, row, 0)), pg::toInt(r, row, 3)}, row);
    for (int column = 0; column < fields.size(); ++column) {
        const auto found = rowOf.constFind({tableOids[size_t(column)], tableColumns[size_t(column)]});
        if (found == rowOf.constEnd())
            continue;
        FieldInfo &field = fields[column];
        field.baseSchema = pg::text(r, *found, 1);
        field.baseTable = pg::text(r, *found, 2);
        field.baseColumn = pg::text(r, *found, 4);
        field.nullable = pg::toBool(r, *found, 5);
        field.autoIncrement = pg::toBool(r, *found, 6);
    }
}

#include "db/mysql/MysqlSession.h"

#include <QFile>

#include <errmsg.h>
#include <mysqld_error.h>

#include <QRegularExpression>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cstring>
#include <mutex>

namespace {

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mysql_library_init(0, nullptr, nullptr); });
}

bool isLost(unsigned int error)
{
    switch (error) {
    case CR_SERVER_GONE_ERROR:
    case CR_SERVER_LOST:
    case CR_SERVER_LOST_EXTENDED:
    case ER_CONNECTION_KILLED:
        return true;
    default:
        return false;
    }
}

// A server that goes away without closing the connection (network cut) is noticed within about
// ten seconds, also while a statement waits for its answer; a statement that merely runs long
// is not affected, the server's system answers the probes.
void keepAlive(MYSQL *mysql)
{
    const int fd = int(mysql_get_socket(mysql));
    const int on = 1, idle = 5, interval = 2, count = 2;
    const unsigned int userTimeoutMs = 10000;
    if (setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) != 0)
        return; // not a socket that has keepalives (a local one): nothing to notice
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
    setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeoutMs, sizeof userTimeoutMs);
}

// A syntax error names the line and quotes the text from the offending token on ("... near
// 'FRM t' at line 2"; "near ''" at the end of the text); the quote is cut after some 80
// characters, so it is looked for from the start of that line.
std::optional<SqlErrorPosition> syntaxErrorPosition(unsigned int error, const QString &text,
                                                    const QString *sql)
{
    if (error != ER_PARSE_ERROR && error != ER_SYNTAX_ERROR)
        return std::nullopt;
    static const QRegularExpression pattern(QStringLiteral("near '(.*)' at line (\\d+)$"),
                                            QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    SqlErrorPosition position;
    position.line = match.captured(2).toInt();
    if (!sql || position.line < 1)
        return position;
    qsizetype lineStart = 0;
    for (int line = 1; line < position.line && lineStart >= 0; ++line) {
        lineStart = sql->indexOf(QLatin1Char('\n'), lineStart);
        if (lineStart >= 0)
            ++lineStart;
    }
    if (lineStart < 0)
        return position;
    const QString fragment = match.captured(1);
    if (fragment.isEmpty()) {
        qsizetype end = sql->size();
        while (end > lineStart && sql->at(end - 1).isSpace())
            --end;
        position.offset = end;
    } else {
        position.offset = sql->indexOf(fragment, lineStart);
    }
    return position;
}

struct MysqlCloser
{
    void operator()(MYSQL *mysql) const { mysql_close(mysql); }
};
using MysqlHandle = std::unique_ptr<MYSQL, MysqlCloser>;

// TLS as the settings ask. The client library has no "prefer": it either insists on TLS or
// does not try it; allow and prefer therefore try it and fall back (tryTls false) when the
// server has none.
void setTls(MYSQL *mysql, const TlsSettings &tls, bool tryTls)
{
    if (!tryTls || tls.mode == TlsSettings::Mode::Unset || tls.mode == TlsSettings::Mode::Disable)
        return;
    const my_bool on = 1;
    mysql_options(mysql, MYSQL_OPT_SSL_ENFORCE, &on);
    const QByteArray ca = QFile::encodeName(tls.trustedCaFile());
    const QByteArray cert = QFile::encodeName(tls.certFile);
    const QByteArray key = QFile::encodeName(tls.keyFile);
    if (!ca.isEmpty())
        mysql_options(mysql, MYSQL_OPT_SSL_CA, ca.constData());
    if (!cert.isEmpty())
        mysql_options(mysql, MYSQL_OPT_SSL_CERT, cert.constData());
    if (!key.isEmpty())
        mysql_options(mysql, MYSQL_OPT_SSL_KEY, key.constData());
    const my_bool verifyName = tls.mode == TlsSettings::Mode::VerifyFull;
    mysql_options(mysql, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &verifyName);
}

// Opens a connection; throws the client library's text on failure.
MysqlHandle openConnection(const MysqlConnectParams &params, unsigned long flags, bool tryTls = true)
{
    initLibrary();
    MysqlHandle mysql(mysql_init(nullptr));
    if (!mysql)
        throw DataAccessError(QStringLiteral("Out of memory while connecting to the MySQL server."));
    // An unreachable host fails within this many seconds. No read timeout: a statement may
    // rightly run long, and the user stops it with Cancel.
    const unsigned int connectTimeout = 10;
    const unsigned int writeTimeout = 60;
    mysql_options(mysql.get(), MYSQL_OPT_CONNECT_TIMEOUT, &connectTimeout);
    mysql_options(mysql.get(), MYSQL_OPT_WRITE_TIMEOUT, &writeTimeout);
    mysql_options(mysql.get(), MYSQL_SET_CHARSET_NAME, "utf8mb4");
    // LOAD DATA LOCAL would let the server read any file of the user.
    const my_bool localInfile = 0;
    mysql_options(mysql.get(), MYSQL_OPT_LOCAL_INFILE, &localInfile);
    setTls(mysql.get(), params.tls, tryTls);
    auto orNull = [](const QByteArray &value) { return value.isEmpty() ? nullptr : value.constData(); };
    if (!mysql_real_connect(mysql.get(), orNull(params.host), orNull(params.user),
                            params.password.constData(), orNull(params.database), params.port,
                            orNull(params.socket), flags)) {
        const TlsSettings::Mode mode = params.tls.mode;
        const bool mayFallBack =
            tryTls && (mode == TlsSettings::Mode::Allow || mode == TlsSettings::Mode::Prefer);
        const unsigned int error = mysql_errno(mysql.get());
        if (mayFallBack && error == CR_SSL_CONNECTION_ERROR)
            return openConnection(params, flags, false);
        QString text = QString::fromUtf8(mysql_error(mysql.get()));
        // A server that takes TLS sessions only (require_secure_transport) answers a plain one
        // with a bare "Access denied".
        if (error == ER_ACCESS_DENIED_ERROR && !params.tls.insists())
            text += QStringLiteral(" (If the server accepts encrypted sessions only, set SSL Mode to "
                                   "require or verify-full.)");
        throw DataAccessError(params.tls.explainFailure(text, QString::fromUtf8(params.host)));
    }
    // The client library goes on in clear when the server offers no TLS, even when told to
    // insist on it.
    if (params.tls.insists() && !mysql_get_ssl_cipher(mysql.get()))
        throw DataAccessError(
            QStringLiteral("The server does not offer TLS (SSL), but SSL Mode=%1 asks for an "
                           "encrypted session.")
                .arg(TlsSettings::modeName(params.tls.mode)));
    return mysql;
}

} // namespace

void MysqlSession::open(const MysqlConnectParams &params, unsigned long flags)
{
    close();
    MysqlHandle mysql = openConnection(params, flags);
    keepAlive(mysql.get());
    m_params = params;
    m_threadId = mysql_thread_id(mysql.get());
    m_mysql = mysql.release();
}

SessionSecurity MysqlSession::security() const
{
    SessionSecurity security;
    if (!m_mysql)
        return security;
    security.host = QString::fromUtf8(m_params.host);
    const char *hostInfo = mysql_get_host_info(m_mysql);
    security.network = hostInfo && std::strstr(hostInfo, "TCP/IP");
    security.known = true;
    const char *cipher = mysql_get_ssl_cipher(m_mysql);
    security.encrypted = cipher != nullptr;
    if (!security.encrypted)
        return security;
    security.cipher = QString::fromUtf8(cipher);
    const char *protocol = nullptr;
    if (mariadb_get_infov(m_mysql, MARIADB_CONNECTION_TLS_VERSION, &protocol) == 0 && protocol)
        security.protocol = QString::fromUtf8(protocol);
    security.verified = m_params.tls.verifies();
    if (m_params.tls.mode == TlsSettings::Mode::VerifyFull)
        security.verifiedName = security.host;
    return security;
}

void MysqlSession::close()
{
    if (m_mysql)
        mysql_close(m_mysql);
    m_mysql = nullptr;
    m_threadId = 0;
}

MYSQL *MysqlSession::handle() const
{
    if (!m_mysql)
        throw DataAccessError(QStringLiteral("The connection is not open."));
    return m_mysql;
}

void MysqlSession::fail(const QString *sql) const
{
    const QString text = QString::fromUtf8(mysql_error(m_mysql));
    const unsigned int error = mysql_errno(m_mysql);
    if (isLost(error))
        throw ConnectionLostError(text);
    throw DataAccessError(text, syntaxErrorPosition(error, text, sql));
}

void MysqlSession::failStatement(MYSQL_STMT *stmt)
{
    const QString text = QString::fromUtf8(mysql_stmt_error(stmt));
    if (isLost(mysql_stmt_errno(stmt)))
        throw ConnectionLostError(text);
    throw DataAccessError(text);
}

QByteArray MysqlSession::literal(const QString &text) const
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray escaped(utf8.size() * 2 + 1, Qt::Uninitialized);
    const unsigned long length = mysql_real_escape_string(handle(), escaped.data(), utf8.constData(),
                                                          static_cast<unsigned long>(utf8.size()));
    escaped.truncate(qsizetype(length));
    return '\'' + escaped + '\'';
}

QList<QStringList> MysqlSession::rows(const QByteArray &sql)
{
    QList<QStringList> list;
    unsigned int count = 0;
    eachRow(sql, [&](MYSQL_ROW row, const unsigned long *lengths) {
        if (list.isEmpty())
            count = mysql_field_count(m_mysql);
        QStringList values;
        for (unsigned int i = 0; i < count; ++i)
            values.append(row[i] ? QString::fromUtf8(row[i], qsizetype(lengths[i])) : QString());
        list.append(values);
    });
    return list;
}

void MysqlSession::eachRow(const QByteArray &sql,
                           const std::function<void(MYSQL_ROW, const unsigned long *)> &take)
{
    MYSQL *mysql = handle();
    const CancelGate::Running running(m_gate);
    if (mysql_real_query(mysql, sql.constData(), static_cast<unsigned long>(sql.size())))
        fail();
    // Streamed: freeing the result reads whatever the server still sends, also when take throws.
    struct Freer
    {
        MYSQL_RES *result;
        ~Freer() { mysql_free_result(result); }
    } result{mysql_use_result(mysql)};
    if (!result.result)
        fail();
    while (MYSQL_ROW row = mysql_fetch_row(result.result))
        take(row, mysql_fetch_lengths(result.result));
    if (mysql_errno(mysql))
        fail();
}

void MysqlSession::cancel()
{
    const quint64 ticket = m_gate.mark();
    if (ticket == 0)
        return;
    try {
        const MysqlHandle killer = openConnection(m_params, 0);
        const QByteArray kill = "KILL QUERY " + QByteArray::number(qulonglong(m_threadId));
        // Sent only while the statement it was meant for still runs, never to a later one.
        m_gate.interrupt(ticket, [&] {
            mysql_real_query(killer.get(), kill.constData(), static_cast<unsigned long>(kill.size()));
        });
    } catch (const DataAccessError &) {
        // The rows stop being stored all the same; the server finishes the statement.
    }
}

#include "db/Backends.h"
#include "db/ConnectionString.h"
#include "db/TlsSettings.h"
#include "db/fetch/Fetch.h"
#include "db/tunnel/SshTunnel.h"

#include <mutex>
#include <type_traits>

namespace {

// A backend whose session runs through an SSH tunnel: the tunnel opens before the session and
// closes after it; everything else is the inner backend's. When the session is lost with the
// tunnel gone, the error says so.
class TunnelBackend final : public Backend
{
public:
    TunnelBackend(const QString &connectionString, ProviderKind kind, SshTunnelSettings ssh,
                  ConnectAsker asker)
        : m_connectionString(connectionString), m_kind(kind), m_ssh(std::move(ssh)), m_asker(std::move(asker))
    {
    }
    ~TunnelBackend() override { TunnelBackend::disconnect(); }

    void connect() override;
    void disconnect() override;
    SqlDialect dialect() const override
    {
        return m_kind == ProviderKind::Postgres ? SqlDialect::PostgreSql : SqlDialect::MySql;
    }
    QString defaultDatabase() override
    {
        return guard([&] { return inner().defaultDatabase(); });
    }
    QString defaultSchema() override
    {
        return guard([&] { return inner().defaultSchema(); });
    }
    QList<TableInfo> tables() override
    {
        return guard([&] { return inner().tables(); });
    }
    QList<ColumnInfo> columns(const QString &schema, const QString &table) override
    {
        return guard([&] { return inner().columns(schema, table); });
    }
    QList<KeyColumnInfo> primaryKeys(const QString &schema, const QString &table) override
    {
        return guard([&] { return inner().primaryKeys(schema, table); });
    }
    QList<ForeignKeyInfo> foreignKeys(const QString &schema, const QString &table) override
    {
        return guard([&] { return inner().foreignKeys(schema, table); });
    }
    QList<IndexInfo> indexes(const QString &schema, const QString &table) override
    {
        return guard([&] { return inner().indexes(schema, table); });
    }
    TableMetadata tableMetadata(const QString &schema, const QString &table) override
    {
        return guard([&] { return inner().tableMetadata(schema, table); });
    }
    ExecResult execute(const QString &sql, std::atomic<qint64> *rowsFetched) override
    {
        return guard([&] { return inner().execute(sql, rowsFetched); });
    }
    ExecResult executeParams(const QString &sql, const QList<QVariant> &params) override
    {
        return guard([&] { return inner().executeParams(sql, params); });
    }
    std::unique_ptr<StatementCursor> openCursor(const QString &sql, const QList<QVariant> *params) override
    {
        return guard([&] { return inner().openCursor(sql, params); });
    }
    void cancel() override;
    bool readOnly() const override { return false; }
    QString quoteIdentifier(const QString &name) const override { return inner().quoteIdentifier(name); }
    QString placeholder(int index) const override { return inner().placeholder(index); }
    void beginTransaction() override
    {
        guard([&] {
            inner().beginTransaction();
            return 0;
        });
    }
    void commitTransaction() override
    {
        guard([&] {
            inner().commitTransaction();
            return 0;
        });
    }
    void rollbackTransaction() override
    {
        guard([&] {
            inner().rollbackTransaction();
            return 0;
        });
    }
    SessionSecurity security() const override;
    QString endedReason() const override
    {
        return m_tunnel && m_tunnel->ended() ? m_tunnel->endText() : QString();
    }

private:
    Backend &inner() const
    {
        if (!m_inner)
            throw DataAccessError(QStringLiteral("The connection is not open."));
        return *m_inner;
    }
    // A lost session whose tunnel has ended says why the tunnel ended.
    template <typename Call> std::invoke_result_t<Call> guard(Call &&call)
    {
        try {
            return call();
        } catch (const ConnectionLostError &e) {
            // The session's socket closes as ssh ends: its end is a moment away.
            if (m_tunnel && m_tunnel->waitEnded(1000))
                throw ConnectionLostError(m_tunnel->endText() + QLatin1Char('\n') + e.text());
            throw;
        }
    }

    QString m_connectionString;
    ProviderKind m_kind;
    SshTunnelSettings m_ssh;
    ConnectAsker m_asker;
    QString m_targetHost;
    std::mutex m_mutex; // the two below, for cancel() from another thread
    std::unique_ptr<SshTunnel> m_tunnel;
    std::unique_ptr<Backend> m_inner;
};

void TunnelBackend::connect()
{
    if (m_inner)
        return;
    ConnectionString cs(m_connectionString);
    const bool postgres = m_kind == ProviderKind::Postgres;
    m_targetHost = cs.value({QStringLiteral("Data Source"), QStringLiteral("Server")});
    const QString portText = cs.value(QStringLiteral("Port"));
    const int port = portText.isEmpty() ? (postgres ? 5432 : 3306) : portText.toInt();
    const TlsSettings tls = TlsSettings::fromConnectionString(cs);
    // The client libraries do not run TLS over a local socket: a session that must be encrypted
    // end to end gets a loopback port instead (other users of this machine can reach that port,
    // though not the session on it).
    const bool tcp = tls.insists();
    if (tcp && !postgres && tls.mode == TlsSettings::Mode::VerifyFull)
        throw DataAccessError(
            QStringLiteral("SSL Mode=verify-full cannot be used through an SSH tunnel with "
                           "MySQL/MariaDB: the client library would check the tunnel's local "
                           "address against the certificate. Use verify-ca; the tunnel checks "
                           "the SSH server's identity."));

    auto tunnel = std::make_unique<SshTunnel>(m_ssh, m_targetHost, port, m_asker);
    tunnel->setLocalEnd(postgres ? QStringLiteral(".s.PGSQL.%1").arg(port) : QStringLiteral("mysql.sock"),
                        tcp);
    SshTunnel *raw = tunnel.get();
    {
        const std::lock_guard lock(m_mutex);
        m_tunnel = std::move(tunnel);
    }
    raw->start();

    for (const char *key :
         {SshTunnelSettings::HostKey, SshTunnelSettings::PortKey, SshTunnelSettings::UserKey,
          SshTunnelSettings::KeyFileKey, SshTunnelSettings::AuthKey, SshTunnelSettings::PasswordKey})
        cs.remove(QLatin1String(key));
    cs.remove(QStringLiteral("Server"));
    if (tcp) {
        // libpq connects to hostaddr and checks the certificate against host.
        cs.setValue(QStringLiteral("Data Source"), postgres ? m_targetHost : QStringLiteral("127.0.0.1"));
        if (postgres)
            cs.setValue(QStringLiteral("hostaddr"), QStringLiteral("127.0.0.1"));
        cs.setValue(QStringLiteral("Port"), QString::number(raw->localPort()));
    } else if (postgres) {
        cs.setValue(QStringLiteral("Data Source"), raw->socketFolder());
        cs.setValue(QStringLiteral("Port"), QString::number(port));
    } else {
        cs.setValue(QStringLiteral("Data Source"), QStringLiteral("localhost"));
        cs.setValue(QStringLiteral("Socket"), raw->socketPath());
        cs.remove(QStringLiteral("Port"));
    }
    std::unique_ptr<Backend> inner =
        postgres ? createPostgresBackend(cs.toString()) : createMysqlBackend(cs.toString());
    {
        const std::lock_guard lock(m_mutex);
        m_inner = std::move(inner);
    }
    try {
        guard([&] {
            m_inner->connect();
            return 0;
        });
    } catch (const DataAccessError &e) {
        // A session that the tunnel could not carry: the tunnel's own end says more.
        if (raw->ended())
            throw DataAccessError(raw->endText() + QLatin1Char('\n') + e.text());
        throw;
    }
}

void TunnelBackend::disconnect()
{
    std::unique_ptr<Backend> inner;
    std::unique_ptr<SshTunnel> tunnel;
    {
        const std::lock_guard lock(m_mutex);
        inner = std::move(m_inner);
        tunnel = std::move(m_tunnel);
    }
    if (inner)
        inner->disconnect();
    inner.reset();
    tunnel.reset();
}

void TunnelBackend::cancel()
{
    const std::lock_guard lock(m_mutex);
    if (m_inner)
        m_inner->cancel();
    else if (m_tunnel)
        m_tunnel->cancel();
}

SessionSecurity TunnelBackend::security() const
{
    SessionSecurity s = m_inner ? m_inner->security() : SessionSecurity();
    s.network = true;
    s.known = true;
    s.host = m_targetHost;
    if (m_tunnel) {
        s.tunnel = m_tunnel->settings().destination();
        s.tunnelProcess = m_tunnel->processId();
    }
    return s;
}

} // namespace

std::unique_ptr<Backend> createTunnelBackend(const QString &connectionString, ProviderKind kind,
                                             const ConnectAsker &asker)
{
    const std::optional<SshTunnelSettings> ssh =
        SshTunnelSettings::fromConnectionString(ConnectionString(connectionString));
    if (kind != ProviderKind::Postgres && kind != ProviderKind::Mysql)
        throw DataAccessError(QStringLiteral("An SSH tunnel is available for PostgreSQL and MySQL/MariaDB "
                                             "connections; for an ODBC source, name the tunnel's local end "
                                             "in the driver's own settings."));
    return std::make_unique<TunnelBackend>(connectionString, kind, *ssh, asker);
}

#pragma once

#include "db/DataAccess.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class ConnectionString;
class PrivateFolder;

// The SSH part of a connection string:
//   SSH Host=<name or an alias of ~/.ssh/config>; SSH Port=<port>; SSH User=<user>;
//   SSH Key File=<private key>; SSH Auth=key|agent|password; SSH Password=<password>
// Only SSH Host is needed: everything else may come from ~/.ssh/config and the agent.
struct SshTunnelSettings
{
    QString host;
    QString port;
    QString user;
    QString keyFile;
    QString auth; // "", "key", "agent" or "password"
    QString password;

    // Empty when the string names no SSH Host. Throws DataAccessError for a bad port or auth.
    static std::optional<SshTunnelSettings> fromConnectionString(const ConnectionString &cs);
    // user@host:port as far as given, for messages and the log.
    QString destination() const;

    static const char *const HostKey;
    static const char *const PortKey;
    static const char *const UserKey;
    static const char *const KeyFileKey;
    static const char *const AuthKey;
    static const char *const PasswordKey;
};

// A local forward through the system's OpenSSH client: `ssh -N` with the forward on a Unix
// socket in a private folder (0700) of the program's, so no other user of the machine can reach
// it. ssh reads ~/.ssh/config (aliases, ProxyJump, IdentityFile, IdentityAgent), uses the agent
// and every key format it knows, and keeps the link alive with ServerAliveInterval. The host
// key is checked against known_hosts; ssh's questions (an unknown host key, a passphrase, a
// password) come through orvessa-askpass to the asker. The process lives as long as this
// object; a thread of its own notices when it ends.
class SshTunnel
{
public:
    // Where the database is, as the SSH server sees it.
    SshTunnel(SshTunnelSettings settings, QString targetHost, int targetPort, ConnectAsker asker);
    ~SshTunnel();
    SshTunnel(const SshTunnel &) = delete;
    SshTunnel &operator=(const SshTunnel &) = delete;

    // The forward's local end: a Unix socket in the private folder named socketName (libpq looks
    // for ".s.PGSQL.<port>" in a folder), or, with tcp, a port on 127.0.0.1 (for a session that
    // must run TLS end to end, which the client libraries do not do over a local socket).
    void setLocalEnd(const QString &socketName, bool tcp);

    // Starts ssh and returns once the forward listens. Throws DataAccessError with what went
    // wrong, in ssh's words where it said something. cancel() from another thread ends it.
    void start();
    void cancel();
    // Ends the ssh process (and a ProxyJump hop it started).
    void stop();

    QString socketFolder() const;
    QString socketPath() const;
    int localPort() const { return m_localPort; }
    qint64 processId() const { return m_pid; }
    const SshTunnelSettings &settings() const { return m_settings; }

    // The ssh process has ended since start() returned; endText() says what it said last.
    bool ended() const { return m_ended.load(); }
    // ended(), waiting up to ms for an ssh whose end is under way (its sockets closed first).
    bool waitEnded(int ms) const;
    QString endText() const;

    // The orvessa-askpass program: beside the program, else in ORVESSA_APP_FOLDER.
    static QString askpassProgram();

private:
    QStringList arguments() const;
    void spawn(const QString &askSocket);
    void answer(int listener);
    QString failureText(const QString &stderrText) const;
    void watch();
    bool reap(bool block);

    SshTunnelSettings m_settings;
    QString m_targetHost;
    int m_targetPort = 0;
    ConnectAsker m_asker;
    QString m_socketName = QStringLiteral("db.sock");
    bool m_tcp = false;
    int m_localPort = 0;

    std::unique_ptr<PrivateFolder> m_folder;
    qint64 m_pid = 0;
    int m_stderr = -1;
    int m_exitStatus = -1;
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_ended{false};
    std::atomic<bool> m_stopping{false};
    int m_wakeRead = -1, m_wakeWrite = -1; // wakes the watcher and start() on cancel or stop
    mutable std::mutex m_textMutex;
    QString m_stderrText; // what ssh wrote, kept to the last few kilobytes
    int m_hostKeyAsks = 0, m_secretAsks = 0;
    std::thread m_watcher;
};

#include "db/tunnel/SshTunnel.h"

#include "common/PrivateFolder.h"
#include "db/ConnectionString.h"
#include "db/fetch/Fetch.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

const char *const SshTunnelSettings::HostKey = "SSH Host";
const char *const SshTunnelSettings::PortKey = "SSH Port";
const char *const SshTunnelSettings::UserKey = "SSH User";
const char *const SshTunnelSettings::KeyFileKey = "SSH Key File";
const char *const SshTunnelSettings::AuthKey = "SSH Auth";
const char *const SshTunnelSettings::PasswordKey = "SSH Password";

namespace {

// The exit status of an ssh that someone else reaped.
constexpr int kStatusUnknown = -2;

// What ssh wrote is kept to its last few kilobytes.
constexpr qsizetype kKeptText = 8192;

sockaddr_un unixAddress(const QByteArray &path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof address.sun_path)
        throw DataAccessError(QStringLiteral("The path of the SSH tunnel's socket is too long: %1")
                                  .arg(QString::fromLocal8Bit(path)));
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    return address;
}

// True once a socket listens at path (the kernel's own table of Unix sockets: bound is not yet
// listening, and a test connection would reach the database through the tunnel).
bool unixSocketListens(const QByteArray &path)
{
    QFile table(QStringLiteral("/proc/net/unix"));
    if (!table.open(QIODevice::ReadOnly))
        return QFileInfo::exists(QFile::decodeName(path));
    const QByteArray all = table.readAll();
    for (const QByteArray &line : all.split('\n')) {
        // Num RefCount Protocol Flags Type St Inode Path; listening sockets carry __SO_ACCEPTCON.
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 8 && fields.at(7) == path && fields.at(3) == "00010000")
            return true;
    }
    return false;
}

bool tcpPortListens(int port)
{
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray local = "0100007F:" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    const QByteArray all = table.readAll();
    for (const QByteArray &line : all.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 4 && fields.at(1) == local && fields.at(3) == "0A")
            return true;
    }
    return false;
}

// A port on 127.0.0.1 that nobody listens on now.
int freeLoopbackPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0)
        close(fd);
    if (port == 0)
        throw DataAccessError(
            QStringLiteral("No free local port for the SSH tunnel: %1").arg(qt_error_string(errno)));
    return port;
}

// Reads what there is without waiting; false at the end of the stream.
bool drain(int fd, QByteArray &into)
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            into.append(buffer, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

void writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += n;
    }
}

QString homeOfUser()
{
    const passwd *entry = getpwuid(getuid());
    return entry && entry->pw_dir ? QFile::decodeName(entry->pw_dir) : QString();
}

} // namespace

std::optional<SshTunnelSettings> SshTunnelSettings::fromConnectionString(const ConnectionString &cs)
{
    SshTunnelSettings s;
    s.host = cs.value(QLatin1String(HostKey)).trimmed();
    if (s.host.isEmpty())
        return std::nullopt;
    s.port = cs.value(QLatin1String(PortKey)).trimmed();
    s.user = cs.value(QLatin1String(UserKey)).trimmed();
    s.keyFile = cs.value(QLatin1String(KeyFileKey)).trimmed();
    s.auth = cs.value(QLatin1String(AuthKey)).trimmed().toLower();
    s.password = cs.value(QLatin1String(PasswordKey));
    if (!s.port.isEmpty()) {
        bool ok = false;
        const uint port = s.port.toUInt(&ok);
        if (!ok || port == 0 || port > 65535)
            throw DataAccessError(
                QStringLiteral("The SSH port \"%1\" is not a valid port number.").arg(s.port));
    }
    if (!s.auth.isEmpty() && s.auth != QLatin1String("key") && s.auth != QLatin1String("agent") &&
        s.auth != QLatin1String("password"))
        throw DataAccessError(
            QStringLiteral("The SSH Auth \"%1\" is not known; use key, agent or password.").arg(s.auth));
    // A host name that ssh would take for one of its options.
    if (s.host.startsWith(QLatin1Char('-')) || s.user.startsWith(QLatin1Char('-')))
        throw DataAccessError(QStringLiteral("The SSH host or user \"%1\" is not valid.").arg(s.host));
    return s;
}

QString SshTunnelSettings::destination() const
{
    QString text = user.isEmpty() ? host : user + QLatin1Char('@') + host;
    if (!port.isEmpty())
        text += QLatin1Char(':') + port;
    return text;
}

SshTunnel::SshTunnel(SshTunnelSettings settings, QString targetHost, int targetPort, ConnectAsker asker)
    : m_settings(std::move(settings))
    , m_targetHost(std::move(targetHost))
    , m_targetPort(targetPort)
    , m_asker(std::move(asker))
{
    int wake[2];
    if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0)
        throw DataAccessError(
            QStringLiteral("The SSH tunnel could not be prepared: %1").arg(qt_error_string(errno)));
    m_wakeRead = wake[0];
    m_wakeWrite = wake[1];
}

SshTunnel::~SshTunnel()
{
    stop();
    close(m_wakeRead);
    close(m_wakeWrite);
}

void SshTunnel::setLocalEnd(const QString &socketName, bool tcp)
{
    m_socketName = socketName;
    m_tcp = tcp;
}

QString SshTunnel::socketFolder() const
{
    return m_folder ? m_folder->path() : QString();
}

QString SshTunnel::socketPath() const
{
    return socketFolder() + QLatin1Char('/') + m_socketName;
}

QString SshTunnel::endText() const
{
    const std::lock_guard lock(m_textMutex);
    return failureText(m_stderrText);
}

QString SshTunnel::askpassProgram()
{
    const QString name = QStringLiteral("orvessa-askpass");
    QStringList folders;
    if (QCoreApplication::instance())
        folders.append(QCoreApplication::applicationDirPath());
    const QString appFolder = qEnvironmentVariable("ORVESSA_APP_FOLDER");
    if (!appFolder.isEmpty())
        folders.append(appFolder);
    for (const QString &folder : std::as_const(folders)) {
        const QString path = QDir(folder).filePath(name);
        if (QFileInfo(path).isExecutable())
            return path;
    }
    return QString();
}

QStringList SshTunnel::arguments() const
{
    QString target = m_targetHost.isEmpty() ? QStringLiteral("localhost") : m_targetHost;
    if (target.contains(QLatin1Char(':')))
        target = QLatin1Char('[') + target + QLatin1Char(']');
    const QString local = m_tcp ? QStringLiteral("127.0.0.1:%1").arg(m_localPort) : socketPath();
    QStringList args = {
        QStringLiteral("-N"),
        QStringLiteral("-T"),
        QStringLiteral("-o"),
        QStringLiteral("BatchMode=no"),
        QStringLiteral("-o"),
        QStringLiteral("ExitOnForwardFailure=yes"),
        // An unknown host key is asked (through askpass), a changed one refused.
        QStringLiteral("-o"),
        QStringLiteral("StrictHostKeyChecking=ask"),
        // An idle tunnel is kept open, and one whose server went away is noticed.
        QStringLiteral("-o"),
        QStringLiteral("ServerAliveInterval=15"),
        QStringLiteral("-o"),
        QStringLiteral("ServerAliveCountMax=3"),
        QStringLiteral("-o"),
        QStringLiteral("ConnectTimeout=15"),
        QStringLiteral("-o"),
        QStringLiteral("ControlMaster=yes"),
        QStringLiteral("-o"),
        QStringLiteral("ControlPersist=no"),
        QStringLiteral("-o"),
        QStringLiteral("ControlPath=") + socketFolder() + QStringLiteral("/control"),
        QStringLiteral("-o"),
        QStringLiteral("StreamLocalBindMask=0177"),
        QStringLiteral("-o"),
        QStringLiteral("LogLevel=ERROR"),
        QStringLiteral("-L"),
        QStringLiteral("%1:%2:%3").arg(local, target).arg(m_targetPort),
    };
    if (!m_settings.port.isEmpty())
        args << QStringLiteral("-p") << m_settings.port;
    if (!m_settings.user.isEmpty())
        args << QStringLiteral("-l") << m_settings.user;
    if (!m_settings.keyFile.isEmpty())
        args << QStringLiteral("-i") << m_settings.keyFile << QStringLiteral("-o")
             << QStringLiteral("IdentitiesOnly=yes");
    if (m_settings.auth == QLatin1String("password"))
        args << QStringLiteral("-o")
             << QStringLiteral("PreferredAuthentications=password,keyboard-interactive");
    else if (m_settings.auth == QLatin1String("key") || m_settings.auth == QLatin1String("agent"))
        args << QStringLiteral("-o") << QStringLiteral("PreferredAuthentications=publickey");
    // ssh finds ~ through the password database; the program follows HOME. When the two differ
    // (a test's home, a sandbox), the files of HOME are named.
    const QString home = QDir::homePath();
    const QString userHome = homeOfUser();
    if (!userHome.isEmpty() &&
        QFileInfo(home).canonicalFilePath() != QFileInfo(userHome).canonicalFilePath()) {
        const QString config = home + QStringLiteral("/.ssh/config");
        args << QStringLiteral("-F") << (QFileInfo::exists(config) ? config : QStringLiteral("/dev/null"));
        args << QStringLiteral("-o")
             << QStringLiteral("UserKnownHostsFile=") + home + QStringLiteral("/.ssh/known_hosts");
    }
    args << QStringLiteral("--") << m_settings.host;
    return args;
}

void SshTunnel::spawn(const QString &askSocket)
{
    int errPipe[2];
    if (pipe2(errPipe, O_CLOEXEC) != 0)
        throw DataAccessError(
            QStringLiteral("The SSH tunnel could not be started: %1").arg(qt_error_string(errno)));
    m_stderr = errPipe[0];
    fcntl(m_stderr, F_SETFL, O_NONBLOCK);

    std::vector<QByteArray> argStore{QByteArrayLiteral("ssh")};
    for (const QString &arg : arguments())
        argStore.push_back(arg.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &arg : argStore)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    const QString askpass = askpassProgram();
    std::vector<QByteArray> envStore;
    for (char **e = environ; *e; ++e) {
        const QByteArray entry(*e);
        if (!entry.startsWith("SSH_ASKPASS=") && !entry.startsWith("SSH_ASKPASS_REQUIRE=") &&
            !entry.startsWith("ORVESSA_ASKPASS_SOCKET="))
            envStore.push_back(entry);
    }
    if (!askpass.isEmpty()) {
        envStore.push_back("SSH_ASKPASS=" + QFile::encodeName(askpass));
        envStore.push_back("SSH_ASKPASS_REQUIRE=force");
        envStore.push_back("ORVESSA_ASKPASS_SOCKET=" + QFile::encodeName(askSocket));
    }
    std::vector<char *> envp;
    for (QByteArray &entry : envStore)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A session of its own: no terminal to ask on, and the whole group (a ProxyJump hop
    // included) ends together.
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGINT);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, "ssh", &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(errPipe[1]);
    if (rc != 0)
        throw DataAccessError(
            QStringLiteral("The OpenSSH client (ssh) could not be started: %1. It comes with "
                           "the Debian package openssh-client.")
                .arg(qt_error_string(rc)));
    m_pid = pid;
}

void SshTunnel::start()
{
    m_folder = PrivateFolder::create({privateTempFolder()});
    if (!m_folder)
        throw DataAccessError(QStringLiteral("No private folder for the SSH tunnel could be made."));
    if (m_tcp)
        m_localPort = freeLoopbackPort();

    // The askpass program's way back to us, in the private folder.
    const QString askSocket = m_folder->path() + QStringLiteral("/askpass");
    const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const sockaddr_un address = unixAddress(QFile::encodeName(askSocket));
    if (listener < 0 || bind(listener, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
        listen(listener, 4) != 0) {
        const QString reason = qt_error_string(errno);
        if (listener >= 0)
            close(listener);
        throw DataAccessError(QStringLiteral("The SSH tunnel could not be prepared: %1").arg(reason));
    }
    struct CloseListener
    {
        int fd;
        ~CloseListener() { close(fd); }
    } closeListener{listener};

    spawn(askSocket);
    const QByteArray forward = QFile::encodeName(socketPath());
    QByteArray text;
    for (;;) {
        pollfd fds[3] = {{listener, POLLIN, 0}, {m_stderr, POLLIN, 0}, {m_wakeRead, POLLIN, 0}};
        poll(fds, 3, 50);
        if (m_cancelled.load()) {
            stop();
            throw DataAccessError(cancelledText());
        }
        if (fds[0].revents & POLLIN)
            answer(listener);
        drain(m_stderr, text);
        if (m_tcp ? tcpPortListens(m_localPort) : unixSocketListens(forward))
            break;
        if (reap(false)) {
            drain(m_stderr, text);
            {
                const std::lock_guard lock(m_textMutex);
                m_stderrText = QString::fromLocal8Bit(text);
            }
            const QString message = failureText(QString::fromLocal8Bit(text));
            stop();
            throw DataAccessError(message);
        }
    }
    {
        const std::lock_guard lock(m_textMutex);
        m_stderrText = QString::fromLocal8Bit(text.right(kKeptText));
    }
    m_watcher = std::thread([this] { watch(); });
}

void SshTunnel::answer(int listener)
{
    const int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return;
    struct CloseFd
    {
        int fd;
        ~CloseFd() { close(fd); }
    } closeFd{fd};
    // Only this user's processes may ask (the folder already keeps others out).
    ucred peer{};
    socklen_t length = sizeof peer;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != getuid())
        return;
    QByteArray request;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 5000) <= 0)
            return;
        char buffer[1024];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return;
        if (n == 0)
            break;
        request.append(buffer, n);
        if (request.size() > 65536)
            return;
    }

    ConnectQuestion question;
    question.prompt = QString::fromUtf8(request).trimmed();
    question.destination = m_settings.destination();
    const QString lower = question.prompt.toLower();
    static const QRegularExpression fingerprint(
        QStringLiteral("(SHA256:[A-Za-z0-9+/=]+|MD5(:[0-9a-f]{2})+)"));
    static const QRegularExpression keyFile(QStringLiteral("for key '(.*)'"));
    if (lower.contains(QLatin1String("continue connecting"))) {
        question.kind = ConnectQuestion::Kind::HostKey;
        question.fingerprint = fingerprint.match(question.prompt).captured(1);
        question.repeat = m_hostKeyAsks++;
    } else {
        if (lower.contains(QLatin1String("passphrase"))) {
            question.kind = ConnectQuestion::Kind::Passphrase;
            question.keyFile = keyFile.match(question.prompt).captured(1);
        } else if (lower.contains(QLatin1String("password"))) {
            question.kind = ConnectQuestion::Kind::Password;
        }
        question.repeat = m_secretAsks++;
    }

    std::optional<QString> reply;
    if (question.kind == ConnectQuestion::Kind::Password && question.repeat == 0 &&
        !m_settings.password.isEmpty())
        reply = m_settings.password; // the string's own, tried once
    else if (m_asker)
        reply = m_asker(question);
    if (question.kind == ConnectQuestion::Kind::HostKey) {
        writeAll(fd,
                 reply && reply->compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0 ? "1yes" : "1no");
        return;
    }
    if (!reply) {
        writeAll(fd, "0");
        return;
    }
    QByteArray bytes = '1' + reply->toUtf8();
    writeAll(fd, bytes);
    bytes.fill('\0');
}

QString SshTunnel::failureText(const QString &stderrText) const
{
    const QString destination = m_settings.destination();
    if (stderrText.contains(QLatin1String("REMOTE HOST IDENTIFICATION HAS CHANGED"))) {
        static const QRegularExpression offending(QStringLiteral("Offending .* key in (\\S+)"));
        const QString where = offending.match(stderrText).captured(1);
        return QStringLiteral(
                   "The SSH server %1 showed a host key other than the one known for it%2. Nothing was "
                   "connected: someone may be intercepting the connection, or the server's key was "
                   "replaced. If the change is expected, remove the old key (ssh-keygen -R) and "
                   "connect again.")
            .arg(destination, where.isEmpty() ? QString() : QStringLiteral(" in ") + where);
    }
    if (stderrText.contains(QLatin1String("Host key verification failed")))
        return QStringLiteral("The host key of the SSH server %1 was not accepted; nothing was connected.")
            .arg(destination);
    QStringList lines;
    for (const QString &line : stderrText.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty() && !trimmed.startsWith(QLatin1Char('@')))
            lines.append(trimmed);
    }
    while (lines.size() > 4)
        lines.removeFirst();
    QString reason = lines.join(QLatin1Char(' '));
    if (reason.isEmpty()) {
        if (m_exitStatus == kStatusUnknown || m_exitStatus == -1)
            reason = QStringLiteral("ssh ended.");
        else if (WIFSIGNALED(m_exitStatus))
            reason = QStringLiteral("ssh was stopped (signal %1).").arg(WTERMSIG(m_exitStatus));
        else
            reason = QStringLiteral("ssh ended with exit status %1.").arg(WEXITSTATUS(m_exitStatus));
    }
    return QStringLiteral("The SSH tunnel to %1 ended: %2").arg(destination, reason);
}

bool SshTunnel::reap(bool block)
{
    if (m_exitStatus != -1 || m_pid <= 0)
        return true;
    int status = 0;
    pid_t done;
    do {
        done = waitpid(pid_t(m_pid), &status, block ? 0 : WNOHANG);
    } while (done < 0 && errno == EINTR);
    if (done == pid_t(m_pid) || (done < 0 && errno == ECHILD)) {
        m_exitStatus = done == pid_t(m_pid) ? status : kStatusUnknown;
        return true;
    }
    return false;
}

void SshTunnel::watch()
{
    QByteArray text;
    bool open = true;
    while (!m_stopping.load()) {
        pollfd fds[2] = {{open ? m_stderr : -1, POLLIN, 0}, {m_wakeRead, POLLIN, 0}};
        poll(fds, 2, open ? 200 : 20);
        if (open) {
            open = drain(m_stderr, text);
            if (!text.isEmpty()) {
                const std::lock_guard lock(m_textMutex);
                m_stderrText = (m_stderrText + QString::fromLocal8Bit(text)).right(kKeptText);
                text.clear();
            }
        }
        if (reap(false)) {
            m_ended.store(true);
            return;
        }
    }
}

bool SshTunnel::waitEnded(int ms) const
{
    for (int waited = 0; !m_ended.load() && waited < ms; waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return m_ended.load();
}

void SshTunnel::cancel()
{
    m_cancelled.store(true);
    writeAll(m_wakeWrite, "x");
}

void SshTunnel::stop()
{
    m_stopping.store(true);
    writeAll(m_wakeWrite, "x");
    if (m_watcher.joinable())
        m_watcher.join();
    // The watcher is gone, so only this thread reaps from here on.
    if (m_pid > 0 && !reap(false)) {
        kill(-pid_t(m_pid), SIGTERM);
        for (int i = 0; i < 40 && !reap(false); ++i) {
            pollfd none{-1, 0, 0};
            poll(&none, 0, 50);
        }
        if (!reap(false)) {
            kill(-pid_t(m_pid), SIGKILL);
            reap(true);
        }
    }
    m_ended.store(m_pid > 0);
    if (m_stderr >= 0)
        close(m_stderr);
    m_stderr = -1;
    m_folder.reset();
}

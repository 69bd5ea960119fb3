#include "shell/SingleInstance.h"

#include "common/PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QByteArray kActivateRequest = QByteArrayLiteral("activate\n");

QString userName()
{
    QString name;
    if (const passwd *pw = getpwuid(geteuid()))
        name = QString::fromLocal8Bit(pw->pw_name);
    if (name.isEmpty())
        name = QString::number(geteuid());
    // Only characters that are safe in a file name.
    for (QChar &c : name) {
        if (!c.isLetterOrNumber() && c != u'_' && c != u'-' && c != u'.')
            c = u'_';
    }
    return name;
}
} // namespace

SingleInstance::SingleInstance(const QString &instanceName, const QString &folder, QObject *parent)
    : QObject(parent), m_instanceName(instanceName), m_folder(folder)
{
}

SingleInstance::~SingleInstance() = default;

QList<SingleInstance::Place> SingleInstance::places() const
{
    QList<Place> result;
    auto add = [&result](const QString &dir, const QString &base) {
        const QString prefix = QDir(dir).absoluteFilePath(base);
        result.append({prefix + QStringLiteral(".lock"), prefix + QStringLiteral(".socket")});
    };
    if (!m_folder.isEmpty()) {
        add(m_folder, m_instanceName);
        return result;
    }
    // The runtime folder belongs to the user alone. The temporary folder is shared: there the
    // lock and the socket go into a folder of the user's named after the user, used only while
    // it really is private, so another user can neither plant a lock that keeps the program from
    // starting nor a socket that listens in its place.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (isPrivateFolder(runtime))
        add(runtime, m_instanceName);
    const QString shared = QDir(QDir::tempPath()).filePath(m_instanceName + u'-' + userName());
    ::mkdir(QFile::encodeName(shared).constData(), 0700); // EEXIST is judged below
    if (isPrivateFolder(shared))
        add(shared, m_instanceName);
    return result;
}

bool SingleInstance::isAlreadyRunning()
{
    for (const Place &place : places()) {
        auto lock = std::make_unique<QLockFile>(place.lockPath);
        // Never stale while its process lives; a lock left by a dead process is taken over.
        lock->setStaleLockTime(0);
        if (lock->tryLock(0)) {
            m_lock = std::move(lock);
            m_lockPath = place.lockPath;
            m_serverPath = place.serverPath;
            return false;
        }
        if (lock->error() == QLockFile::LockFailedError) {
            m_lockPath = place.lockPath;
            m_serverPath = place.serverPath;
            return true;
        }
        // This folder cannot hold a lock file: try the next one.
    }
    // Nowhere to put the mark: start as if no other copy ran.
    return false;
}

bool SingleInstance::holdsLock() const
{
    return m_lock && m_lock->isLocked();
}

bool SingleInstance::activatePreviousInstance(int timeoutMs)
{
    if (m_serverPath.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(m_serverPath);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(kActivateRequest);
    const bool sent = socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return sent;
}

bool SingleInstance::listen()
{
    if (!holdsLock() || m_server)
        return m_server != nullptr;
    // We hold the lock, so a socket file left here belongs to a copy that has gone.
    QLocalServer::removeServer(m_serverPath);
    auto *server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(m_serverPath)) {
        delete server;
        return false;
    }
    m_server = server;
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnection);
    return true;
}

void SingleInstance::acceptConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        auto handle = [this, socket] {
            if (socket->bytesAvailable() < kActivateRequest.size())
                return;
            const QByteArray request = socket->readAll();
            socket->disconnectFromServer();
            if (request.startsWith(kActivateRequest))
                emit activateRequested();
        };
        connect(socket, &QLocalSocket::readyRead, this, handle);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        handle();
    }
}

#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLockFile;

// One running copy per user. The running copy holds a lock file named after the instance in the
// user's runtime folder and listens on a local socket beside it; a second copy finds the lock
// taken, asks the running copy to come to the front and ends.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // folder: where the lock and the socket live; empty for the user's runtime folder
    // (XDG_RUNTIME_DIR, else a private folder of the user's in the temporary folder).
    explicit SingleInstance(const QString &instanceName, const QString &folder = QString(),
                            QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when another copy holds the mark. Otherwise this copy holds it from now on, unless
    // no folder could take a lock file at all, in which case it runs without one.
    bool isAlreadyRunning();
    // Second copy: sends the activate request. False when nobody answered (the running copy is
    // starting or closing).
    bool activatePreviousInstance(int timeoutMs = 2000);
    // Running copy: accepts activate requests; needs the application object.
    bool listen();

    bool holdsLock() const;
    QString lockFilePath() const { return m_lockPath; }
    QString serverPath() const { return m_serverPath; }

signals:
    void activateRequested();

private:
    struct Place
    {
        QString lockPath;
        QString serverPath;
    };
    QList<Place> places() const;
    void acceptConnection();

    QString m_instanceName;
    QString m_folder;
    QString m_lockPath;
    QString m_serverPath;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
};

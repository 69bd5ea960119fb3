#include "editor/EditorTextStore.h"

#include "common/SafeFile.h"
#include "common/UserFiles.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

QString EditorTextStore::defaultFolder()
{
    return userDataFolder() + QStringLiteral("/editor");
}

QString EditorTextStore::fileFor(const QString &profile) const
{
    // A profile's path can be long and hold any character: the file is named by its digest.
    const QByteArray digest = QCryptographicHash::hash(profile.toUtf8(), QCryptographicHash::Sha256).toHex();
    return m_folder + QLatin1Char('/') + QString::fromLatin1(digest.left(32)) + QStringLiteral(".sql");
}

bool EditorTextStore::load(const QString &profile, QString *text, QString *error) const
{
    text->clear();
    if (!isOwnFolder(QFileInfo(m_folder).path(), error) || !isOwnFolder(m_folder, error))
        return false;
    const QString path = fileFor(profile);
    const int fd = openOwnFile(path, O_RDONLY, error);
    if (fd < 0)
        return error->isEmpty();
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *error = path;
        return false;
    }
    *text = QString::fromUtf8(file.readAll());
    return true;
}

bool EditorTextStore::save(const QString &profile, const QString &text, QString *error) const
{
    if (!makeOwnFolder(QFileInfo(m_folder).path(), error) || !makeOwnFolder(m_folder, error))
        return false;
    const QString path = fileFor(profile);
    // What stands there already must be a file of the user's: replacing follows a symlink.
    const int fd = openOwnFile(path, O_RDONLY, error);
    if (fd >= 0)
        ::close(fd);
    else if (!error->isEmpty())
        return false;
    return replaceFileAtomically(path, text.toUtf8(), 0600, error);
}

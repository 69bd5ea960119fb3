#include "connection/DemoDatabase.h"

#include "common/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Whether this user may change the file: write it, and make SQLite's journal beside it.
bool writable(const QString &file)
{
    const QByteArray path = QFile::encodeName(file);
    const QByteArray folder = QFile::encodeName(QFileInfo(file).absolutePath());
    return ::faccessat(AT_FDCWD, path.constData(), W_OK, AT_EACCESS) == 0 &&
           ::faccessat(AT_FDCWD, folder.constData(), W_OK | X_OK, AT_EACCESS) == 0;
}

} // namespace

QString demoDatabaseFile(const QString &appFolder)
{
    const QString installed = QDir(appFolder).filePath(QStringLiteral("demo.sqlite"));
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        return installed;
    const QString folder = QDir(data).filePath(QStringLiteral("orvessa"));
    const QString copy = QDir(folder).filePath(QStringLiteral("demo.sqlite"));
    if (QFileInfo::exists(copy))
        return copy;
    if (!QFileInfo::exists(installed) || writable(installed))
        return installed;
    QFile source(installed);
    if (!QDir().mkpath(data) ||
        (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST) ||
        !source.open(QIODevice::ReadOnly))
        return installed;
    if (!replaceFileAtomically(copy, source.readAll(), newUserFileMode(), nullptr))
        return installed;
    return copy;
}

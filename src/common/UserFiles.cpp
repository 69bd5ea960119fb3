#include "common/UserFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError(const QString &path, int code)
{
    return path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(code));
}

} // namespace

QString userDataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/orvessa");
}

bool isOwnFolder(const QString &folder, QString *error)
{
    struct stat st
    {
    };
    if (::lstat(QFile::encodeName(folder).constData(), &st) != 0) {
        if (errno == ENOENT)
            return true;
        *error = systemError(folder, errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        *error =
            QStringLiteral("The folder %1 is not a folder of your own that only you can change.").arg(folder);
        return false;
    }
    return true;
}

bool makeOwnFolder(const QString &folder, QString *error)
{
    QDir().mkpath(QFileInfo(folder).path());
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST) {
        *error = systemError(folder, errno);
        return false;
    }
    return isOwnFolder(folder, error);
}

int openOwnFile(const QString &path, int flags, QString *error)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno == ELOOP)
            *error = QStringLiteral("The file %1 is a symbolic link; it is not followed.").arg(path);
        else if (errno != ENOENT || (flags & O_CREAT))
            *error = systemError(path, errno);
        return -1;
    }
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0) {
        *error = systemError(path, errno);
    } else if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        *error = QStringLiteral("The file %1 is not a file of your own.").arg(path);
    } else if ((st.st_mode & 07777) != 0600 && ::fchmod(fd, 0600) != 0) {
        *error = systemError(path, errno);
    } else {
        return fd;
    }
    ::close(fd);
    return -1;
}

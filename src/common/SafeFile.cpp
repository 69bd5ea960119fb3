#include "common/SafeFile.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

// The file a path finally names, following symlinks (relative ones from their own folder).
// A path that names nothing is its own answer: the file will be created there.
bool resolveLinks(QByteArray &path, int &failure)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st
        {
        };
        if (::lstat(path.constData(), &st) != 0) {
            if (errno == ENOENT)
                return true;
            failure = errno;
            return false;
        }
        if (!S_ISLNK(st.st_mode))
            return true;
        QByteArray target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(path.constData(), target.data(), size_t(target.size()));
        if (length < 0) {
            failure = errno;
            return false;
        }
        target.truncate(length);
        path = target.startsWith('/') ? target : folderOf(path) + '/' + target;
    }
    failure = ELOOP;
    return false;
}

bool syncFolder(const QByteArray &folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

} // namespace

bool writeAndSync(int fd, const QByteArray &bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        written += n;
    }
    return ::fsync(fd) == 0;
}

int createFileExclusively(const QString &path, mode_t mode)
{
    return ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  mode);
}

bool replaceFileAtomically(const QString &path, const QByteArray &bytes, mode_t newFileMode, QString *error)
{
    auto fail = [error](int code) {
        if (error)
            *error = systemError(code);
        return false;
    };
    QByteArray target = QFile::encodeName(path);
    int failure = 0;
    if (!resolveLinks(target, failure))
        return fail(failure);

    mode_t mode = newFileMode;
    struct stat existing
    {
    };
    const bool exists = ::stat(target.constData(), &existing) == 0;
    if (exists) {
        if (!S_ISREG(existing.st_mode))
            return fail(S_ISDIR(existing.st_mode) ? EISDIR : EINVAL);
        mode = existing.st_mode & 07777;
    }

    const QByteArray folder = folderOf(target);
    QByteArray name = target.mid(target.lastIndexOf('/') + 1);
    QByteArray temporary = folder + "/." + name + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return fail(errno);
    bool ok = ::fchmod(fd, mode) == 0;
    if (ok && exists && (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid())) {
        // Keep the owner and group of a file written on someone else's behalf; a failure only
        // means the new file is ours.
        [[maybe_unused]] const int kept = ::fchown(fd, existing.st_uid, existing.st_gid);
    }
    ok = ok && writeAndSync(fd, bytes);
    int code = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (ok && ::rename(temporary.constData(), target.constData()) != 0) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        ::unlink(temporary.constData());
        return fail(code);
    }
    if (!syncFolder(folder))
        return fail(errno);
    return true;
}

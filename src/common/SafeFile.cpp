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
    ReplacementFile file;
    if (!file.open(path, newFileMode, error))
        return false;
    if (!writeAndSync(file.descriptor(), bytes)) {
        const int code = errno;
        file.discard();
        if (error)
            *error = systemError(code);
        return false;
    }
    return file.commit(error);
}

ReplacementFile::~ReplacementFile()
{
    discard();
}

bool ReplacementFile::open(const QString &path, mode_t newFileMode, QString *error)
{
    discard();
    auto fail = [error](int code) {
        if (error)
            *error = systemError(code);
        return false;
    };
    QByteArray target = QFile::encodeName(path);
    int failure = 0;
    if (!resolveLinks(target, failure))
        return fail(failure);

    m_mode = newFileMode;
    m_keepOwner = false;
    struct stat existing
    {
    };
    if (::stat(target.constData(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode))
            return fail(S_ISDIR(existing.st_mode) ? EISDIR : EINVAL);
        m_mode = existing.st_mode & 07777;
        // Keep the owner and group of a file written on someone else's behalf.
        m_keepOwner = existing.st_uid != ::geteuid() || existing.st_gid != ::getegid();
        m_owner = existing.st_uid;
        m_group = existing.st_gid;
    }

    // mkostemp creates the file new (O_EXCL) with mode 0600 under a name nobody could guess.
    const QByteArray name = target.mid(target.lastIndexOf('/') + 1);
    QByteArray temporary = folderOf(target) + "/." + name + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return fail(errno);
    m_fd = fd;
    m_target = target;
    m_temporary = temporary;
    return true;
}

bool ReplacementFile::commit(QString *error)
{
    auto fail = [this, error](int code) {
        discard();
        if (error)
            *error = systemError(code);
        return false;
    };
    if (m_fd < 0)
        return fail(EBADF);
    if (::fchmod(m_fd, m_mode) != 0)
        return fail(errno);
    if (m_keepOwner) {
        // A failure only means the new file is ours.
        [[maybe_unused]] const int kept = ::fchown(m_fd, m_owner, m_group);
    }
    if (::fsync(m_fd) != 0)
        return fail(errno);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        const int code = errno;
        ::unlink(m_temporary.constData());
        m_temporary.clear();
        return fail(code);
    }
    if (::rename(m_temporary.constData(), m_target.constData()) != 0) {
        const int code = errno;
        ::unlink(m_temporary.constData());
        m_temporary.clear();
        return fail(code);
    }
    m_temporary.clear();
    if (!syncFolder(folderOf(m_target)))
        return fail(errno);
    return true;
}

void ReplacementFile::discard()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temporary.isEmpty()) {
        // Created by open(), under a name of its own: nothing else is removed.
        ::unlink(m_temporary.constData());
        m_temporary.clear();
    }
}

mode_t newUserFileMode()
{
    // Reading the umask through umask() would change it for every thread for a moment.
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    return mode_t(0666 & ~mask);
            }
        }
    }
    return 0644;
}

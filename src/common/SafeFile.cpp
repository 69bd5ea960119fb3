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

// The kernel's rule for protected symlinks (fs.protected_symlinks): in a sticky folder that
// everyone may write to, such as /tmp, a symlink is followed only when it belongs to the one who
// follows it or to the folder's owner. Resolving links by hand must not step around it, or a link
// that another user planted there would lead the write to any file of this user's.
bool mayFollow(const QByteArray &link, const struct stat &linkStatus)
{
    struct stat folder
    {
    };
    if (::stat(folderOf(link).constData(), &folder) != 0)
        return false;
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return !shared || linkStatus.st_uid == ::geteuid() || linkStatus.st_uid == folder.st_uid;
}

QString refusedLinkText(const QByteArray &link)
{
    return QStringLiteral("%1 is a link that another user put in the shared folder %2; it is not followed.")
        .arg(QFile::decodeName(link), QFile::decodeName(folderOf(link)));
}

// The file a path finally names, following symlinks (relative ones from their own folder) where
// the kernel would. A path that names nothing is its own answer: the file will be created there.
// On failure, error holds the reason, and refused tells a link that is not followed.
bool resolveLinks(QByteArray &path, QString *error, bool *refused = nullptr)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st
        {
        };
        if (::lstat(path.constData(), &st) != 0) {
            if (errno == ENOENT)
                return true;
            *error = systemError(errno);
            return false;
        }
        if (!S_ISLNK(st.st_mode))
            return true;
        if (!mayFollow(path, st)) {
            *error = refusedLinkText(path);
            if (refused)
                *refused = true;
            return false;
        }
        QByteArray target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(path.constData(), target.data(), size_t(target.size()));
        if (length < 0) {
            *error = systemError(errno);
            return false;
        }
        target.truncate(length);
        path = target.startsWith('/') ? target : folderOf(path) + '/' + target;
    }
    *error = systemError(ELOOP);
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

QString linkRefusal(const QString &path)
{
    QByteArray resolved = QFile::encodeName(path);
    QString error;
    bool refused = false;
    return resolveLinks(resolved, &error, &refused) || !refused ? QString() : error;
}

bool nameIsTaken(const QString &path)
{
    struct stat st
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

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

bool replaceFileAtomically(const QString &path, const QByteArray &bytes, mode_t newFileMode, QString *error,
                           QString *notOnDisk)
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
    if (!file.commit(error))
        return false;
    if (notOnDisk)
        *notOnDisk = file.notOnDisk();
    return true;
}

ReplacementFile::~ReplacementFile()
{
    discard();
}

bool ReplacementFile::open(const QString &path, mode_t newFileMode, QString *error)
{
    discard();
    m_notOnDisk.clear();
    auto fail = [error](int code) {
        if (error)
            *error = systemError(code);
        return false;
    };
    QByteArray target = QFile::encodeName(path);
    QString refusal;
    if (!resolveLinks(target, &refusal)) {
        if (error)
            *error = refusal;
        return false;
    }

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
    // The new file is in place: from here on nothing can undo the write, and nothing is reported
    // as a failure. An unflushed folder may still lose the rename in a crash.
    if (!syncFolder(folderOf(m_target)))
        m_notOnDisk = systemError(errno);
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

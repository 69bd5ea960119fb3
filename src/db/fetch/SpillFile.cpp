#include "db/fetch/SpillFile.h"

#include "common/PrivateFolder.h"
#include "db/DataAccess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <mutex>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::mutex folderMutex;
QString chosenFolder;

// O_TMPFILE where the file system has it, else a fresh name that is gone again at once.
int openUnlinked(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
        return fd;
    QByteArray path = QFile::encodeName(folder) + "/orvessa-rows-XXXXXX";
    const int named = ::mkostemp(path.data(), O_CLOEXEC); // 0600, O_EXCL
    if (named < 0)
        return -1;
    if (::unlink(path.constData()) != 0) {
        const int error = errno;
        ::close(named);
        errno = error;
        return -1;
    }
    return named;
}

[[noreturn]] void fail(const QString &what, const QString &folder, int error)
{
    const QString shown = QDir::toNativeSeparators(folder);
    if (error == ENOSPC || error == EDQUOT)
        throw DataAccessError(
            QStringLiteral(
                "The disk that holds the folder %1 is full: the rows of the result cannot be kept there.")
                .arg(shown));
    throw DataAccessError(QStringLiteral("%1 in the folder %2: %3").arg(what, shown, qt_error_string(error)));
}

// The program's folder in the user's cache folder (XDG_CACHE_HOME, else ~/.cache): on a disk,
// where the runtime folder and often /tmp keep their files in memory. Made 0700 when missing;
// one that is not the user's own private folder is refused, as the private temporary folder
// would be.
QString cacheFolder()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (base.isEmpty())
        throw DataAccessError(
            QStringLiteral("The rows of the result cannot be kept on disk: there is no cache "
                           "folder (neither XDG_CACHE_HOME nor HOME is set)."));
    const QString folder = QDir(base).filePath(QStringLiteral("orvessa"));
    const QByteArray path = QFile::encodeName(folder);
    // The cache folder itself is the user's to make, private as the XDG rules have it.
    if (!QFileInfo::exists(base))
        ::mkdir(QFile::encodeName(base).constData(), 0700);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        fail(QStringLiteral("Cannot make a folder for the rows of the result"), folder, errno);
    if (!isPrivateFolder(folder))
        throw DataAccessError(
            QStringLiteral("The rows of the result cannot be kept in the cache folder %1: it must "
                           "be a folder of yours that nobody else may enter.")
                .arg(QDir::toNativeSeparators(folder)));
    return folder;
}

} // namespace

void SpillFile::setSpillFolder(const QString &folder)
{
    std::lock_guard lock(folderMutex);
    chosenFolder = folder;
}

QString SpillFile::spillFolder()
{
    std::lock_guard lock(folderMutex);
    return chosenFolder;
}

SpillFile::SpillFile()
{
    m_folder = spillFolder();
    if (m_folder.isEmpty())
        m_folder = cacheFolder();
    m_fd = openUnlinked(m_folder);
    if (m_fd < 0)
        fail(QStringLiteral("Cannot create a file for the rows of the result"), m_folder, errno);
    // A file system that cannot map files would only fail later, in the middle of a fetch.
    void *probe = ::mmap(nullptr, 4096, PROT_READ, MAP_SHARED, m_fd, 0);
    if (probe == MAP_FAILED) {
        const int error = errno;
        ::close(m_fd);
        m_fd = -1;
        fail(QStringLiteral("Cannot map a file for the rows of the result"), m_folder, error);
    }
    ::munmap(probe, 4096);
}

SpillFile::~SpillFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void SpillFile::write(std::uint64_t offset, const void *bytes, std::size_t length)
{
    const char *p = static_cast<const char *>(bytes);
    while (length > 0) {
        const ssize_t n = ::pwrite(m_fd, p, length, off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail(QStringLiteral("Cannot write the rows of the result"), m_folder, n < 0 ? errno : ENOSPC);
        p += n;
        offset += std::uint64_t(n);
        length -= std::size_t(n);
    }
}

void SpillFile::mapOver(void *address, std::size_t length, std::uint64_t offset)
{
    // MAP_FIXED swaps the mapping under the kernel's lock, so a reader's access never finds
    // the range unmapped. Its one likely failure, the limit on the number of mappings, is
    // found before the old pages are touched; the store's spilled blocks lie side by side in
    // the file and in memory, so their mappings merge and stay few. A file system that cannot
    // map files was found when the file was made.
    if (::mmap(address, length, PROT_READ, MAP_SHARED | MAP_FIXED, m_fd, off_t(offset)) == MAP_FAILED)
        fail(QStringLiteral("Cannot map the rows of the result"), m_folder, errno);
}

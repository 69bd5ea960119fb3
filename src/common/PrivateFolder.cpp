#include "common/PrivateFolder.h"

#include "common/AppError.h"

#include <QDir>
#include <QFile>

#include <filesystem>
#include <mutex>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

bool isPrivateFolder(const QString &path)
{
    struct stat st
    {
    };
    if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

std::unique_ptr<PrivateFolder> PrivateFolder::create(const QStringList &bases)
{
    for (const QString &base : bases) {
        if (base.isEmpty())
            continue;
        // mkdtemp creates the folder with mode 0700 under a name nobody could have guessed.
        QByteArray path = QFile::encodeName(QDir(base).filePath(QStringLiteral("orvessa-XXXXXX")));
        if (!::mkdtemp(path.data()))
            continue;
        std::unique_ptr<PrivateFolder> folder(new PrivateFolder(QFile::decodeName(path)));
        if (isPrivateFolder(folder->path()))
            return folder;
    }
    return nullptr;
}

PrivateFolder::~PrivateFolder()
{
    if (!isPrivateFolder(m_path))
        return;
    // remove_all deletes symlinks inside, never what they point at.
    std::error_code error;
    std::filesystem::remove_all(std::filesystem::path(QFile::encodeName(m_path).toStdString()), error);
}

QString privateTempFolder()
{
    static std::mutex mutex;
    static std::unique_ptr<PrivateFolder> folder;
    std::lock_guard lock(mutex);
    if (!folder || !isPrivateFolder(folder->path())) {
        // XDG_RUNTIME_DIR is private to the user by definition, but it is only trusted when it
        // really is; the shared temporary folder serves otherwise.
        QStringList bases;
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        if (isPrivateFolder(runtime))
            bases.append(runtime);
        bases.append(QDir::tempPath());
        folder = PrivateFolder::create(bases);
    }
    if (!folder)
        throw AppError(
            QStringLiteral("Cannot create a private temporary folder in %1.").arg(QDir::tempPath()));
    return folder->path();
}

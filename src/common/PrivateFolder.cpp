#include "common/PrivateFolder.h"

#include "common/AppError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>
#include <mutex>

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

namespace {

std::unique_ptr<QTemporaryDir> makeFolder()
{
    // XDG_RUNTIME_DIR is private to the user by definition, but it is only trusted when it
    // really is; the shared temporary folder serves otherwise (mkdtemp creates with 0700).
    QStringList bases;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isPrivateFolder(runtime))
        bases.append(runtime);
    bases.append(QDir::tempPath());
    for (const QString &base : std::as_const(bases)) {
        auto folder = std::make_unique<QTemporaryDir>(base + QStringLiteral("/orvessa-XXXXXX"));
        if (folder->isValid() && isPrivateFolder(folder->path()))
            return folder;
    }
    return nullptr;
}

} // namespace

QString privateTempFolder()
{
    static std::mutex mutex;
    static std::unique_ptr<QTemporaryDir> folder;
    std::lock_guard lock(mutex);
    if (!folder || !isPrivateFolder(folder->path()))
        folder = makeFolder();
    if (!folder)
        throw AppError(
            QStringLiteral("Cannot create a private temporary folder in %1.").arg(QDir::tempPath()));
    return folder->path();
}

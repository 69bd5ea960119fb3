#pragma once

#include <QString>
#include <QStringList>

#include <memory>

// The program's own temporary folder for this run: created on first use with mode 0700 under
// XDG_RUNTIME_DIR when that folder is private to the user, else under the shared temporary
// folder, and removed with its contents when the program ends. Other users can neither list
// it nor plant files in it, so fixed file names inside it are safe. A folder that went away
// while the program ran (a cleaner of old temporary files) is replaced by a new one. Throws
// AppError when no such folder can be made.
QString privateTempFolder();

// True when path is a real folder (not a symlink) owned by this user that nobody else may
// enter or write to.
bool isPrivateFolder(const QString &path);

// One folder made with mkdtemp. It is removed with its contents when the object goes, but only
// while it still is the private folder it was: if something else stands at its path by then
// (a symlink planted after a cleaner removed the folder), nothing is removed.
class PrivateFolder
{
public:
    // A new folder named "orvessa-XXXXXX" in the first of the bases where one can be made and
    // is private; nullptr when none.
    static std::unique_ptr<PrivateFolder> create(const QStringList &bases);
    ~PrivateFolder();
    PrivateFolder(const PrivateFolder &) = delete;
    PrivateFolder &operator=(const PrivateFolder &) = delete;

    const QString &path() const { return m_path; }

private:
    explicit PrivateFolder(const QString &path) : m_path(path) {}
    QString m_path;
};

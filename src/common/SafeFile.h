// Writing files on a machine that other users share: nothing planted beforehand is followed
// into, and nothing is left half written.
#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

// Replaces the content of the file at path in one step: the bytes go to a new file in the same
// folder, are flushed to disk, and the new file is renamed over the old one; the folder is
// flushed too, so after a crash the file holds either the old or the new content. A symlink is
// followed and its target replaced, so the link stays a link, but only where the kernel itself
// would follow it: in a sticky folder that everyone may write to (/tmp), a link that belongs
// neither to this user nor to the folder's owner is refused (linkRefusal). A dangling link
// creates its target. An existing file keeps its mode; a new one gets newFileMode. Returns false
// with the reason in error. Once the new file is in place the write counts as done: when the
// folder cannot be flushed afterwards, notOnDisk gets the reason (the file may not be on disk yet).
bool replaceFileAtomically(const QString &path, const QByteArray &bytes, mode_t newFileMode, QString *error,
                           QString *notOnDisk = nullptr);

// The same done as a stream, for content too large to hold in memory: the bytes go to a new file
// beside the target (created exclusively, readable by its owner only while it is written) and
// commit() flushes it, gives it its final mode, renames it over the target and flushes the
// folder. Until then the target is untouched; a file that is never committed is removed, so a
// failed or abandoned write leaves nothing behind. Symlinks, modes and owners as above.
class ReplacementFile
{
public:
    ReplacementFile() = default;
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile &) = delete;
    ReplacementFile &operator=(const ReplacementFile &) = delete;

    // Creates the new file; false with the system's reason in error.
    bool open(const QString &path, mode_t newFileMode, QString *error);
    // Where the content is written until commit(); -1 when not open.
    int descriptor() const { return m_fd; }
    // The mode the file gets on commit: the replaced file's, or newFileMode for a new one.
    mode_t mode() const { return m_mode; }
    // Takes away what allowed does not grant (a file that holds a secret: 0600, whatever the
    // file it replaces allowed).
    void narrowMode(mode_t allowed) { m_mode &= allowed; }
    // True once the new file stands at the target; notOnDisk() then tells whether the folder
    // could be flushed.
    bool commit(QString *error);
    // Why the folder could not be flushed after a commit; empty when it was.
    const QString &notOnDisk() const { return m_notOnDisk; }
    // Removes the new file now; the target stays as it was.
    void discard();

private:
    QByteArray m_target;
    QByteArray m_temporary;
    QString m_notOnDisk;
    int m_fd = -1;
    mode_t m_mode = 0600;
    bool m_keepOwner = false;
    uid_t m_owner = 0;
    gid_t m_group = 0;
};

// Why a write to path does not follow the symlink that stands there: a link another user put in
// a shared sticky folder. Empty when the path leads nowhere it may not.
QString linkRefusal(const QString &path);

// True when anything stands at path: a file, a folder or a symlink, dangling or not. (A dangling
// link is no file to QFileInfo::exists, but its name is taken all the same: a write there goes
// wherever the link leads.)
bool nameIsTaken(const QString &path);

// The mode a new file of this user gets (0666 less the process's umask).
mode_t newUserFileMode();

// Creates a new file at path for writing, failing when anything (a file, a symlink) is there
// already. Returns the open descriptor, or -1 with errno set.
int createFileExclusively(const QString &path, mode_t mode);

// Writes all bytes to a descriptor and flushes them to disk; false with errno set on failure.
bool writeAndSync(int fd, const QByteArray &bytes);

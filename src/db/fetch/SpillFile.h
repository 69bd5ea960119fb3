#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

// The one temporary file a row store writes its overflow blocks to. The file never has a
// name in its folder: it is opened with O_TMPFILE where the file system supports that, else
// made with mkstemp and unlinked at once; either way mode 0600 and close-on-exec. It
// therefore disappears when it is closed, also when the program is killed.
//
// Blocks are written with pwrite, so a full disk is an error the writer sees, never a
// SIGBUS in a reader, and read back through read-only shared mappings of the written ranges.
// Every failure throws DataAccessError with a text that names the folder and the reason (a full
// disk as such).
class SpillFile
{
public:
    // Creates the file in the folder chosen as setSpillFolder() describes.
    SpillFile();
    ~SpillFile();
    SpillFile(const SpillFile &) = delete;
    SpillFile &operator=(const SpillFile &) = delete;

    // Writes length bytes at offset, all of them or an error (disk full, I/O error).
    void write(std::uint64_t offset, const void *bytes, std::size_t length);
    // Replaces the pages at address (page aligned, owned by the caller) with a read-only
    // shared mapping of the file's bytes at offset, in one step: a thread reading those
    // pages meanwhile sees the same bytes before and after.
    void mapOver(void *address, std::size_t length, std::uint64_t offset);

    const QString &folder() const { return m_folder; }

    // Where new spill files go. By default the folder "orvessa" of the user's cache folder
    // (XDG_CACHE_HOME, else ~/.cache), made 0700 when missing: a disk, where the runtime folder
    // (and /tmp on many systems) keeps its files in memory and spilling there would save none.
    // A cache folder that is not the user's own private folder (a symlink, one others may
    // enter) is refused. A folder set here (tests, or a user's choice) is always used as it is;
    // an empty one restores the default. Applies to files made afterwards; any thread.
    static void setSpillFolder(const QString &folder);
    static QString spillFolder(); // the folder set, empty for the default

private:
    int m_fd = -1;
    QString m_folder;
};

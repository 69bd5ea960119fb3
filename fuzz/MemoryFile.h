// The readers under test open files by name; each input is handed to them as an anonymous
// in-memory file, reached through /proc/self/fd, so no run leaves anything on disk.
#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

#include <sys/mman.h>
#include <unistd.h>

inline QString memoryFile(const uint8_t *data, size_t size)
{
    static const int fd = memfd_create("fuzz-input", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, 0) != 0 || (size > 0 && pwrite(fd, data, size, 0) != ssize_t(size)))
        return QString();
    return QStringLiteral("/proc/self/fd/%1").arg(fd);
}

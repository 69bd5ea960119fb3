#include "export/ExportWriter.h"

#include "common/AppError.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace {

[[noreturn]] void fail(int code)
{
    throw AppError(QString::fromLocal8Bit(std::strerror(code)));
}

} // namespace

FileOutput::FileOutput(int fd) : m_fd(fd)
{
    m_buffer.reserve(kBlock + (kBlock >> 2));
}

void FileOutput::flush()
{
    const char *data = m_buffer.data();
    size_t left = m_buffer.size();
    while (left > 0) {
        const ssize_t n = ::write(m_fd, data, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
        }
        data += n;
        left -= size_t(n);
    }
    m_buffer.clear();
}

void FileOutput::restart()
{
    m_buffer.clear();
    if (::ftruncate(m_fd, 0) != 0 || ::lseek(m_fd, 0, SEEK_SET) != 0)
        fail(errno);
}

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

TextOutput::TextOutput(int fd) : m_fd(fd)
{
    m_buffer.reserve(kBlock + (kBlock >> 2));
}

TextOutput::TextOutput(QString *text)
    : m_text(text), m_decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless)
{
    m_buffer.reserve(kBlock + (kBlock >> 2));
}

void TextOutput::flush()
{
    if (m_text) {
        // UTF-8 never takes fewer code units in UTF-16 than bytes: room for the whole block.
        const qsizetype size = m_text->size();
        const qsizetype needed = size + qsizetype(m_buffer.size());
        if (m_text->capacity() < needed)
            m_text->reserve(qMax(needed, m_text->capacity() * 2));
        m_text->resize(needed);
        QChar *begin = m_text->data();
        const QChar *end =
            m_decoder.appendToBuffer(begin + size, QByteArrayView(m_buffer.data(), m_buffer.size()));
        m_text->truncate(end - begin);
        m_buffer.clear();
        return;
    }
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

void TextOutput::restart()
{
    m_buffer.clear();
    if (m_text) {
        m_text->clear();
        return;
    }
    if (::ftruncate(m_fd, 0) != 0 || ::lseek(m_fd, 0, SEEK_SET) != 0)
        fail(errno);
}

#include "export/CsvWriter.h"

#include "export/CellText.h"

#include <cstring>

CsvWriter::CsvWriter(int fd, bool byteOrderMark)
    : CsvWriter(TextOutput(fd), CsvForm{',', true, "\r\n", byteOrderMark})
{
}

CsvWriter::CsvWriter(TextOutput out, CsvForm form) : m_out(std::move(out)), m_form(form)
{
    m_classes[static_cast<unsigned char>(form.separator)] = 1;
    m_classes[int('"')] = m_classes[int('\r')] = m_classes[int('\n')] = 1;
    for (int c = 0x80; c < 256; ++c)
        m_classes[c] = 2;
}

void CsvWriter::startResult(const QList<FieldInfo> &fields)
{
    m_out.restart();
    resetCounts();
    std::string &out = m_out.buffer();
    if (m_form.byteOrderMark)
        out.append("\xEF\xBB\xBF");
    if (!m_form.header)
        return;
    m_column = 0;
    for (const FieldInfo &field : fields) {
        const QByteArray name = field.name.toUtf8();
        separate();
        appendField(name.constData(), name.size());
    }
    out.append(m_form.lineEnd);
    m_out.rowDone();
}

void CsvWriter::finish()
{
    m_out.flush();
}

void CsvWriter::beginRow()
{
    m_column = 0;
}

void CsvWriter::separate()
{
    if (m_column++ > 0)
        m_out.buffer().push_back(m_form.separator);
}

void CsvWriter::addNull()
{
    separate();
}

void CsvWriter::addInt(qint64 value)
{
    separate();
    celltext::appendInteger(m_out.buffer(), value);
}

void CsvWriter::addDouble(double value)
{
    separate();
    celltext::appendDouble(m_out.buffer(), value);
}

void CsvWriter::addBool(bool value)
{
    separate();
    m_out.buffer().append(value ? "true" : "false");
}

void CsvWriter::addText(const char *utf8, qsizetype length)
{
    separate();
    appendField(utf8, celltext::lengthOf(utf8, length));
}

void CsvWriter::addBlob(const char *bytes, qsizetype length)
{
    separate();
    std::string &out = m_out.buffer();
    if (length == 0) {
        out.append("\"\"");
        return;
    }
    celltext::appendBase64(out, bytes, length);
}

void CsvWriter::endRow()
{
    m_out.buffer().append(m_form.lineEnd);
    ++m_rows;
    m_out.rowDone();
}

void CsvWriter::appendField(const char *text, qsizetype length)
{
    std::string &out = m_out.buffer();
    if (length == 0) {
        out.append("\"\"");
        return;
    }
    unsigned seen = 0;
    for (qsizetype i = 0; i < length; ++i)
        seen |= m_classes[static_cast<unsigned char>(text[i])];
    if ((seen & 2) && !celltext::isValidUtf8(text, length)) {
        m_scratch.clear();
        celltext::appendValidUtf8(m_scratch, text, length);
        text = m_scratch.data();
        length = qsizetype(m_scratch.size());
    }
    if (!(seen & 1)) {
        out.append(text, size_t(length));
        return;
    }
    out.push_back('"');
    const char *end = text + length;
    for (const char *p = text; p < end;) {
        const char *quote = static_cast<const char *>(std::memchr(p, '"', size_t(end - p)));
        if (!quote) {
            out.append(p, size_t(end - p));
            break;
        }
        out.append(p, size_t(quote - p) + 1);
        out.push_back('"');
        p = quote + 1;
    }
    out.push_back('"');
}

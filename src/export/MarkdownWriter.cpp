#include "export/MarkdownWriter.h"

#include "export/CellText.h"

MarkdownWriter::MarkdownWriter(TextOutput out) : m_out(std::move(out))
{
}

void MarkdownWriter::startResult(const QList<FieldInfo> &fields)
{
    m_out.restart();
    resetCounts();
    std::string &out = m_out.buffer();
    for (const FieldInfo &field : fields) {
        const QByteArray name = field.name.toUtf8();
        out.append("| ");
        appendEscaped(name.constData(), name.size());
        out.push_back(' ');
    }
    out.append("|\n");
    for (const FieldInfo &field : fields)
        out.append(isNumberType(field.type) ? "| ---: " : "| --- ");
    out.append("|\n");
    m_out.rowDone();
}

void MarkdownWriter::finish()
{
    m_out.flush();
}

void MarkdownWriter::beginRow()
{
}

std::string &MarkdownWriter::cell()
{
    std::string &out = m_out.buffer();
    out.append("| ");
    return out;
}

void MarkdownWriter::addNull()
{
    cell().append("*NULL* ");
}

void MarkdownWriter::addInt(qint64 value)
{
    celltext::appendInteger(cell(), value);
    m_out.buffer().push_back(' ');
}

void MarkdownWriter::addDouble(double value)
{
    celltext::appendDouble(cell(), value);
    m_out.buffer().push_back(' ');
}

void MarkdownWriter::addBool(bool value)
{
    cell().append(value ? "true " : "false ");
}

void MarkdownWriter::addText(const char *utf8, qsizetype length)
{
    cell();
    appendEscaped(utf8, celltext::lengthOf(utf8, length));
    m_out.buffer().push_back(' ');
}

void MarkdownWriter::addBlob(const char *bytes, qsizetype length)
{
    celltext::appendBase64(cell(), bytes, length);
    m_out.buffer().push_back(' ');
}

void MarkdownWriter::endRow()
{
    m_out.buffer().append("|\n");
    ++m_rows;
    m_out.rowDone();
}

void MarkdownWriter::appendEscaped(const char *utf8, qsizetype length)
{
    m_scratch.clear();
    celltext::appendValidUtf8(m_scratch, utf8, length);
    std::string &out = m_out.buffer();
    for (size_t i = 0; i < m_scratch.size(); ++i) {
        const char c = m_scratch[i];
        switch (c) {
        case '|':
            out.append("\\|");
            break;
        case '\\':
            out.append("\\\\");
            break;
        case '\r':
            if (i + 1 < m_scratch.size() && m_scratch[i + 1] == '\n')
                break;
            out.append("<br>");
            break;
        case '\n':
            out.append("<br>");
            break;
        default:
            out.push_back(c);
        }
    }
}

#include "export/JsonLinesWriter.h"

#include "export/CellText.h"

#include <QSet>

#include <cmath>

JsonLinesWriter::JsonLinesWriter(int fd) : m_out(fd)
{
}

JsonLinesWriter::JsonLinesWriter(TextOutput out, Form form) : m_out(std::move(out)), m_form(form)
{
}

QStringList JsonLinesWriter::uniqueKeys(const QList<FieldInfo> &fields)
{
    QSet<QString> names;
    for (const FieldInfo &field : fields)
        names.insert(field.name);
    QSet<QString> used;
    QStringList keys;
    for (const FieldInfo &field : fields) {
        QString key = field.name;
        // A suffixed name must not take the name of another column either.
        for (int n = 2; used.contains(key); ++n) {
            const QString candidate = field.name + u'_' + QString::number(n);
            if (!names.contains(candidate))
                key = candidate;
        }
        used.insert(key);
        keys.append(key);
    }
    return keys;
}

void JsonLinesWriter::startResult(const QList<FieldInfo> &fields)
{
    m_out.restart();
    resetCounts();
    m_keys.clear();
    m_numeric.clear();
    const QStringList keys = uniqueKeys(fields);
    for (qsizetype i = 0; i < keys.size(); ++i) {
        std::string key = i == 0 ? std::string() : std::string(",");
        const QByteArray name = keys[i].toUtf8();
        celltext::appendJsonString(key, name.constData(), name.size());
        key.push_back(':');
        m_keys.push_back(std::move(key));
        m_numeric.push_back(isNumberType(fields[i].type));
    }
    if (m_form == Form::Array)
        m_out.buffer().push_back('[');
}

void JsonLinesWriter::finish()
{
    if (m_form == Form::Array)
        m_out.buffer().append(m_rows ? "\n]\n" : "]\n");
    m_out.flush();
}

void JsonLinesWriter::beginRow()
{
    m_column = 0;
    if (m_form == Form::Array)
        m_out.buffer().append(m_rows ? ",\n" : "\n");
    m_out.buffer().push_back('{');
}

int JsonLinesWriter::key()
{
    const int column = m_column++;
    if (size_t(column) < m_keys.size())
        m_out.buffer().append(m_keys[size_t(column)]);
    return column;
}

void JsonLinesWriter::addNull()
{
    key();
    m_out.buffer().append("null");
}

void JsonLinesWriter::addInt(qint64 value)
{
    key();
    celltext::appendInteger(m_out.buffer(), value);
}

void JsonLinesWriter::addDouble(double value)
{
    key();
    std::string &out = m_out.buffer();
    if (std::isfinite(value)) {
        celltext::appendDouble(out, value);
        return;
    }
    out.push_back('"');
    celltext::appendDouble(out, value);
    out.push_back('"');
}

void JsonLinesWriter::addBool(bool value)
{
    key();
    m_out.buffer().append(value ? "true" : "false");
}

void JsonLinesWriter::addText(const char *utf8, qsizetype length)
{
    const int column = key();
    length = celltext::lengthOf(utf8, length);
    std::string &out = m_out.buffer();
    // Exact decimals arrive as text; anything that is no number (NaN) stays a string.
    if (size_t(column) < m_numeric.size() && m_numeric[size_t(column)] &&
        celltext::appendJsonNumber(out, utf8, length))
        return;
    celltext::appendJsonString(out, utf8, length);
}

void JsonLinesWriter::addBlob(const char *bytes, qsizetype length)
{
    key();
    std::string &out = m_out.buffer();
    out.push_back('"');
    celltext::appendBase64(out, bytes, length);
    out.push_back('"');
}

void JsonLinesWriter::endRow()
{
    m_out.buffer().append(m_form == Form::Array ? "}" : "}\n");
    ++m_rows;
    m_out.rowDone();
}

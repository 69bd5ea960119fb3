#include "export/InsertWriter.h"

#include "db/SqlDialectRules.h"
#include "export/CellText.h"

#include <cmath>

InsertWriter::InsertWriter(TextOutput out, SqlDialect dialect, const QString &target,
                           const QStringList &columns)
    : m_out(std::move(out)), m_rules(SqlDialectRules::of(dialect))
{
    m_prefix = (QStringLiteral("INSERT INTO ") + target + QStringLiteral(" (") +
                columns.join(QStringLiteral(", ")) + QStringLiteral(") VALUES ("))
                   .toStdString();
}

void InsertWriter::startResult(const QList<FieldInfo> &fields)
{
    m_out.restart();
    resetCounts();
    m_numeric.clear();
    for (const FieldInfo &field : fields)
        m_numeric.push_back(isNumberType(field.type));
}

void InsertWriter::finish()
{
    m_out.flush();
}

void InsertWriter::beginRow()
{
    m_column = 0;
    m_out.buffer().append(m_prefix);
}

int InsertWriter::value()
{
    if (m_column > 0)
        m_out.buffer().append(", ");
    return m_column++;
}

void InsertWriter::append(const QString &literal)
{
    m_out.buffer().append(literal.toStdString());
}

void InsertWriter::addNull()
{
    value();
    m_out.buffer().append("NULL");
}

void InsertWriter::addInt(qint64 v)
{
    value();
    celltext::appendInteger(m_out.buffer(), v);
}

void InsertWriter::addDouble(double v)
{
    value();
    if (std::isfinite(v)) {
        celltext::appendDouble(m_out.buffer(), v);
        return;
    }
    // No number literal for them: the text a database reads back into a floating-point column.
    std::string text;
    celltext::appendDouble(text, v);
    append(m_rules.stringLiteral(QString::fromStdString(text)));
}

void InsertWriter::addBool(bool v)
{
    value();
    append(m_rules.booleanLiteral(v));
}

void InsertWriter::addText(const char *utf8, qsizetype length)
{
    const int column = value();
    length = celltext::lengthOf(utf8, length);
    // Exact decimals arrive as text; anything that is no number (NaN) stays quoted.
    if (size_t(column) < m_numeric.size() && m_numeric[size_t(column)] &&
        celltext::appendJsonNumber(m_out.buffer(), utf8, length))
        return;
    append(m_rules.stringLiteral(QString::fromUtf8(utf8, length)));
}

void InsertWriter::addBlob(const char *bytes, qsizetype length)
{
    value();
    append(m_rules.binaryLiteral(QByteArrayView(bytes, length)));
}

void InsertWriter::endRow()
{
    m_out.buffer().append(");\n");
    ++m_rows;
    m_out.rowDone();
}

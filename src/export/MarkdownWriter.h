#pragma once

#include "export/ExportWriter.h"

#include <vector>

// A Markdown table (the grid's "Copy as Markdown"): a header row of the column names, the
// alignment row (numbers to the right), then one line per row. In a cell "|" and "\" are escaped
// with a backslash and a line break becomes <br>; NULL is written *NULL*, the empty string is an
// empty cell; numbers as the database sent them, booleans true and false, binary values in base64.
class MarkdownWriter final : public ExportWriter
{
public:
    explicit MarkdownWriter(TextOutput out);

    void startResult(const QList<FieldInfo> &fields) override;
    void finish() override;

    void beginRow() override;
    void addNull() override;
    void addInt(qint64 value) override;
    void addDouble(double value) override;
    void addBool(bool value) override;
    void addText(const char *utf8, qsizetype length) override;
    void addBlob(const char *bytes, qsizetype length) override;
    void endRow() override;

private:
    std::string &cell();
    void appendEscaped(const char *utf8, qsizetype length);

    TextOutput m_out;
    std::string m_scratch;
};

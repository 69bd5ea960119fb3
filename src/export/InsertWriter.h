#pragma once

#include "export/ExportWriter.h"

#include <vector>

class SqlDialectRules;

// INSERT statements in a dialect (the grid's "Copy as INSERT"), one a line:
//   INSERT INTO <target> (<columns>) VALUES (<values>);
// target and columns come quoted by the caller. Values are literals of the dialect
// (SqlDialectRules): text quoted with its quotes doubled, exact decimals of number columns
// unquoted, booleans and binary values as the dialect writes them, NULL as NULL.
class InsertWriter final : public ExportWriter
{
public:
    InsertWriter(TextOutput out, SqlDialect dialect, const QString &target, const QStringList &columns);

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
    // Starts the next value; returns its column.
    int value();
    void append(const QString &literal);

    TextOutput m_out;
    const SqlDialectRules &m_rules;
    std::string m_prefix;
    std::vector<bool> m_numeric;
    int m_column = 0;
};

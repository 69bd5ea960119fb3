#pragma once

#include "export/ExportWriter.h"

#include <vector>

// JSON Lines: one object per row, keyed by column name, each on a line of its own ended by LF.
// Numbers are JSON numbers; exact decimals keep every digit the database sent; a double that is
// NaN or infinite becomes the string "NaN", "Infinity" or "-Infinity", which JSON has no number
// for. NULL is null, booleans true and false, text a string (ill-formed UTF-8 from the server
// replaced by U+FFFD), binary values a base64 string; dates and times the database's own text.
//
// Keys are unique within an object, as JSON readers keep only one of equal keys: a name that
// repeats an earlier column's gets "_2", "_3", ... (the first suffix no other column has).
//
// As an array (the grid's "Copy as JSON") the same objects stand one a line between "[" and
// "]", separated by commas: one JSON document.
class JsonLinesWriter final : public ExportWriter
{
public:
    enum class Form { Lines, Array };

    explicit JsonLinesWriter(int fd);
    JsonLinesWriter(TextOutput out, Form form);

    // The object keys of these fields, in field order.
    static QStringList uniqueKeys(const QList<FieldInfo> &fields);

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
    // Writes the next column's key; returns its index.
    int key();

    TextOutput m_out;
    Form m_form = Form::Lines;
    // "\"name\":" per column, with the comma before all but the first.
    std::vector<std::string> m_keys;
    std::vector<bool> m_numeric;
    int m_column = 0;
};

#pragma once

#include "export/ExportWriter.h"

// Comma-separated values as RFC 4180 has them: a header row of the column names, records ended
// by CR LF, a field quoted when it holds a comma, a quote or a line break (quotes doubled
// inside). UTF-8 throughout, ill-formed sequences from the server replaced by U+FFFD; with
// byteOrderMark the file starts with one, which spreadsheet applications need to read UTF-8.
//
// NULL is an empty field and the empty string "" (so the two stay apart). Numbers are written
// as the database sent them, doubles in their shortest exact form (NaN, Infinity, -Infinity);
// booleans as true and false; binary values in base64.
//
// The same rules write the tab-separated text the grid copies (CsvForm::tabSeparated): tabs
// between fields, a field quoted when it holds a tab, a quote or a line break, LF line ends.
struct CsvForm
{
    char separator = ',';
    bool header = true;
    const char *lineEnd = "\r\n";
    bool byteOrderMark = false;

    static CsvForm tabSeparated(bool header) { return CsvForm{'\t', header, "\n", false}; }
};

class CsvWriter final : public ExportWriter
{
public:
    CsvWriter(int fd, bool byteOrderMark);
    CsvWriter(TextOutput out, CsvForm form);

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
    void separate();
    void appendField(const char *text, qsizetype length);

    TextOutput m_out;
    CsvForm m_form;
    // Per byte: 0 plain ASCII, 1 makes the field quoted, 2 part of a multi-byte sequence.
    unsigned char m_classes[256] = {};
    int m_column = 0;
    std::string m_scratch;
};

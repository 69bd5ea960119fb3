#pragma once

#include "common/PrivateFolder.h"
#include "export/ExportWriter.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

// An Excel workbook (.xlsx) written in libxlsxwriter's constant-memory mode: each row goes to a
// scratch file as soon as the next one starts, so memory stays flat whatever the row count.
//
// Cells are typed: numbers as numbers (beyond the 15 significant digits a worksheet number
// keeps, and doubles that libxlsxwriter's 16 digits would not give back exactly, as text, so no
// digit is lost), dates and times of date fields as dates with a date
// format, booleans as booleans, binary values as base64 text, everything else as text. NULL and
// the empty string both leave the cell empty. A text longer than a cell holds (32,767
// characters) is cut there and the cut noted (cutCells()). The header row of column names, in
// bold, opens every worksheet; past rowsPerSheet rows (the worksheet's limit of 1,048,576 by
// default) the rows go on in a further worksheet: Sheet1, Sheet2, ...
class WorkbookWriter final : public ExportWriter
{
public:
    static constexpr qint64 kSheetRows = 1048576;
    static constexpr int kCellCharacters = 32767;
    static constexpr int kSheetColumns = 16384;

    // The workbook is written through fd; libxlsxwriter's scratch files go into scratchFolder.
    WorkbookWriter(int fd, const QString &scratchFolder, qint64 rowsPerSheet = kSheetRows);
    ~WorkbookWriter() override;

    void startResult(const QList<FieldInfo> &fields) override;
    // Assembles the workbook: zips every sheet, which for a big one takes a while.
    void finish() override;
    // The workbook's scratch files are emptied, so a running assembly runs out of input at once.
    void abandon() override;

    void beginRow() override;
    void addNull() override;
    void addInt(qint64 value) override;
    void addDouble(double value) override;
    void addBool(bool value) override;
    void addText(const char *utf8, qsizetype length) override;
    void addBlob(const char *bytes, qsizetype length) override;
    void endRow() override;

private:
    void closeWorkbook();
    void addSheet();
    void check(int error);
    void writeString(const std::string &text);
    // The text as a cell holds it, into m_cell: UTF-8 made well-formed, escaped where a
    // worksheet would read an escape, cut at the cell's limit; true when it was cut.
    bool cellText(const char *text, qsizetype length);

    QByteArray m_fileName;
    // A folder of this workbook's own for libxlsxwriter's scratch files, inside the one given.
    std::unique_ptr<PrivateFolder> m_folder;
    QByteArray m_scratchFolder;
    std::atomic<bool> m_abandoned{false};
    qint64 m_rowsPerSheet;
    lxw_workbook *m_workbook = nullptr;
    lxw_worksheet *m_sheet = nullptr;
    lxw_format *m_header = nullptr;
    lxw_format *m_date = nullptr;
    lxw_format *m_time = nullptr;
    lxw_format *m_dateTime = nullptr;
    QList<FieldInfo> m_fields;
    std::vector<bool> m_dateColumns;
    std::vector<QByteArray> m_headerNames;
    int m_sheets = 0;
    quint32 m_sheetRow = 0;
    quint16 m_column = 0;
    std::string m_scratch;
    std::string m_valid;
    std::string m_cell;
};

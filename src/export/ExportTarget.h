// Which file an export writes, in which format.
#pragma once

#include <QString>

enum class ExportFormat {
    Csv,
    CsvForSpreadsheets, // CSV that starts with a byte-order mark
    Workbook,           // .xlsx
    JsonLines,
};

// "csv", "xlsx" or "jsonl", without the dot.
QString exportExtension(ExportFormat format);

struct ExportTarget
{
    QString path;
    ExportFormat format = ExportFormat::Csv;
};

// The file and format of a name confirmed in the save dialog with the format of the file type
// chosen there. A name that ends in one of the export extensions (any letter case) is written
// in that format, whatever type was chosen: "data.xlsx" is a workbook. A name without an
// extension gets the chosen type's; any other extension ("data.txt") is kept, in the chosen
// format. CSV for spreadsheets stays so for a name ending in ".csv".
ExportTarget exportTarget(const QString &fileName, ExportFormat chosen);

// The name the save dialog proposes, as a new profile's is: base followed by the first number n
// from 1 for which folder holds no file base + n with any of the export extensions, then
// ".csv" ("Undefined1.csv").
QString proposedExportName(const QString &folder, const QString &base);

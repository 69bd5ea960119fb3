// The structure grid as an .xlsx workbook.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Writes the grid to a new workbook in folder and returns its path. The workbook is named after
// the table, the name made safe for a file: "name.xlsx", "name-2.xlsx", "name-3.xlsx"..., the
// first one that can be created new (O_EXCL, mode 0600): nothing already there, file or
// symlink, is opened or overwritten. Every cell goes as a string to (row, column) of the one
// worksheet, the columns as wide as their longest text, the sheet and document titled after
// the table. Throws AppError when folder is empty or no folder, or when the workbook cannot
// be written; a workbook begun is then removed.
QString writeStructureWorkbook(const QString &folder, const QString &tableName,
                               const QList<QStringList> &rows);

// The name of the worksheet for a table: characters a sheet name cannot hold become "_",
// at most 31 characters, "Sheet1" when nothing is left.
QString worksheetName(const QString &tableName);

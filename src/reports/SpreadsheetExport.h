// The structure grid as an .xlsx workbook.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// A path in folder for a new workbook named after the table: the name made safe for a file,
// then "name.xlsx", "name-2.xlsx", "name-3.xlsx"... whichever does not exist yet. Throws
// AppError when folder is empty or no folder.
QString newWorkbookPath(const QString &folder, const QString &tableName);

// Writes every cell as a string at (row, column) of the one worksheet, with the columns as
// wide as their longest text and the sheet and document titled after the table.
// Throws AppError when the workbook cannot be written.
void writeStructureWorkbook(const QString &path, const QString &tableName, const QList<QStringList> &rows);

// The name of the worksheet for a table: characters a sheet name cannot hold become "_",
// at most 31 characters, "Sheet1" when nothing is left.
QString worksheetName(const QString &tableName);

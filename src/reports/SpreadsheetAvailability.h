// Whether the desktop has an application registered for .xlsx workbooks.
#pragma once

#include <QString>

// The MIME type of an .xlsx workbook.
inline constexpr const char *kSpreadsheetMimeType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";

// True when an XDG mimeapps.list ([Default Applications] or [Added Associations]) or a
// mimeinfo.cache names a desktop application for .xlsx files. Reads files only; starts nothing.
bool isSpreadsheetAppRegistered();

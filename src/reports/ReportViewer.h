// Turns the saved report into the HTML the report page shows.
#pragma once

#include <QString>

namespace xmlreport {

// The report rendered through the stylesheet its xml-stylesheet instruction names: a bare file
// name beside the report, used only when the report's folder is private to the user. The
// documents are parsed without network access, entities or DTDs, and the stylesheet may read
// nothing outside that folder, write no file, create no folder and reach no network. Without
// an instruction, or when the stylesheet is missing, refused or fails, the document itself is
// shown as indented, escaped XML text. Throws AppError when the report file cannot be read as
// XML (a document that declares a DTD included).
QString reportHtml(const QString &xmlPath);

// The HTML for a document shown as text: escaped and in a fixed-width font.
QString plainXmlHtml(const QString &xmlText);

} // namespace xmlreport

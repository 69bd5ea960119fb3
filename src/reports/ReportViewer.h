// Turns the saved report into the HTML the report page shows.
#pragma once

#include <QString>

namespace xmlreport {

// The report rendered through the stylesheet its xml-stylesheet instruction names (looked up
// beside the report). Without an instruction, or when the stylesheet is missing or fails, the
// document itself is shown as indented, escaped XML text. Throws AppError when the report
// file cannot be read as XML.
QString reportHtml(const QString &xmlPath);

// The HTML for a document shown as text: escaped and in a fixed-width font.
QString plainXmlHtml(const QString &xmlText);

} // namespace xmlreport

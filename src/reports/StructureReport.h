// Writing the structure report: OVS.xml in the program's private temporary folder, with a
// copy of the installed OVS.xsl beside it.
#pragma once

#include "reports/ReportDocument.h"

#include <QList>
#include <QString>

#include <functional>

namespace xmlreport {

inline constexpr const char *kReportFileName = "OVS.xml";
inline constexpr const char *kStylesheetFileName = "OVS.xsl";

struct ReportTable
{
    QString schema;
    QString name;
};

struct StructureReportInput
{
    QString tempFolder; // where OVS.xml (and the stylesheet copy) go: a folder private to the user
    QString appFolder;  // where OVS.xsl is installed
    QString databaseName;
    QString serverVersion;
};

// Builds and saves the report. listTables gives the tables and views in catalogue order;
// describe appends the field elements of one table to the document's current table.
// Returns the saved file's path, or an empty string when the temporary folder does not exist.
// Errors (document, listing, describing, saving) are thrown and nothing is saved.
QString writeStructureReport(const StructureReportInput &input,
                             const std::function<QList<ReportTable>()> &listTables,
                             const std::function<void(const ReportTable &, ReportDocument &)> &describe);

} // namespace xmlreport

#include "reports/StructureReport.h"

#include "common/FileLayer.h"

#include <QDir>
#include <QFileInfo>

namespace xmlreport {

namespace {

QString inFolder(const QString &folder, const char *fileName)
{
    return QDir(folder).filePath(QString::fromLatin1(fileName));
}

} // namespace

QString writeStructureReport(const StructureReportInput &input,
                             const std::function<QList<ReportTable>()> &listTables,
                             const std::function<void(const ReportTable &, ReportDocument &)> &describe)
{
    if (input.tempFolder.isEmpty() || !QFileInfo(input.tempFolder).isDir())
        return QString();

    ReportDocument document(input.databaseName, input.serverVersion);

    const QString stylesheet = inFolder(input.appFolder, kStylesheetFileName);
    if (!input.appFolder.isEmpty() && fileLayer().exists(stylesheet)) {
        // A failed copy is not reported: the browser then shows the plain document.
        fileLayer().copy(stylesheet, inFolder(input.tempFolder, kStylesheetFileName));
        document.addStylesheet(QString::fromLatin1(kStylesheetFileName));
    }

    const QList<ReportTable> tables = listTables();
    for (const ReportTable &table : tables) {
        document.beginTable(table.name);
        describe(table, document);
    }

    const QString path = inFolder(input.tempFolder, kReportFileName);
    document.save(path);
    return path;
}

} // namespace xmlreport

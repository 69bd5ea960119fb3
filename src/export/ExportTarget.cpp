#include "export/ExportTarget.h"

#include "common/SafeFile.h"

#include <QDir>
#include <QFileInfo>

namespace {

const ExportFormat kFormats[] = {ExportFormat::Csv, ExportFormat::Workbook, ExportFormat::JsonLines};

} // namespace

QString exportExtension(ExportFormat format)
{
    switch (format) {
    case ExportFormat::Csv:
    case ExportFormat::CsvForSpreadsheets:
        return QStringLiteral("csv");
    case ExportFormat::Workbook:
        return QStringLiteral("xlsx");
    case ExportFormat::JsonLines:
        return QStringLiteral("jsonl");
    }
    return QString();
}

ExportTarget exportTarget(const QString &fileName, ExportFormat chosen)
{
    const qsizetype slash = fileName.lastIndexOf(u'/');
    const qsizetype dot = fileName.lastIndexOf(u'.');
    // Only a dot inside the file's own name, after its first character, starts an extension.
    if (dot <= slash + 1)
        return {fileName + u'.' + exportExtension(chosen), chosen};
    const QString extension = fileName.mid(dot + 1);
    for (const ExportFormat format : kFormats) {
        if (extension.compare(exportExtension(format), Qt::CaseInsensitive) == 0) {
            const bool keepsMark = format == ExportFormat::Csv && chosen == ExportFormat::CsvForSpreadsheets;
            return {fileName, keepsMark ? chosen : format};
        }
    }
    return {fileName, chosen};
}

QString proposedExportName(const QString &folder, const QString &base)
{
    const QDir dir(folder);
    for (int n = 1;; ++n) {
        const QString stem = base + QString::number(n) + u'.';
        bool taken = false;
        for (const ExportFormat format : kFormats)
            taken = taken || nameIsTaken(dir.filePath(stem + exportExtension(format)));
        if (!taken)
            return stem + exportExtension(ExportFormat::Csv);
    }
}

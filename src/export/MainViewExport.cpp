// The Export data command of the main window: the statement of the result on show, or a query
// of the table selected in the tree, run again on the connection's worker with its rows streamed
// straight into a file.
#include "shell/UMainView.h"

#include "common/ErrorText.h"
#include "common/PrivateFolder.h"
#include "export/ExportJob.h"
#include "export/ExportTarget.h"
#include "export/RerunCheck.h"
#include "query/Query.h"
#include "query/SqlQuoting.h"
#include "reports/PathText.h"
#include "shell/BusyCursor.h"
#include "shell/Language.h"
#include "shell/MessageDialog.h"
#include "shell/Prompt.h"
#include "shell/texts/UiTexts.h"

#include <QDir>
#include <QFileInfo>
#include <QTreeWidget>

namespace {

struct ExportFileType
{
    ExportFormat format;
    QString filter;
};

QList<ExportFileType> exportFileTypes(const UiTexts &t)
{
    return {{ExportFormat::Csv, t.exportFilterCsv},
            {ExportFormat::CsvForSpreadsheets, t.exportFilterCsvBom},
            {ExportFormat::Workbook, t.exportFilterWorkbook},
            {ExportFormat::JsonLines, t.exportFilterJsonLines}};
}

ExportFormat formatOfFilter(const QString &filter, const UiTexts &t)
{
    for (const ExportFileType &type : exportFileTypes(t)) {
        if (type.filter == filter)
            return type.format;
    }
    return ExportFormat::Csv;
}

} // namespace

void TMainView::ExportCommand()
{
    const UiTexts &t = uiTexts();

    // The result on show comes first; without one, the table selected in the tree.
    QString sql;
    if (ADOQuery1->isOpen()) {
        sql = ADOQuery1->sql();
    } else if (const QTreeWidgetItem *node = TreeView1->currentItem();
               node && node->isSelected() && node->parent() && !node->parent()->parent()) {
        const QString name = node->text(0);
        const QString schema = node->data(0, Qt::UserRole).toString();
        QList<IndexInfo> indexes;
        QString defaultSchema;
        try {
            ADOConnection1->run([&] {
                indexes = ADOConnection1->tableMetadata(schema, name).indexes;
                defaultSchema = ADOConnection1->defaultSchema();
            });
        } catch (const std::exception &e) {
            // Nothing is exported from an object that cannot be read.
            reportObjectError(name, e);
            return;
        }
        const SqlComposer composer(IsPostgreSql ? SqlDialect::PostgreSql : ADOConnection1->dialect(),
                                   defaultSchema);
        sql = composer.selectWholeTable(schema, name, indexes).join(u'\n');
    }
    if (sql.trimmed().isEmpty()) {
        reportError(t.exportNothing);
        return;
    }
    if (rerunMayChangeData(sql) &&
        showMessageDialog(t.exportRerunQuestion, mtConfirmation, mbYes | mbNo, 0, this) != mrYes)
        return;

    // The name is proposed as a new profile's is; the folder is the last export's, at first the
    // current one (where the proposal looks).
    const QString folder = m_exportFolder.isEmpty() ? QDir::currentPath() : m_exportFolder;
    FileDialogOptions options;
    options.caption = t.exportCaption;
    options.folder = folder;
    options.fileName = proposedExportName(folder, TextUndefined);
    QStringList filters;
    for (const ExportFileType &type : exportFileTypes(t))
        filters.append(type.filter);
    options.filter = filters.join(QStringLiteral(";;"));
    const std::optional<SaveAnswer> answer = prompt().saveFileAndType(this, options);
    if (!answer)
        return;
    const ExportTarget target =
        exportTarget(QDir(folder).absoluteFilePath(answer->fileName), formatOfFilter(answer->filter, t));
    m_exportFolder = QFileInfo(target.path).absolutePath();
    if (QFileInfo::exists(target.path) &&
        showMessageDialog(withPath(TextFileExists, QFileInfo(target.path).fileName()), mtConfirmation,
                          mbYes | mbNo, 0, this) != mrYes)
        return;

    const QString shown = QDir::toNativeSeparators(target.path);
    LogMessage(t.exportStarted.arg(shown));
    BusyCursor busy(Qt::BusyCursor);
    try {
        // Until commit() the rows go to a new file beside the target; leaving this block any other
        // way removes it.
        ExportJob job(target, privateTempFolder());
        const bool complete = ADOConnection1->streamRows(
            sql, [&job](const QList<FieldInfo> &fields) -> CellSink & { return job.startResult(fields); });
        if (!complete) {
            LogMessage(t.exportCancelled.arg(shown));
            return;
        }
        job.commit();
        LogMessage(t.exportDone.arg(shown, QString::number(job.rows())));
        const ExportWriter &writer = *job.writer();
        for (const CutCell &cut : writer.cutCells())
            LogMessage(t.exportCut.arg(QString::number(cut.row), cut.column));
        if (writer.cutCount() > writer.cutCells().size())
            LogMessage(t.exportCutMore.arg(writer.cutCount() - writer.cutCells().size()));
    } catch (const std::exception &e) {
        reportError(t.exportFailed.arg(shown, errorText(e)));
    }
}

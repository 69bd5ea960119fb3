#include "window/ExportCommands.h"

#include "common/ErrorText.h"
#include "common/PrivateFolder.h"
#include "common/SafeFile.h"
#include "export/ExportJob.h"
#include "export/ExportTarget.h"
#include "export/RerunCheck.h"
#include "query/SqlQuoting.h"
#include "reports/PathText.h"
#include "shell/BusyCursor.h"
#include "shell/Language.h"
#include "shell/MessageDialog.h"
#include "window/Session.h"
#include "window/TableCommands.h"
#include "window/Workspace.h"
#include "window/panes/CataloguePane.h"

#include <QDir>
#include <QFileInfo>

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

ExportCommands::ExportCommands(Workspace &workspace, TableCommands &tables)
    : m_workspace(workspace), m_tables(tables)
{
}

std::optional<QString> ExportCommands::statement()
{
    Session &session = m_workspace.session;
    // The result on show comes first; without one, the table selected in the tree.
    if (session.query().isOpen())
        return session.query().sql();
    const std::optional<CataloguePane::Table> table = m_workspace.catalogue.selectedTable();
    if (!table)
        return QString();
    Connection &connection = session.connection();
    TableMetadata metadata;
    QString defaultSchema;
    try {
        connection.run([&] {
            metadata = connection.tableMetadata(table->schema, table->name);
            defaultSchema = connection.defaultSchema();
        });
    } catch (const std::exception &e) {
        // Nothing is exported from an object that cannot be read.
        m_tables.reportObjectError(table->name, e);
        return std::nullopt;
    }
    const SqlComposer composer(session.sqlDialect(), defaultSchema);
    return composer.selectWholeTable(table->schema, table->name, metadata).join(u'\n');
}

void ExportCommands::exportData()
{
    const UiTexts &t = uiTexts();
    const std::optional<QString> sql = statement();
    if (!sql)
        return;
    if (sql->trimmed().isEmpty()) {
        m_workspace.reportError(t.exportNothing);
        return;
    }
    if (rerunMayChangeData(*sql) && showMessageDialog(t.exportRerunQuestion, mtConfirmation, mbYes | mbNo, 0,
                                                      m_workspace.window()) != mrYes)
        return;

    // The name is proposed as a new profile's is; the folder is the last export's, at first the
    // current one (where the proposal looks).
    const QString folder = m_folder.isEmpty() ? QDir::currentPath() : m_folder;
    FileDialogOptions options;
    options.caption = t.exportCaption;
    options.folder = folder;
    options.fileName = proposedExportName(folder, t.undefinedName);
    QStringList filters;
    for (const ExportFileType &type : exportFileTypes(t))
        filters.append(type.filter);
    options.filter = filters.join(QStringLiteral(";;"));
    const std::optional<SaveAnswer> answer = prompt().saveFileAndType(m_workspace.window(), options);
    if (!answer)
        return;
    const ExportTarget target =
        exportTarget(QDir(folder).absoluteFilePath(answer->fileName), formatOfFilter(answer->filter, t));
    m_folder = QFileInfo(target.path).absolutePath();
    if (nameIsTaken(target.path) &&
        showMessageDialog(withPath(t.fileExistsQuestion, QFileInfo(target.path).fileName()), mtConfirmation,
                          mbYes | mbNo, 0, m_workspace.window()) != mrYes)
        return;

    const QString shown = QDir::toNativeSeparators(target.path);
    m_workspace.log(t.exportStarted.arg(shown));
    BusyCursor busy(Qt::BusyCursor);
    try {
        // Until commit() the rows go to a new file beside the target; leaving this block any other
        // way removes it.
        ExportJob job(target, privateTempFolder());
        const bool complete = m_workspace.session.connection().streamRows(
            *sql, [&job](const QList<FieldInfo> &fields) -> CellSink & { return job.startResult(fields); });
        if (!complete) {
            m_workspace.log(t.exportCancelled.arg(shown));
            return;
        }
        if (!job.hasResult()) {
            // An empty file would pass for an export: the old one stays.
            m_workspace.reportError(t.exportNoRows.arg(shown));
            return;
        }
        // A workbook is zipped now, which takes long for a big one: off the window's thread,
        // with progress and a Cancel that leaves the old file.
        bool committed = false;
        const auto commit = [&job, &committed] { committed = job.commit(); };
        m_workspace.session.connection().runAside(commit, [&job] { job.abandon(); });
        if (!committed) {
            m_workspace.log(t.exportCancelled.arg(shown));
            return;
        }
        m_workspace.log(t.exportDone.arg(shown, QString::number(job.rows())));
        const ExportWriter &writer = *job.writer();
        for (const CutCell &cut : writer.cutCells())
            m_workspace.log(t.exportCut.arg(QString::number(cut.row), cut.column));
        if (writer.cutCount() > writer.cutCells().size())
            m_workspace.log(t.exportCutMore.arg(writer.cutCount() - writer.cutCells().size()));
        if (!job.notOnDisk().isEmpty())
            m_workspace.log(t.fileNotOnDisk.arg(shown, job.notOnDisk()));
    } catch (const std::exception &e) {
        m_workspace.reportError(t.exportFailed.arg(shown, errorText(e)));
    }
}

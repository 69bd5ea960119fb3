// TMainView operations of the structure and SQL subsystem.
#include "shell/UMainView.h"

#include "common/ErrorText.h"
#include "connection/CatalogueReader.h"
#include "editor/SqlEditor.h"
#include "maintenance/Statistics.h"
#include "query/GridColumnFit.h"
#include "query/MemoEditor.h"
#include "query/Query.h"
#include "query/ReportSink.h"
#include "query/RunStatus.h"
#include "query/SqlQuoting.h"
#include "query/TableDescription.h"
#include "query/TableReader.h"
#include "shell/BusyCursor.h"
#include "shell/MessageDialog.h"
#include "shell/Prompt.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBlock>
#include <QToolButton>
#include <QTreeWidget>

namespace {

QStringList scratchLines(const QPlainTextEdit *pane)
{
    QStringList lines;
    if (pane->document()->isEmpty())
        return lines;
    for (QTextBlock block = pane->document()->begin(); block.isValid(); block = block.next())
        lines.append(block.text());
    return lines;
}

void setScratchLines(QPlainTextEdit *pane, const QStringList &lines)
{
    pane->clear();
    for (const QString &line : lines)
        pane->appendPlainText(line);
}

} // namespace

void TMainView::reportObjectError(const QString &objectName, const std::exception &e)
{
    // Cancel is the user's own choice: noted, without the error's beep.
    if (ADOConnection1->cancelRequested())
        LogMessage(errorText(e));
    else
        reportError(objectErrorText(objectName, errorText(e)));
}

void TMainView::DescribeTable(QObject *target, const QString &tableName, const QString &schema)
{
    const bool grid = target == TreeView1;
    TableDescription description;
    if (!grid && m_report.object) {
        const CatalogueObject &object = *m_report.object;
        description = TableDescription::fromCatalogue(schema, tableName, object.columns, object.primaryKeys,
                                                      object.foreignKeys);
    } else {
        ADOTable1->tableName = tableName;
        // The key errors come from the worker; they are shown once the work is over.
        QStringList keyErrors;
        try {
            description = TableDescription::read(
                *ADOConnection1, schema, tableName,
                [&] {
                    ADOTable1->readDefinitions(schema, tableName);
                    return ADOTable1->metadata().fields;
                },
                [&keyErrors](const QString &text) { keyErrors.append(text); });
        } catch (const std::exception &e) {
            // A broken object fails its key reads for the same reason: that line is said once.
            const QString own = objectErrorText(tableName, errorText(e));
            for (const QString &text : std::as_const(keyErrors)) {
                if (text != own)
                    LogMessage(text);
            }
            if (!grid)
                throw;
            // The grid shows no rows of an object that cannot be read.
            StringGrid1->setRowCount(1);
            reportObjectError(tableName, e);
            return;
        }
        for (const QString &text : std::as_const(keyErrors))
            LogMessage(text);
    }

    if (!grid) {
        if (m_report.sink) {
            for (const ReportField &field : description.reportFields())
                m_report.sink->addField(field);
        }
        return;
    }

    const QList<StructureRow> rows = description.gridRows();
    const QFontMetrics metrics(font());
    int nameWidth = 150;
    // Row 0 is the header row written by ResetStructureGrid.
    StringGrid1->setRowCount(int(rows.size()) + 1);
    for (int i = 0; i < rows.size(); ++i) {
        const int r = i + 1;
        const StructureRow &row = rows[i];
        const QString cells[] = {row.key, row.name, row.type, row.size, row.null};
        for (int c = 0; c < 5; ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            StringGrid1->setItem(r, c, item);
        }
        nameWidth = std::max(nameWidth, metrics.horizontalAdvance(row.name) + 4);
    }
    StringGrid1->setColumnWidth(1, nameWidth);
}

void TMainView::RunSql()
{
    const QString text = SynEdit1->text();
    BusyCursor cursor(Qt::BusyCursor);
    try {
        try {
            ADOQuery1->close();
            ADOQuery1->setSql(QString());
            ADOQuery1->setSql(text);
            // Whether rows came back decides between query and command, not the first word.
            if (ADOQuery1->run()) {
                const Recordset *rows = ADOQuery1->recordset();
                if (ADOQuery1->isFetching())
                    showFetchStatus(); // the runner's text follows once the rows are in
                else
                    setStatusText(selectedRecordsText(
                        rows->rowCount(), rows->incomplete() ? RowsEnd::Cancelled : RowsEnd::Complete));
            } else {
                setStatusText(affectedRecordsText(ADOQuery1->recordsAffected()));
            }
        } catch (const std::exception &e) {
            reportError(errorText(e));
        }
    } catch (const std::exception &e) {
        prompt().beep();
        showMessageDialog(errorText(e), mtError, mbOK, 0, this);
        setStatusText(QString());
    }
}

void TMainView::TreeView1DblClick()
{
    QTreeWidgetItem *node = TreeView1->currentItem();
    if (!node || !node->isSelected() || !node->parent() || node->parent()->parent())
        return;
    const QString name = node->text(0);
    const QString schema = node->data(0, Qt::UserRole).toString();
    if (!postPendingEdit())
        return;
    endFetch(FetchRule::Cancel);

    // The memo editor must not keep a field of rows the new query is about to replace.
    if (m_memoEditor)
        m_memoEditor->detach();

    ADOTable1->tableName = name;
    QString defaultSchema;
    try {
        ADOConnection1->run([&] {
            ADOTable1->readDefinitions(schema, name);
            defaultSchema = ADOConnection1->defaultSchema();
        });
    } catch (const std::exception &e) {
        // Nothing is composed for an object that cannot be read; the editor keeps its text.
        reportObjectError(name, e);
        return;
    }

    const SqlComposer sql(IsPostgreSql ? SqlDialect::PostgreSql : ADOConnection1->dialect(), defaultSchema);
    setScratchLines(RichEdit1, sql.selectWholeTable(schema, name, ADOTable1->metadata().indexes));
    SynEdit1->setText(RichEdit1->toPlainText());

    // Pressing the button goes through the dispatcher as a click by the user would.
    if (btRun->isEnabled())
        btRun->click();
    else
        AnyClick(btRun);
}

void TMainView::StatsCommand()
{
    RichEdit1->clear();
    QString database;
    QStringList sqliteLines;
    QStringList skipped;
    if (IsMySql || IsSqlite) {
        try {
            ADOConnection1->run([&] {
                if (IsMySql)
                    database = ADOConnection1->defaultDatabase();
                if (IsSqlite)
                    sqliteLines = statistics::sqliteText(*ADOConnection1, skipped);
            });
        } catch (const std::exception &e) {
            if (!ADOConnection1->cancelRequested())
                throw;
            LogMessage(errorText(e));
            return;
        }
    }
    for (const QString &text : std::as_const(skipped))
        LogMessage(text);
    QStringList lines;
    if (IsSqlServer)
        lines += statistics::sqlServerText();
    if (IsMySql)
        lines += statistics::mySqlText(database);
    lines += sqliteLines;
    setScratchLines(RichEdit1, lines);

    SynEdit1->clear();
    const QStringList composed = scratchLines(RichEdit1);
    for (const QString &line : composed)
        SynEdit1->appendLine(line);
    if (composed.isEmpty())
        return;

    RunSql();
    // The widths are fitted to the whole result, which is small: its last rows are waited for.
    endFetch(FetchRule::Wait);

    if (const Recordset *rows = ADOQuery1->recordset()) {
        const int field = rows->fieldIndex(QStringLiteral("TableName"));
        if (field >= 0)
            ADOQuery1->setTag(field, QFontMetrics(font()).horizontalAdvance(rows->fields()[field].name) + 5);
    }
    fitGridColumns(DBGrid1);
    PageControl1->setCurrentWidget(TabSheet2);
}

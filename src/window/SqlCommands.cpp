#include "window/SqlCommands.h"

#include "common/ErrorText.h"
#include "editor/SqlEditor.h"
#include "maintenance/Statistics.h"
#include "query/CellValues.h"
#include "query/FieldTypes.h"
#include "query/GridColumnFit.h"
#include "query/MemoEditor.h"
#include "query/ResultGrid.h"
#include "query/ResultModel.h"
#include "query/ResultShaper.h"
#include "query/RowEditor.h"
#include "query/RunStatus.h"
#include "shell/BusyCursor.h"
#include "shell/Guard.h"
#include "shell/Language.h"
#include "shell/MessageDialog.h"
#include "window/Session.h"
#include "window/Workspace.h"
#include "window/panes/SqlPage.h"
#include "window/panes/StatusBarPane.h"

#include <QFontMetrics>

namespace {

bool isMemoField(const FieldInfo &field)
{
    const QString type = fieldTypeName(field);
    return type == QLatin1String("Memo") || type == QLatin1String("WideMemo");
}

} // namespace

SqlCommands::SqlCommands(Workspace &workspace) : m_workspace(workspace)
{
    Query &query = m_workspace.session.query();
    // The SQL runner's results show their first rows at once; the rest stream in.
    query.setStreaming(true);
    QObject::connect(&query, &Query::rowsArrived, &query, [this] { showFetchStatus(); });
    QObject::connect(&query, &Query::fetchEnded, &query, [this] { guarded([this] { onFetchEnded(); }); });

    RowEditor *editor = m_workspace.sql.model()->editor();
    editor->setErrorHandler([this](const QString &text) { m_workspace.reportError(text); });
    // The grid's own notes go to the log; a sort or filter changes what the status bar counts.
    ResultGrid *grid = m_workspace.sql.grid();
    QObject::connect(grid, &ResultGrid::notice, grid, [this](const QString &text) { m_workspace.log(text); });
    QObject::connect(grid, &ResultGrid::shapeChanged, grid, [this] {
        if (!m_workspace.session.query().isFetching())
            showRowsStatus();
    });
    // Numbers are typed the way the interface language writes them.
    editor->setLocaleProvider([] { return CellValues::localeForLanguage(uiLanguage()); });
}

bool SqlCommands::postPendingEdit()
{
    RowEditor &editor = *m_workspace.sql.model()->editor();
    // A refused value or a failed post has been reported (beep, Messages page, log) and stays on
    // screen; the command that asked does not run.
    if (!m_workspace.sql.grid()->commitEditor())
        return false;
    if (editor.post())
        return true;
    const Connection &connection = m_workspace.session.connection();
    return !connection.isOpen() && connection.connectionLost() && editor.state() == RowEditor::State::Browse;
}

void SqlCommands::endFetch(FetchRule rule)
{
    if (rule != FetchRule::None)
        m_workspace.session.query().finishFetch(rule == FetchRule::Cancel);
}

void SqlCommands::cancelFetch()
{
    m_workspace.session.query().cancelFetch();
}

void SqlCommands::showFetchStatus()
{
    Query &query = m_workspace.session.query();
    if (!query.isFetching()) {
        m_workspace.status.setCancelVisible(false);
        return;
    }
    m_workspace.status.setText(uiTexts().fetchingRecords.arg(query.rowCount()));
    m_workspace.status.setCancelVisible(true);
}

void SqlCommands::onFetchEnded()
{
    m_workspace.status.setCancelVisible(false);
    const Query &query = m_workspace.session.query();
    if (!query.recordset())
        return;
    showRowsStatus();
    // The rows so far stay on show; the failure is reported as a failed run is.
    if (!query.fetchError().isEmpty())
        m_workspace.reportError(query.fetchError());
}

void SqlCommands::showRowsStatus()
{
    const Query &query = m_workspace.session.query();
    const Recordset *rows = query.recordset();
    if (!rows)
        return;
    // While the grid filters the rows, how many match of how many.
    const QString matching = m_workspace.sql.model()->shaper()->matchText();
    if (!matching.isEmpty()) {
        m_workspace.status.setText(matching);
        return;
    }
    const QString error = query.fetchError();
    const RowsEnd end =
        !rows->incomplete() ? RowsEnd::Complete : (error.isEmpty() ? RowsEnd::Cancelled : RowsEnd::Failed);
    m_workspace.status.setText(selectedRecordsText(rows->rowCount(), end));
}

void SqlCommands::runSql()
{
    runText(m_workspace.sql.editor()->text());
}

SqlRunResult SqlCommands::runText(const QString &text)
{
    Query &query = m_workspace.session.query();
    SqlRunResult result;
    BusyCursor cursor(Qt::BusyCursor);
    try {
        try {
            query.close();
            query.setSql(QString());
            query.setSql(text);
            // Whether rows came back decides between query and command, not the first word.
            if (query.run()) {
                const Recordset *rows = query.recordset();
                if (query.isFetching())
                    showFetchStatus(); // the runner's text follows once the rows are in
                else
                    m_workspace.status.setText(selectedRecordsText(
                        rows->rowCount(), rows->incomplete() ? RowsEnd::Cancelled : RowsEnd::Complete));
            } else {
                m_workspace.status.setText(affectedRecordsText(query.recordsAffected()));
            }
        } catch (const std::exception &e) {
            result.failed = true;
            if (const auto *error = dynamic_cast<const DataAccessError *>(&e))
                result.errorPosition = error->position();
            m_workspace.reportError(errorText(e));
        }
    } catch (const std::exception &e) {
        result.failed = true;
        prompt().beep();
        showMessageDialog(errorText(e), mtError, mbOK, 0, m_workspace.window());
        m_workspace.status.setText(QString());
    }
    return result;
}

void SqlCommands::showStatistics()
{
    Session &session = m_workspace.session;
    Connection &connection = session.connection();
    const SessionFacts &facts = session.facts;
    SqlPage &page = m_workspace.sql;
    page.clearScratch();
    QString database;
    QStringList sqliteLines;
    QStringList skipped;
    if (facts.isMySql || facts.isSqlite) {
        try {
            connection.run([&] {
                if (facts.isMySql)
                    database = connection.defaultDatabase();
                if (facts.isSqlite)
                    sqliteLines = statistics::sqliteText(connection, skipped);
            });
        } catch (const std::exception &e) {
            if (!connection.cancelRequested())
                throw;
            m_workspace.log(errorText(e));
            return;
        }
    }
    for (const QString &text : std::as_const(skipped))
        m_workspace.log(text);
    QStringList lines;
    if (facts.isSqlServer)
        lines += statistics::sqlServerText();
    if (facts.isMySql)
        lines += statistics::mySqlText(database);
    lines += sqliteLines;
    page.setScratchLines(lines);

    page.editor()->clear();
    const QStringList composed = page.scratchLines();
    for (const QString &line : composed)
        page.editor()->appendLine(line);
    if (composed.isEmpty())
        return;

    runSql();
    // The widths are fitted to the whole result, which is small: its last rows are waited for.
    endFetch(FetchRule::Wait);

    Query &query = session.query();
    if (const Recordset *rows = query.recordset()) {
        const int field = rows->fieldIndex(QStringLiteral("TableName"));
        if (field >= 0)
            query.setTag(
                field,
                QFontMetrics(m_workspace.window()->font()).horizontalAdvance(rows->fields()[field].name) + 5);
    }
    fitGridColumns(page.grid());
    m_workspace.showPage(Page::Sql);
}

void SqlCommands::openMemoEditor()
{
    MemoEditor *memo = m_workspace.memoEditor;
    ResultGrid *grid = m_workspace.sql.grid();
    ResultModel *model = m_workspace.sql.model();
    const int field = grid->selectedField();
    const Recordset *recordset = m_workspace.session.query().recordset();
    if (field < 0 || !recordset || !memo)
        return;
    // Text that the one-line cell editor would cut or flatten is edited here as well.
    const QModelIndex cell = grid->currentIndex();
    const bool wholeTextOnly = cell.isValid() && cell.data(Qt::EditRole).typeId() == QMetaType::QString &&
                               !model->fitsCellEditor(cell.row(), cell.column());
    if (!isMemoField(recordset->fields().at(field)) && !wholeTextOnly)
        return;
    const QWidget *window = m_workspace.window();
    memo->resize(qMax(window->width() * 40 / 100, memo->minimumWidth()),
                 qMax(window->height() * 40 / 100, memo->minimumHeight()));
    memo->setWindowTitle(MemoEditor::captionFor(recordset->fields().at(field).name));
    memo->bind(model, field);
    memo->centreOver(window);
    prompt().showModal(memo);
}

void SqlCommands::recordAction(RecordNavigator::Button button)
{
    m_workspace.sql.navigator()->click(button);
}

#include "window/WorkbenchCommands.h"

#include "common/ErrorText.h"
#include "connection/CatalogueReader.h"
#include "editor/EditorFindBar.h"
#include "editor/HistoryWindow.h"
#include "editor/SqlEditor.h"
#include "editor/StatementSplitter.h"
#include "query/RunStatus.h"
#include "query/ScriptLog.h"
#include "query/ScriptRunner.h"
#include "shell/Guard.h"
#include "shell/Language.h"
#include "shell/MessageDialog.h"
#include "shell/Prompt.h"
#include "shell/texts/UiTexts.h"
#include "shell/texts/WorkbenchTexts.h"
#include "window/Session.h"
#include "window/SqlCommands.h"
#include "window/Workspace.h"
#include "window/panes/SqlPage.h"
#include "window/panes/StatusBarPane.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLineEdit>

#include <algorithm>

namespace {

const WorkbenchTexts &workbenchTexts()
{
    return workbenchTextsFor(uiLanguage());
}

bool isBlank(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
}

QString columnKey(const QString &schema, const QString &table)
{
    return schema + QChar(u'\x1f') + table;
}

} // namespace

WorkbenchCommands::WorkbenchCommands(Workspace &workspace, SqlCommands &sql)
    : m_workspace(workspace)
    , m_sql(sql)
    , m_history(QueryHistory::defaultPath())
    , m_textStore(EditorTextStore::defaultFolder())
{
    QString error;
    if (!m_history.load(&error))
        m_workspace.log(workbenchTexts().historyFailedToRead.arg(error));
    editor().setHistory(&m_history);

    m_completion.setColumnReader([this](const QString &schema, const QString &table) {
        readColumnsLater(schema, table);
        return std::optional<QStringList>();
    });
    editor().setCompletionSource(&m_completion);

    Query &query = m_workspace.session.query();
    m_fetchEnded = QObject::connect(&query, &Query::fetchEnded, &query,
                                    [this] { guarded([this] { recordArrivedRows(); }); });

    m_workspace.catalogueRead = [this](const Catalogue &catalogue) { catalogueRead(catalogue); };
    m_workspace.sessionShown = [this] { sessionShown(); };
    m_workspace.workAreaResetting = [this] { workAreaResetting(); };
}

WorkbenchCommands::~WorkbenchCommands()
{
    QObject::disconnect(m_fetchEnded);
    m_workspace.catalogueRead = nullptr;
    m_workspace.sessionShown = nullptr;
    m_workspace.workAreaResetting = nullptr;
    editor().setCompletionSource(nullptr);
    editor().setHistory(nullptr);
}

SqlEditor &WorkbenchCommands::editor() const
{
    return *m_workspace.sql.editor();
}

void WorkbenchCommands::applyTexts(const WorkbenchTexts &t)
{
    editor().setTexts(t);
    if (m_historyWindow)
        m_historyWindow->setTexts(t);
}

void WorkbenchCommands::nothingToRun()
{
    prompt().beep();
    m_workspace.status.setText(workbenchTexts().nothingToRun);
}

void WorkbenchCommands::runWholeText()
{
    SqlStatement whole;
    whole.text = editor().text();
    whole.end = whole.terminatorEnd = whole.text.size();
    runThroughQuery(whole, whole.text);
}

void WorkbenchCommands::runStatement()
{
    SqlEditor &ed = editor();
    const QString text = ed.text();
    const auto [from, to] = ed.selectionIndexes();
    std::optional<SqlStatement> statement;
    if (to > from && !isBlank(QStringView(text).sliced(from, to - from))) {
        statement.emplace();
        statement->start = from;
        statement->end = statement->terminatorEnd = to;
        statement->line = ScriptRunner::lineAt(text, from);
        statement->text = text.sliced(from, to - from);
    } else {
        statement = StatementSplitter(m_workspace.session.sqlDialect()).statementAt(text, ed.cursorIndex());
    }
    if (!statement) {
        nothingToRun();
        return;
    }
    ed.clearMarks();
    ed.flashRange(statement->start, statement->end);
    runThroughQuery(*statement, text);
}

void WorkbenchCommands::runThroughQuery(const SqlStatement &statement, const QString &text)
{
    Session &session = m_workspace.session;
    HistoryEntry entry;
    entry.time = QDateTime::currentDateTime();
    entry.source = historySource();
    entry.sql = statement.text;
    QElapsedTimer timer;
    timer.start();
    const SqlRunResult result = m_sql.runText(statement.text);
    entry.failed = result.failed;
    Query &query = session.query();
    if (!result.failed && query.isFetching()) {
        m_arriving = entry;
        m_arrivingTimer = timer;
    } else {
        entry.elapsedMs = timer.elapsed();
        if (!result.failed)
            entry.rows = query.isOpen() ? query.rowCount() : query.recordsAffected();
        record(entry);
    }
    if (result.failed && result.errorPosition && session.connection().isOpen()) {
        const ScriptPlace place = ScriptRunner::placeInScript(*result.errorPosition, statement, text);
        editor().markError(place.offset, place.line);
    }
}

void WorkbenchCommands::recordArrivedRows()
{
    if (!m_arriving)
        return;
    HistoryEntry entry = *std::exchange(m_arriving, std::nullopt);
    const Query &query = m_workspace.session.query();
    entry.elapsedMs = m_arrivingTimer.elapsed();
    entry.rows = query.recordset() ? query.recordset()->rowCount() : -1;
    entry.failed = !query.fetchError().isEmpty();
    record(entry);
}

void WorkbenchCommands::runScript()
{
    using Result = StatementOutcome::Result;
    SqlEditor &ed = editor();
    Session &session = m_workspace.session;
    Connection &connection = session.connection();
    const QString script = ed.text();
    const QList<SqlStatement> statements = StatementSplitter(session.sqlDialect()).split(script);
    if (statements.isEmpty()) {
        nothingToRun();
        return;
    }
    ed.clearMarks();
    // The rows on show are the last run's: a script's own rows replace them, or none stay.
    session.query().close();
    HistoryEntry entry;
    entry.time = QDateTime::currentDateTime();
    entry.source = historySource();
    entry.sql = script;
    ScriptResult result =
        ScriptRunner(connection)
            .run(statements, script,
                 m_continueOnError ? ScriptRunner::OnError::Continue : ScriptRunner::OnError::Stop);

    const WorkbenchTexts &t = workbenchTexts();
    for (const QString &line : scriptLog(result, t))
        m_workspace.log(line);
    entry.elapsedMs = result.elapsedMs;
    entry.failed = result.failures > 0;
    if (result.rows) {
        entry.rows = result.rows->rowCount();
    } else {
        for (const StatementOutcome &o : std::as_const(result.outcomes)) {
            if (o.affected >= 0)
                entry.rows = std::max<qint64>(entry.rows, 0) + o.affected;
        }
    }
    record(entry);
    // A lost session has closed the connection and emptied the page.
    if (!connection.isOpen())
        return;

    if (result.rows) {
        const StatementOutcome &shown = result.outcomes[result.rowsOutcome];
        const bool incomplete = result.rows->incomplete();
        session.query().adopt(std::move(result.rows), statements[shown.index].text);
        m_workspace.status.setText(selectedRecordsText(session.query().rowCount(),
                                                       incomplete ? RowsEnd::Cancelled : RowsEnd::Complete));
    } else {
        m_workspace.status.setText(QLatin1Char(' ') + scriptSummary(result, t));
    }
    for (const StatementOutcome &o : std::as_const(result.outcomes)) {
        if (o.result != Result::Failed && o.result != Result::ClientCommand)
            continue;
        const SqlStatement &failed = statements[o.index];
        if (o.errorOffset >= 0 || o.errorLine > 0)
            ed.markError(o.errorOffset, o.errorLine);
        else
            ed.markError(failed.start, failed.line);
        break;
    }
    if (result.failures > 0) {
        prompt().beep();
        m_workspace.showPage(Page::Messages);
    }
}

QString WorkbenchCommands::historySource() const
{
    const QString &file = m_workspace.session.profile.fileName;
    if (!file.isEmpty())
        return QFileInfo(file).fileName();
    // The caption past the program's name: where the database is and its version.
    QString caption = m_workspace.window()->windowTitle();
    const QString program = texts::applicationTitle() + QLatin1Char(' ');
    if (caption.startsWith(program))
        caption.remove(0, program.size());
    return caption;
}

void WorkbenchCommands::record(const HistoryEntry &entry)
{
    QString error;
    if (!m_history.add(entry, &error))
        m_workspace.log(workbenchTexts().historyFailedToWrite.arg(error));
    if (m_historyWindow)
        m_historyWindow->reload();
}

void WorkbenchCommands::find()
{
    m_workspace.showPage(Page::Sql);
    editor().findBar()->open();
}

void WorkbenchCommands::openFile()
{
    m_workspace.showPage(Page::Sql);
    if (editor().openFile())
        editor().setFocus();
}

void WorkbenchCommands::saveFile()
{
    editor().saveFile();
}

void WorkbenchCommands::saveFileAs()
{
    editor().saveFileAs();
}

void WorkbenchCommands::showHistory()
{
    if (!m_historyWindow) {
        m_historyWindow = new HistoryWindow(&m_history, m_workspace.window());
        m_historyWindow->setObjectName(QStringLiteral("historyWindow"));
        m_historyWindow->setTexts(workbenchTexts());
        QObject::connect(m_historyWindow, &HistoryWindow::entryChosen, m_historyWindow,
                         [this](const QString &sql) {
                             guarded([this, &sql] {
                                 // Without a connection the editor is away; nothing goes into it.
                                 if (!m_workspace.session.connection().isOpen()) {
                                     prompt().beep();
                                     return;
                                 }
                                 m_workspace.showPage(Page::Sql);
                                 editor().replaceText(sql);
                                 m_historyWindow->close();
                                 editor().setFocus();
                             });
                         });
    } else {
        m_historyWindow->reload();
    }
    m_historyWindow->show();
    m_historyWindow->raise();
    m_historyWindow->activateWindow();
    m_historyWindow->filterField()->setFocus();
}

void WorkbenchCommands::catalogueRead(const Catalogue &catalogue)
{
    ++m_catalogueGeneration;
    m_columnReads.clear();
    Session &session = m_workspace.session;
    if (!session.connection().isOpen()) {
        m_completion.clear();
        return;
    }
    QList<CompletionTable> tables;
    tables.reserve(catalogue.objects.size());
    for (const CatalogueObject &object : catalogue.objects) {
        CompletionTable table{object.table.schema, object.table.name, std::nullopt};
        // Columns a cancel or an error left unread are asked for when first wanted.
        if (!object.columns.isEmpty()) {
            QStringList names;
            names.reserve(object.columns.size());
            for (const ColumnInfo &column : object.columns)
                names.append(column.name);
            table.columns = std::move(names);
        }
        tables.append(std::move(table));
    }
    m_completion.setDialect(session.sqlDialect());
    m_completion.setCatalogue(tables, catalogue.defaultSchema);
}

void WorkbenchCommands::readColumnsLater(const QString &schema, const QString &table)
{
    const QString key = columnKey(schema, table);
    if (m_columnReads.contains(key))
        return;
    m_columnReads.insert(key);
    const qsizetype cursor = editor().cursorIndex();
    const int generation = m_catalogueGeneration;
    Connection &connection = m_workspace.session.connection();
    connection.whenIdle([this, life = std::weak_ptr<int>(m_life), &connection, schema, table, key, cursor,
                         generation] {
        if (life.expired())
            return;
        guarded([&] {
            const auto current = [&] { return generation == m_catalogueGeneration && connection.isOpen(); };
            if (!current())
                return;
            QList<ColumnInfo> columns;
            try {
                connection.run([&] { columns = connection.columns(schema, table); });
            } catch (const std::exception &e) {
                // A lost session has closed the connection; a cancel leaves the read for next time.
                if (!current())
                    return;
                if (connection.cancelRequested()) {
                    m_columnReads.remove(key);
                    return;
                }
                m_workspace.log(objectErrorText(table, errorText(e)));
            }
            if (!current())
                return;
            QStringList names;
            for (const ColumnInfo &column : std::as_const(columns))
                names.append(column.name);
            m_completion.addColumns(schema, table, names);
            // The list the user waits for at the same place.
            SqlEditor &ed = editor();
            if (ed.isVisible() && ed.hasFocus() && ed.cursorIndex() == cursor && !ed.completionShown())
                ed.showCompletion(false);
        });
    });
}

QString WorkbenchCommands::profileKey() const
{
    const QString &file = m_workspace.session.profile.fileName;
    return file.isEmpty() ? QString() : QFileInfo(file).absoluteFilePath();
}

void WorkbenchCommands::sessionShown()
{
    if (m_holdsProfileText)
        return;
    QString text;
    QString error;
    if (!m_textStore.load(profileKey(), &text, &error)) {
        m_workspace.log(workbenchTexts().editorTextReadFailed.arg(error));
        return;
    }
    if (!text.isEmpty())
        editor().setText(text);
    m_holdsProfileText = true;
}

void WorkbenchCommands::workAreaResetting()
{
    m_completion.clear();
    ++m_catalogueGeneration;
    m_columnReads.clear();
    if (!std::exchange(m_holdsProfileText, false))
        return;
    QString error;
    if (!m_textStore.save(profileKey(), editor().text(), &error)) {
        prompt().beep();
        showMessageDialog(workbenchTexts().editorTextWriteFailed.arg(error), mtWarning, mbOK, 0,
                          m_workspace.window());
    }
}

#include "window/TableCommands.h"

#include "common/ErrorText.h"
#include "common/PrivateFolder.h"
#include "editor/SqlEditor.h"
#include "query/MemoEditor.h"
#include "query/SqlQuoting.h"
#include "query/TableDescription.h"
#include "reports/SpreadsheetExport.h"
#include "shell/Language.h"
#include "shell/MessageDialog.h"
#include "window/Session.h"
#include "window/Workspace.h"
#include "window/panes/CataloguePane.h"
#include "window/panes/SqlPage.h"
#include "window/panes/StructurePage.h"

#include <QUrl>

TableCommands::TableCommands(Workspace &workspace) : m_workspace(workspace)
{
}

bool TableCommands::tableSelected() const
{
    return m_workspace.catalogue.selectedTable().has_value();
}

void TableCommands::reportObjectError(const QString &objectName, const std::exception &error)
{
    // Cancel is the user's own choice: noted, without the error's beep.
    if (m_workspace.session.connection().cancelRequested())
        m_workspace.log(errorText(error));
    else if (dynamic_cast<const ConnectionLostError *>(&error))
        m_workspace.reportError(errorText(error));
    else
        m_workspace.reportError(objectErrorText(objectName, errorText(error)));
}

TableDescription TableCommands::read(const QString &schema, const QString &name)
{
    Session &session = m_workspace.session;
    TableReader &reader = session.tableReader();
    reader.tableName = name;
    // The key errors come from the worker; they are logged once the work is over.
    QStringList keyErrors;
    TableDescription description;
    try {
        description = TableDescription::read(
            session.connection(), schema, name,
            [&] {
                reader.readDefinitions(schema, name);
                return reader.metadata().fields;
            },
            [&keyErrors](const QString &text) { keyErrors.append(text); });
    } catch (const std::exception &e) {
        // A broken object fails its key reads for the same reason: that line is said once.
        const QString own = objectErrorText(name, errorText(e));
        for (const QString &text : std::as_const(keyErrors)) {
            if (text != own)
                m_workspace.log(text);
        }
        throw;
    }
    for (const QString &text : std::as_const(keyErrors))
        m_workspace.log(text);
    return description;
}

void TableCommands::describeSelectedTable()
{
    if (const std::optional<CataloguePane::Table> table = m_workspace.catalogue.selectedTable()) {
        m_workspace.structure.blankRows();
        describe(table->schema, table->name);
    }
    m_workspace.structure.showGrid();
}

void TableCommands::describe(const QString &schema, const QString &name)
{
    TableDescription description;
    try {
        description = read(schema, name);
    } catch (const std::exception &e) {
        // The grid shows no rows of an object that cannot be read.
        m_workspace.structure.showNoRows();
        reportObjectError(name, e);
        return;
    }
    m_workspace.structure.showRows(description.gridRows());
}

void TableCommands::querySelectedTable()
{
    const std::optional<CataloguePane::Table> table = m_workspace.catalogue.selectedTable();
    if (!table)
        return;
    Session &session = m_workspace.session;
    Connection &connection = session.connection();
    // The memo editor must not keep a field of rows the new query is about to replace.
    if (m_workspace.memoEditor)
        m_workspace.memoEditor->detach();

    TableReader &reader = session.tableReader();
    reader.tableName = table->name;
    QString defaultSchema;
    try {
        connection.run([&] {
            reader.readDefinitions(table->schema, table->name);
            defaultSchema = connection.defaultSchema();
        });
    } catch (const std::exception &e) {
        // Nothing is composed for an object that cannot be read; the editor keeps its text.
        reportObjectError(table->name, e);
        return;
    }

    const SqlComposer sql(session.sqlDialect(), defaultSchema);
    m_workspace.sql.setScratchLines(sql.selectWholeTable(table->schema, table->name, reader.metadata()));
    m_workspace.sql.editor()->setText(m_workspace.sql.scratchLines().join(u'\n'));
    // Run goes through the command table as a click on it would.
    m_workspace.trigger(Command::Run);
}

void TableCommands::sendStructureToSpreadsheet()
{
    if (!m_workspace.spreadsheetAvailable)
        return;
    if (showMessageDialog(uiTexts().sendToSpreadsheetQuestion, mtConfirmation, mbYes | mbNo, 0,
                          m_workspace.window()) != mrYes)
        return;
    // Row 0 of the grid is its header row, in the current language. In the private folder,
    // created new: nothing another user planted is opened or replaced.
    const QString path = writeStructureWorkbook(
        privateTempFolder(), m_workspace.session.tableReader().tableName, m_workspace.structure.rows());
    prompt().openUrl(QUrl::fromLocalFile(path));
}

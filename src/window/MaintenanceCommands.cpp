#include "window/MaintenanceCommands.h"

#include "common/ErrorText.h"
#include "common/FileLayer.h"
#include "db/ConnectionString.h"
#include "maintenance/CompactionEngine.h"
#include "reports/PathText.h"
#include "shell/BusyCursor.h"
#include "shell/Language.h"
#include "shell/MessageDialog.h"
#include "window/Session.h"
#include "window/Workspace.h"

#include <exception>

MaintenanceCommands::MaintenanceCommands(Workspace &workspace) : m_workspace(workspace)
{
}

QString MaintenanceCommands::compactionTarget() const
{
    const SessionFacts &facts = m_workspace.session.facts;
    if (facts.isSqlite && !facts.isAccess) {
        try {
            return ConnectionString(m_workspace.session.connection().connectionString())
                .value(QStringLiteral("Data Source"));
        } catch (const std::exception &) {
            return QString();
        }
    }
    return facts.databaseFileName;
}

void MaintenanceCommands::compact()
{
    Connection &connection = m_workspace.session.connection();
    const QString target = compactionTarget();
    if (showMessageDialog(withPath(uiTexts().compactQuestion, target), mtConfirmation, mbYes | mbNo, 0,
                          m_workspace.window()) != mrYes)
        return;

    BusyCursor busy;
    const QString connectionString = connection.connectionString();
    if (connection.isOpen())
        connection.close();

    // Whatever compactDatabase throws (an engine that cannot be created) is reported only after
    // the database is open again.
    std::exception_ptr compactionError;
    try {
        compactDatabase(target);
    } catch (...) {
        compactionError = std::current_exception();
    }

    try {
        connection.setConnectionString(connectionString);
        connection.open();
    } catch (const std::exception &e) {
        m_workspace.reportError(errorText(e));
    }

    if (compactionError)
        std::rethrow_exception(compactionError);
}

void MaintenanceCommands::compactDatabase(const QString &sourcePath)
{
    const SessionFacts &facts = m_workspace.session.facts;
    const DatabaseFamily family = facts.isSqlite
                                      ? DatabaseFamily::Sqlite
                                      : (facts.isAccess ? DatabaseFamily::Access : DatabaseFamily::Other);
    const CompactionResult result = compactFile(
        sourcePath, [family] { return makeCompactionEngine(family); }, fileLayer());
    switch (result.status) {
    case CompactionStatus::Done:
        break;
    case CompactionStatus::SourceMissing:
        m_workspace.reportError(withPath(uiTexts().fileNotFoundText, sourcePath));
        break;
    case CompactionStatus::EngineFailed:
        m_workspace.reportError(result.error);
        break;
    }
}

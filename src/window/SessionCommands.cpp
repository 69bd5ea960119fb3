#include "window/SessionCommands.h"

#include "common/ErrorText.h"
#include "common/SafeFile.h"
#include "connection/CatalogueReader.h"
#include "connection/ConnectPrompts.h"
#include "connection/DialectAnalysis.h"
#include "connection/PasswordMask.h"
#include "connection/ProfileFile.h"
#include "connection/SessionSecurityText.h"
#include "editor/SqlEditor.h"
#include "query/ResultModel.h"
#include "query/RowEditor.h"
#include "shell/Language.h"
#include "shell/MessageDialog.h"
#include "window/Session.h"
#include "window/Workspace.h"
#include "window/panes/CataloguePane.h"
#include "window/panes/ReportPage.h"
#include "window/panes/SqlPage.h"
#include "window/panes/StructurePage.h"

#include <QFileInfo>

namespace {

const QString kProfileSection = QStringLiteral("DB");
const QString kProfileKey = QStringLiteral("ConnString");

SqlHighlightDialect editorDialect(HighlightChoice choice)
{
    switch (choice) {
    case HighlightChoice::Standard:
        break;
    case HighlightChoice::SqlServer7:
        return SqlHighlightDialect::MSSQL7;
    case HighlightChoice::SqlServer2000:
        return SqlHighlightDialect::MSSQL2K;
    case HighlightChoice::MySql:
        return SqlHighlightDialect::MySQL;
    case HighlightChoice::PostgreSql:
        return SqlHighlightDialect::Postgres;
    case HighlightChoice::Sqlite:
        return SqlHighlightDialect::Sqlite;
    }
    return SqlHighlightDialect::Standard;
}

// The name with its extension, if any, replaced by ".ovs"; only a dot in the file's own name
// starts an extension.
QString withOvsExtension(const QString &fileName)
{
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > slash ? fileName.left(dot) : fileName;
    return stem + QLatin1String(".ovs");
}

} // namespace

SessionCommands::SessionCommands(Workspace &workspace) : m_workspace(workspace)
{
    Connection &connection = m_workspace.session.connection();
    connection.setAfterConnect([this] { onConnected(); });
    connection.setAfterDisconnect([this] { onDisconnected(); });
    m_prompts = new ConnectPrompts(
        m_workspace.window(),
        [this] {
            const QString &file = m_workspace.session.profile.fileName;
            return file.isEmpty() ? QString() : QFileInfo(file).absoluteFilePath();
        },
        [this](const QString &text) { m_workspace.log(text); });
    connection.setAsker(m_prompts->asker());
    m_prompts->watch(&connection);
    for (FileDialogOptions *dialog : {&m_openDialog, &m_saveDialog}) {
        dialog->defaultSuffix = texts::profileExtension();
        dialog->filter = texts::profileFilter();
    }
}

bool SessionCommands::lostSessionPending() const
{
    Connection &connection = m_workspace.session.connection();
    return !connection.isOpen() && connection.connectionLost() &&
           !m_workspace.session.profile.connectionString.isEmpty();
}

void SessionCommands::connect()
{
    Session &session = m_workspace.session;
    Connection &connection = session.connection();
    const QString pending = session.profile.connectionString;
    if (connection.isOpen()) {
        // The disconnect handling empties the pending string; it is still the one to apply.
        connection.close();
        session.profile.connectionString = pending;
    }
    connection.setConnectionString(QString());
    if (!pending.isEmpty())
        connection.setConnectionString(pending);
    else
        connection.setConnectionString(
            prompt().dataLinkDialog(m_workspace.window(), connection.connectionString()));
    try {
        if (!m_prompts->supplyPassword(connection))
            throw DataAccessError(uiTexts().noPasswordGiven);
        connection.open();
    } catch (const std::exception &e) {
        m_workspace.reportError(errorText(e));
    }
}

void SessionCommands::disconnect()
{
    if (m_workspace.session.connection().isOpen())
        m_workspace.session.connection().close();
}

void SessionCommands::edit()
{
    Session &session = m_workspace.session;
    const QString edited =
        prompt().dataLinkDialog(m_workspace.window(), session.connection().connectionString());
    session.profile.connectionString = edited;
    if (!edited.isEmpty() && edited != session.connection().connectionString())
        connect();
}

void SessionCommands::refresh()
{
    // A lost session is opened again with its string, and the after-connect handling refreshes.
    // A Disconnect is the user's choice: Refresh leaves it closed.
    if (m_workspace.session.connection().isOpen())
        onConnected();
    else if (lostSessionPending())
        connect();
}

void SessionCommands::load()
{
    m_openDialog.folder = m_workspace.appFolder;
    m_openDialog.fileName = m_workspace.session.profile.fileName;
    if (const std::optional<QString> name = prompt().openFileName(m_workspace.window(), m_openDialog))
        loadProfile(*name);
}

void SessionCommands::save()
{
    Profile &profile = m_workspace.session.profile;
    if (profile.fileName.isEmpty()) {
        // No folder in the name: the test looks in the current folder.
        for (int n = 1;; ++n) {
            profile.fileName =
                uiTexts().undefinedName + QString::number(n) + u'.' + texts::profileExtension();
            if (!nameIsTaken(profile.fileName))
                break;
        }
    }
    m_saveDialog.folder = m_workspace.appFolder;
    m_saveDialog.fileName = profile.fileName;
    if (const std::optional<QString> name = prompt().saveFileName(m_workspace.window(), m_saveDialog))
        saveProfile(*name);
}

void SessionCommands::loadProfile(const QString &fileName)
{
    Session &session = m_workspace.session;
    if (session.connection().isOpen())
        session.connection().close();
    m_workspace.updateCommands();
    session.profile.fileName = fileName;
    session.profile.connectionString = ProfileFile::readString(fileName, kProfileSection, kProfileKey);
    m_workspace.log(uiTexts().hintLoad + QLatin1Char(' ') + fileName);
    m_workspace.log(QStringLiteral("ConnString:") + maskPasswords(session.profile.connectionString));
    connect();
}

void SessionCommands::saveProfile(const QString &fileName)
{
    Session &session = m_workspace.session;
    const UiTexts &t = uiTexts();
    const QString target = withOvsExtension(fileName);
    const QString shown = QFileInfo(target).fileName();
    // A link that leads nowhere yet still takes the name: what is written goes where it leads.
    const bool overwrite = target != session.profile.fileName && nameIsTaken(target);
    const QString question = withFileName(overwrite ? t.fileExistsQuestion : t.saveAsQuestion, shown);
    if (showMessageDialog(question, mtConfirmation, mbYes | mbNo, 0, m_workspace.window()) != mrYes)
        return;
    session.profile.fileName = target;
    session.profile.connectionString = session.connection().connectionString();
    // A profile that keeps no password (chosen once, remembered in it) has it asked when connecting.
    if (ConnectPrompts::holdsPassword(session.profile.connectionString) &&
        (ConnectPrompts::keepsNoPassword(session.profile.connectionString) ||
         showMessageDialog(withFileName(t.keepPasswordQuestion, shown), mtConfirmation, mbYes | mbNo, 0,
                           m_workspace.window()) != mrYes))
        session.profile.connectionString = ConnectPrompts::withoutPassword(session.profile.connectionString);
    const ProfileFile::Written written =
        ProfileFile::writeString(target, kProfileSection, kProfileKey, session.profile.connectionString);
    m_workspace.log(t.hintSave + QLatin1Char(' ') + target);
    if (written.narrowedFrom)
        m_workspace.log(t.profileNarrowed.arg(
            target, QStringLiteral("0%1").arg(written.narrowedFrom, 3, 8, QLatin1Char('0'))));
    if (!written.notOnDisk.isEmpty())
        m_workspace.log(t.fileNotOnDisk.arg(target, written.notOnDisk));
}

void SessionCommands::onConnected()
{
    Session &session = m_workspace.session;
    Connection &connection = session.connection();
    Query &query = session.query();
    SessionFacts &facts = session.facts;
    m_workspace.setReportTabVisible(false);
    m_workspace.report.clear();
    m_workspace.report.setPrintEnabled(false);

    const DialectFacts found =
        DialectAnalysis::analyse(connection.connectionString(), session.profile.connectionString,
                                 connection.defaultDatabase(), facts.databaseFileName);
    static_cast<DialectFacts &>(facts) = found;

    facts.serverVersion.clear();
    if (query.isOpen())
        query.close();
    query.setSql(QString());

    bool answered = false;
    QString answer;
    if (!found.versionQuery.isEmpty()) {
        query.setSql(found.versionQuery);
        query.open();
        if (query.isOpen()) {
            answered = true;
            answer = query.firstRowText(QStringLiteral("VER"));
            query.close();
        }
    }
    facts.serverVersion = DialectAnalysis::answeredVersion(found, answered, answer);
    if (!facts.serverVersion.isEmpty()) {
        const VersionText version = DialectAnalysis::cleanVersion(facts.serverVersion, found);
        m_workspace.log(version.logged);
        facts.serverVersion = version.serverVersion;
    }

    // How the session reaches its server; a session in clear over the network is marked.
    const SessionSecurity security = connection.security();
    const QString securityLine = sessionsecurity::logLine(security, uiTexts());
    if (!securityLine.isEmpty())
        m_workspace.log(securityLine);

    m_workspace.setCaption(sessionsecurity::caption(
        DialectAnalysis::caption(texts::applicationTitle(), found.location, facts.serverVersion), security,
        uiTexts()));
    fillTree();
    m_workspace.updateCommands();

    if (connection.isOpen()) {
        m_workspace.sql.showEditor(editorDialect(found.highlight));
        if (m_workspace.sessionShown)
            m_workspace.sessionShown();
    }
}

void SessionCommands::onDisconnected()
{
    Connection &connection = m_workspace.session.connection();
    // A session lost under the open connection stays pending, so Connect opens it again.
    const QString lost = connection.connectionLost() ? connection.connectionString() : QString();
    if (connection.connectionLost())
        dropWhatTheLostSessionHeld();
    else
        connection.setPassword(QString()); // asked for the session: serves Refresh, not the next Connect
    resetWorkArea();
    if (!lost.isEmpty())
        m_workspace.session.profile.connectionString = lost;
    m_workspace.updateCommands();
}

void SessionCommands::dropWhatTheLostSessionHeld()
{
    RowEditor &editor = *m_workspace.sql.model()->editor();
    if (const std::optional<RowEditor::DroppedChange> dropped = editor.dropPendingChange()) {
        const UiTexts &t = uiTexts();
        const QString key = dropped->key.isEmpty() ? t.newRowKey : dropped->key.join(QLatin1String(", "));
        m_workspace.log(
            t.lostChangeDropped.arg(dropped->table, key, dropped->values.join(QLatin1String(", "))));
    }
    // Nothing can be written back over the lost session, nor read on: the result goes. A fetch
    // still ending closes its result once it has.
    Query &query = m_workspace.session.query();
    if (!query.isFetching()) {
        query.close();
        return;
    }
    Connection &connection = m_workspace.session.connection();
    connection.whenIdle([&query, &connection] {
        if (!connection.isOpen() && !query.isFetching())
            query.close();
    });
}

void SessionCommands::fillTree()
{
    Session &session = m_workspace.session;
    m_workspace.catalogue.setRoot(session.facts.databaseName);
    Catalogue catalogue;
    try {
        catalogue = CatalogueReader(session.connection()).read(CatalogueReader::Detail::Columns);
    } catch (const std::exception &e) {
        // A fill the user cancelled leaves the root alone, and the connection ready for use.
        if (!session.connection().cancelRequested())
            throw;
        m_workspace.log(errorText(e));
    }
    m_workspace.catalogue.addObjects(catalogue);
    if (m_workspace.catalogueRead)
        m_workspace.catalogueRead(catalogue);
    // A table or view that cannot be read stays listed; what went wrong is logged.
    for (const CatalogueObject &object : std::as_const(catalogue.objects)) {
        for (const QString &text : object.errors)
            m_workspace.log(text);
    }
    if (catalogue.cancelled)
        m_workspace.log(CatalogueReader::cancelledText());
}

void SessionCommands::resetWorkArea()
{
    Session &session = m_workspace.session;
    m_workspace.setCaption(texts::applicationTitle());
    session.profile.connectionString.clear();
    if (!session.connection().isOpen())
        session.connection().setConnectionString(QString());
    m_workspace.enableCommand(Command::Collapse, false);
    m_workspace.catalogue.clear();
    m_workspace.structure.reset(uiTexts().gridHeader);
    if (m_workspace.workAreaResetting)
        m_workspace.workAreaResetting();
    m_workspace.sql.reset();
}

#include "window/ReportCommands.h"

#include "common/ErrorText.h"
#include "common/PrivateFolder.h"
#include "connection/CatalogueReader.h"
#include "query/TableDescription.h"
#include "reports/PathText.h"
#include "reports/ReportDocument.h"
#include "reports/ReportViewer.h"
#include "reports/StructureReport.h"
#include "shell/BusyCursor.h"
#include "shell/Guard.h"
#include "shell/Language.h"
#include "shell/Prompt.h"
#include "window/Session.h"
#include "window/TableCommands.h"
#include "window/Workspace.h"
#include "window/panes/ReportPage.h"
#include "window/panes/StatusBarPane.h"

#include <QDir>
#include <QHash>
#include <QPair>
#include <QPrinter>
#include <QTimer>

ReportCommands::ReportCommands(Workspace &workspace, TableCommands &tables)
    : m_workspace(workspace), m_tables(tables)
{
}

void ReportCommands::writeStructureReport()
{
    Session &session = m_workspace.session;
    const UiTexts &t = uiTexts();
    BusyCursor busy;
    m_workspace.status.setText(QLatin1Char(' ') + t.waitText);

    xmlreport::StructureReportInput input;
    // Never the shared temporary folder: another user could plant OVS.xml there as a symlink
    // to any of this user's files, or an OVS.xsl of their own.
    input.tempFolder = privateTempFolder();
    input.appFolder = m_workspace.appFolder;
    input.databaseName = session.facts.databaseName;
    input.serverVersion = session.facts.serverVersion;

    // The whole catalogue is read first, in a few requests and as one piece of work; the tables
    // are then described from it without asking the database again.
    Catalogue catalogue;
    QHash<QPair<QString, QString>, const CatalogueObject *> objects;
    QString path;
    try {
        path = xmlreport::writeStructureReport(
            input,
            [&] {
                catalogue =
                    CatalogueReader(session.connection()).read(CatalogueReader::Detail::ColumnsAndKeys);
                if (catalogue.cancelled)
                    throw DataAccessError(CatalogueReader::cancelledText());
                QList<xmlreport::ReportTable> tables;
                for (const CatalogueObject &object : std::as_const(catalogue.objects)) {
                    tables.append({object.table.schema, object.table.name});
                    objects.insert({object.table.schema, object.table.name}, &object);
                }
                return tables;
            },
            [&](const xmlreport::ReportTable &table, xmlreport::ReportDocument &document) {
                const CatalogueObject *object = objects.value({table.schema, table.name});
                // What could not be read of a table is logged; its element holds the rest. A table
                // the catalogue did not list is read on its own.
                TableDescription description;
                if (object) {
                    for (const QString &text : object->errors)
                        m_workspace.log(text);
                    description = TableDescription::fromCatalogue(table.schema, table.name, object->columns,
                                                                  object->primaryKeys, object->foreignKeys);
                } else {
                    description = m_tables.read(table.schema, table.name);
                }
                for (const ReportField &field : description.reportFields())
                    document.addField(field);
            });
        if (!path.isEmpty()) {
            m_workspace.log(withPath(t.reportingText, QDir::toNativeSeparators(path)));
            const QString html = xmlreport::reportHtml(path);
            m_workspace.setReportTabVisible(true);
            m_workspace.report.showHtml(html);
            QTimer::singleShot(0, &m_workspace.report, [this] { guarded([this] { onReportShown(); }); });
            m_workspace.showPage(Page::Report);
        }
    } catch (const std::exception &e) {
        // The wait text would otherwise stay on after the error report.
        m_workspace.status.setText(QString());
        // A report the user cancelled ends without one; nothing went wrong.
        if (!session.connection().cancelRequested())
            throw;
        m_workspace.log(errorText(e));
        return;
    }
    m_workspace.status.setText(QLatin1Char(' ') + t.readyText);
}

void ReportCommands::onReportShown()
{
    m_workspace.report.setPrintEnabled(true);
    m_workspace.status.setText(QString());
}

void ReportCommands::printReport()
{
    if (m_workspace.report.isEmpty())
        return;
    QPrinter printer(QPrinter::HighResolution);
    if (prompt().printDialog(m_workspace.window(), &printer))
        m_workspace.report.print(&printer);
}

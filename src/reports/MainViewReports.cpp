// TMainView operations of the reports and maintenance subsystem: the structure report and its
// viewer, the compaction of the open database file, the structure grid's spreadsheet export.
#include "shell/UMainView.h"

#include "common/ErrorText.h"
#include "common/FileLayer.h"
#include "common/PrivateFolder.h"
#include "connection/CatalogueReader.h"
#include "db/ConnectionString.h"
#include "maintenance/CompactionEngine.h"
#include "query/TableReader.h"
#include "reports/PathText.h"
#include "reports/ReportDocument.h"
#include "reports/ReportViewer.h"
#include "reports/SpreadsheetExport.h"
#include "reports/StructureReport.h"
#include "shell/BusyCursor.h"
#include "shell/Guard.h"
#include "shell/MessageDialog.h"
#include "shell/Prompt.h"

#include <QApplication>
#include <QDir>
#include <QHash>
#include <QPair>
#include <QPrinter>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>

#include <exception>

namespace {

// Sets a pointer for the span of a scope and clears it again on every way out.
template <typename T> class ScopedPointer
{
public:
    ScopedPointer(T *&slot, T *value) : m_slot(slot) { m_slot = value; }
    ~ScopedPointer() { m_slot = nullptr; }
    ScopedPointer(const ScopedPointer &) = delete;
    ScopedPointer &operator=(const ScopedPointer &) = delete;

private:
    T *&m_slot;
};

} // namespace

void TMainView::initReportsPart()
{
    connect(Button1, &QPushButton::clicked, this, [this] { guarded([this] { Button1Click(); }); });
    connect(StringGrid1, &QTableWidget::cellDoubleClicked, this,
            [this] { guarded([this] { StringGrid1DblClick(); }); });
}

void TMainView::ReportStructure()
{
    BusyCursor busy;
    setStatusText(QLatin1Char(' ') + TextWait);

    xmlreport::StructureReportInput input;
    // Never the shared temporary folder: another user could plant OVS.xml there as a symlink
    // to any of this user's files, or an OVS.xsl of their own.
    input.tempFolder = privateTempFolder();
    input.appFolder = AppFolder;
    input.databaseName = DatabaseName;
    input.serverVersion = ServerVersion;

    // The whole catalogue is read first, in a few requests and as one piece of work; the tables
    // are then described from it without asking the database again.
    Catalogue catalogue;
    QHash<QPair<QString, QString>, const CatalogueObject *> objects;
    QString path;
    try {
        path = xmlreport::writeStructureReport(
            input,
            [&] {
                catalogue = CatalogueReader(*ADOConnection1).read(CatalogueReader::Detail::ColumnsAndKeys);
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
                // What could not be read of a table is logged; its element holds the rest.
                if (object) {
                    for (const QString &text : object->errors)
                        LogMessage(text);
                }
                ScopedPointer<ReportSink> sink(m_report.sink, &document);
                ScopedPointer<const CatalogueObject> described(m_report.object, object);
                DescribeTable(nullptr, table.name, table.schema);
            });
        if (!path.isEmpty()) {
            LogMessage(withPath(TextReporting, QDir::toNativeSeparators(path)));
            const QString html = xmlreport::reportHtml(path);
            PageControl1->setTabVisible(PageControl1->indexOf(TabSheet4), true);
            WebBrowser1->setHtml(html);
            // The page is complete once the event loop has shown it, as a browser reports it.
            QMetaObject::invokeMethod(
                this, [this] { guarded([this] { WebBrowser1DocumentComplete(); }); }, Qt::QueuedConnection);
            PageControl1->setCurrentWidget(TabSheet4);
        }
    } catch (const std::exception &e) {
        // The wait text would otherwise stay on after the error report.
        setStatusText(QString());
        // A report the user cancelled ends without one; nothing went wrong.
        if (!ADOConnection1->cancelRequested())
            throw;
        LogMessage(errorText(e));
        return;
    }
    setStatusText(QLatin1Char(' ') + TextReady);
}

void TMainView::WebBrowser1DocumentComplete()
{
    Button1->setEnabled(true);
    setStatusText(QString());
}

void TMainView::Button1Click()
{
    if (WebBrowser1->document()->isEmpty())
        return;
    QPrinter printer(QPrinter::HighResolution);
    if (prompt().printDialog(this, &printer))
        WebBrowser1->document()->print(&printer);
}

namespace {

// The file the Compact command works on: the Access file found by the after-connect analysis,
// or the SQLite file the connection string names.
QString compactionTarget(const TMainView &view)
{
    if (view.IsSqlite && !view.IsAccess) {
        try {
            return ConnectionString(view.ADOConnection1->connectionString())
                .value(QStringLiteral("Data Source"));
        } catch (const std::exception &) {
            return QString();
        }
    }
    return view.DatabaseFileName;
}

} // namespace

void TMainView::CompactCommand()
{
    const QString target = compactionTarget(*this);
    if (showMessageDialog(withPath(TextCompactConfirm, target), mtConfirmation, mbYes | mbNo, 0, this) !=
        mrYes)
        return;

    BusyCursor busy;
    const QString connectionString = ADOConnection1->connectionString();
    if (ADOConnection1->isOpen())
        ADOConnection1->close();

    // Whatever CompactDatabase throws (an engine that cannot be created) is reported only
    // after the database is open again.
    std::exception_ptr compactionError;
    try {
        CompactDatabase(target);
    } catch (...) {
        compactionError = std::current_exception();
    }

    try {
        ADOConnection1->setConnectionString(connectionString);
        ADOConnection1->open();
    } catch (const std::exception &e) {
        reportError(errorText(e));
    }

    if (compactionError)
        std::rethrow_exception(compactionError);
}

void TMainView::CompactDatabase(const QString &sourcePath)
{
    const DatabaseFamily family =
        IsSqlite ? DatabaseFamily::Sqlite : (IsAccess ? DatabaseFamily::Access : DatabaseFamily::Other);
    const CompactionResult result = compactFile(
        sourcePath, [family] { return makeCompactionEngine(family); }, fileLayer());
    switch (result.status) {
    case CompactionStatus::Done:
        break;
    case CompactionStatus::SourceMissing:
        reportError(withPath(TextFileNotFound, sourcePath));
        break;
    case CompactionStatus::EngineFailed:
        reportError(result.error);
        break;
    }
}

void TMainView::StringGrid1DblClick()
{
    if (!ExcelAvailable)
        return;
    if (showMessageDialog(TextSendToExcel, mtConfirmation, mbYes | mbNo, 0, this) != mrYes)
        return;

    // Row 0 of the grid is its header row, in the current language.
    QList<QStringList> rows;
    for (int r = 0; r < StringGrid1->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < StringGrid1->columnCount(); ++c) {
            const QTableWidgetItem *item = StringGrid1->item(r, c);
            row.append(item ? item->text() : QString());
        }
        rows.append(row);
    }

    const QString tableName = ADOTable1->tableName;
    // In the private folder, created new: nothing another user planted is opened or replaced.
    const QString path = writeStructureWorkbook(privateTempFolder(), tableName, rows);
    prompt().openUrl(QUrl::fromLocalFile(path));
}

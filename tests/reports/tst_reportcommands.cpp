// The report, compaction and spreadsheet commands on a real main window over a SQLite database.
#include "ScriptedPrompt.h"

#include "WindowDriver.h"
#include "common/AppError.h"
#include "common/FileLayer.h"
#include "common/PrivateFolder.h"
#include "maintenance/CompactionEngine.h"
#include "query/TableReader.h"
#include "shell/Guard.h"
#include "shell/Language.h"
#include "shell/MessageDialog.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTreeWidget>

#include <sqlite3.h>

namespace {

// Answers the print dialog with a PDF file as the printer.
class PrintingPrompt : public ScriptedPrompt
{
public:
    QString pdfPath;
    bool printDialog(QWidget *parent, QPrinter *printer) override
    {
        const bool confirmed = ScriptedPrompt::printDialog(parent, printer);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(pdfPath);
        return confirmed;
    }
    // Told as the general error report shows.
    std::function<void()> onErrorReport;
    void errorReport(QWidget *parent, const QString &text) override
    {
        if (onErrorReport)
            onErrorReport();
        ScriptedPrompt::errorReport(parent, text);
    }
};

class Files : public FileLayer
{
public:
    bool exists(const QString &path) override { return systemFileLayer().exists(path); }
    bool copy(const QString &from, const QString &to) override { return systemFileLayer().copy(from, to); }
};

// An engine that fails as SQLite does when the disk fills up.
class DiskFullEngine : public CompactionEngine
{
public:
    void compact(const QString &, FileLayer &) override
    {
        throw AppError(QStringLiteral("database or disk is full"));
    }
};

void exec(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    char *error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK)
        qWarning("%s", error);
    sqlite3_free(error);
    sqlite3_close(db);
}

int orderCount(const QString &path)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *statement = nullptr;
    int count = -1;
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM Orders", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        count = sqlite3_column_int(statement, 0);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return count;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString lastLogLine(MainWindow &view)
{
    return ui(view).log()->toPlainText().split(QLatin1Char('\n')).last();
}

} // namespace

class TestReportCommands : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_temp; // TMPDIR of the program under test
    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<PrintingPrompt> m_prompt;
    std::unique_ptr<MainWindow> m_view;
    Files m_files;
    QString m_database;

    MainWindow &view() { return *m_view; }

    static QString inPrivateFolder(const char *name)
    {
        return QDir(privateTempFolder()).filePath(QLatin1String(name));
    }

    void connectTo(const QString &path)
    {
        view().session().connection().setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") +
                                                          path);
        view().session().connection().open();
    }

private slots:
    void init()
    {
        m_temp = std::make_unique<QTemporaryDir>();
        m_data = std::make_unique<QTemporaryDir>();
        qputenv("TMPDIR", m_temp->path().toUtf8());
        qunsetenv("XDG_RUNTIME_DIR");
        m_prompt = std::make_unique<PrintingPrompt>();
        setUiLanguage(QStringLiteral("en-US"));
        m_view = std::make_unique<MainWindow>();
        view().applyLanguage();
        view().setAppFolder(qEnvironmentVariable("ORVESSA_APP_FOLDER") + QLatin1Char('/'));
        setFileLayer(&m_files);

        m_database = m_data->filePath(QStringLiteral("Shop.db"));
        exec(m_database,
             "CREATE TABLE Customers (CustomerID VARCHAR(5) PRIMARY KEY NOT NULL, Name TEXT);"
             "CREATE TABLE Orders (OrderID INTEGER PRIMARY KEY AUTOINCREMENT,"
             " CustomerID VARCHAR(5) REFERENCES Customers(CustomerID), Note TEXT);"
             "CREATE VIEW OrderNotes AS SELECT OrderID, Note FROM Orders;"
             "INSERT INTO Customers VALUES ('ALFKI', 'Alfreds');"
             "INSERT INTO Orders (CustomerID, Note) VALUES ('ALFKI', 'first'), ('ALFKI', 'second');");
        connectTo(m_database);
        QVERIFY(view().session().connection().isOpen());
        QVERIFY(view().session().facts.isSqlite);
    }

    void cleanup()
    {
        setFileLayer(nullptr);
        setCompactionEngineFactory({});
        m_view.reset();
        m_prompt.reset();
        qunsetenv("TMPDIR");
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    void reportDescribesEveryTableAndView()
    {
        ui(view()).press(Command::Report);

        const QString path = inPrivateFolder("OVS.xml");
        QVERIFY(isPrivateFolder(QFileInfo(path).path()));
        const QString expected =
            QStringLiteral(
                "<?xml version=\"1.0\" standalone=\"yes\"?>\n"
                "<?xml-stylesheet type=\"text/xsl\" href=\"OVS.xsl\"?>\n"
                "<Shop version=\"%1\">"
                "<table name=\"Customers\">"
                "<field key=\"primary\" null=\"false\" size=\"5\" type=\"WideString\" name=\"CustomerID\"/>"
                "<field null=\"true\" type=\"WideMemo\" name=\"Name\"/>"
                "</table>"
                "<table name=\"Orders\">"
                // SQLite's column list calls a rowid alias nullable.
                "<field key=\"primary\" null=\"false\" type=\"AutoInc\" name=\"OrderID\"/>"
                "<field key=\"foreign ref Customers.CustomerID\" null=\"true\" size=\"5\" "
                "type=\"WideString\" name=\"CustomerID\"/>"
                "<field null=\"true\" type=\"WideMemo\" name=\"Note\"/>"
                "</table>"
                "<table name=\"OrderNotes\">"
                "<field null=\"true\" type=\"Integer\" name=\"OrderID\"/>"
                "<field null=\"true\" type=\"WideMemo\" name=\"Note\"/>"
                "</table>"
                "</Shop>\n")
                .arg(view().session().facts.serverVersion);
        const QString written = QString::fromUtf8(readAll(path));
        QVERIFY2(written == expected, qPrintable(written));
        QCOMPARE(readAll(inPrivateFolder("OVS.xsl")),
                 readAll(qEnvironmentVariable("ORVESSA_APP_FOLDER") + QStringLiteral("/OVS.xsl")));

        QVERIFY(lastLogLine(view()).endsWith(QStringLiteral("|Reporting structure on file [%1].").arg(path)));
        QVERIFY(ui(view()).pages()->isTabVisible(ui(view()).pages()->indexOf(ui(view()).page(Page::Report))));
        QCOMPARE(ui(view()).pages()->currentWidget(), ui(view()).page(Page::Report));
        QVERIFY(ui(view()).reportView()->toPlainText().contains(QStringLiteral("OrderNotes")));
        QVERIFY(ui(view()).reportView()->toHtml().contains(QStringLiteral("<table")));
        QCOMPARE(QApplication::overrideCursor(), nullptr);

        // The page completes as a browser reports it: after the command, through the event loop.
        QCOMPARE(ui(view()).statusText(), QStringLiteral(" ") + uiTexts().readyText);
        QVERIFY(!ui(view()).printButton()->isEnabled());
        QTRY_VERIFY(ui(view()).printButton()->isEnabled());
        QCOMPARE(ui(view()).statusText(), QString());

        // A second report replaces both files.
        exec(m_database, "CREATE TABLE Archive (id INTEGER)");
        view().session().connection().close();
        connectTo(m_database);
        ui(view()).press(Command::Report);
        QVERIFY(readAll(path).contains("<table name=\"Archive\">"));
    }

    void aBrokenViewIsReportedEmptyAndTheRestWhole()
    {
        exec(m_database, "CREATE VIEW Broken AS SELECT nosuch(Note) AS n FROM Orders");
        view().session().connection().close();
        connectTo(m_database);
        ui(view()).press(Command::Report);
        const QString xml = QString::fromUtf8(readAll(inPrivateFolder("OVS.xml")));
        QVERIFY2(xml.contains(QLatin1String("<table name=\"Broken\"/><table name=\"OrderNotes\"><field ")),
                 qPrintable(xml));
        QVERIFY(xml.contains(QLatin1String("<table name=\"Orders\"><field key=\"primary\"")));
        QVERIFY(
            ui(view()).log()->toPlainText().contains(QLatin1String("|Broken: no such function: nosuch\n")));
        QCOMPARE(ui(view()).pages()->currentWidget(), ui(view()).page(Page::Report));
        QCOMPARE(m_prompt->errorReports, QStringList());
    }

    void withoutStylesheetTheDocumentShowsAsText()
    {
        QTemporaryDir app;
        view().setAppFolder(app.path() + QLatin1Char('/'));
        ui(view()).press(Command::Report);
        const QByteArray xml = readAll(inPrivateFolder("OVS.xml"));
        QVERIFY(!xml.contains("xml-stylesheet"));
        QVERIFY(!QFile::exists(inPrivateFolder("OVS.xsl")));
        QVERIFY(ui(view()).reportView()->toPlainText().contains(QStringLiteral("<table name=\"Orders\">")));
    }

    // Another user planted OVS.xml in the shared temporary folder as a symlink to one of this
    // user's files, and an OVS.xsl of their own: neither is touched nor used.
    void filesPlantedInTheSharedTemporaryFolderAreLeftAlone()
    {
        QTemporaryDir home;
        const QString victim = home.filePath(QStringLiteral("thesis.odt"));
        QFile file(victim);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("precious");
        file.close();
        QVERIFY(QFile::link(victim, m_temp->filePath(QStringLiteral("OVS.xml"))));
        const QByteArray planted = "<?xml version=\"1.0\"?><xsl:stylesheet version=\"1.0\" "
                                   "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"><xsl:template "
                                   "match=\"/\"><p>PLANTED</p></xsl:template></xsl:stylesheet>";
        QFile xsl(m_temp->filePath(QStringLiteral("OVS.xsl")));
        QVERIFY(xsl.open(QIODevice::WriteOnly));
        xsl.write(planted);
        xsl.close();

        ui(view()).press(Command::Report);

        QCOMPARE(readAll(victim), QByteArray("precious"));
        QCOMPARE(readAll(m_temp->filePath(QStringLiteral("OVS.xsl"))), planted);
        QVERIFY(!ui(view()).reportView()->toPlainText().contains(QStringLiteral("PLANTED")));
        QVERIFY(ui(view()).reportView()->toPlainText().contains(QStringLiteral("OrderNotes")));
        QVERIFY(lastLogLine(view()).contains(inPrivateFolder("OVS.xml")));
    }

    void noPrivateFolderReachesTheErrorReport()
    {
        QVERIFY(QDir(privateTempFolder()).removeRecursively());
        qputenv("TMPDIR", m_temp->filePath(QStringLiteral("gone")).toUtf8());
        const QString log = ui(view()).log()->toPlainText();
        guarded([this] { ui(view()).press(Command::Report); });
        QCOMPARE(m_prompt->errorReports.size(), 1);
        QVERIFY2(m_prompt->errorReports[0].contains(QStringLiteral("private temporary folder")),
                 qPrintable(m_prompt->errorReports[0]));
        QCOMPARE(ui(view()).log()->toPlainText(), log);
        QVERIFY(
            !ui(view()).pages()->isTabVisible(ui(view()).pages()->indexOf(ui(view()).page(Page::Report))));
    }

    void unwritableReportReachesTheErrorReport()
    {
        QVERIFY(QDir(privateTempFolder()).mkdir(QStringLiteral("OVS.xml")));
        guarded([this] { ui(view()).press(Command::Report); });
        QCOMPARE(m_prompt->errorReports.size(), 1);
        QVERIFY(m_prompt->errorReports[0].contains(inPrivateFolder("OVS.xml")));
        QVERIFY(
            !ui(view()).pages()->isTabVisible(ui(view()).pages()->indexOf(ui(view()).page(Page::Report))));
        QVERIFY(QDir(privateTempFolder()).rmdir(QStringLiteral("OVS.xml")));
    }

    void printWritesThePdfTheDialogChose()
    {
        ui(view()).press(Command::PrintReport);
        QCOMPARE(m_prompt->printDialogs, 0); // nothing shown yet: nothing to print

        ui(view()).press(Command::Report);
        m_prompt->pdfPath = m_temp->filePath(QStringLiteral("report.pdf"));
        m_prompt->printAnswers.enqueue(false);
        ui(view()).press(Command::PrintReport);
        QCOMPARE(m_prompt->printDialogs, 1);
        QVERIFY(!QFile::exists(m_prompt->pdfPath));

        m_prompt->printAnswers.enqueue(true);
        ui(view()).press(Command::PrintReport);
        QCOMPARE(m_prompt->printDialogs, 2);
        const QByteArray pdf = readAll(m_prompt->pdfPath);
        QVERIFY(pdf.startsWith("%PDF"));
        QVERIFY(pdf.size() > 1000);
    }

    void compactShrinksTheFileAndReconnects()
    {
        exec(m_database, "CREATE TABLE Bulk (text TEXT);"
                         "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000)"
                         " INSERT INTO Bulk SELECT printf('%.*c', 300, 'x') FROM n;"
                         "DELETE FROM Bulk;");
        const qint64 before = QFileInfo(m_database).size();

        m_prompt->dialogAnswers.enqueue(mrNo);
        ui(view()).press(Command::Compact);
        QCOMPARE(m_prompt->dialogs.size(), 1);
        QVERIFY(m_prompt->dialogs[0].text.contains(m_database));
        QCOMPARE(QFileInfo(m_database).size(), before);

        m_prompt->dialogAnswers.enqueue(mrYes);
        ui(view()).press(Command::Compact);
        QVERIFY(QFileInfo(m_database).size() < before / 10);
        QVERIFY(view().session().connection().isOpen());
        QVERIFY(view().session().connection().connectionString().contains(m_database));
        QCOMPARE(ui(view()).tree()->topLevelItemCount(), 1);
        QCOMPARE(orderCount(m_database), 2);
        QCOMPARE(m_prompt->beeps, 0);
        QCOMPARE(m_prompt->errorReports, QStringList());
    }

    void failedCompactionIsLoggedAndTheDatabaseStays()
    {
        setCompactionEngineFactory([](DatabaseFamily) -> std::unique_ptr<CompactionEngine> {
            return std::make_unique<DiskFullEngine>();
        });
        m_prompt->dialogAnswers.enqueue(mrYes);
        ui(view()).press(Command::Compact);
        // The re-opened connection logs its version after the error line.
        QVERIFY2(ui(view()).log()->toPlainText().contains(QStringLiteral("|database or disk is full\n")),
                 qPrintable(ui(view()).log()->toPlainText()));
        QCOMPARE(ui(view()).pages()->currentWidget(), ui(view()).page(Page::Messages));
        QCOMPARE(m_prompt->beeps, 1);
        QVERIFY(view().session().connection().isOpen());
        QCOMPARE(orderCount(m_database), 2);
    }

    // The engine that cannot be created is reported only after the database is open again.
    void engineThatCannotBeCreatedIsReportedAfterReconnecting()
    {
        bool openWhenReported = false;
        setCompactionEngineFactory([](DatabaseFamily) -> std::unique_ptr<CompactionEngine> {
            return createCompactionEngine(DatabaseFamily::Access);
        });
        m_prompt->dialogAnswers.enqueue(mrYes);
        m_prompt->onErrorReport = [&] { openWhenReported = view().session().connection().isOpen(); };
        ui(view()).press(Command::Compact);
        QVERIFY(openWhenReported);
        QCOMPARE(m_prompt->errorReports,
                 QStringList{QStringLiteral("Access databases cannot be compacted on this system.")});
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QCOMPARE(orderCount(m_database), 2);
    }

    void gridGoesToANewWorkbook_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("columnHeader");
        QTest::newRow("English") << QStringLiteral("en-US") << QStringLiteral("Column");
        QTest::newRow("Portuguese") << QStringLiteral("pt-BR") << QStringLiteral("Coluna");
    }
    void gridGoesToANewWorkbook()
    {
        QFETCH(QString, language);
        QFETCH(QString, columnHeader);
        setUiLanguage(language);
        view().applyLanguage();
        ui(view()).describe(QStringLiteral("Orders"));
        QCOMPARE(ui(view()).structureGrid()->rowCount(), 4);

        view().setSpreadsheetAvailable(false);
        ui(view()).press(Command::SendStructureToSpreadsheet);
        QCOMPARE(m_prompt->dialogs.size(), 0);

        view().setSpreadsheetAvailable(true);
        m_prompt->dialogAnswers.enqueue(mrNo);
        ui(view()).press(Command::SendStructureToSpreadsheet);
        QCOMPARE(m_prompt->dialogs.size(), 1);
        QCOMPARE(m_prompt->dialogs[0].text, uiTexts().sendToSpreadsheetQuestion);
        QVERIFY(m_prompt->openedUrls.isEmpty());
        QVERIFY(!QFile::exists(inPrivateFolder("Orders.xlsx")));

        m_prompt->dialogAnswers.enqueue(mrYes);
        ui(view()).press(Command::SendStructureToSpreadsheet);
        const QString first = inPrivateFolder("Orders.xlsx");
        QCOMPARE(m_prompt->openedUrls, QList<QUrl>{QUrl::fromLocalFile(first)});

        QProcess unzip;
        unzip.start(QStringLiteral("unzip"),
                    {QStringLiteral("-p"), first, QStringLiteral("xl/sharedStrings.xml")});
        QVERIFY(unzip.waitForFinished());
        const QString strings = QString::fromUtf8(unzip.readAllStandardOutput());
        QVERIFY(strings.contains(QLatin1Char('>') + columnHeader + QLatin1Char('<')));
        for (int c = 0; c < 5; ++c) {
            if (const QTableWidgetItem *header = ui(view()).structureGrid()->item(0, c);
                header && !header->text().isEmpty())
                QVERIFY2(strings.contains(QStringLiteral(">%1<").arg(header->text())),
                         qPrintable(header->text()));
        }
        for (const char *text : {"OrderID", "AutoInc", "CustomerID", "WideString", "Note", "WideMemo"})
            QVERIFY2(strings.contains(QLatin1String(text)), text);

        // Another export leaves the first workbook alone.
        const QByteArray firstBytes = readAll(first);
        m_prompt->dialogAnswers.enqueue(mrYes);
        ui(view()).press(Command::SendStructureToSpreadsheet);
        QCOMPARE(m_prompt->openedUrls.last(), QUrl::fromLocalFile(inPrivateFolder("Orders-2.xlsx")));
        QCOMPARE(readAll(first), firstBytes);
    }

    void workbookThatCannotBeWrittenReachesTheErrorReport()
    {
        ui(view()).describe(QStringLiteral("Orders"));
        view().setSpreadsheetAvailable(true);
        QVERIFY(QDir(privateTempFolder()).removeRecursively());
        qputenv("TMPDIR", m_temp->filePath(QStringLiteral("gone")).toUtf8());
        m_prompt->dialogAnswers.enqueue(mrYes);
        guarded([this] { ui(view()).press(Command::SendStructureToSpreadsheet); });
        QCOMPARE(m_prompt->errorReports.size(), 1);
        QVERIFY2(m_prompt->errorReports[0].contains(QStringLiteral("temporary folder")),
                 qPrintable(m_prompt->errorReports[0]));
        QVERIFY(m_prompt->openedUrls.isEmpty());
        QVERIFY(!QFile::exists(QStringLiteral("Orders.xlsx")));
    }
};

QTEST_MAIN(TestReportCommands)
#include "tst_reportcommands.moc"

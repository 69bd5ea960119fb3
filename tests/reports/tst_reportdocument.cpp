// The structure report file: root naming, node and attribute order, the stylesheet
// instruction, the folders it is written to, and the page the viewer makes of it.
#include "common/AppError.h"
#include "reports/ReportDocument.h"
#include "reports/ReportViewer.h"
#include "reports/StructureReport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace xmlreport;

namespace {

ReportField field(const QString &key, const QString &null, const QString &size, const QString &type,
                  const QString &name)
{
    ReportField f;
    f.hasKey = !key.isEmpty();
    f.key = key;
    f.null = null;
    f.size = size;
    f.type = type;
    f.name = name;
    return f;
}

// The example database: Orders with an auto-increment key, a sized foreign key and a memo.
void describeOrders(ReportDocument &document)
{
    document.addField(field(QStringLiteral("primary"), QStringLiteral("false"), QString(),
                            QStringLiteral("AutoInc"), QStringLiteral("OrderID")));
    document.addField(field(QStringLiteral("foreign ref Customers.CustomerID"), QStringLiteral("true"),
                            QStringLiteral("5"), QStringLiteral("WideString"), QStringLiteral("CustomerID")));
    document.addField(field(QString(), QStringLiteral("true"), QString(), QStringLiteral("WideMemo"),
                            QStringLiteral("Note")));
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

const QByteArray kStylesheet =
    "<?xml version=\"1.0\"?>\n"
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">\n"
    "  <xsl:output method=\"html\"/>\n"
    "  <xsl:template match=\"/*\"><html><body><h1><xsl:value-of select=\"name()\"/></h1>\n"
    "    <xsl:for-each select=\"table\"><h2><xsl:value-of "
    "select=\"@name\"/></h2></xsl:for-each></body></html>\n"
    "  </xsl:template>\n"
    "</xsl:stylesheet>\n";

} // namespace

class TestReportDocument : public QObject
{
    Q_OBJECT

private slots:
    void rootIsTheDatabaseNameMadeValid_data()
    {
        QTest::addColumn<QString>("databaseName");
        QTest::addColumn<QString>("root");
        QTest::newRow("server database") << "Sales"
                                         << "Sales";
        QTest::newRow("extension removed") << "Shop.accdb"
                                           << "Shop";
        QTest::newRow("only the last extension") << "a.b.c"
                                                 << "a.b";
        QTest::newRow("empty") << ""
                               << "Database";
        QTest::newRow("only an extension") << ".db"
                                           << "Database";
        QTest::newRow("blank becomes underscore") << "my db.sqlite"
                                                  << "my_db";
        QTest::newRow("digit cannot start") << "2024 sales.db"
                                            << "_2024_sales";
        QTest::newRow("hyphen cannot start") << "-x"
                                             << "_-x";
        QTest::newRow("colon is no prefix") << "a:b"
                                            << "a_b";
        QTest::newRow("letters beyond ASCII stay") << "Café.db"
                                                   << "Café";
        QTest::newRow("symbols") << "R&D (old)"
                                 << "R_D__old_";
    }
    void rootIsTheDatabaseNameMadeValid()
    {
        QFETCH(QString, databaseName);
        QFETCH(QString, root);
        QCOMPARE(ReportDocument::rootElementName(databaseName), root);
        ReportDocument document(databaseName, QString());
        QVERIFY(document.toBytes().contains("<" + root.toUtf8() + " version=\"\"/>"));
    }

    void documentMatchesTheExampleByteForByte()
    {
        ReportDocument document(QStringLiteral("Shop.mdb"), QStringLiteral("Microsoft Access 97-2003"));
        document.addStylesheet(QStringLiteral("OVS.xsl"));
        document.beginTable(QStringLiteral("Orders"));
        describeOrders(document);
        QCOMPARE(QString::fromUtf8(document.toBytes()),
                 QStringLiteral("<?xml version=\"1.0\" standalone=\"yes\"?>\n"
                                "<?xml-stylesheet type=\"text/xsl\" href=\"OVS.xsl\"?>\n"
                                "<Shop version=\"Microsoft Access 97-2003\">"
                                "<table name=\"Orders\">"
                                "<field key=\"primary\" null=\"false\" type=\"AutoInc\" name=\"OrderID\"/>"
                                "<field key=\"foreign ref Customers.CustomerID\" null=\"true\" size=\"5\" "
                                "type=\"WideString\" name=\"CustomerID\"/>"
                                "<field null=\"true\" type=\"WideMemo\" name=\"Note\"/>"
                                "</table></Shop>\n"));
    }

    void textIsEscapedAndWrittenAsUtf8()
    {
        ReportDocument document(QStringLiteral("Lojas"), QStringLiteral("v \"1\" <a&b>"));
        document.beginTable(QStringLiteral("Preço & Ação"));
        const QByteArray bytes = document.toBytes();
        QVERIFY(bytes.startsWith("<?xml version=\"1.0\" standalone=\"yes\"?>"));
        QVERIFY(!bytes.contains("encoding"));
        QVERIFY(bytes.contains("version=\"v &quot;1&quot; &lt;a&amp;b&gt;\""));
        QVERIFY(bytes.contains(QStringLiteral("<table name=\"Preço &amp; Ação\"/>").toUtf8()));
    }

    void fieldWithoutCurrentTableIsAnError()
    {
        ReportDocument document(QStringLiteral("Shop"), QString());
        QVERIFY_THROWS_EXCEPTION(AppError, document.addField(field({}, "true", {}, "Integer", "x")));
    }

    void writesReportAndCopiesStylesheet()
    {
        QTemporaryDir temp, app;
        writeFile(app.filePath(QStringLiteral("OVS.xsl")), kStylesheet);
        writeFile(temp.filePath(QStringLiteral("OVS.xsl")), "older copy");
        QStringList described;
        const QString path = writeStructureReport(
            {temp.path(), app.path(), QStringLiteral("Shop.db"), QStringLiteral("3.40.1")},
            [] {
                return QList<ReportTable>{{QString(), QStringLiteral("Customers")},
                                          {QStringLiteral("main"), QStringLiteral("Orders")},
                                          {QString(), QStringLiteral("OrderTotals")}};
            },
            [&](const ReportTable &table, ReportDocument &document) {
                described << table.schema + QLatin1Char('.') + table.name;
                if (table.name == QStringLiteral("Orders"))
                    describeOrders(document);
            });
        QCOMPARE(path, temp.filePath(QStringLiteral("OVS.xml")));
        QCOMPARE(described, QStringList({".Customers", "main.Orders", ".OrderTotals"}));
        QCOMPARE(readAll(temp.filePath(QStringLiteral("OVS.xsl"))), kStylesheet);
        const QByteArray xml = readAll(path);
        QVERIFY(xml.contains("<?xml-stylesheet type=\"text/xsl\" href=\"OVS.xsl\"?>"));
        QVERIFY(xml.contains("<Shop version=\"3.40.1\"><table name=\"Customers\"/><table name=\"Orders\">"
                             "<field key=\"primary\""));
        QVERIFY(xml.contains("</table><table name=\"OrderTotals\"/></Shop>"));

        const QString html = reportHtml(path);
        QVERIFY2(html.contains(QStringLiteral("<h1>Shop</h1>")), qPrintable(html));
        QVERIFY(html.contains(QStringLiteral("<h2>OrderTotals</h2>")));
    }

    void withoutStylesheetTheReportHasNoInstructionAndShowsAsText()
    {
        QTemporaryDir temp, app;
        const QString path = writeStructureReport(
            {temp.path(), app.path(), QStringLiteral("Empty.db"), QStringLiteral("3.40.1")},
            [] { return QList<ReportTable>(); }, [](const ReportTable &, ReportDocument &) {});
        QCOMPARE(readAll(path), QByteArray("<?xml version=\"1.0\" standalone=\"yes\"?>\n"
                                           "<Empty version=\"3.40.1\"/>\n"));
        QVERIFY(!QFile::exists(temp.filePath(QStringLiteral("OVS.xsl"))));
        const QString html = reportHtml(path);
        QVERIFY(html.contains(QStringLiteral("<pre")));
        QVERIFY(html.contains(QStringLiteral("&lt;Empty version=&quot;3.40.1&quot;/&gt;")));
    }

    void brokenStylesheetFallsBackToText()
    {
        QTemporaryDir temp, app;
        writeFile(app.filePath(QStringLiteral("OVS.xsl")), "<xsl:stylesheet");
        const QString path = writeStructureReport(
            {temp.path(), app.path(), QStringLiteral("Shop"), QString()},
            [] {
                return QList<ReportTable>{{QString(), QStringLiteral("T")}};
            },
            [](const ReportTable &, ReportDocument &) {});
        QVERIFY(readAll(path).contains("xml-stylesheet"));
        QVERIFY(reportHtml(path).contains(QStringLiteral("&lt;table name=&quot;T&quot;/&gt;")));
    }

    void missingTempFolderWritesNothing()
    {
        QTemporaryDir temp;
        bool listed = false;
        const QString missing = temp.filePath(QStringLiteral("gone"));
        const QString path = writeStructureReport(
            {missing, temp.path(), QStringLiteral("Shop"), QString()},
            [&] {
                listed = true;
                return QList<ReportTable>();
            },
            [](const ReportTable &, ReportDocument &) {});
        QVERIFY(path.isEmpty());
        QVERIFY(!listed);
        QVERIFY(!QFileInfo::exists(missing));
    }

    // An error on the way leaves the previous report in place and is passed on.
    void errorsStopTheReportAndSaveNothing()
    {
        QTemporaryDir temp;
        const QString path = writeFile(temp.filePath(QStringLiteral("OVS.xml")), "previous");
        QVERIFY_THROWS_EXCEPTION(AppError,
                                 writeStructureReport(
                                     {temp.path(), QString(), QStringLiteral("Shop"), QString()},
                                     [] {
                                         return QList<ReportTable>{{QString(), QStringLiteral("Broken")}};
                                     },
                                     [](const ReportTable &, ReportDocument &) {
                                         throw AppError(QStringLiteral("no such table"));
                                     }));
        QCOMPARE(readAll(path), QByteArray("previous"));
    }

    void unwritableReportIsAClearError()
    {
        QTemporaryDir temp;
        QVERIFY(QDir(temp.path()).mkdir(QStringLiteral("OVS.xml")));
        try {
            writeStructureReport(
                {temp.path(), QString(), QStringLiteral("Shop"), QString()},
                [] { return QList<ReportTable>(); }, [](const ReportTable &, ReportDocument &) {});
            QFAIL("no error");
        } catch (const AppError &e) {
            QVERIFY2(e.text().contains(temp.filePath(QStringLiteral("OVS.xml"))), qPrintable(e.text()));
        }
    }

    void installedStylesheetRendersEveryTableAndField()
    {
        const QString installed = qEnvironmentVariable("ORVESSA_SOURCE_DIR") + QStringLiteral("/resources");
        QVERIFY(QFile::exists(installed + QStringLiteral("/OVS.xsl")));
        QTemporaryDir temp;
        const QString path = writeStructureReport(
            {temp.path(), installed, QStringLiteral("Shop.db"), QStringLiteral("SQLite 3.40.1")},
            [] {
                return QList<ReportTable>{{QString(), QStringLiteral("Orders")},
                                          {QString(), QStringLiteral("Empty <&>")}};
            },
            [](const ReportTable &table, ReportDocument &document) {
                if (table.name == QStringLiteral("Orders"))
                    describeOrders(document);
            });
        const QString html = reportHtml(path);
        for (const char *text : {"Shop", "SQLite 3.40.1", "Orders", "OrderID", "AutoInc", "WideString",
                                 "Customers.CustomerID", "WideMemo", "Empty &lt;&amp;&gt;", "No columns."})
            QVERIFY2(html.contains(QLatin1String(text)), text);
    }
};

QTEST_GUILESS_MAIN(TestReportDocument)
#include "tst_reportdocument.moc"

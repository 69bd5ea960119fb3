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

#include <functional>

#include <libxml/parser.h>
#include <libxml/tree.h>

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

const QByteArray kSecret = "SECRET-MARK";

// A stylesheet around one template body, with extra declarations before the stylesheet element
// and extra attributes on it.
QByteArray stylesheet(const QByteArray &body, const QByteArray &prolog = {},
                      const QByteArray &attributes = {})
{
    return "<?xml version=\"1.0\"?>\n" + prolog +
           "<xsl:stylesheet version=\"1.1\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\" " +
           attributes + ">\n<xsl:output method=\"html\"/>\n<xsl:template match=\"/*\"><html><body><h1>" +
           "<xsl:value-of select=\"name()\"/></h1>" + body +
           "</body></html></xsl:template>\n</xsl:stylesheet>\n";
}

QString writeReport(const QString &folder, const QString &appFolder)
{
    return writeStructureReport(
        {folder, appFolder, QStringLiteral("Shop.db"), QString()},
        [] {
            return QList<ReportTable>{{QString(), QStringLiteral("Orders")}};
        },
        [](const ReportTable &, ReportDocument &) {});
}

// The attributes of every element, in document order, as libxml2 reads them back.
QStringList attributesOf(const QByteArray &xml, bool *parsed)
{
    QStringList values;
    xmlDocPtr doc = xmlReadMemory(xml.constData(), int(xml.size()), nullptr, nullptr, XML_PARSE_NONET);
    *parsed = doc != nullptr;
    if (!doc)
        return values;
    std::function<void(xmlNodePtr)> walk = [&](xmlNodePtr node) {
        for (; node; node = node->next) {
            if (node->type != XML_ELEMENT_NODE)
                continue;
            for (xmlAttrPtr a = node->properties; a; a = a->next) {
                xmlChar *value = xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(a));
                values << QString::fromUtf8(reinterpret_cast<const char *>(value));
                xmlFree(value);
            }
            walk(node->children);
        }
    };
    walk(xmlDocGetRootElement(doc));
    xmlFreeDoc(doc);
    return values;
}

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

    // Names a database may hold but XML cannot: written in the documented escaped form, the
    // file stays valid XML and every name reads back exactly.
    void anyNameMakesValidXmlAndReadsBack_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("written");
        QTest::newRow("control character") << QStringLiteral("a\x01"
                                                             "b")
                                           << QStringLiteral("a\\u0001b");
        QTest::newRow("escape and form feed")
            << QStringLiteral("\x1B[0m\f") << QStringLiteral("\\u001B[0m\\u000C");
        QTest::newRow("NUL") << QString(QChar(0)) << QStringLiteral("\\u0000");
        QTest::newRow("tab, line feed and carriage return stay")
            << QStringLiteral("a\tb\nc\rd") << QStringLiteral("a\tb\nc\rd");
        QTest::newRow("backslash doubled") << QStringLiteral("dom\\user") << QStringLiteral("dom\\\\user");
        QTest::newRow("text that looks escaped") << QStringLiteral("\\u0041") << QStringLiteral("\\\\u0041");
        QTest::newRow("lone high surrogate")
            << QString(QChar(0xD800)) + QStringLiteral("x") << QStringLiteral("\\uD800x");
        QTest::newRow("lone low surrogate at the end")
            << QStringLiteral("x") + QChar(0xDC00) << QStringLiteral("x\\uDC00");
        QTest::newRow("pair stays") << QStringLiteral("\U0001F600") << QStringLiteral("\U0001F600");
        QTest::newRow("non-characters")
            << QString(QChar(0xFFFE)) + QChar(0xFFFF) << QStringLiteral("\\uFFFE\\uFFFF");
    }
    void anyNameMakesValidXmlAndReadsBack()
    {
        QFETCH(QString, name);
        QFETCH(QString, written);
        QCOMPARE(ReportDocument::attributeText(name), written);

        ReportDocument document(QStringLiteral("Shop"), name);
        document.addStylesheet(QStringLiteral("OVS.xsl"));
        document.beginTable(name);
        document.addField(field(QStringLiteral("foreign ref ") + name + QStringLiteral(".") + name,
                                QStringLiteral("true"), QString(), QStringLiteral("WideString"), name));
        bool parsed = false;
        const QStringList values = attributesOf(document.toBytes(), &parsed);
        QVERIFY2(parsed, document.toBytes().constData());
        QStringList read;
        for (const QString &value : values)
            read << ReportDocument::textFromAttribute(value);
        QCOMPARE(read,
                 QStringList({name, name, QStringLiteral("foreign ref ") + name + QStringLiteral(".") + name,
                              QStringLiteral("true"), QStringLiteral("WideString"), name}));
    }

    // Stylesheets and documents that try to read or write elsewhere get nothing done: the page
    // shows no secret, no file appears. The harmless rows show the same reads work inside the
    // report's folder.
    void stylesheetCannotReachOutsideTheReportFolder_data()
    {
        QTest::addColumn<QByteArray>("xsl");
        QTest::addColumn<bool>("secretShown");
        const QByteArray outside = "@OUTSIDE@";
        QTest::newRow("external entity")
            << stylesheet("<p>&e;</p>", "<!DOCTYPE xsl:stylesheet [<!ENTITY e SYSTEM \"file://" + outside +
                                            "/secret.txt\">]>\n")
            << false;
        QTest::newRow("document() of a file outside")
            << stylesheet("<p><xsl:value-of select=\"document('" + outside + "/secret.xml')\"/></p>")
            << false;
        QTest::newRow("document() by a file address")
            << stylesheet("<p><xsl:value-of select=\"document('file://" + outside + "/secret.xml')\"/></p>")
            << false;
        QTest::newRow("document() through a symlink in the folder")
            << stylesheet("<p><xsl:value-of select=\"document('link.xml')\"/></p>") << false;
        QTest::newRow("xsl:include of a file outside")
            << stylesheet("<xsl:call-template name=\"leak\"/>", {},
                          ">\n<xsl:include href=\"" + outside + "/evil.xsl\"/")
            << false;
        QTest::newRow("xsl:import of a file outside")
            << stylesheet("<xsl:call-template name=\"leak\"/>", {},
                          ">\n<xsl:import href=\"" + outside + "/evil.xsl\"/")
            << false;
        QTest::newRow("document() inside the folder works")
            << stylesheet("<p><xsl:value-of select=\"document('inside.xml')\"/></p>") << true;
        QTest::newRow("xsl:include inside the folder works")
            << stylesheet("<xsl:call-template name=\"leak\"/>", {}, ">\n<xsl:include href=\"evil.xsl\"/")
            << true;
        QTest::newRow("xsl:document writes nothing")
            << stylesheet("<xsl:document href=\"" + outside +
                          "/written.html\">x</xsl:document>"
                          "<xsl:document href=\"written.html\">x</xsl:document>")
            << false;
        QTest::newRow("exsl:document writes nothing")
            << stylesheet("<exsl:document href=\"" + outside + "/written.html\">x</exsl:document>", {},
                          "xmlns:exsl=\"http://exslt.org/common\" extension-element-prefixes=\"exsl\"")
            << false;
    }
    void stylesheetCannotReachOutsideTheReportFolder()
    {
        QFETCH(QByteArray, xsl);
        QFETCH(bool, secretShown);
        QTemporaryDir temp, app, outside;
        writeFile(outside.filePath(QStringLiteral("secret.txt")), kSecret);
        writeFile(outside.filePath(QStringLiteral("secret.xml")), "<s>" + kSecret + "</s>");
        const QByteArray evil =
            "<?xml version=\"1.0\"?><xsl:stylesheet version=\"1.0\" "
            "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"><xsl:template name=\"leak\">" +
            kSecret + "</xsl:template></xsl:stylesheet>";
        writeFile(outside.filePath(QStringLiteral("evil.xsl")), evil);
        writeFile(temp.filePath(QStringLiteral("evil.xsl")), evil);
        writeFile(temp.filePath(QStringLiteral("inside.xml")), "<s>" + kSecret + "</s>");
        QVERIFY(QFile::link(outside.filePath(QStringLiteral("secret.xml")),
                            temp.filePath(QStringLiteral("link.xml"))));
        writeFile(app.filePath(QStringLiteral("OVS.xsl")), xsl.replace("@OUTSIDE@", outside.path().toUtf8()));

        const QString html = reportHtml(writeReport(temp.path(), app.path()));
        QCOMPARE(html.contains(QString::fromLatin1(kSecret)), secretShown);
        QVERIFY(!QFile::exists(outside.filePath(QStringLiteral("written.html"))));
        QVERIFY(!QFile::exists(temp.filePath(QStringLiteral("written.html"))));
    }

    void reportWithAnEntityIsNotRead()
    {
        QTemporaryDir temp, outside;
        writeFile(outside.filePath(QStringLiteral("secret.txt")), kSecret);
        const QString path = writeFile(temp.filePath(QStringLiteral("OVS.xml")),
                                       "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY e SYSTEM \"file://" +
                                           outside.filePath(QStringLiteral("secret.txt")).toUtf8() +
                                           "\">]><r a=\"x\">&e;</r>");
        QVERIFY_THROWS_EXCEPTION(AppError, reportHtml(path));
    }

    // A stylesheet in a folder others can write to, or one named by a path, is not applied.
    void stylesheetOnlyFromAPrivateFolder()
    {
        QTemporaryDir temp, app;
        writeFile(app.filePath(QStringLiteral("OVS.xsl")), kStylesheet);
        const QString path = writeReport(temp.path(), app.path());
        QVERIFY(reportHtml(path).contains(QStringLiteral("<h1>Shop</h1>")));

        QVERIFY(QFile::setPermissions(temp.path(), QFile::permissions(temp.path()) | QFile::WriteOther |
                                                       QFile::ExeOther | QFile::ReadOther));
        QVERIFY(!reportHtml(path).contains(QStringLiteral("<h1>")));

        QTemporaryDir other;
        writeFile(other.filePath(QStringLiteral("OVS.xml")),
                  "<?xml version=\"1.0\"?><?xml-stylesheet type=\"text/xsl\" href=\"" +
                      app.filePath(QStringLiteral("OVS.xsl")).toUtf8() + "\"?><Shop/>");
        QVERIFY(!reportHtml(other.filePath(QStringLiteral("OVS.xml"))).contains(QStringLiteral("<h1>")));
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

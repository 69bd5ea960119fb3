// The spreadsheet hand-off: whether the desktop has an application for .xlsx files, and the
// workbook written from the structure grid.
#include "common/AppError.h"
#include "reports/SpreadsheetAvailability.h"
#include "reports/SpreadsheetExport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

// One member of the .xlsx zip.
QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString member(const QString &xlsx, const QString &name)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), xlsx, name});
    if (!unzip.waitForFinished() || unzip.exitCode() != 0)
        return QString();
    return QString::fromUtf8(unzip.readAllStandardOutput());
}

QString unescape(QString text)
{
    return text.replace(QStringLiteral("&lt;"), QStringLiteral("<"))
        .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
        .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
        .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
}

// The sheet's cells by their reference ("A1") as the text they show.
QMap<QString, QString> cells(const QString &xlsx)
{
    QStringList strings;
    const QRegularExpression si(QStringLiteral("<si><t[^>]*>(.*?)</t></si>"));
    for (const auto &m : si.globalMatch(member(xlsx, QStringLiteral("xl/sharedStrings.xml"))))
        strings << unescape(m.captured(1));
    QMap<QString, QString> result;
    const QRegularExpression c(
        QStringLiteral("<c r=\"([A-Z]+[0-9]+)\"[^>]*t=\"s\"[^>]*><v>([0-9]+)</v></c>"));
    for (const auto &m : c.globalMatch(member(xlsx, QStringLiteral("xl/worksheets/sheet1.xml"))))
        result.insert(m.captured(1), strings.value(m.captured(2).toInt()));
    return result;
}

} // namespace

class TestSpreadsheet : public QObject
{
    Q_OBJECT

private slots:
    void registeredApplicationIsFound_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("desktopFile");
        QTest::addColumn<bool>("registered");
        const QByteArray type = kSpreadsheetMimeType;
        QTest::newRow("nothing") << QString() << QByteArray() << true << false;
        QTest::newRow("default application") << "config/mimeapps.list"
                                             << "[Default Applications]\n" + type + "=calc.desktop\n"
                                             << true << true;
        QTest::newRow("added association") << "data/applications/mimeapps.list"
                                           << "[Added Associations]\n" + type + "=calc.desktop;\n"
                                           << true << true;
        QTest::newRow("system config") << "xdg/mimeapps.list"
                                       << "[Default Applications]\n" + type + "=calc.desktop\n"
                                       << true << true;
        QTest::newRow("mime cache") << "share/applications/mimeinfo.cache"
                                    << "[MIME Cache]\ntext/plain=edit.desktop;\n" + type + "=calc.desktop;\n"
                                    << true << true;
        QTest::newRow("application not installed") << "config/mimeapps.list"
                                                   << "[Default Applications]\n" + type + "=calc.desktop\n"
                                                   << false << false;
        QTest::newRow("other types only")
            << "config/mimeapps.list" << QByteArray("[Default Applications]\ntext/csv=calc.desktop\n") << true
            << false;
        QTest::newRow("removed association")
            << "config/mimeapps.list"
            << "[Removed Associations]\n" + type + "=calc.desktop\n[Added Associations]\n" + type +
                   "=calc.desktop\n"
            << true << false;
        QTest::newRow("other section") << "config/mimeapps.list"
                                       << "[Something]\n" + type + "=calc.desktop\n"
                                       << true << false;
    }
    void registeredApplicationIsFound()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(bool, desktopFile);
        QFETCH(bool, registered);
        QTemporaryDir root;
        qputenv("XDG_CONFIG_HOME", root.filePath(QStringLiteral("config")).toUtf8());
        qputenv("XDG_CONFIG_DIRS", root.filePath(QStringLiteral("xdg")).toUtf8());
        qputenv("XDG_DATA_HOME", root.filePath(QStringLiteral("data")).toUtf8());
        qputenv("XDG_DATA_DIRS", root.filePath(QStringLiteral("share")).toUtf8());
        if (!file.isEmpty())
            writeFile(root.filePath(file), content);
        if (desktopFile)
            writeFile(root.filePath(QStringLiteral("share/applications/calc.desktop")), "[Desktop Entry]\n");
        QCOMPARE(isSpreadsheetAppRegistered(), registered);
    }

    void vendorPrefixedDesktopFileInSubfolder()
    {
        QTemporaryDir root;
        qputenv("XDG_CONFIG_HOME", root.filePath(QStringLiteral("config")).toUtf8());
        qputenv("XDG_DATA_DIRS", root.filePath(QStringLiteral("share")).toUtf8());
        writeFile(root.filePath(QStringLiteral("config/mimeapps.list")),
                  QByteArray("[Default Applications]\n") + kSpreadsheetMimeType + "=office-calc.desktop\n");
        writeFile(root.filePath(QStringLiteral("share/applications/office/calc.desktop")),
                  "[Desktop Entry]\n");
        QVERIFY(isSpreadsheetAppRegistered());
    }

    // Each export makes a new file; whatever stands at a name already, a workbook of an earlier
    // export or something planted there, is neither opened nor overwritten.
    void workbooksAreCreatedNewAndNeverOverwrite()
    {
        QTemporaryDir dir, elsewhere;
        const QList<QStringList> rows{{QStringLiteral("x")}};
        const QString victim = elsewhere.filePath(QStringLiteral("thesis.odt"));
        writeFile(victim, "precious");
        QVERIFY(QFile::link(victim, dir.filePath(QStringLiteral("Orders.xlsx"))));
        writeFile(dir.filePath(QStringLiteral("Orders-2.xlsx")), "planted");

        const QString first = writeStructureWorkbook(dir.path(), QStringLiteral("Orders"), rows);
        QCOMPARE(first, dir.filePath(QStringLiteral("Orders-3.xlsx")));
        QCOMPARE(writeStructureWorkbook(dir.path(), QStringLiteral("Orders"), rows),
                 dir.filePath(QStringLiteral("Orders-4.xlsx")));
        QCOMPARE(readAll(victim), QByteArray("precious"));
        QCOMPARE(readAll(dir.filePath(QStringLiteral("Orders-2.xlsx"))), QByteArray("planted"));
        QVERIFY(readAll(first).startsWith("PK"));
        // Group and others get nothing (0x0077: their read, write and execute bits).
        QCOMPARE(QFile::permissions(first) & 0x0077, QFile::Permissions());
        // libxlsxwriter's scratch files went into the same folder and are gone.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 4);

        QCOMPARE(writeStructureWorkbook(dir.path(), QStringLiteral("../etc/x:y"), rows),
                 dir.filePath(QStringLiteral("_._etc_x_y.xlsx")));
        QCOMPARE(writeStructureWorkbook(dir.path(), QString(), rows),
                 dir.filePath(QStringLiteral("Structure.xlsx")));
    }

    void everyGridCellLandsInItsCell()
    {
        QTemporaryDir dir;
        const QList<QStringList> rows{{QString(), QStringLiteral("Name"), QStringLiteral("Type"),
                                       QStringLiteral("Size"), QStringLiteral("Null")},
                                      {QStringLiteral("PK"), QStringLiteral("OrderID"),
                                       QStringLiteral("AutoInc"), QString(), QStringLiteral("not null")},
                                      {QStringLiteral("FK"), QStringLiteral("CustomerID"),
                                       QStringLiteral("WideString"), QStringLiteral("5"),
                                       QStringLiteral("null")},
                                      {QString(), QStringLiteral("Note & <remark>"),
                                       QStringLiteral("WideMemo"), QString(), QStringLiteral("null")}};
        const QString path = writeStructureWorkbook(dir.path(), QStringLiteral("Orders"), rows);

        const QMap<QString, QString> sheet = cells(path);
        QVERIFY2(!sheet.isEmpty(), "unzip is needed to read the workbook back");
        const QString columns = QStringLiteral("ABCDE");
        int filled = 0;
        for (int r = 0; r < rows.size(); ++r) {
            for (int c = 0; c < 5; ++c) {
                const QString ref = columns[c] + QString::number(r + 1);
                QCOMPARE(sheet.value(ref), rows[r][c]);
                filled += !rows[r][c].isEmpty();
            }
        }
        QCOMPARE(sheet.size(), filled);

        QVERIFY(member(path, QStringLiteral("xl/workbook.xml")).contains(QStringLiteral("name=\"Orders\"")));
        QVERIFY(member(path, QStringLiteral("docProps/core.xml"))
                    .contains(QStringLiteral("<dc:title>Orders</dc:title>")));
        // Widths follow the longest text: "Note & <remark>" is wider than "CustomerID".
        const QString xml = member(path, QStringLiteral("xl/worksheets/sheet1.xml"));
        const QRegularExpression col(QStringLiteral("<col min=\"2\" max=\"2\" width=\"([0-9.]+)\""));
        const auto width = col.match(xml);
        QVERIFY2(width.hasMatch(), qPrintable(xml));
        QVERIFY(width.captured(1).toDouble() >= 15.0);
    }

    void sheetNamesFollowTheRules_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("sheet");
        QTest::newRow("plain") << "Orders"
                               << "Orders";
        QTest::newRow("forbidden characters") << "a[b]:c*d?e/f\\g"
                                              << "a_b__c_d_e_f_g";
        QTest::newRow("too long") << QString(40, QLatin1Char('x')) << QString(31, QLatin1Char('x'));
        QTest::newRow("apostrophes at the ends") << "'quoted'"
                                                 << "_quoted_";
        QTest::newRow("empty") << ""
                               << "Sheet1";
    }
    void sheetNamesFollowTheRules()
    {
        QFETCH(QString, table);
        QFETCH(QString, sheet);
        QCOMPARE(worksheetName(table), sheet);
    }

    void unwritableFolderIsAnError()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("missing"));
        QVERIFY_THROWS_EXCEPTION(
            AppError, writeStructureWorkbook(folder, QStringLiteral("Orders"), {{QStringLiteral("x")}}));
        QVERIFY(!QFile::exists(folder));
    }
};

QTEST_GUILESS_MAIN(TestSpreadsheet)
#include "tst_spreadsheet.moc"

// The export formats read back by independent readers, and the rules around them.
#include "ExportReader.h"

#include "export/CellText.h"
#include "export/DateTimeText.h"
#include "export/ExportJob.h"
#include "export/ExportTarget.h"
#include "export/RerunCheck.h"
#include "export/WorkbookWriter.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <bit>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

Q_DECLARE_METATYPE(ExportFormat)

namespace {

QString kindOf(ExportFormat format)
{
    switch (format) {
    case ExportFormat::Workbook:
        return QStringLiteral("xlsx");
    case ExportFormat::JsonLines:
        return QStringLiteral("jsonl");
    default:
        return QStringLiteral("csv");
    }
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Names and texts that a careless writer breaks, with what a reader must see; the last ones
// are ill-formed UTF-8, which a reader sees replaced as Python's decoder replaces it.
struct TextCase
{
    QByteArray sent;
    QString seen;
};

QList<TextCase> textCases()
{
    return {
        {"plain", QStringLiteral("plain")},
        {"comma, inside", QStringLiteral("comma, inside")},
        {"quote \" inside", QStringLiteral("quote \" inside")},
        {"\"quoted\"", QStringLiteral("\"quoted\"")},
        {"cr\rlf\nboth\r\nend", QStringLiteral("cr\rlf\nboth\r\nend")},
        {" spaces kept ", QStringLiteral(" spaces kept ")},
        {"tab\tand back\\slash", QStringLiteral("tab\tand back\\slash")},
        {"bell\x07 and escape\x1b", QStringLiteral("bell\x07 and escape\x1b")},
        {"na\xc3\xafve caf\xc3\xa9 \xe2\x98\x95 \xf0\x9d\x84\x9e \xe6\x97\xa5\xe6\x9c\xac",
         QStringLiteral(u"naïve café ☕ 𝄞 日本")},
        {"_x0041_ stays", QStringLiteral("_x0041_ stays")},
        {QByteArray("nul\0inside", 10), QString::fromUtf8("nul\0inside", 10)},
        {"=1+1", QStringLiteral("=1+1")},
        {"a\x80z", QStringLiteral(u"a\uFFFDz")},
        {"\xed\xa0\x80!", QStringLiteral(u"\uFFFD\uFFFD\uFFFD!")},
        {"\xf0\x9f\x98x", QStringLiteral(u"\uFFFDx")},
        {"\xc0\xaf", QStringLiteral(u"\uFFFD\uFFFD")},
    };
}

const QList<FieldInfo> kTextFields = {field(QStringLiteral("id"), AdoType::Integer),
                                      field(QStringLiteral(u"línea, \"dos\"\nnueva ☕"), AdoType::VarWChar)};

// The value of a cell as the reader of each format gives a text back.
QString textOf(const QJsonValue &cell, ExportFormat format)
{
    if (format == ExportFormat::Csv || format == ExportFormat::CsvForSpreadsheets)
        return cell.toString();
    return cell.toObject().value(QStringLiteral("s")).toString();
}

} // namespace

class TestExportFormats : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    QString path(const QString &name) const { return m_dir->filePath(name); }

    // Writes rows through an export job, as the command does, and returns the file.
    QString exportRows(ExportFormat format, const QList<FieldInfo> &fields, const QList<QList<Cell>> &rows,
                       QList<CutCell> *cut = nullptr)
    {
        const QString file = path(QStringLiteral("out.") + exportExtension(format));
        ExportJob job({file, format}, m_dir->path());
        feedRows(job.startResult(fields), rows);
        job.commit();
        if (cut)
            *cut = job.writer()->cutCells();
        return file;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void csvRecordsFollowRfc4180()
    {
        const QString file = exportRows(
            ExportFormat::Csv,
            {field(QStringLiteral("say \"hi\""), AdoType::VarWChar),
             field(QStringLiteral("n"), AdoType::BigInt), field(QStringLiteral("x"), AdoType::Double),
             field(QStringLiteral("ok"), AdoType::Boolean), field(QStringLiteral("bin"), AdoType::VarBinary)},
            {{Text{"a,b"}, qint64(42), 0.1, true, Blob{QByteArray("\x00\xff", 2)}},
             {{}, {}, {}, {}, {}},
             {Text{""}, qint64(-7), 1e300, false, Blob{}},
             {Text{"line1\r\nline2 \"q\""}, std::numeric_limits<qint64>::min(),
              std::numeric_limits<double>::quiet_NaN(), true, Blob{"a"}}});
        // NULL is an empty field, the empty string and the empty blob are "".
        QCOMPARE(readBytes(file),
                 QByteArray("\"say \"\"hi\"\"\",n,x,ok,bin\r\n"
                            "\"a,b\",42,0.1,true,AP8=\r\n"
                            ",,,,\r\n"
                            "\"\",-7,1e+300,false,\"\"\r\n"
                            "\"line1\r\nline2 \"\"q\"\"\",-9223372036854775808,NaN,true,YQ==\r\n"));
    }

    void textRoundTrips_data()
    {
        QTest::addColumn<ExportFormat>("format");
        QTest::newRow("CSV") << ExportFormat::Csv;
        QTest::newRow("CSV with BOM") << ExportFormat::CsvForSpreadsheets;
        QTest::newRow("JSON Lines") << ExportFormat::JsonLines;
        QTest::newRow("workbook") << ExportFormat::Workbook;
    }

    void textRoundTrips()
    {
        QFETCH(ExportFormat, format);
        QList<QList<Cell>> rows;
        const QList<TextCase> cases = textCases();
        for (qsizetype i = 0; i < cases.size(); ++i)
            rows.append({qint64(i + 1), Text{cases[i].sent}});
        const QJsonObject read = readExport(kindOf(format), exportRows(format, kTextFields, rows));
        QVERIFY(!read.isEmpty());
        QCOMPARE(read.value(QStringLiteral("bom")).toBool(), format == ExportFormat::CsvForSpreadsheets);
        QJsonArray lines = exportedRows(read);
        if (format == ExportFormat::JsonLines) {
            for (const QJsonValue line : lines) {
                const QJsonArray keys = line.toObject().value(QStringLiteral("keys")).toArray();
                QCOMPARE(keys.at(1).toString(), kTextFields[1].name);
            }
        } else {
            QCOMPARE(textOf(lines.at(0).toArray().at(1), format), kTextFields[1].name);
            lines.removeFirst();
        }
        QCOMPARE(lines.size(), cases.size());
        for (qsizetype i = 0; i < cases.size(); ++i) {
            const QJsonArray cells = format == ExportFormat::JsonLines
                                         ? lines.at(i).toObject().value(QStringLiteral("values")).toArray()
                                         : lines.at(i).toArray();
            QCOMPARE(textOf(cells.at(1), format), cases[i].seen);
        }
    }

    void jsonValuesKeepTheirTypes()
    {
        const QString file = exportRows(
            ExportFormat::JsonLines,
            {field(QStringLiteral("id"), AdoType::BigInt), field(QStringLiteral("id"), AdoType::Numeric),
             field(QStringLiteral("id_2"), AdoType::Double), field(QStringLiteral("ok"), AdoType::Boolean),
             field(QStringLiteral("bin"), AdoType::LongVarBinary),
             field(QStringLiteral("day"), AdoType::DBDate)},
            {{std::numeric_limits<qint64>::max(), Text{"12345678901234567890.1234567890"}, 0.1, true,
              Blob{QByteArray("\x00\xff\x10", 3)}, Text{"2024-03-05"}},
             {std::numeric_limits<qint64>::min(), Text{"-.50"}, 1e300, false, Blob{}, {}},
             {qint64(0), Text{"NaN"}, std::numeric_limits<double>::infinity(), {}, {}, {}},
             {qint64(7), Text{" 007 "}, std::numeric_limits<double>::quiet_NaN(), {}, {}, {}}});
        const QJsonArray lines = exportedRows(readExport(QStringLiteral("jsonl"), file));
        QCOMPARE(lines.size(), 4);
        // A repeated name takes the first free suffix: "id_2" is taken by a column of its own.
        QCOMPARE(lines.at(0).toObject().value(QStringLiteral("keys")).toArray(),
                 QJsonArray({"id", "id_3", "id_2", "ok", "bin", "day"}));
        auto values = [&](int line) {
            return lines.at(line).toObject().value(QStringLiteral("values")).toArray();
        };
        auto number = [](const char *text) { return QJsonObject{{"n", QString::fromLatin1(text)}}; };
        auto string = [](const char *text) { return QJsonObject{{"s", QString::fromLatin1(text)}}; };
        QCOMPARE(values(0),
                 QJsonArray({number("9223372036854775807"), number("12345678901234567890.1234567890"),
                             number("0.1"), QJsonObject{{"b", true}}, string("AP8Q"), string("2024-03-05")}));
        QCOMPARE(values(1), QJsonArray({number("-9223372036854775808"), number("-0.50"), number("1E+300"),
                                        QJsonObject{{"b", false}}, string(""), QJsonValue()}));
        // What JSON has no number for stays a string.
        QCOMPARE(values(2), QJsonArray({number("0"), string("NaN"), string("Infinity"), QJsonValue(),
                                        QJsonValue(), QJsonValue()}));
        QCOMPARE(values(3).at(1), QJsonValue(number("7")));
        QCOMPARE(values(3).at(2), QJsonValue(string("NaN")));
    }

    void workbookCellsAreTyped()
    {
        QList<CutCell> cut;
        const QString file = exportRows(
            ExportFormat::Workbook,
            {field(QStringLiteral("n"), AdoType::BigInt), field(QStringLiteral("dec"), AdoType::Numeric),
             field(QStringLiteral("x"), AdoType::Double), field(QStringLiteral("ok"), AdoType::Boolean),
             field(QStringLiteral("when"), AdoType::DBTimeStamp),
             field(QStringLiteral("text"), AdoType::VarWChar),
             field(QStringLiteral("bin"), AdoType::VarBinary)},
            {{qint64(42), Text{"12.50"}, 0.1, true, Text{"2024-03-05"}, Text{"2024-03-05"}, Blob{"abc"}},
             // Past the 15 digits a worksheet number keeps: text, every digit kept.
             {qint64(1234567890123456789), Text{"1234567890.123456789"},
              std::numeric_limits<double>::infinity(), false, Text{"2024-03-05 14:07:09.5+05:30"}, Text{""},
              Blob{}},
             {qint64(-999999999999999), Text{"-123456789012345"}, -2.5, {}, Text{"14:07:09"}, {}, {}},
             {{}, Text{"NaN"}, {}, {}, Text{"infinity"}, {}, {}},
             {{}, {}, {}, {}, Text{"0000-00-00 00:00:00"}, {}, {}},
             {{}, {}, {}, {}, Text{"1899-12-31"}, {}, {}}},
            &cut);
        const QJsonArray rows = exportedRows(readExport(QStringLiteral("xlsx"), file));
        QCOMPARE(rows.size(), 7);
        auto n = [](const char *v) { return QJsonObject{{"n", QString::fromLatin1(v)}}; };
        auto s = [](const char *v) { return QJsonObject{{"s", QString::fromLatin1(v)}}; };
        auto d = [](const char *v) { return QJsonObject{{"d", QString::fromLatin1(v)}}; };
        QCOMPARE(rows.at(0).toArray(),
                 QJsonArray({s("n"), s("dec"), s("x"), s("ok"), s("when"), s("text"), s("bin")}));
        QCOMPARE(rows.at(1).toArray(), QJsonArray({n("42"), n("12.5"), n("0.1"), QJsonObject{{"b", true}},
                                                   d("2024-03-05T00:00:00"), s("2024-03-05"), s("YWJj")}));
        QCOMPARE(rows.at(2).toArray(),
                 QJsonArray({s("1234567890123456789"), s("1234567890.123456789"), s("Infinity"),
                             QJsonObject{{"b", false}}, d("2024-03-05T14:07:09.500000"), QJsonValue(),
                             QJsonValue()}));
        QCOMPARE(rows.at(3).toArray(), QJsonArray({n("-999999999999999"), n("-123456789012345"), n("-2.5"),
                                                   QJsonValue(), d("14:07:09"), QJsonValue(), QJsonValue()}));
        // Dates a worksheet cannot hold stay the database's text.
        QCOMPARE(rows.at(4).toArray(), QJsonArray({QJsonValue(), s("NaN"), QJsonValue(), QJsonValue(),
                                                   s("infinity"), QJsonValue(), QJsonValue()}));
        QCOMPARE(rows.at(5).toArray().at(4), QJsonValue(s("0000-00-00 00:00:00")));
        QCOMPARE(rows.at(6).toArray().at(4), QJsonValue(s("1899-12-31")));
        QVERIFY(cut.isEmpty());
    }

    // Every double comes back as the very same double: as a number where a worksheet number
    // written by the library holds it exactly, else as its shortest exact text.
    void workbookDoublesReadBackBitIdentical()
    {
        const QList<double> values = {0.1,
                                      0.30000000000000004,
                                      1.0 / 3,
                                      2.0 / 3,
                                      123456789.12345678,
                                      std::nextafter(1.0, 2.0),
                                      1e16,
                                      9007199254740993.0,
                                      std::numeric_limits<double>::max(),
                                      std::numeric_limits<double>::min(),
                                      std::numeric_limits<double>::denorm_min(),
                                      -0.0,
                                      -2.5,
                                      3.0};
        QList<QList<Cell>> rows;
        for (const double value : values)
            rows.append(QList<Cell>{value});
        const QString file =
            exportRows(ExportFormat::Workbook, {field(QStringLiteral("x"), AdoType::Double)}, rows);
        const QJsonArray read = exportedRows(readExport(QStringLiteral("xlsx"), file));
        QCOMPARE(read.size(), values.size() + 1);
        for (int i = 0; i < values.size(); ++i) {
            const QJsonObject cell = read.at(i + 1).toArray().at(0).toObject();
            const QString text =
                cell.value(cell.contains(QStringLiteral("n")) ? QStringLiteral("n") : QStringLiteral("s"))
                    .toString();
            bool ok = false;
            const double back = text.toDouble(&ok);
            QVERIFY2(ok, qPrintable(text));
            QVERIFY2(
                std::bit_cast<quint64>(back) == std::bit_cast<quint64>(values[i]),
                qPrintable(QStringLiteral("%1 came back as %2")
                               .arg(QString::number(values[i], 'g', QLocale::FloatingPointShortest), text)));
        }
        // Numbers stay numbers wherever the library keeps every digit.
        QVERIFY(read.at(1).toArray().at(0).toObject().contains(QStringLiteral("n")));
        QVERIFY(read.at(4).toArray().at(0).toObject().contains(QStringLiteral("n")));
    }

    // The program runs in the user's locale; numbers in the file are written the one way a
    // worksheet reads them, also where the locale writes a decimal comma.
    void workbookNumbersIgnoreTheLocale()
    {
        const QString locales = path(QStringLiteral("locales"));
        QVERIFY(QDir().mkpath(locales));
        QProcess localedef;
        localedef.start(QStringLiteral("localedef"),
                        {QStringLiteral("-i"), QStringLiteral("pt_BR"), QStringLiteral("-f"),
                         QStringLiteral("UTF-8"), QDir(locales).filePath(QStringLiteral("pt_BR.UTF-8"))});
        if (!localedef.waitForFinished(60000) || localedef.exitCode() != 0)
            QSKIP("localedef cannot make the pt_BR locale (Debian package locales)");
        const QByteArray previousPath = qgetenv("LOCPATH");
        const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
        qputenv("LOCPATH", QFile::encodeName(locales));
        const bool set = std::setlocale(LC_NUMERIC, "pt_BR.UTF-8") != nullptr;
        char comma[8];
        std::snprintf(comma, sizeof comma, "%.1f", 0.5);
        const QString file = exportRows(
            ExportFormat::Workbook,
            {field(QStringLiteral("x"), AdoType::Double), field(QStringLiteral("n"), AdoType::Numeric)},
            {{0.5, Text{"12.25"}}, {1e-5, Text{"-3.5"}}});
        std::setlocale(LC_NUMERIC, previous.c_str());
        if (previousPath.isNull())
            qunsetenv("LOCPATH");
        else
            qputenv("LOCPATH", previousPath);
        QVERIFY(set);
        QCOMPARE(QByteArray(comma), QByteArray("0,5"));
        const QJsonArray rows = exportedRows(readExport(QStringLiteral("xlsx"), file));
        QCOMPARE(rows.size(), 3);
        auto n = [](const char *v) { return QJsonValue(QJsonObject{{"n", QString::fromLatin1(v)}}); };
        QCOMPARE(rows.at(1).toArray(), QJsonArray({n("0.5"), n("12.25")}));
        QCOMPARE(rows.at(2).toArray(), QJsonArray({n("1e-05"), n("-3.5")}));
    }

    // Cancel reaches a workbook while it is zipped: the assembly stops and nothing replaces the
    // old file.
    void abandonedWhileAssembledTheOldFileStays()
    {
        const QString file = path(QStringLiteral("big.xlsx"));
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        auto job = std::make_unique<ExportJob>(ExportTarget{file, ExportFormat::Workbook}, m_dir->path());
        CellSink &sink = job->startResult({field(QStringLiteral("id"), AdoType::Integer),
                                           field(QStringLiteral("text"), AdoType::VarWChar)});
        const QByteArray text(60, 'x');
        for (int i = 0; i < 200000; ++i) {
            sink.beginRow();
            sink.addInt(i);
            sink.addText(text.constData(), text.size());
            sink.endRow();
        }
        // The assembly is under way once it has made a scratch file of its own beside the sheet's.
        const QByteArray scratch = QFile::encodeName(m_dir->path()) + "/orvessa-";
        const auto scratchFiles = [&scratch] {
            int count = 0;
            const QDir fds(QStringLiteral("/proc/self/fd"));
            for (const QString &fd : fds.entryList(QDir::Files | QDir::System))
                count += QFile::encodeName(QFile::symLinkTarget(fds.filePath(fd))).startsWith(scratch);
            return count;
        };
        QCOMPARE(scratchFiles(), 1);
        std::atomic<bool> done{false};
        bool committed = true;
        std::thread assembly([&] {
            committed = job->commit();
            done = true;
        });
        while (!done && scratchFiles() < 2)
            std::this_thread::yield();
        const bool underWay = !done;
        job->abandon();
        assembly.join();
        job.reset();
        QVERIFY2(underWay, "the workbook was assembled before it could be abandoned");
        QVERIFY(!committed);
        QCOMPARE(readBytes(file), QByteArray("old"));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("big.xlsx")});
    }

    void longTextIsCutToTheCellLimitAndNoted()
    {
        const QByteArray longAscii(40000, 'a');
        QByteArray emoji;
        for (int i = 0; i < 20000; ++i)
            emoji += "\xf0\x9f\x98\x80";
        const QByteArray fits(32767, 'b');
        QList<CutCell> cut;
        const QString file = exportRows(
            ExportFormat::Workbook,
            {field(QStringLiteral("id"), AdoType::Integer),
             field(QStringLiteral("memo"), AdoType::LongVarWChar)},
            {{qint64(1), Text{fits}}, {qint64(2), Text{longAscii}}, {qint64(3), Text{emoji}}}, &cut);
        const QJsonArray rows = exportedRows(readExport(QStringLiteral("xlsx"), file));
        auto text = [&](int row) {
            return rows.at(row).toArray().at(1).toObject().value(QStringLiteral("s")).toString();
        };
        QCOMPARE(text(1).size(), 32767);
        QCOMPARE(text(2), QString(32767, u'a'));
        // A worksheet counts the UTF-16 units of a character beyond U+FFFF: two each.
        QCOMPARE(text(3).size(), 32766);
        QCOMPARE(cut.size(), 2);
        QCOMPARE(cut[0].row, 2);
        QCOMPARE(cut[0].column, QStringLiteral("memo"));
        QCOMPARE(cut[1].row, 3);
    }

    void workbookGoesOnInFurtherSheetsWithTheHeader()
    {
        const QString file = path(QStringLiteral("sheets.xlsx"));
        {
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            WorkbookWriter writer(out.handle(), m_dir->path(), 3);
            writer.startResult({field(QStringLiteral("id"), AdoType::Integer)});
            feedRows(writer, {{qint64(1)}, {qint64(2)}, {qint64(3)}, {qint64(4)}, {qint64(5)}});
            writer.finish();
            QCOMPARE(writer.rows(), 5);
        }
        const QJsonObject read = readExport(QStringLiteral("xlsx"), file);
        const QJsonArray sheets = read.value(QStringLiteral("sheets")).toArray();
        QCOMPARE(sheets.size(), 3);
        const QJsonObject header{{"s", "id"}};
        QStringList seen;
        for (int s = 0; s < sheets.size(); ++s) {
            QCOMPARE(sheets.at(s).toObject().value(QStringLiteral("name")).toString(),
                     QStringLiteral("Sheet%1").arg(s + 1));
            const QJsonArray rows = exportedRows(read, s);
            QCOMPARE(rows.at(0).toArray().at(0), QJsonValue(header));
            for (qsizetype r = 1; r < rows.size(); ++r)
                seen << rows.at(r).toArray().at(0).toObject().value(QStringLiteral("n")).toString();
        }
        QCOMPARE(seen, QStringList({"1", "2", "3", "4", "5"}));
    }

    void aLaterResultReplacesTheEarlierOne_data() { textRoundTrips_data(); }

    void aLaterResultReplacesTheEarlierOne()
    {
        QFETCH(ExportFormat, format);
        const QString file = path(QStringLiteral("two.") + exportExtension(format));
        {
            ExportJob job({file, format}, m_dir->path());
            QList<QList<Cell>> many;
            for (int i = 0; i < 50000; ++i)
                many.append({qint64(i), Text{"first result"}});
            feedRows(job.startResult({field(QStringLiteral("a"), AdoType::Integer),
                                      field(QStringLiteral("b"), AdoType::VarWChar)}),
                     many);
            feedRows(job.startResult({field(QStringLiteral("last"), AdoType::VarWChar)}), {{Text{"only"}}});
            job.commit();
            QCOMPARE(job.rows(), 1);
        }
        const QJsonArray rows = exportedRows(readExport(kindOf(format), file));
        const QJsonValue last = format == ExportFormat::JsonLines
                                    ? rows.at(0).toObject().value(QStringLiteral("values")).toArray().at(0)
                                    : rows.at(1).toArray().at(0);
        QCOMPARE(rows.size(), format == ExportFormat::JsonLines ? 1 : 2);
        QCOMPARE(textOf(last, format), QStringLiteral("only"));
    }

    void targetFollowsNameAndChosenType_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<ExportFormat>("chosen");
        QTest::addColumn<QString>("path");
        QTest::addColumn<ExportFormat>("format");
        QTest::newRow("no extension takes the chosen type's")
            << "/d/data" << ExportFormat::JsonLines << "/d/data.jsonl" << ExportFormat::JsonLines;
        QTest::newRow("a known extension wins")
            << "/d/data.xlsx" << ExportFormat::Csv << "/d/data.xlsx" << ExportFormat::Workbook;
        QTest::newRow("in any letter case")
            << "/d/DATA.CSV" << ExportFormat::Workbook << "/d/DATA.CSV" << ExportFormat::Csv;
        QTest::newRow("CSV for spreadsheets keeps its mark")
            << "/d/data.csv" << ExportFormat::CsvForSpreadsheets << "/d/data.csv"
            << ExportFormat::CsvForSpreadsheets;
        QTest::newRow("another extension is kept")
            << "/d/data.txt" << ExportFormat::Csv << "/d/data.txt" << ExportFormat::Csv;
        QTest::newRow("a dot in the folder is no extension")
            << "/d.v1/data" << ExportFormat::Workbook << "/d.v1/data.xlsx" << ExportFormat::Workbook;
    }

    void targetFollowsNameAndChosenType()
    {
        QFETCH(QString, name);
        QFETCH(ExportFormat, chosen);
        QFETCH(QString, path);
        QFETCH(ExportFormat, format);
        const ExportTarget target = exportTarget(name, chosen);
        QCOMPARE(target.path, path);
        QCOMPARE(target.format, format);
    }

    void proposedNameIsTheFirstFreeNumber()
    {
        QCOMPARE(proposedExportName(m_dir->path(), QStringLiteral("Undefined")),
                 QStringLiteral("Undefined1.csv"));
        for (const char *taken : {"Undefined1.csv", "Undefined2.xlsx", "Undefined3.jsonl", "Undefined4.ovs"})
            QVERIFY(QFile(path(QLatin1String(taken))).open(QIODevice::WriteOnly));
        QCOMPARE(proposedExportName(m_dir->path(), QStringLiteral("Undefined")),
                 QStringLiteral("Undefined4.csv"));
    }

    void rerunCheck_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("mayChange");
        QTest::newRow("select") << "SELECT * FROM t" << false;
        QTest::newRow("after a comment and a parenthesis")
            << "-- top\n/* x */ (select 1) union (select 2);" << false;
        QTest::newRow("with") << "WITH c AS (SELECT 1) SELECT * FROM c" << false;
        QTest::newRow("write words in literals and names")
            << "SELECT 'DELETE', \"update\", `drop`, [insert] FROM t" << false;
        QTest::newRow("dollar-quoted text") << "SELECT $q$ DROP TABLE t; $q$" << false;
        QTest::newRow("insert returning") << "INSERT INTO t VALUES (1) RETURNING *" << true;
        QTest::newRow("data-changing common table expression")
            << "WITH gone AS (DELETE FROM t RETURNING *) SELECT * FROM gone" << true;
        QTest::newRow("select into a new table") << "SELECT * INTO t2 FROM t" << true;
        QTest::newRow("two statements") << "SELECT 1; SELECT 2" << true;
        QTest::newRow("a procedure") << "CALL refresh()" << true;
        QTest::newRow("pragma") << "PRAGMA table_info(t)" << true;
        QTest::newRow("an open quote") << "SELECT 'x" << true;
        QTest::newRow("an open comment") << "SELECT 1 /* DELETE" << true;
    }

    void rerunCheck()
    {
        QFETCH(QString, sql);
        QFETCH(bool, mayChange);
        QCOMPARE(::rerunMayChangeData(sql), mayChange);
    }

    void dateTimeText_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("read"); // date|time as numbers, or empty when not read
        QTest::newRow("date") << QByteArray("2024-02-29") << "2024-2-29|";
        QTest::newRow("timestamp") << QByteArray("2024-03-05 14:07:09") << "2024-3-5|14:7:9";
        QTest::newRow("T and fraction") << QByteArray("2024-03-05T14:07:09.25") << "2024-3-5|14:7:9.25";
        QTest::newRow("zone offsets are left aside")
            << QByteArray("2024-03-05 14:07:09-03:30") << "2024-3-5|14:7:9";
        QTest::newRow("time with zone") << QByteArray("14:07:09+01") << "|14:7:9";
        QTest::newRow("hours and minutes") << QByteArray("14:07") << "|14:7:0";
        QTest::newRow("no such day") << QByteArray("2023-02-29") << "";
        QTest::newRow("zero date") << QByteArray("0000-00-00") << "";
        QTest::newRow("before 1900") << QByteArray("1899-12-31") << "";
        QTest::newRow("a duration past a day") << QByteArray("100:00:00") << "";
        QTest::newRow("leap second") << QByteArray("23:59:60") << "";
        QTest::newRow("BC") << QByteArray("2024-03-05 BC") << "";
        QTest::newRow("infinity") << QByteArray("infinity") << "";
    }

    void dateTimeText()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, read);
        const std::optional<DateTimeParts> parts = parseDateTimeText(text.constData(), text.size());
        QString got;
        if (parts) {
            if (parts->hasDate)
                got += QStringLiteral("%1-%2-%3").arg(parts->year).arg(parts->month).arg(parts->day);
            got += u'|';
            if (parts->hasTime)
                got += QStringLiteral("%1:%2:%3").arg(parts->hour).arg(parts->minute).arg(parts->second);
        }
        QCOMPARE(got, read);
    }
};

QTEST_GUILESS_MAIN(TestExportFormats)
#include "tst_exportformats.moc"

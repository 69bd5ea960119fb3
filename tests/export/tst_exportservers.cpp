// Rows exported straight from SQLite, PostgreSQL and MariaDB and read back by independent
// readers; a statement that fails half way leaves no file behind.
#include "ExportReader.h"
#include "TestServers.h"

#include "db/DataAccess.h"
#include "export/ExportJob.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(ExportFormat)

namespace {

const QString kName = QStringLiteral(u"He said \"hi\", then\r\nleft; naïve ☕ 𝄞");

QString kindOf(ExportFormat format)
{
    return format == ExportFormat::Workbook    ? QStringLiteral("xlsx")
           : format == ExportFormat::JsonLines ? QStringLiteral("jsonl")
                                               : QStringLiteral("csv");
}

} // namespace

class TestExportServers : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    // An empty database of the backend, open; nullptr (the test skipped or failed) without one.
    std::unique_ptr<Connection> open(const QString &backend)
    {
        QString connectionString;
        if (backend == QLatin1String("sqlite")) {
            const QString file = m_dir.filePath(QStringLiteral("export.db"));
            QFile::remove(file);
            // An empty file is an empty database.
            QFile(file).open(QIODevice::WriteOnly);
            connectionString = QStringLiteral("Provider=SQLite;Data Source=") + file;
        } else {
            const QString server = backend == QLatin1String("postgresql")
                                       ? TestServers::pgConnectionString()
                                       : TestServers::mysqlConnectionString();
            if (server.isEmpty())
                return nullptr;
            connectionString = TestServers::freshDatabase(server, QStringLiteral("orvessa_export"));
        }
        auto connection = std::make_unique<Connection>();
        connection->setConnectionString(connectionString);
        connection->open();
        return connection;
    }

    static bool serverMissing(const QString &backend)
    {
        if (backend == QLatin1String("sqlite"))
            return false;
        return (backend == QLatin1String("postgresql") ? TestServers::pgConnectionString()
                                                       : TestServers::mysqlConnectionString())
            .isEmpty();
    }

    static void fill(Connection &c, const QString &backend)
    {
        const bool pg = backend == QLatin1String("postgresql");
        const bool my = backend == QLatin1String("mariadb");
        c.execute(QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, amount NUMERIC(20,4), "
                                 "ratio %1, flag BOOLEAN, born DATE, stamp %2, data %3)")
                      .arg(pg ? "DOUBLE PRECISION" : "DOUBLE", my ? "DATETIME" : "TIMESTAMP",
                           pg ? "BYTEA" : "BLOB"));
        QString insert = QStringLiteral("INSERT INTO t VALUES (");
        for (int i = 1; i <= 8; ++i)
            insert += c.placeholder(i) + (i < 8 ? QStringLiteral(", ") : QStringLiteral(")"));
        c.executeParams(insert, {1, kName, QStringLiteral("12345678901.2345"), 0.1, true,
                                 QStringLiteral("2024-03-05"), QStringLiteral("2024-03-05 14:07:09"),
                                 QByteArray("\x00\xff\x10"
                                            "a",
                                            4)});
        c.executeParams(insert, {2, QString(""), QStringLiteral("-0.5"), -2.5e-10, false,
                                 QStringLiteral("1900-01-01"), QStringLiteral("1999-12-31 23:59:59"),
                                 QByteArray("")});
        c.executeParams(
            insert, {3, QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()});
    }

    // What the reader of each format sees of the three rows, header first where the format has one.
    static QJsonArray expected(const QString &backend, ExportFormat format)
    {
        const bool sqlite = backend == QLatin1String("sqlite");
        // SQLite keeps NUMERIC values as doubles; the servers send the exact decimal.
        const QString amount1 = QStringLiteral("12345678901.2345");
        const QString amount2 = sqlite ? QStringLiteral("-0.5") : QStringLiteral("-0.5000");
        const QStringList header = {"id", "name", "amount", "ratio", "flag", "born", "stamp", "data"};
        if (format == ExportFormat::Csv) {
            return {QJsonArray::fromStringList(header),
                    QJsonArray::fromStringList({"1", kName, amount1, "0.1", "true", "2024-03-05",
                                                "2024-03-05 14:07:09", "AP8QYQ=="}),
                    QJsonArray::fromStringList(
                        {"2", "", amount2, "-2.5e-10", "false", "1900-01-01", "1999-12-31 23:59:59", ""}),
                    QJsonArray::fromStringList({"3", "", "", "", "", "", "", ""})};
        }
        auto n = [](const QString &v) { return QJsonObject{{"n", v}}; };
        auto s = [](const QString &v) { return QJsonObject{{"s", v}}; };
        auto b = [](bool v) { return QJsonObject{{"b", v}}; };
        if (format == ExportFormat::JsonLines) {
            auto line = [&](const QJsonArray &values) {
                return QJsonObject{{"keys", QJsonArray::fromStringList(header)}, {"values", values}};
            };
            return {line({n("1"), s(kName), n(amount1), n("0.1"), b(true), s("2024-03-05"),
                          s("2024-03-05 14:07:09"), s("AP8QYQ==")}),
                    line({n("2"), s(""), n(amount2), n("-2.5E-10"), b(false), s("1900-01-01"),
                          s("1999-12-31 23:59:59"), s("")}),
                    line({n("3"), QJsonValue(), QJsonValue(), QJsonValue(), QJsonValue(), QJsonValue(),
                          QJsonValue(), QJsonValue()})};
        }
        auto d = [](const QString &v) { return QJsonObject{{"d", v}}; };
        QJsonArray names;
        for (const QString &name : header)
            names.append(s(name));
        return {names,
                QJsonArray{n("1"), s(kName), n("12345678901.2345"), n("0.1"), b(true),
                           d("2024-03-05T00:00:00"), d("2024-03-05T14:07:09"), s("AP8QYQ==")},
                // The empty string and the empty blob leave their cells empty, as NULL does.
                QJsonArray{n("2"), QJsonValue(), n("-0.5"), n("-2.5e-10"), b(false), d("1900-01-01T00:00:00"),
                           d("1999-12-31T23:59:59"), QJsonValue()},
                QJsonArray{n("3"), QJsonValue(), QJsonValue(), QJsonValue(), QJsonValue(), QJsonValue(),
                           QJsonValue(), QJsonValue()}};
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void rowsRoundTrip_data()
    {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<ExportFormat>("format");
        for (const char *backend : {"sqlite", "postgresql", "mariadb"}) {
            QTest::addRow("%s, CSV", backend) << QString::fromLatin1(backend) << ExportFormat::Csv;
            QTest::addRow("%s, JSON Lines", backend)
                << QString::fromLatin1(backend) << ExportFormat::JsonLines;
            QTest::addRow("%s, workbook", backend) << QString::fromLatin1(backend) << ExportFormat::Workbook;
        }
    }

    void rowsRoundTrip()
    {
        QFETCH(QString, backend);
        QFETCH(ExportFormat, format);
        if (serverMissing(backend)) {
            if (TestServers::requiredByCi())
                QFAIL("test server not running");
            QSKIP("test server not running (scripts/start-test-servers, then source the env file)");
        }
        try {
            check(backend, format);
        } catch (const std::exception &e) {
            QFAIL(e.what());
        }
    }

private:
    void check(const QString &backend, ExportFormat format)
    {
        std::unique_ptr<Connection> connection = open(backend);
        fill(*connection, backend);
        const QString file = m_dir.filePath(QStringLiteral("rows.") + exportExtension(format));
        {
            ExportJob job({file, format}, m_dir.path());
            QVERIFY(connection->streamRows(
                QStringLiteral("SELECT * FROM t ORDER BY id"),
                [&job](const QList<FieldInfo> &fields) -> CellSink & { return job.startResult(fields); }));
            job.commit();
            QCOMPARE(job.rows(), 3);
        }
        const QJsonArray rows = exportedRows(readExport(kindOf(format), file));
        const QJsonArray want = expected(backend, format);
        QCOMPARE(rows.size(), want.size());
        for (qsizetype i = 0; i < want.size(); ++i)
            QCOMPARE(rows.at(i), want.at(i));
        if (format == ExportFormat::Csv) {
            // Python's reader cannot tell NULL from the empty string; the bytes can.
            QFile raw(file);
            QVERIFY(raw.open(QIODevice::ReadOnly));
            const QList<QByteArray> records = raw.readAll().split('\n');
            QVERIFY(records.at(3).startsWith("2,\"\","));
            QCOMPARE(records.at(4), QByteArray("3,,,,,,,\r"));
        }
    }

private slots:
    void statementFailingHalfWayLeavesNoFile_data()
    {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<QString>("sql");
        QTest::newRow("sqlite")
            << "sqlite"
            << "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 5000) "
               "SELECT i, CASE WHEN i < 3000 THEN i ELSE abs(-9223372036854775807 - 1) END FROM c";
        QTest::newRow("postgresql") << "postgresql"
                                    << "SELECT i, 1 / (3000 - i) FROM generate_series(1, 5000) AS i";
    }

    void statementFailingHalfWayLeavesNoFile()
    {
        QFETCH(QString, backend);
        QFETCH(QString, sql);
        if (serverMissing(backend)) {
            if (TestServers::requiredByCi())
                QFAIL("test server not running");
            QSKIP("test server not running");
        }
        std::unique_ptr<Connection> connection = open(backend);
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("half.csv"));
        {
            QFile old(file);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old content");
        }
        qint64 rowsSeen = 0;
        try {
            ExportJob job({file, ExportFormat::Csv}, folder.path());
            connection->streamRows(
                sql, [&](const QList<FieldInfo> &fields) -> CellSink & { return job.startResult(fields); });
            QFAIL("the statement did not fail");
        } catch (const DataAccessError &) {
            rowsSeen = connection->rowsFetchedCounter()->load();
        }
        QVERIFY2(rowsSeen > 1000, "the error came before rows were written");
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"half.csv"});
        QFile old(file);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("old content"));
        // The connection goes on.
        QCOMPARE(connection->execute(QStringLiteral("SELECT 1")).recordset->rowCount(), 1);
    }
};

QTEST_GUILESS_MAIN(TestExportServers)
#include "tst_exportservers.moc"

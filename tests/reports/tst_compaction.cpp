// Compacting a database file in place: the compacted copy replaces the file in one step, and
// whatever fails on the way, the database opens afterwards with the rows it had.
#include "common/AppError.h"
#include "reports/CompactionEngine.h"
#include "reports/FileLayer.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

namespace {

class Db
{
public:
    explicit Db(const QString &path) { sqlite3_open(QFile::encodeName(path).constData(), &m_db); }
    ~Db() { sqlite3_close(m_db); }
    Db(const Db &) = delete;
    Db &operator=(const Db &) = delete;

    bool exec(const char *sql) { return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }
    // The rows of t as "id:text" in id order; empty when the file is no readable database.
    QStringList rows()
    {
        QStringList result;
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(m_db, "SELECT id, text FROM t ORDER BY id", -1, &statement, nullptr) !=
            SQLITE_OK)
            return {QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(m_db))};
        while (sqlite3_step(statement) == SQLITE_ROW) {
            result << QStringLiteral("%1:%2")
                          .arg(sqlite3_column_int(statement, 0))
                          .arg(QString::fromUtf8(
                              reinterpret_cast<const char *>(sqlite3_column_text(statement, 1))));
        }
        sqlite3_finalize(statement);
        return result;
    }

private:
    sqlite3 *m_db = nullptr;
};

// A database whose deleted rows leave free pages for compaction to reclaim.
QStringList makeDatabase(const QString &path)
{
    Db db(path);
    db.exec("CREATE TABLE t (id INTEGER PRIMARY KEY, text TEXT)");
    db.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
            "INSERT INTO t SELECT i, printf('row %d %.*c', i, 200, 'x') FROM n");
    db.exec("DELETE FROM t WHERE id > 3");
    return db.rows();
}

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::unique_ptr<CompactionEngine> sqliteEngine()
{
    return createCompactionEngine(DatabaseFamily::Sqlite);
}

// The real file system with one step made to fail.
class FaultyFiles : public FileLayer
{
public:
    enum Fault { None, Rename, Remove };
    explicit FaultyFiles(Fault fault) : m_fault(fault) {}

    bool exists(const QString &path) override { return systemFileLayer().exists(path); }
    bool remove(const QString &path) override { return m_fault != Remove && systemFileLayer().remove(path); }
    bool rename(const QString &from, const QString &to) override
    {
        return m_fault != Rename && systemFileLayer().rename(from, to);
    }
    bool copy(const QString &from, const QString &to) override { return systemFileLayer().copy(from, to); }

private:
    Fault m_fault;
};

// An engine that runs out of disk part way through its copy.
class DiskFullEngine : public CompactionEngine
{
public:
    void compact(const QString &, const QString &destination) override
    {
        QFile partial(destination);
        if (partial.open(QIODevice::WriteOnly))
            partial.write("SQLite format 3", 15);
        throw AppError(QStringLiteral("database or disk is full"));
    }
};

} // namespace

class TestCompaction : public QObject
{
    Q_OBJECT

private slots:
    void compactsInPlaceAndKeepsTheRows()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Shop.db"));
        const QStringList rows = makeDatabase(path);
        QCOMPARE(rows.size(), 3);
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
        const QFile::Permissions permissions = QFile::permissions(path);
        const qint64 before = QFileInfo(path).size();

        FaultyFiles files(FaultyFiles::None);
        const CompactionResult result = compactFile(path, sqliteEngine, files);

        QCOMPARE(result.status, CompactionStatus::Done);
        QCOMPARE(result.tempPath, path + QStringLiteral("_Temp"));
        QVERIFY2(QFileInfo(path).size() < before / 10, qPrintable(QString::number(QFileInfo(path).size())));
        QCOMPARE(Db(path).rows(), rows);
        QVERIFY(!QFile::exists(result.tempPath));
        // A private database stays private.
        QCOMPARE(QFile::permissions(path), permissions);
    }

    void leftoverCopyIsRemovedFirst()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Shop.db"));
        const QStringList rows = makeDatabase(path);
        QFile leftover(path + QStringLiteral("_Temp"));
        QVERIFY(leftover.open(QIODevice::WriteOnly));
        leftover.write("left by a run that failed");
        leftover.close();

        FaultyFiles files(FaultyFiles::None);
        QCOMPARE(compactFile(path, sqliteEngine, files).status, CompactionStatus::Done);
        QCOMPARE(Db(path).rows(), rows);
    }

    void missingSourceTouchesNothing()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Gone.db"));
        bool engineCreated = false;
        FaultyFiles files(FaultyFiles::None);
        const CompactionResult result = compactFile(
            path,
            [&] {
                engineCreated = true;
                return sqliteEngine();
            },
            files);
        QCOMPARE(result.status, CompactionStatus::SourceMissing);
        QVERIFY(!engineCreated);
        QVERIFY(QDir(dir.path()).isEmpty());
    }

    // Each failure leaves the database readable at its own path with every row.
    void failuresLeaveTheSourceIntact_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");
        QTest::addColumn<bool>("copyLeft");
        QTest::newRow("replace fails")
            << int(FaultyFiles::Rename) << int(CompactionStatus::ReplaceFailed) << QString() << true;
        QTest::newRow("disk full while copying") << -1 << int(CompactionStatus::EngineFailed)
                                                 << QStringLiteral("database or disk is full") << false;
        QTest::newRow("locked by another writer")
            << -2 << int(CompactionStatus::EngineFailed) << QStringLiteral("database is locked") << false;
        QTest::newRow("open in WAL mode elsewhere")
            << -3 << int(CompactionStatus::EngineFailed) << QStringLiteral("in use") << false;
        QTest::newRow("leftover cannot be removed")
            << int(FaultyFiles::Remove) << int(CompactionStatus::EngineFailed)
            << QStringLiteral("file is not a database") << true;
    }
    void failuresLeaveTheSourceIntact()
    {
        QFETCH(int, fault);
        QFETCH(int, status);
        QFETCH(QString, error);
        QFETCH(bool, copyLeft);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Shop.db"));
        QStringList rows = makeDatabase(path);
        const QByteArray original = bytesOf(path);
        if (fault == FaultyFiles::Remove) {
            QFile leftover(path + QStringLiteral("_Temp"));
            QVERIFY(leftover.open(QIODevice::WriteOnly));
            leftover.write("left by a run that failed");
        }

        std::unique_ptr<Db> writer;
        if (fault == -2) {
            writer = std::make_unique<Db>(path);
            QVERIFY(writer->exec("BEGIN IMMEDIATE"));
            QVERIFY(writer->exec("INSERT INTO t VALUES (100, 'not committed yet')"));
        }
        if (fault == -3) {
            writer = std::make_unique<Db>(path);
            QVERIFY(writer->exec("PRAGMA journal_mode=WAL"));
            QVERIFY(writer->exec("INSERT INTO t VALUES (100, 'in the log only')"));
        }
        FaultyFiles files(fault >= 0 ? FaultyFiles::Fault(fault) : FaultyFiles::None);
        auto engine = [fault]() -> std::unique_ptr<CompactionEngine> {
            if (fault == -1)
                return std::make_unique<DiskFullEngine>();
            return sqliteEngine();
        };
        const CompactionResult result = compactFile(path, engine, files);
        writer.reset();

        QCOMPARE(int(result.status), status);
        QVERIFY2(result.error.contains(error), qPrintable(result.error));
        QCOMPARE(QFile::exists(result.tempPath), copyLeft);
        if (fault == -3)
            rows << QStringLiteral("100:in the log only"); // the other program's work is kept
        else
            QCOMPARE(bytesOf(path), original);
        QCOMPARE(Db(path).rows(), rows);
    }

    void notADatabaseReportsTheEngineText()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("notes.db"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'n'));
        file.close();

        FaultyFiles files(FaultyFiles::None);
        const CompactionResult result = compactFile(path, sqliteEngine, files);
        QCOMPARE(result.status, CompactionStatus::EngineFailed);
        QCOMPARE(result.error, QStringLiteral("file is not a database"));
        QCOMPARE(bytesOf(path), QByteArray(4096, 'n'));
        QVERIFY(!QFile::exists(result.tempPath));
    }

    void accessFilesHaveNoEngine()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Shop.mdb"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Standard Jet DB");
        file.close();
        FaultyFiles files(FaultyFiles::None);
        try {
            compactFile(
                path, [] { return createCompactionEngine(DatabaseFamily::Access); }, files);
            QFAIL("the engine was created");
        } catch (const AppError &e) {
            QCOMPARE(e.text(), QStringLiteral("Access databases cannot be compacted on this system."));
        }
        QCOMPARE(bytesOf(path), QByteArray("Standard Jet DB"));
        QVERIFY(!QFile::exists(path + QStringLiteral("_Temp")));
    }
};

QTEST_GUILESS_MAIN(TestCompaction)
#include "tst_compaction.moc"

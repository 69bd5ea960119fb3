// Compacting a database file in place: whatever fails on the way, power loss included, the
// database opens afterwards with the rows it had, and every row another program committed.
#include "common/AppError.h"
#include "common/FileLayer.h"
#include "maintenance/CompactionEngine.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <functional>
#include <map>
#include <new>
#include <string>

#include <unistd.h>

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

// A VFS over SQLite's own that can lose power after a given number of writes, syncs,
// truncations and deletions, and that calls a hook at every step of the compaction.
// "Losing power" makes every later operation fail, and at the "reboot" each file gets back
// the content it had at its last sync: nothing that was not flushed survives.
struct Crash
{
    int stepsBeforeCrash = -1; // -1: never
    int steps = 0;
    bool crashed = false;
    std::function<void()> onStep;
    std::map<std::string, QByteArray> lastSynced; // files written since their last sync
};
Crash g_crash;

struct CrashFile
{
    sqlite3_file base;
    std::string path;
    sqlite3_file *real;
};

sqlite3_vfs *realVfs()
{
    static sqlite3_vfs *vfs = sqlite3_vfs_find(nullptr);
    return vfs;
}

sqlite3_file *real(sqlite3_file *file)
{
    return reinterpret_cast<CrashFile *>(file)->real;
}

void hook()
{
    if (g_crash.onStep && !g_crash.crashed)
        g_crash.onStep();
}

// Counts one step that changes a file; false once the power is gone.
bool step()
{
    hook();
    if (g_crash.crashed)
        return false;
    ++g_crash.steps;
    if (g_crash.stepsBeforeCrash >= 0 && g_crash.steps > g_crash.stepsBeforeCrash)
        g_crash.crashed = true;
    return !g_crash.crashed;
}

// Keeps what the file held at its last sync, read through SQLite's own handle (opening the
// file again would drop SQLite's locks on it).
void keepSyncedContent(sqlite3_file *file)
{
    auto *f = reinterpret_cast<CrashFile *>(file);
    if (f->path.empty() || g_crash.lastSynced.count(f->path))
        return;
    sqlite3_int64 size = 0;
    f->real->pMethods->xFileSize(f->real, &size);
    QByteArray content(qsizetype(size), '\0');
    if (size > 0)
        f->real->pMethods->xRead(f->real, content.data(), int(size), 0);
    g_crash.lastSynced[f->path] = content;
}

int crashClose(sqlite3_file *file)
{
    const int rc = real(file)->pMethods->xClose(real(file));
    reinterpret_cast<CrashFile *>(file)->path.~basic_string();
    return rc;
}
int crashRead(sqlite3_file *file, void *buffer, int amount, sqlite3_int64 offset)
{
    hook();
    return g_crash.crashed ? SQLITE_IOERR_READ
                           : real(file)->pMethods->xRead(real(file), buffer, amount, offset);
}
int crashWrite(sqlite3_file *file, const void *buffer, int amount, sqlite3_int64 offset)
{
    if (!step())
        return SQLITE_IOERR_WRITE;
    keepSyncedContent(file);
    return real(file)->pMethods->xWrite(real(file), buffer, amount, offset);
}
int crashTruncate(sqlite3_file *file, sqlite3_int64 size)
{
    if (!step())
        return SQLITE_IOERR_TRUNCATE;
    keepSyncedContent(file);
    return real(file)->pMethods->xTruncate(real(file), size);
}
int crashSync(sqlite3_file *file, int flags)
{
    if (!step())
        return SQLITE_IOERR_FSYNC;
    const int rc = real(file)->pMethods->xSync(real(file), flags);
    if (rc == SQLITE_OK)
        g_crash.lastSynced.erase(reinterpret_cast<CrashFile *>(file)->path);
    return rc;
}
int crashFileSize(sqlite3_file *file, sqlite3_int64 *size)
{
    return real(file)->pMethods->xFileSize(real(file), size);
}
int crashLock(sqlite3_file *file, int lock)
{
    hook();
    return real(file)->pMethods->xLock(real(file), lock);
}
int crashUnlock(sqlite3_file *file, int lock)
{
    return real(file)->pMethods->xUnlock(real(file), lock);
}
int crashCheckReservedLock(sqlite3_file *file, int *out)
{
    return real(file)->pMethods->xCheckReservedLock(real(file), out);
}
int crashFileControl(sqlite3_file *file, int op, void *arg)
{
    return real(file)->pMethods->xFileControl(real(file), op, arg);
}
int crashSectorSize(sqlite3_file *file)
{
    return real(file)->pMethods->xSectorSize(real(file));
}
int crashDeviceCharacteristics(sqlite3_file *file)
{
    return real(file)->pMethods->xDeviceCharacteristics(real(file));
}
int crashShmMap(sqlite3_file *file, int page, int size, int extend, void volatile **out)
{
    return real(file)->pMethods->xShmMap(real(file), page, size, extend, out);
}
int crashShmLock(sqlite3_file *file, int offset, int n, int flags)
{
    return real(file)->pMethods->xShmLock(real(file), offset, n, flags);
}
void crashShmBarrier(sqlite3_file *file)
{
    real(file)->pMethods->xShmBarrier(real(file));
}
int crashShmUnmap(sqlite3_file *file, int deleteFlag)
{
    return real(file)->pMethods->xShmUnmap(real(file), deleteFlag);
}

const sqlite3_io_methods kCrashMethods = {
    2,
    crashClose,
    crashRead,
    crashWrite,
    crashTruncate,
    crashSync,
    crashFileSize,
    crashLock,
    crashUnlock,
    crashCheckReservedLock,
    crashFileControl,
    crashSectorSize,
    crashDeviceCharacteristics,
    crashShmMap,
    crashShmLock,
    crashShmBarrier,
    crashShmUnmap,
    nullptr,
    nullptr,
};

int crashOpen(sqlite3_vfs *, sqlite3_filename name, sqlite3_file *file, int flags, int *outFlags)
{
    auto *f = reinterpret_cast<CrashFile *>(file);
    f->base.pMethods = nullptr;
    f->real = reinterpret_cast<sqlite3_file *>(f + 1);
    const int rc = realVfs()->xOpen(realVfs(), name, f->real, flags, outFlags);
    if (rc != SQLITE_OK)
        return rc;
    new (&f->path) std::string(name ? name : "");
    f->base.pMethods = &kCrashMethods;
    return SQLITE_OK;
}

int crashDelete(sqlite3_vfs *, const char *name, int syncFolder)
{
    if (!step())
        return SQLITE_IOERR_DELETE;
    g_crash.lastSynced.erase(name);
    return realVfs()->xDelete(realVfs(), name, syncFolder);
}

const char *crashVfs()
{
    static sqlite3_vfs vfs = [] {
        sqlite3_vfs v = *realVfs();
        v.pNext = nullptr;
        v.zName = "crash";
        v.szOsFile = int(sizeof(CrashFile)) + realVfs()->szOsFile;
        v.xOpen = crashOpen;
        v.xDelete = crashDelete;
        return v;
    }();
    static const bool registered = sqlite3_vfs_register(&vfs, 0) == SQLITE_OK;
    return registered ? vfs.zName : nullptr;
}

// The machine comes back: every file holds what it held at its last sync.
void reboot()
{
    for (const auto &[path, content] : g_crash.lastSynced) {
        QFile file(QString::fromStdString(path));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(content);
    }
    g_crash = Crash();
}

class Files : public FileLayer
{
public:
    bool crashing = false;
    bool exists(const QString &path) override { return systemFileLayer().exists(path); }
    bool copy(const QString &from, const QString &to) override { return systemFileLayer().copy(from, to); }
    const char *sqliteVfs() override { return crashing ? crashVfs() : nullptr; }
};

// An engine that runs out of disk part way through.
class DiskFullEngine : public CompactionEngine
{
public:
    void compact(const QString &, FileLayer &) override
    {
        throw AppError(QStringLiteral("database or disk is full"));
    }
};

bool integrityOk(const QString &path)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_stmt *statement = nullptr;
    bool ok = sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr) == SQLITE_OK &&
              sqlite3_step(statement) == SQLITE_ROW &&
              qstrcmp(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)), "ok") == 0;
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return ok;
}

} // namespace

class TestCompaction : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { g_crash = Crash(); }

    void compactsInPlaceAndKeepsTheRows()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Shop.db"));
        const QStringList rows = makeDatabase(path);
        QCOMPARE(rows.size(), 3);
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
        const QFile::Permissions permissions = QFile::permissions(path);
        const qint64 before = QFileInfo(path).size();

        Files files;
        QCOMPARE(compactFile(path, sqliteEngine, files).status, CompactionStatus::Done);
        QVERIFY2(QFileInfo(path).size() < before / 10, qPrintable(QString::number(QFileInfo(path).size())));
        QCOMPARE(Db(path).rows(), rows);
        QVERIFY(integrityOk(path));
        // A private database stays private, and nothing else is left in its folder.
        QCOMPARE(QFile::permissions(path), permissions);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("Shop.db")});
    }

    // The file stays the file it was: a symlink still leads to it, a second hard link still
    // names it, and a file that merely has the name of the old temporary copy is not touched.
    void theFileKeepsItsLinksAndItsNeighbours()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("data")));
        const QString path = dir.filePath(QStringLiteral("data/Shop.db"));
        const QStringList rows = makeDatabase(path);
        const QString link = dir.filePath(QStringLiteral("Shop.db"));
        QVERIFY(QFile::link(QStringLiteral("data/Shop.db"), link));
        const QString hardLink = dir.filePath(QStringLiteral("data/Copy.db"));
        QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(hardLink).constData()), 0);
        for (const QString &temp : {link + QStringLiteral("_Temp"), path + QStringLiteral("_Temp")}) {
            QFile neighbour(temp);
            QVERIFY(neighbour.open(QIODevice::WriteOnly));
            neighbour.write("someone else's file");
        }
        const qint64 before = QFileInfo(path).size();

        Files files;
        QCOMPARE(compactFile(link, sqliteEngine, files).status, CompactionStatus::Done);

        QVERIFY(QFileInfo(link).isSymLink());
        QVERIFY(QFileInfo(path).size() < before / 10);
        QCOMPARE(Db(link).rows(), rows);
        QCOMPARE(bytesOf(hardLink), bytesOf(path));
        QCOMPARE(bytesOf(link + QStringLiteral("_Temp")), QByteArray("someone else's file"));
        QCOMPARE(bytesOf(path + QStringLiteral("_Temp")), QByteArray("someone else's file"));
    }

    void missingSourceTouchesNothing()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Gone.db"));
        bool engineCreated = false;
        Files files;
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

    // Power goes (or the disk fails) after each step of the compaction in turn: afterwards the
    // database opens with every row, whole.
    void interruptedAtAnyStepTheDatabaseSurvives_data()
    {
        QTest::addColumn<bool>("powerLoss");
        QTest::newRow("power lost: nothing unsynced survives") << true;
        QTest::newRow("disk fails: every later operation errs") << false;
    }
    void interruptedAtAnyStepTheDatabaseSurvives()
    {
        QFETCH(bool, powerLoss);
        QTemporaryDir dir;
        const QString pristine = dir.filePath(QStringLiteral("pristine.db"));
        const QStringList rows = makeDatabase(pristine);
        const QString path = dir.filePath(QStringLiteral("Shop.db"));
        Files files;
        files.crashing = true;
        int crashes = 0;
        for (int steps = 0;; ++steps) {
            QVERIFY(steps < 10000);
            QFile::remove(path);
            QVERIFY(QFile::copy(pristine, path));
            g_crash = Crash();
            g_crash.stepsBeforeCrash = steps;
            const CompactionResult result = compactFile(path, sqliteEngine, files);
            const bool crashed = g_crash.crashed;
            if (!crashed || !powerLoss)
                g_crash.lastSynced.clear();
            reboot();
            QVERIFY2(Db(path).rows() == rows, qPrintable(QStringLiteral("after %1 steps").arg(steps)));
            QVERIFY2(integrityOk(path), qPrintable(QStringLiteral("after %1 steps").arg(steps)));
            if (!crashed) {
                QCOMPARE(result.status, CompactionStatus::Done);
                QVERIFY(QFileInfo(path).size() < QFileInfo(pristine).size() / 10);
                break;
            }
            QCOMPARE(result.status, CompactionStatus::EngineFailed);
            QVERIFY2(!result.error.isEmpty(), "the failure has a text");
            ++crashes;
        }
        QVERIFY(crashes > 3); // the compaction really went through several steps
    }

    // A second program writes to the database while it is compacted: whatever it managed to
    // commit is in the database afterwards.
    void commitsOfAnotherConnectionSurvive_data()
    {
        QTest::addColumn<QString>("journal");
        QTest::newRow("rollback journal") << QStringLiteral("DELETE");
        QTest::newRow("write-ahead log") << QStringLiteral("WAL");
    }
    void commitsOfAnotherConnectionSurvive()
    {
        QFETCH(QString, journal);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Shop.db"));
        QStringList rows = makeDatabase(path);
        Db writer(path);
        QVERIFY(writer.exec(QStringLiteral("PRAGMA journal_mode=%1").arg(journal).toUtf8().constData()));
        int next = 100;
        int refused = 0;
        // It tries at every step of the compaction. After a few commits it only checks whether
        // it could write: a writer that never pauses would keep any compaction out for good.
        g_crash.onStep = [&] {
            if (next >= 105) {
                if (writer.exec("BEGIN IMMEDIATE"))
                    writer.exec("ROLLBACK");
                else
                    ++refused;
                return;
            }
            const QByteArray insert =
                QStringLiteral("INSERT INTO t VALUES (%1, 'written meanwhile')").arg(next).toUtf8();
            if (writer.exec(insert))
                rows << QStringLiteral("%1:written meanwhile").arg(next++);
            else
                ++refused;
        };

        Files files;
        files.crashing = true;
        const CompactionResult result = compactFile(path, sqliteEngine, files);
        g_crash.onStep = nullptr;
        QVERIFY2(result.status == CompactionStatus::Done, qPrintable(result.error));
        QVERIFY(next > 100);  // the writer got in before the compaction took the file
        QVERIFY(refused > 0); // and was kept out while it ran
        QCOMPARE(writer.rows(), rows);
        QCOMPARE(Db(path).rows(), rows);
    }

    void failuresLeaveTheSourceIntact_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("error");
        QTest::newRow("disk full") << QStringLiteral("disk full")
                                   << QStringLiteral("database or disk is full");
        QTest::newRow("locked by another writer")
            << QStringLiteral("writer") << QStringLiteral("database is locked");
        QTest::newRow("not a database")
            << QStringLiteral("garbage") << QStringLiteral("file is not a database");
    }
    void failuresLeaveTheSourceIntact()
    {
        QFETCH(QString, fault);
        QFETCH(QString, error);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Shop.db"));
        makeDatabase(path);
        if (fault == QStringLiteral("garbage")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(QByteArray(4096, 'n'));
        }
        const QByteArray original = bytesOf(path);
        std::unique_ptr<Db> writer;
        if (fault == QStringLiteral("writer")) {
            writer = std::make_unique<Db>(path);
            QVERIFY(writer->exec("BEGIN IMMEDIATE"));
            QVERIFY(writer->exec("INSERT INTO t VALUES (100, 'not committed yet')"));
        }
        Files files;
        const CompactionResult result = compactFile(
            path,
            [&]() -> std::unique_ptr<CompactionEngine> {
                if (fault == QStringLiteral("disk full"))
                    return std::make_unique<DiskFullEngine>();
                return sqliteEngine();
            },
            files);
        writer.reset();
        QCOMPARE(result.status, CompactionStatus::EngineFailed);
        QCOMPARE(result.error, error);
        QCOMPARE(bytesOf(path), original);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("Shop.db")});
    }

    void accessFilesHaveNoEngine()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Shop.mdb"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Standard Jet DB");
        file.close();
        Files files;
        try {
            compactFile(
                path, [] { return createCompactionEngine(DatabaseFamily::Access); }, files);
            QFAIL("the engine was created");
        } catch (const AppError &e) {
            QCOMPARE(e.text(), QStringLiteral("Access databases cannot be compacted on this system."));
        }
        QCOMPARE(bytesOf(path), QByteArray("Standard Jet DB"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("Shop.mdb")});
    }
};

QTEST_GUILESS_MAIN(TestCompaction)
#include "tst_compaction.moc"

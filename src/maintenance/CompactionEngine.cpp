#include "maintenance/CompactionEngine.h"

#include "common/AppError.h"
#include "common/FileLayer.h"

#include <QFile>

#include <sqlite3.h>

namespace {

CompactionEngineFactory &engineFactory()
{
    static CompactionEngineFactory factory;
    return factory;
}

class SqliteHandle
{
public:
    SqliteHandle() = default;
    ~SqliteHandle()
    {
        if (db)
            sqlite3_close_v2(db);
    }
    SqliteHandle(const SqliteHandle &) = delete;
    SqliteHandle &operator=(const SqliteHandle &) = delete;
    sqlite3 *db = nullptr;
};

[[noreturn]] void fail(sqlite3 *db)
{
    throw AppError(QString::fromUtf8(db ? sqlite3_errmsg(db) : "out of memory"));
}

void run(sqlite3 *db, const QByteArray &sql)
{
    if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(db);
}

} // namespace

void SqliteCompactionEngine::compact(const QString &source, FileLayer &files)
{
    SqliteHandle handle;
    // Read-write without create: a missing file must not turn into an empty database.
    const int opened = sqlite3_open_v2(QFile::encodeName(source).constData(), &handle.db,
                                       SQLITE_OPEN_READWRITE, files.sqliteVfs());
    if (opened != SQLITE_OK)
        fail(handle.db);
    {
        std::lock_guard lock(m_mutex);
        m_db = handle.db;
    }
    // The handle goes before this returns, however it returns.
    struct Forget
    {
        SqliteCompactionEngine &engine;
        ~Forget()
        {
            std::lock_guard lock(engine.m_mutex);
            engine.m_db = nullptr;
        }
    } forget{*this};
    sqlite3_extended_result_codes(handle.db, 1);
    // An interrupt only reaches a statement that runs; a cancel that comes between two of them is
    // seen by the progress handler of the next.
    sqlite3_progress_handler(
        handle.db, 1000,
        [](void *engine) {
            return static_cast<SqliteCompactionEngine *>(engine)->m_cancelled.load() ? 1 : 0;
        },
        this);
    // A writer that is just committing gets a moment; one that holds the file longer makes
    // the compaction fail rather than wait without end.
    sqlite3_busy_timeout(handle.db, 1000);
    try {
        if (m_cancelled.load())
            throw CompactionCancelled();
        // Each step of the journal reaches the disk before the next, whatever the file's setting.
        run(handle.db, "PRAGMA synchronous=FULL");
        run(handle.db, "VACUUM");
    } catch (const AppError &) {
        if (m_cancelled.load() || (sqlite3_errcode(handle.db) & 0xff) == SQLITE_INTERRUPT)
            throw CompactionCancelled();
        throw;
    }
    {
        std::lock_guard lock(m_mutex);
        m_db = nullptr;
    }
    if (sqlite3_close(handle.db) != SQLITE_OK)
        fail(handle.db);
    handle.db = nullptr;
}

void SqliteCompactionEngine::cancel()
{
    m_cancelled.store(true);
    std::lock_guard lock(m_mutex);
    if (m_db)
        sqlite3_interrupt(m_db);
}

std::unique_ptr<CompactionEngine> createCompactionEngine(DatabaseFamily family)
{
    switch (family) {
    case DatabaseFamily::Sqlite:
        return std::make_unique<SqliteCompactionEngine>();
    case DatabaseFamily::Access:
        throw AppError(QStringLiteral("Access databases cannot be compacted on this system."));
    case DatabaseFamily::Other:
        break;
    }
    throw AppError(QStringLiteral("This database cannot be compacted."));
}

void setCompactionEngineFactory(CompactionEngineFactory factory)
{
    engineFactory() = std::move(factory);
}

std::unique_ptr<CompactionEngine> makeCompactionEngine(DatabaseFamily family)
{
    if (engineFactory())
        return engineFactory()(family);
    return createCompactionEngine(family);
}

CompactionResult compactFile(const QString &source,
                             const std::function<std::unique_ptr<CompactionEngine>()> &createEngine,
                             FileLayer &files, const CompactionRunner &runner)
{
    CompactionResult result;
    if (!files.exists(source)) {
        result.status = CompactionStatus::SourceMissing;
        return result;
    }
    std::unique_ptr<CompactionEngine> engine = createEngine();
    CompactionEngine *running = engine.get();
    const auto work = [&] { engine->compact(source, files); };
    try {
        if (runner)
            runner(work, [running] { running->cancel(); });
        else
            work();
    } catch (const CompactionCancelled &) {
        result.status = CompactionStatus::Cancelled;
    } catch (const std::exception &e) {
        result.status = CompactionStatus::EngineFailed;
        result.error = QString::fromUtf8(e.what());
    }
    return result;
}

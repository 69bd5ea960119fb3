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
    sqlite3_extended_result_codes(handle.db, 1);
    // A writer that is just committing gets a moment; one that holds the file longer makes
    // the compaction fail rather than wait without end.
    sqlite3_busy_timeout(handle.db, 1000);
    // Each step of the journal reaches the disk before the next, whatever the file's setting.
    run(handle.db, "PRAGMA synchronous=FULL");
    run(handle.db, "VACUUM");
    if (sqlite3_close(handle.db) != SQLITE_OK)
        fail(handle.db);
    handle.db = nullptr;
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
                             FileLayer &files)
{
    CompactionResult result;
    if (!files.exists(source)) {
        result.status = CompactionStatus::SourceMissing;
        return result;
    }
    std::unique_ptr<CompactionEngine> engine = createEngine();
    try {
        engine->compact(source, files);
    } catch (const std::exception &e) {
        result.status = CompactionStatus::EngineFailed;
        result.error = QString::fromUtf8(e.what());
    }
    return result;
}

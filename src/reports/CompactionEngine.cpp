#include "reports/CompactionEngine.h"

#include "common/AppError.h"
#include "reports/FileLayer.h"

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

QByteArray sqlLiteral(const QString &text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return "'" + quoted.toUtf8() + "'";
}

} // namespace

void SqliteCompactionEngine::compact(const QString &source, const QString &destination)
{
    SqliteHandle handle;
    // Read-write without create: a missing file must not turn into an empty database.
    const int opened =
        sqlite3_open_v2(QFile::encodeName(source).constData(), &handle.db, SQLITE_OPEN_READWRITE, nullptr);
    if (opened != SQLITE_OK)
        fail(handle.db);
    sqlite3_extended_result_codes(handle.db, 1);
    // Any other writer makes this fail with "database is locked": a copy taken while someone
    // else is changing the file would lose their work once it replaces the file.
    run(handle.db, "BEGIN EXCLUSIVE");
    run(handle.db, "COMMIT");
    run(handle.db, "VACUUM INTO " + sqlLiteral(destination));
    sqlite3_close_v2(handle.db);
    handle.db = nullptr;
    // The last connection to close removes the write-ahead log; one still there belongs to
    // another program, whose log would be replayed into the compacted file.
    if (QFile::exists(source + QStringLiteral("-wal")))
        throw AppError(QStringLiteral("database is in use by another program"));
    // The copy is created with default permissions; it must not open up a private file.
    QFile::setPermissions(destination, QFile::permissions(source));
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

QString compactionTempPath(const QString &source)
{
    return source + QStringLiteral("_Temp");
}

CompactionResult compactFile(const QString &source,
                             const std::function<std::unique_ptr<CompactionEngine>()> &createEngine,
                             FileLayer &files)
{
    CompactionResult result;
    result.tempPath = compactionTempPath(source);
    if (!files.exists(source)) {
        result.status = CompactionStatus::SourceMissing;
        return result;
    }
    // A copy left by an earlier run that failed; whether it goes is not reported.
    if (files.exists(result.tempPath))
        files.remove(result.tempPath);

    std::unique_ptr<CompactionEngine> engine = createEngine();
    try {
        engine->compact(source, result.tempPath);
    } catch (const std::exception &e) {
        // A half-written copy is of no use to anyone.
        if (files.exists(result.tempPath))
            files.remove(result.tempPath);
        result.status = CompactionStatus::EngineFailed;
        result.error = QString::fromUtf8(e.what());
        return result;
    }
    engine.reset();

    // One rename puts the copy in the source's place, so the database is never missing from
    // its path: either the old file or the compacted one is there.
    if (!files.rename(result.tempPath, source)) {
        result.status = CompactionStatus::ReplaceFailed;
        return result;
    }
    return result;
}

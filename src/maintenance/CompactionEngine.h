// Compacting a database file in place.
#pragma once

#include <QString>

#include <functional>
#include <memory>

class FileLayer;

class CompactionEngine
{
public:
    virtual ~CompactionEngine() = default;
    // Compacts the database at source in place, opening it through the file layer's VFS; when
    // it fails, the file holds the database as it was. Throws AppError carrying the engine's
    // own text.
    virtual void compact(const QString &source, FileLayer &files) = 0;
};

// SQLite files: VACUUM in place. SQLite's own journal makes it atomic and durable: a crash or
// power loss at any point leaves the database as it was before or as it is after, never
// neither. Its locks keep other writers out for the whole run (a writer that holds the file
// makes it fail with "database is locked"); whatever they committed before is kept. The file
// stays the same file: its mode, its hard links and the symlinks that lead to it are unchanged,
// and no second file is created or removed beside it.
class SqliteCompactionEngine : public CompactionEngine
{
public:
    void compact(const QString &source, FileLayer &files) override;
};

enum class DatabaseFamily { Sqlite, Access, Other };

// The engine for the open database's family. Throws AppError when the family has none
// (Access files cannot be compacted on this system).
std::unique_ptr<CompactionEngine> createCompactionEngine(DatabaseFamily family);

// Tests put another engine (or a failing creation) in place of createCompactionEngine;
// an empty function restores it.
using CompactionEngineFactory = std::function<std::unique_ptr<CompactionEngine>(DatabaseFamily)>;
void setCompactionEngineFactory(CompactionEngineFactory factory);
std::unique_ptr<CompactionEngine> makeCompactionEngine(DatabaseFamily family);

enum class CompactionStatus {
    Done,
    SourceMissing, // nothing was touched
    EngineFailed,  // the database is as it was; error holds the engine's text
};

struct CompactionResult
{
    CompactionStatus status = CompactionStatus::Done;
    QString error;
};

// Compacts source through the file layer. createEngine is called once the source is known to
// exist; an exception from it is not caught here and leaves every file as it was.
CompactionResult compactFile(const QString &source,
                             const std::function<std::unique_ptr<CompactionEngine>()> &createEngine,
                             FileLayer &files);

// Compacting a database file in place: an engine writes a compacted copy beside the file,
// which then takes the file's place in one rename.
#pragma once

#include <QString>

#include <functional>
#include <memory>

class FileLayer;

class CompactionEngine
{
public:
    virtual ~CompactionEngine() = default;
    // Writes a compacted copy of source to destination and leaves source unchanged.
    // Throws AppError carrying the engine's own text.
    virtual void compact(const QString &source, const QString &destination) = 0;
};

// SQLite files: VACUUM INTO the destination.
class SqliteCompactionEngine : public CompactionEngine
{
public:
    void compact(const QString &source, const QString &destination) override;
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

// The path the compacted copy is written to: the source path with "_Temp" appended, in the
// source's folder.
QString compactionTempPath(const QString &source);

enum class CompactionStatus {
    Done,
    SourceMissing, // nothing was touched
    EngineFailed,  // source unchanged, no copy left behind; error holds the engine's text
    ReplaceFailed, // source unchanged, the compacted copy stays at the temporary path
};

struct CompactionResult
{
    CompactionStatus status = CompactionStatus::Done;
    QString error;
    QString tempPath;
};

// Compacts source through the file layer. createEngine is called once the source is known to
// exist; an exception from it is not caught here and leaves every file as it was.
CompactionResult compactFile(const QString &source,
                             const std::function<std::unique_ptr<CompactionEngine>()> &createEngine,
                             FileLayer &files);

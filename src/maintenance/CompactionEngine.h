// Compacting a database file in place.
#pragma once

#include "common/AppError.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

struct sqlite3;

class FileLayer;

// What compact() throws once cancel() has stopped it.
class CompactionCancelled : public AppError
{
public:
    CompactionCancelled() : AppError(QStringLiteral("interrupted")) {}
};

class CompactionEngine
{
public:
    virtual ~CompactionEngine() = default;
    // Compacts the database at source in place, opening it through the file layer's VFS; when
    // it fails, the file holds the database as it was. Throws AppError carrying the engine's
    // own text, CompactionCancelled after a cancel.
    virtual void compact(const QString &source, FileLayer &files) = 0;
    // Asks compact() to stop as soon as it can, leaving the file as it was; from any thread,
    // also before compact() starts (it then stops at once) or after it ended (nothing happens).
    virtual void cancel() {}
};

// SQLite files: VACUUM in place. SQLite's own journal makes it atomic and durable: a crash or
// power loss at any point leaves the database as it was before or as it is after, never
// neither. Its locks keep other writers out for the whole run (a writer that holds the file
// makes it fail with "database is locked"); whatever they committed before is kept. The file
// stays the same file: its mode, its hard links and the symlinks that lead to it are unchanged,
// and no second file is created or removed beside it.
// Cancel interrupts VACUUM (sqlite3_interrupt, and a progress handler for the moments no
// statement runs), which SQLite's journal then rolls back.
class SqliteCompactionEngine : public CompactionEngine
{
public:
    void compact(const QString &source, FileLayer &files) override;
    void cancel() override;

private:
    std::atomic<bool> m_cancelled{false};
    std::mutex m_mutex; // guards m_db against the handle going while cancel() interrupts it
    sqlite3 *m_db = nullptr;
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
    Cancelled,     // the user cancelled it: the database is as it was
};

struct CompactionResult
{
    CompactionStatus status = CompactionStatus::Done;
    QString error;
};

// Runs a piece of long work (work) with a Cancel that calls cancel: the program's work runner
// (WorkRunner in db/DataAccess.h), off the window's thread with a progress dialog.
using CompactionRunner =
    std::function<void(const std::function<void()> &work, const std::function<void()> &cancel)>;

// Compacts source through the file layer, the engine's work run by runner (directly when empty).
// createEngine is called once the source is known to exist; an exception from it is not caught
// here and leaves every file as it was.
CompactionResult compactFile(const QString &source,
                             const std::function<std::unique_ptr<CompactionEngine>()> &createEngine,
                             FileLayer &files, const CompactionRunner &runner = {});

// The few file operations of the report and the compaction, behind an interface so tests can
// make each of them fail.
#pragma once

#include <QString>

class FileLayer
{
public:
    virtual ~FileLayer() = default;

    virtual bool exists(const QString &path) = 0;
    // Copies from over to, replacing to if it exists.
    virtual bool copy(const QString &from, const QString &to) = 0;
    // The SQLite VFS the compaction opens a database through (nullptr: SQLite's own); tests
    // name one that fails or loses power part way.
    virtual const char *sqliteVfs() { return nullptr; }
};

// The layer over the real file system.
FileLayer &systemFileLayer();

// The layer in use: the real one unless a test installed another (nullptr restores it).
FileLayer &fileLayer();
void setFileLayer(FileLayer *layer);

// The few file operations of the report and the compaction, behind an interface so tests can
// make each of them fail.
#pragma once

#include <QString>

class FileLayer
{
public:
    virtual ~FileLayer() = default;

    virtual bool exists(const QString &path) = 0;
    virtual bool remove(const QString &path) = 0;
    // Puts the file at from in the place of to in one step, replacing to if it exists.
    virtual bool rename(const QString &from, const QString &to) = 0;
    // Copies from over to, replacing to if it exists.
    virtual bool copy(const QString &from, const QString &to) = 0;
};

// The layer over the real file system.
FileLayer &systemFileLayer();

// The layer in use: the real one unless a test installed another (nullptr restores it).
FileLayer &fileLayer();
void setFileLayer(FileLayer *layer);

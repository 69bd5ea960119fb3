#pragma once

#include <QtGlobal>

// Where the rows of a result go, one typed cell at a time: the row store of a result shown in
// the grid, or a writer that streams the rows into a file. A row is beginRow, one add call per
// column, endRow. Text is UTF-8 as the server sent it (not checked); a blob is raw bytes.
class CellSink
{
public:
    virtual ~CellSink() = default;

    virtual void beginRow() = 0;
    virtual void addNull() = 0;
    virtual void addInt(qint64 value) = 0;
    virtual void addDouble(double value) = 0;
    virtual void addBool(bool value) = 0;
    virtual void addText(const char *utf8, qsizetype length) = 0;
    virtual void addBlob(const char *bytes, qsizetype length) = 0;
    virtual void endRow() = 0;
};

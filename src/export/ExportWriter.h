// The file formats rows are exported in, and the buffered output they write through.
#pragma once

#include "db/DataAccess.h"
#include "db/fetch/CellSink.h"

#include <QList>
#include <QString>
#include <QStringDecoder>

#include <string>

// Where the text formats write: an open file descriptor, in large blocks, or a QString (the
// clipboard's text), decoded from UTF-8 a block of whole rows at a time so that the text is held
// only once. The formats append straight into buffer() and call rowDone() after each row.
// Failures of the file throw AppError with the system's reason (a full disk, a file too large).
class TextOutput
{
public:
    explicit TextOutput(int fd);
    explicit TextOutput(QString *text);

    std::string &buffer() { return m_buffer; }
    void rowDone()
    {
        if (m_buffer.size() >= kBlock)
            flush();
    }
    void flush();
    // Drops everything written so far: the file (or text) is empty again.
    void restart();

private:
    static constexpr size_t kBlock = size_t(1) << 20;
    int m_fd = -1;
    QString *m_text = nullptr;
    QStringDecoder m_decoder;
    std::string m_buffer;
};

// A text that had to be cut to fit a cell, by its row (from 1) and its column's name.
struct CutCell
{
    qint64 row = 0;
    QString column;
};

// One export format: rows arrive one CellSink call at a time.
class ExportWriter : public CellSink
{
public:
    // Starts the file over with a result of these fields: what was written before is dropped,
    // so a text with several results leaves its last one, as the grid shows it.
    virtual void startResult(const QList<FieldInfo> &fields) = 0;
    // Completes the file once the last row is in.
    virtual void finish() = 0;
    // From another thread: makes a running finish() end as soon as it can. The file is then
    // incomplete, to be discarded. Formats that finish at once need nothing.
    virtual void abandon() {}

    // Rows of the current result so far.
    qint64 rows() const { return m_rows; }
    // The first cut cells, and how many there were in all.
    const QList<CutCell> &cutCells() const { return m_cut; }
    qint64 cutCount() const { return m_cutCount; }

    static constexpr int kCutCellsKept = 20;

protected:
    void resetCounts()
    {
        m_rows = 0;
        m_cut.clear();
        m_cutCount = 0;
    }
    void noteCut(qint64 row, const QString &column)
    {
        if (m_cut.size() < kCutCellsKept)
            m_cut.append({row, column});
        ++m_cutCount;
    }

    qint64 m_rows = 0;

private:
    QList<CutCell> m_cut;
    qint64 m_cutCount = 0;
};

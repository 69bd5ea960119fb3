#pragma once

#include "db/fetch/CellSink.h"
#include "db/fetch/RowBlocks.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QVariant>

#include <atomic>
#include <cstdint>
#include <unordered_map>
#include <vector>

// Compact storage for result rows: each row is a run of encoded cells (a kind byte, then the
// payload) in a block of bytes, so a million rows hold little more than their text. Values
// are decoded on demand: NULL -> invalid QVariant, Int -> qlonglong, Double -> double,
// Bool -> bool, Text -> QString (invalid UTF-8 replaced), Blob -> QByteArray.
//
// Memory is bounded: the store keeps at most memoryBudget() bytes of sealed blocks in memory
// (plus the block being filled) and writes the blocks beyond it to one unlinked file in the
// user's cache folder (SpillFile), read back through read-only mappings at the same addresses.
// The per-row index is four bytes a row, kept inside each block with its rows.
//
// Threads. One writer appends rows (the fetch, on the connection's worker) while readers
// on other threads (the window) read any row below rowCount():
// - the writer publishes each finished row by storing the row count with release order;
//   rowCount() loads it with acquire order, so every byte of a row below it, and the block
//   that holds it, is complete and visible to the reader;
// - nothing a reader uses ever moves or is freed while the store lives: blocks keep their
//   address (spilling swaps the pages underneath, never the address), sealed blocks are
//   never written again, and the block directory is made of chunks that never move;
// - kind, value, payloadSize, payload, rowValues, rowBytes, rowRun, writeRow, rowCount,
//   columnCount, memoryUsage and spilledBytes are the reader's calls, safe on any thread for
//   rows below rowCount();
// - the edits (appendRow, setRow, removeRow) happen only on the window's thread once the
//   fetch has ended: a fetch that lets readers in early brackets its appending with
//   beginFetch() and endFetch(), and an edit in between throws DataAccessError. Reads and
//   edits are not synchronised with each other: they belong on the same thread.
//
// A full disk (or a mapping that fails) makes the add* or endRow call that needed the space
// throw DataAccessError naming the folder and the reason. The row being appended is dropped,
// every row stored before stays readable, and the fetch ends with that error; the store
// stays usable (later rows are tried again).
class RowStore final : public CellSink
{
public:
    enum class CellKind : std::uint8_t { Null, Int, Double, Bool, Text, Blob };

    explicit RowStore(int columnCount);

    int columnCount() const { return m_columnCount; }
    qint64 rowCount() const { return m_published.load(std::memory_order_acquire) - qint64(m_removed.size()); }

    // The budget of new stores, for the program and tests; 256 MB unless set. Any thread.
    static void setDefaultMemoryBudget(qint64 bytes);
    static qint64 defaultMemoryBudget();
    // This store's budget; counts from the next block sealed. 0 keeps only the block being
    // filled in memory.
    void setMemoryBudget(qint64 bytes);
    qint64 memoryBudget() const { return m_blocks.budget(); }

    // Appending one row: beginRow, exactly columnCount add* calls, endRow. Writer only.
    void beginRow() override;
    void addNull() override;
    void addInt(qint64 value) override;
    void addDouble(double value) override;
    void addBool(bool value) override;
    void addText(const char *utf8, qsizetype length) override;
    void addBlob(const char *bytes, qsizetype length) override;
    void endRow() override;

    // A fetch that hands the store to readers before its last row brackets its appending
    // with these (the writer calls both); edits wait for endFetch.
    void beginFetch();
    void endFetch();
    bool isFetching() const { return m_fetching.load(std::memory_order_acquire); }

    CellKind kind(qint64 row, int column) const;
    QVariant value(qint64 row, int column) const;
    // Size of a Text or Blob payload in bytes without decoding it; 0 for other kinds.
    qsizetype payloadSize(qint64 row, int column) const;
    // The stored bytes of a Text (UTF-8 as received) or Blob cell; empty for other kinds.
    // Valid while the store lives, unless setRow or removeRow changes that row.
    QByteArrayView payload(qint64 row, int column) const;

    // Reading many cells fast, without a QVariant each (sorting, filtering, finding, copying).
    // CellReader walks the encoded cells of one row's bytes in column order.
    class CellReader
    {
    public:
        explicit CellReader(QByteArrayView row) : m_next(reinterpret_cast<const std::uint8_t *>(row.data()))
        {
        }
        // Reads the next cell; a row holds exactly columnCount() of them.
        CellKind read();
        CellKind kind() const { return m_kind; }
        qint64 integer() const { return m_integer; }
        double real() const { return m_real; }
        bool boolean() const { return m_boolean; }
        // The bytes of a Text (UTF-8 as received) or Blob cell; empty for other kinds.
        QByteArrayView payload() const { return m_payload; }
        // Where the cell just read begins and where the next one begins.
        const char *cellBegin() const { return reinterpret_cast<const char *>(m_begin); }
        const char *cellEnd() const { return reinterpret_cast<const char *>(m_next); }

    private:
        const std::uint8_t *m_begin = nullptr;
        const std::uint8_t *m_next;
        CellKind m_kind = CellKind::Null;
        qint64 m_integer = 0;
        double m_real = 0;
        bool m_boolean = false;
        QByteArrayView m_payload;
    };
    // The encoded cells of a row, for a CellReader. Valid as payload() is.
    QByteArrayView rowBytes(qint64 row) const;
    // Rows [first, end) that lie back to back in memory, the row asked for among them: a block's
    // rows, or the one row when the store has been edited. bytes begins with row first.
    struct RowRun
    {
        qint64 first = 0;
        qint64 end = 0;
        QByteArrayView bytes;
    };
    RowRun rowRun(qint64 row) const;
    // Writes the cells of a row into a sink as the fetch wrote them: the given columns in the
    // given order (every column when columns is empty). A reader's call.
    void writeRow(qint64 row, CellSink &sink, const QList<int> &columns = {}) const;

    // Editing support for the result grid (see the thread rules above).
    void appendRow(const QList<QVariant> &values);
    void setRow(qint64 row, const QList<QVariant> &values);
    void removeRow(qint64 row);
    // The values of one row, decoded.
    QList<QVariant> rowValues(qint64 row) const;

    // Bytes the store holds in memory, and bytes of rows it has written to its spill file.
    qsizetype memoryUsage() const;
    qint64 spilledBytes() const { return qint64(m_blocks.spilledBytes()); }

private:
    const std::uint8_t *rowStart(qint64 row) const;
    const std::uint8_t *cell(qint64 row, int column) const;
    qint64 physicalRow(qint64 row) const;
    void checkEditable() const;
    void addVariant(const QVariant &value);
    // Room for length more bytes of the row being appended; the caller advances m_pos.
    std::uint8_t *reserve(std::size_t length);
    void newBlock(std::size_t length);

    const int m_columnCount;
    RowBlocks m_blocks;
    std::atomic<qint64> m_published{0}; // rows appended and finished, removed ones included
    std::atomic<bool> m_fetching{false};

    // Writer only: the block being filled. Its rows start at the front, their start offsets
    // (std::uint32_t, row by row) fill it from the end.
    RowBlocks::Block *m_open = nullptr;
    std::uint8_t *m_base = nullptr;
    std::size_t m_pos = 0;      // where the next byte goes
    std::size_t m_rowStart = 0; // where the row being appended begins (the end of the last one)
    std::size_t m_end = 0;      // where the offsets begin; the row needs room for its own too
    std::uint32_t m_rowsInBlock = 0;
    std::size_t m_lastBlockSize = 0;
    int m_cellsInRow = 0;
    qint64 m_appended = 0;
    std::atomic<std::size_t> m_openBytes{0};

    // Edits: replaced rows by physical row, and removed physical rows in ascending order.
    std::unordered_map<qint64, std::vector<std::uint8_t>> m_edited;
    std::size_t m_editedBytes = 0;
    std::vector<qint64> m_removed;
};

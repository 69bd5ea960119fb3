#pragma once

#include <QtGlobal>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

class SpillFile;

// The memory behind a row store: blocks of bytes that stay at their address from the moment
// they are made until the store goes, so readers may hold pointers into them while the
// writer goes on. Blocks are carved side by side out of large reserved address ranges
// (arenas); each arena has a matching range in the spill file, so the file mappings of
// consecutive spilled blocks merge and a huge result needs only a few mappings.
//
// Sealed blocks hold at most the memory budget; a block sealed beyond it is written to the
// spill file and its pages are replaced, at the same address, by a read-only mapping of what
// was written. Pages of spilled blocks that readers touch are handed back to the page cache
// once more than readWindow bytes of other spilled blocks have been read since.
//
// One writer thread calls add, seal and release; any thread calls find and noteRead for rows
// the writer has published (the row store's count orders them). Nobody reads any more when
// the blocks are destroyed.
class RowBlocks
{
public:
    struct Block
    {
        std::uint8_t *base = nullptr;
        std::size_t capacity = 0;
        qint64 firstRow = 0;          // physical number of its first row
        std::uint64_t fileOffset = 0; // where it goes in the spill file (writer only)
        std::atomic<qint64> endRow{std::numeric_limits<qint64>::max()}; // set when sealed
        std::atomic<bool> spilled{false};
    };

    static constexpr std::size_t readWindow = std::size_t(32) << 20;

    explicit RowBlocks(qint64 budget);
    ~RowBlocks();
    RowBlocks(const RowBlocks &) = delete;
    RowBlocks &operator=(const RowBlocks &) = delete;

    void setBudget(qint64 budget) { m_budget.store(budget < 0 ? 0 : std::size_t(budget)); }
    qint64 budget() const { return qint64(m_budget.load()); }
    static std::size_t pageSize();

    // Writer: a new zero-filled block of at least capacity bytes (rounded up to pages) whose
    // rows start at firstRow. Throws DataAccessError when no memory can be reserved.
    Block &add(std::size_t capacity, qint64 firstRow);
    // Writer: the block is full with rows; they use front bytes at its start and back bytes
    // at its end. Kept in memory within the budget, spilled beyond it. Throws DataAccessError
    // when the spill fails; the block then stays in memory, whole and readable.
    void seal(Block &block, qint64 rows, std::size_t front, std::size_t back);
    // Writer: a block that never got a row gives its memory back.
    void release(Block &block);

    // Reader: the block holding a published physical row. A block's end is set before any
    // row after it is published, so a block without an end holds every published row from
    // its first one on.
    const Block &find(qint64 row) const
    {
        const Block *hint = m_hint.load(std::memory_order_acquire);
        if (hint && hint->firstRow <= row && row < hint->endRow.load(std::memory_order_acquire)) [[likely]]
            return *hint;
        return search(row);
    }
    // Reader: account for a read of the block, so the pages of spilled blocks read long
    // ago can be handed back.
    void noteRead(const Block &block) const
    {
        if (m_lastRead.load(std::memory_order_relaxed) != &block &&
            block.spilled.load(std::memory_order_acquire))
            noteSpilledRead(block);
    }

    std::size_t memoryBytes() const { return m_memory.load(std::memory_order_relaxed); }
    std::size_t spilledBytes() const { return m_spilled.load(std::memory_order_relaxed); }
    const SpillFile *spillFile() const { return m_file.get(); }

private:
    struct Arena
    {
        std::uint8_t *base = nullptr;
        std::size_t size = 0;
        std::size_t used = 0;
        std::uint64_t fileBase = 0;
    };

    // The directory of blocks: chunk k holds 64 << k of them, so nothing in it ever moves.
    static constexpr int firstChunkBits = 6;
    static constexpr int chunkCount = 24;

    const Block &at(int index) const;
    const Block &search(qint64 row) const;
    void noteSpilledRead(const Block &block) const;
    std::uint8_t *carve(std::size_t capacity);
    void spill(Block &block, std::size_t front, std::size_t back);

    std::atomic<std::size_t> m_budget;
    std::atomic<Block *> m_chunks[chunkCount] = {};
    std::atomic<int> m_count{0};
    mutable std::atomic<const Block *> m_hint{nullptr}; // the block found last

    // Writer only.
    std::vector<Arena> m_arenas;
    std::unique_ptr<SpillFile> m_file;
    std::atomic<std::size_t> m_memory{0};
    std::atomic<std::size_t> m_spilled{0};

    // Spilled blocks read lately, the latest last, and their bytes.
    mutable std::mutex m_readMutex;
    mutable std::vector<const Block *> m_recent;
    mutable std::size_t m_recentBytes = 0;
    mutable std::atomic<const Block *> m_lastRead{nullptr};
};

#include "db/fetch/RowBlocks.h"

#include "db/DataAccess.h"
#include "db/fetch/SpillFile.h"

#include <algorithm>
#include <bit>
#include <cerrno>

#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr std::size_t firstArenaSize = std::size_t(64) << 20;
constexpr std::size_t largestArenaSize = std::size_t(64) << 30;
constexpr std::size_t populatedBlockSize = std::size_t(1) << 20;

std::size_t roundUp(std::size_t value, std::size_t unit)
{
    return (value + unit - 1) / unit * unit;
}

[[noreturn]] void outOfMemory(int error)
{
    throw DataAccessError(
        QStringLiteral("Not enough memory for the rows of the result: %1").arg(qt_error_string(error)));
}

} // namespace

std::size_t RowBlocks::pageSize()
{
    static const std::size_t size = std::size_t(::sysconf(_SC_PAGESIZE));
    return size;
}

RowBlocks::RowBlocks(qint64 budget) : m_budget(budget < 0 ? 0 : std::size_t(budget))
{
}

RowBlocks::~RowBlocks()
{
    for (const Arena &arena : m_arenas)
        ::munmap(arena.base, arena.size);
    for (int k = 0; k < chunkCount; ++k)
        delete[] m_chunks[k].load(std::memory_order_relaxed);
}

const RowBlocks::Block &RowBlocks::at(int index) const
{
    const int k = int(std::bit_width(unsigned(index >> firstChunkBits) + 1)) - 1;
    const Block *chunk = m_chunks[k].load(std::memory_order_acquire);
    return chunk[index - (1 << (firstChunkBits + k)) + (1 << firstChunkBits)];
}

std::uint8_t *RowBlocks::carve(std::size_t capacity)
{
    if (m_arenas.empty() || m_arenas.back().used + capacity > m_arenas.back().size) {
        // Address space only: nothing is committed until a block is made in it.
        std::size_t size =
            m_arenas.empty() ? firstArenaSize : std::min(m_arenas.back().size * 2, largestArenaSize);
        size = std::max(size, roundUp(capacity, firstArenaSize));
        void *base = MAP_FAILED;
        for (;;) {
            base = ::mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
            if (base != MAP_FAILED || size / 2 < capacity)
                break;
            size = roundUp(std::max(size / 2, capacity), pageSize()); // a limit on address space
        }
        if (base == MAP_FAILED)
            outOfMemory(errno);
        const std::uint64_t fileBase = m_arenas.empty() ? 0 : m_arenas.back().fileBase + m_arenas.back().size;
        m_arenas.push_back({static_cast<std::uint8_t *>(base), size, 0, fileBase});
    }
    Arena &arena = m_arenas.back();
    std::uint8_t *block = arena.base + arena.used;
    // A block of ordinary size is filled whole: its pages come in one call rather than one
    // fault each. The block of a huge row may stay mostly untouched.
    const int populate = capacity <= populatedBlockSize ? MAP_POPULATE : 0;
    if (::mmap(block, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED | populate,
               -1, 0) == MAP_FAILED) {
        const int error = errno;
        // Only what lies before the block is surely ours now; the rest is never unmapped.
        arena.size = arena.used;
        outOfMemory(error);
    }
    arena.used += capacity;
    return block;
}

RowBlocks::Block &RowBlocks::add(std::size_t capacity, qint64 firstRow)
{
    capacity = roundUp(std::max<std::size_t>(capacity, 1), pageSize());
    const int index = m_count.load(std::memory_order_relaxed);
    const int k = int(std::bit_width(unsigned(index >> firstChunkBits) + 1)) - 1;
    if (k >= chunkCount)
        outOfMemory(ENOMEM);
    if (!m_chunks[k].load(std::memory_order_relaxed))
        m_chunks[k].store(new Block[std::size_t(1) << (firstChunkBits + k)], std::memory_order_release);
    std::uint8_t *base = carve(capacity);
    const Arena &arena = m_arenas.back();
    Block &block = const_cast<Block &>(at(index));
    block.base = base;
    block.capacity = capacity;
    block.firstRow = firstRow;
    block.fileOffset = arena.fileBase + std::uint64_t(base - arena.base);
    m_count.store(index + 1, std::memory_order_release);
    return block;
}

void RowBlocks::seal(Block &block, qint64 rows, std::size_t front, std::size_t back)
{
    block.endRow.store(block.firstRow + rows, std::memory_order_release);
    const std::size_t page = pageSize();
    const std::size_t used = std::min(roundUp(front, page) + roundUp(back, page), block.capacity);
    const std::size_t memory = m_memory.load(std::memory_order_relaxed);
    m_memory.store(memory + used, std::memory_order_relaxed);
    if (memory + used <= m_budget.load(std::memory_order_relaxed))
        return;
    spill(block, front, back); // when it throws, the block stays in memory and counts there
    m_memory.store(memory, std::memory_order_relaxed);
}

void RowBlocks::spill(Block &block, std::size_t front, std::size_t back)
{
    if (!m_file)
        m_file = std::make_unique<SpillFile>();
    // The rows at the front, the row offsets at the end; the hole between them costs no disk,
    // and the offsets at the very end make the file cover the whole mapping.
    m_file->write(block.fileOffset, block.base, front);
    m_file->write(block.fileOffset + block.capacity - back, block.base + block.capacity - back, back);
    m_file->mapOver(block.base, block.capacity, block.fileOffset);
    block.spilled.store(true, std::memory_order_release);
    m_spilled.fetch_add(front + back, std::memory_order_relaxed);
}

void RowBlocks::release(Block &block)
{
    block.endRow.store(block.firstRow, std::memory_order_release);
    ::madvise(block.base, block.capacity, MADV_DONTNEED);
}

const RowBlocks::Block &RowBlocks::search(qint64 row) const
{
    // The last block whose first row is not after the row: blocks left empty share their
    // first row with the next one, which is the one that holds it.
    int low = 0;
    int high = m_count.load(std::memory_order_acquire);
    while (high - low > 1) {
        const int middle = low + (high - low) / 2;
        if (at(middle).firstRow <= row)
            low = middle;
        else
            high = middle;
    }
    const Block &block = at(low);
    m_hint.store(&block, std::memory_order_release);
    return block;
}

void RowBlocks::noteSpilledRead(const Block &block) const
{
    std::lock_guard lock(m_readMutex);
    m_lastRead.store(&block, std::memory_order_relaxed);
    const auto it = std::find(m_recent.begin(), m_recent.end(), &block);
    if (it != m_recent.end())
        m_recent.erase(it);
    else
        m_recentBytes += block.capacity;
    m_recent.push_back(&block);
    while (m_recentBytes > readWindow && m_recent.size() > 1) {
        const Block *old = m_recent.front();
        m_recent.erase(m_recent.begin());
        m_recentBytes -= old->capacity;
        // Shared file pages: dropping them loses nothing, a later read maps them again.
        ::madvise(old->base, old->capacity, MADV_DONTNEED);
    }
}

#include "db/fetch/RowStore.h"

#include "db/DataAccess.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <QVarLengthArray>

#include <algorithm>
#include <cstring>
#include <limits>

// Cell encoding: one tag byte, then the payload. Integers are zigzag varints, doubles eight
// raw bytes, booleans live in the tag, text and blobs are a varint length and the bytes.
namespace {

enum Tag : std::uint8_t { TagNull, TagInt, TagDouble, TagFalse, TagTrue, TagText, TagBlob };

// Blocks start small, so that small results stay small, and double up to BlockSize.
constexpr std::size_t FirstBlockSize = 4096;
constexpr std::size_t BlockSize = std::size_t(1) << 20;
constexpr std::size_t OffsetSize = sizeof(std::uint32_t);
constexpr std::size_t MaxVarint = 10;

std::atomic<qint64> defaultBudget{qint64(256) << 20};

inline std::uint64_t readVarint(const std::uint8_t *&p)
{
    std::uint64_t value = 0;
    int shift = 0;
    for (;;) {
        const std::uint8_t byte = *p++;
        value |= std::uint64_t(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            return value;
        shift += 7;
    }
}

inline const std::uint8_t *skipCell(const std::uint8_t *p)
{
    switch (*p++) {
    case TagInt:
        while (*p++ & 0x80) {
        }
        return p;
    case TagDouble:
        return p + sizeof(double);
    case TagText:
    case TagBlob: {
        const std::uint64_t length = readVarint(p);
        return p + length;
    }
    default:
        return p;
    }
}

inline std::uint8_t *writeVarint(std::uint8_t *p, std::uint64_t value)
{
    while (value >= 0x80) {
        *p++ = std::uint8_t(value | 0x80);
        value >>= 7;
    }
    *p++ = std::uint8_t(value);
    return p;
}

inline std::uint64_t zigzag(qint64 value)
{
    return (std::uint64_t(value) << 1) ^ std::uint64_t(value >> 63);
}

inline qint64 unzigzag(std::uint64_t value)
{
    return qint64(value >> 1) ^ -qint64(value & 1);
}

} // namespace

RowStore::RowStore(int columnCount)
    : m_columnCount(columnCount < 0 ? 0 : columnCount), m_blocks(defaultMemoryBudget())
{
}

void RowStore::setDefaultMemoryBudget(qint64 bytes)
{
    defaultBudget.store(bytes < 0 ? 0 : bytes, std::memory_order_relaxed);
}

qint64 RowStore::defaultMemoryBudget()
{
    return defaultBudget.load(std::memory_order_relaxed);
}

void RowStore::setMemoryBudget(qint64 bytes)
{
    m_blocks.setBudget(bytes);
}

void RowStore::newBlock(std::size_t length)
{
    // The row begun so far moves along; a row larger than a block gets one of its own, with
    // room to grow so that a row of many large cells is not copied again and again.
    const std::size_t partial = m_pos - m_rowStart;
    const std::size_t needed = partial + length + OffsetSize;
    std::size_t size = std::min(std::max(m_lastBlockSize * 2, FirstBlockSize), BlockSize);
    m_lastBlockSize = size;
    if (needed > size)
        size = needed * 2;
    RowBlocks::Block &block = m_blocks.add(size, m_appended);
    if (partial)
        std::memcpy(block.base, m_base + m_rowStart, partial);

    RowBlocks::Block *const old = m_open;
    const std::size_t oldFront = m_rowStart;
    const std::uint32_t oldRows = m_rowsInBlock;
    m_open = &block;
    m_base = block.base;
    m_pos = partial;
    m_rowStart = 0;
    m_rowsInBlock = 0;
    m_end = block.capacity;
    // Sealing may throw (a failed spill); the new block is in place by then.
    if (old && oldRows)
        m_blocks.seal(*old, oldRows, oldFront, oldRows * OffsetSize);
    else if (old)
        m_blocks.release(*old);
}

inline std::uint8_t *RowStore::reserve(std::size_t length)
{
    if (m_pos + length + OffsetSize > m_end) [[unlikely]]
        newBlock(length);
    return m_base + m_pos;
}

void RowStore::beginRow()
{
    // Whatever a row that was abandoned (by an error) left behind is overwritten.
    m_pos = m_rowStart;
    m_cellsInRow = 0;
}

void RowStore::addNull()
{
    *reserve(1) = TagNull;
    ++m_pos;
    ++m_cellsInRow;
}

void RowStore::addInt(qint64 value)
{
    std::uint8_t *p = reserve(1 + MaxVarint);
    *p = TagInt;
    m_pos = std::size_t(writeVarint(p + 1, zigzag(value)) - m_base);
    ++m_cellsInRow;
}

void RowStore::addDouble(double value)
{
    std::uint8_t *p = reserve(1 + sizeof value);
    *p = TagDouble;
    std::memcpy(p + 1, &value, sizeof value);
    m_pos += 1 + sizeof value;
    ++m_cellsInRow;
}

void RowStore::addBool(bool value)
{
    *reserve(1) = value ? TagTrue : TagFalse;
    ++m_pos;
    ++m_cellsInRow;
}

void RowStore::addText(const char *utf8, qsizetype length)
{
    if (length < 0)
        length = utf8 ? qsizetype(std::strlen(utf8)) : 0;
    std::uint8_t *p = reserve(1 + MaxVarint + std::size_t(length));
    *p = TagText;
    p = writeVarint(p + 1, std::uint64_t(length));
    if (length)
        std::memcpy(p, utf8, std::size_t(length));
    m_pos = std::size_t(p - m_base) + std::size_t(length);
    ++m_cellsInRow;
}

void RowStore::addBlob(const char *bytes, qsizetype length)
{
    if (length < 0)
        length = 0;
    std::uint8_t *p = reserve(1 + MaxVarint + std::size_t(length));
    *p = TagBlob;
    p = writeVarint(p + 1, std::uint64_t(length));
    if (length)
        std::memcpy(p, bytes, std::size_t(length));
    m_pos = std::size_t(p - m_base) + std::size_t(length);
    ++m_cellsInRow;
}

void RowStore::endRow()
{
    // A caller that added too few cells gets NULLs, too many are dropped, so that every row
    // can always be walked cell by cell.
    while (m_cellsInRow < m_columnCount)
        addNull();
    if (m_cellsInRow > m_columnCount) {
        const std::uint8_t *p = m_base + m_rowStart;
        for (int i = 0; i < m_columnCount; ++i)
            p = skipCell(p);
        m_pos = std::size_t(p - m_base);
    }
    if (m_pos + OffsetSize > m_end)
        newBlock(0); // no room left for the row's offset (a row without columns, or no block yet)
    const auto start = std::uint32_t(m_rowStart);
    ++m_rowsInBlock;
    std::memcpy(m_base + m_open->capacity - m_rowsInBlock * OffsetSize, &start, OffsetSize);
    m_rowStart = m_pos;
    m_cellsInRow = 0;
    // Offsets are 32 bits: a row that would start beyond them goes to a new block.
    m_end = m_pos <= std::numeric_limits<std::uint32_t>::max() ? m_open->capacity - m_rowsInBlock * OffsetSize
                                                               : 0;
    m_openBytes.store(m_pos + m_rowsInBlock * OffsetSize, std::memory_order_relaxed);
    m_published.store(++m_appended, std::memory_order_release);
}

void RowStore::beginFetch()
{
    m_fetching.store(true, std::memory_order_release);
}

void RowStore::endFetch()
{
    m_fetching.store(false, std::memory_order_release);
}

qint64 RowStore::physicalRow(qint64 row) const
{
    // Each removed row before the one asked for shifts it by one: count the removed rows
    // that have at most `row` kept rows before them.
    std::size_t low = 0;
    std::size_t high = m_removed.size();
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (m_removed[middle] - qint64(middle) <= row)
            low = middle + 1;
        else
            high = middle;
    }
    return row + qint64(low);
}

const std::uint8_t *RowStore::rowStart(qint64 row) const
{
    const qint64 physical = m_removed.empty() ? row : physicalRow(row);
    if (!m_edited.empty()) {
        const auto it = m_edited.find(physical);
        if (it != m_edited.end())
            return it->second.data();
    }
    const RowBlocks::Block &block = m_blocks.find(physical);
    m_blocks.noteRead(block);
    std::uint32_t offset;
    std::memcpy(&offset,
                block.base + block.capacity - std::size_t(physical - block.firstRow + 1) * OffsetSize,
                OffsetSize);
    return block.base + offset;
}

const std::uint8_t *RowStore::cell(qint64 row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= m_columnCount)
        return nullptr;
    const std::uint8_t *p = rowStart(row);
    for (int i = 0; i < column; ++i)
        p = skipCell(p);
    return p;
}

RowStore::CellKind RowStore::kind(qint64 row, int column) const
{
    const std::uint8_t *p = cell(row, column);
    if (!p)
        return CellKind::Null;
    switch (*p) {
    case TagInt:
        return CellKind::Int;
    case TagDouble:
        return CellKind::Double;
    case TagFalse:
    case TagTrue:
        return CellKind::Bool;
    case TagText:
        return CellKind::Text;
    case TagBlob:
        return CellKind::Blob;
    default:
        return CellKind::Null;
    }
}

QVariant RowStore::value(qint64 row, int column) const
{
    const std::uint8_t *p = cell(row, column);
    if (!p)
        return QVariant();
    const std::uint8_t tag = *p++;
    switch (tag) {
    case TagInt:
        return QVariant(qlonglong(unzigzag(readVarint(p))));
    case TagDouble: {
        double d;
        std::memcpy(&d, p, sizeof d);
        return QVariant(d);
    }
    case TagFalse:
        return QVariant(false);
    case TagTrue:
        return QVariant(true);
    case TagText: {
        const std::uint64_t length = readVarint(p);
        // An empty text is a value, not NULL: keep the string non-null.
        if (length == 0)
            return QVariant(QString(QLatin1StringView("")));
        return QVariant(QString::fromUtf8(reinterpret_cast<const char *>(p), qsizetype(length)));
    }
    case TagBlob: {
        const std::uint64_t length = readVarint(p);
        return QVariant(QByteArray(reinterpret_cast<const char *>(p), qsizetype(length)));
    }
    default:
        return QVariant();
    }
}

QByteArrayView RowStore::payload(qint64 row, int column) const
{
    const std::uint8_t *p = cell(row, column);
    if (!p || (*p != TagText && *p != TagBlob))
        return QByteArrayView();
    ++p;
    const std::uint64_t length = readVarint(p);
    return QByteArrayView(reinterpret_cast<const char *>(p), qsizetype(length));
}

qsizetype RowStore::payloadSize(qint64 row, int column) const
{
    return payload(row, column).size();
}

void RowStore::addVariant(const QVariant &value)
{
    if (value.isNull()) {
        addNull();
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
        addBool(value.toBool());
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        addInt(value.toLongLong());
        break;
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
        const qulonglong u = value.toULongLong();
        if (u > qulonglong(std::numeric_limits<qint64>::max()))
            addDouble(double(u));
        else
            addInt(qint64(u));
        break;
    }
    case QMetaType::Double:
    case QMetaType::Float:
        addDouble(value.toDouble());
        break;
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        addBlob(bytes.constData(), bytes.size());
        break;
    }
    case QMetaType::QDate:
        addText(value.toDate().toString(Qt::ISODate).toUtf8().constData(), -1);
        break;
    case QMetaType::QTime:
        addText(value.toTime().toString(Qt::ISODateWithMs).toUtf8().constData(), -1);
        break;
    case QMetaType::QDateTime: {
        const QByteArray text =
            value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toUtf8();
        addText(text.constData(), text.size());
        break;
    }
    default: {
        const QByteArray text = value.toString().toUtf8();
        addText(text.constData(), text.size());
        break;
    }
    }
}

void RowStore::checkEditable() const
{
    if (isFetching())
        throw DataAccessError(QStringLiteral(
            "The rows of this result are still arriving; it can be edited once they are all in."));
}

void RowStore::appendRow(const QList<QVariant> &values)
{
    checkEditable();
    beginRow();
    for (int i = 0; i < m_columnCount; ++i)
        addVariant(i < values.size() ? values[i] : QVariant());
    endRow();
}

void RowStore::setRow(qint64 row, const QList<QVariant> &values)
{
    checkEditable();
    if (row < 0 || row >= rowCount())
        return;
    // Encode where the next row would go, then move the bytes to the row's own buffer.
    beginRow();
    for (int i = 0; i < m_columnCount; ++i)
        addVariant(i < values.size() ? values[i] : QVariant());
    std::vector<std::uint8_t> encoded(m_base + m_rowStart, m_base + m_pos);
    m_pos = m_rowStart;
    m_cellsInRow = 0;

    std::vector<std::uint8_t> &edited = m_edited[physicalRow(row)];
    m_editedBytes = m_editedBytes - edited.capacity() + encoded.capacity();
    edited = std::move(encoded);
}

void RowStore::removeRow(qint64 row)
{
    checkEditable();
    if (row < 0 || row >= rowCount())
        return;
    const qint64 physical = physicalRow(row);
    const auto it = m_edited.find(physical);
    if (it != m_edited.end()) {
        m_editedBytes -= it->second.capacity();
        m_edited.erase(it);
    }
    m_removed.insert(std::upper_bound(m_removed.begin(), m_removed.end(), physical), physical);
}

RowStore::CellKind RowStore::CellReader::read()
{
    m_begin = m_next;
    const std::uint8_t *p = m_next;
    m_payload = QByteArrayView();
    switch (*p++) {
    case TagInt:
        m_kind = CellKind::Int;
        m_integer = unzigzag(readVarint(p));
        break;
    case TagDouble:
        m_kind = CellKind::Double;
        std::memcpy(&m_real, p, sizeof m_real);
        p += sizeof m_real;
        break;
    case TagFalse:
    case TagTrue:
        m_kind = CellKind::Bool;
        m_boolean = p[-1] == TagTrue;
        break;
    case TagText:
    case TagBlob: {
        m_kind = p[-1] == TagText ? CellKind::Text : CellKind::Blob;
        const std::uint64_t length = readVarint(p);
        m_payload = QByteArrayView(reinterpret_cast<const char *>(p), qsizetype(length));
        p += length;
        break;
    }
    default:
        m_kind = CellKind::Null;
        break;
    }
    m_next = p;
    return m_kind;
}

QByteArrayView RowStore::rowBytes(qint64 row) const
{
    if (row < 0 || row >= rowCount())
        return QByteArrayView();
    const std::uint8_t *start = rowStart(row);
    const std::uint8_t *p = start;
    for (int i = 0; i < m_columnCount; ++i)
        p = skipCell(p);
    return QByteArrayView(reinterpret_cast<const char *>(start), p - start);
}

RowStore::RowRun RowStore::rowRun(qint64 row) const
{
    RowRun run;
    const qint64 count = rowCount();
    if (row < 0 || row >= count)
        return run;
    // Edited or removed rows live elsewhere or shift the numbering: one row at a time then.
    if (!m_edited.empty() || !m_removed.empty()) {
        run.first = row;
        run.end = row + 1;
        run.bytes = rowBytes(row);
        return run;
    }
    const RowBlocks::Block &block = m_blocks.find(row);
    run.first = block.firstRow;
    run.end = std::min(block.endRow.load(std::memory_order_acquire), count);
    const QByteArrayView last = rowBytes(run.end - 1);
    const char *begin = reinterpret_cast<const char *>(rowStart(run.first));
    run.bytes = QByteArrayView(begin, last.data() + last.size() - begin);
    return run;
}

void RowStore::writeRow(qint64 row, CellSink &sink, const QList<int> &columns) const
{
    const QByteArrayView bytes = rowBytes(row);
    if (bytes.isNull())
        return;
    // Where each cell begins, so that the columns can be written in any order.
    QVarLengthArray<const char *, 64> cells(m_columnCount);
    const auto *p = reinterpret_cast<const std::uint8_t *>(bytes.data());
    for (int i = 0; i < m_columnCount; ++i) {
        cells[i] = reinterpret_cast<const char *>(p);
        p = skipCell(p);
    }
    const qsizetype n = columns.isEmpty() ? m_columnCount : columns.size();
    sink.beginRow();
    for (qsizetype i = 0; i < n; ++i) {
        const int column = columns.isEmpty() ? int(i) : columns[i];
        if (column < 0 || column >= m_columnCount) {
            sink.addNull();
            continue;
        }
        CellReader reader(QByteArrayView(cells[column], bytes.data() + bytes.size() - cells[column]));
        switch (reader.read()) {
        case CellKind::Null:
            sink.addNull();
            break;
        case CellKind::Int:
            sink.addInt(reader.integer());
            break;
        case CellKind::Double:
            sink.addDouble(reader.real());
            break;
        case CellKind::Bool:
            sink.addBool(reader.boolean());
            break;
        case CellKind::Text:
            sink.addText(reader.payload().data(), reader.payload().size());
            break;
        case CellKind::Blob:
            sink.addBlob(reader.payload().data(), reader.payload().size());
            break;
        }
    }
    sink.endRow();
}

QList<QVariant> RowStore::rowValues(qint64 row) const
{
    QList<QVariant> values;
    if (row < 0 || row >= rowCount())
        return values;
    values.reserve(m_columnCount);
    for (int i = 0; i < m_columnCount; ++i)
        values.append(value(row, i));
    return values;
}

qsizetype RowStore::memoryUsage() const
{
    // Edits are counted roughly: a hash node per replaced row besides its bytes.
    const std::size_t edits = m_editedBytes + m_edited.size() * 64 + m_removed.capacity() * sizeof(qint64);
    return qsizetype(sizeof(*this) + m_blocks.memoryBytes() + m_openBytes.load(std::memory_order_relaxed) +
                     edits);
}

#include "connection/dataaccess/RowStore.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <algorithm>
#include <cstring>
#include <limits>

// Cell encoding: one tag byte, then the payload. Integers are zigzag varints, doubles eight
// raw bytes, booleans live in the tag, text and blobs are a varint length and the bytes.
namespace {

enum Tag : std::uint8_t { TagNull, TagInt, TagDouble, TagFalse, TagTrue, TagText, TagBlob };

constexpr std::uint64_t EditedBit = std::uint64_t(1) << 63;
constexpr std::size_t FirstBlockSize = 4096;
constexpr std::size_t BlockSize = std::size_t(1) << 20;

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

inline std::uint64_t zigzag(qint64 value)
{
    return (std::uint64_t(value) << 1) ^ std::uint64_t(value >> 63);
}

inline qint64 unzigzag(std::uint64_t value)
{
    return qint64(value >> 1) ^ -qint64(value & 1);
}

} // namespace

RowStore::RowStore(int columnCount) : m_columnCount(columnCount < 0 ? 0 : columnCount)
{
}

qint64 RowStore::rowCount() const
{
    return qint64(m_rowOffsets.size());
}

void RowStore::newBlock(std::size_t length)
{
    const std::size_t rowBytes = m_blocks.empty() ? 0 : m_blocks.back().size() - m_rowStart;
    const std::size_t needed = rowBytes + length;
    if (!m_blocks.empty() && m_rowStart == 0 && m_blocks.back().size() > 0) {
        // A row larger than a block has the block to itself; let that one grow.
        std::vector<std::uint8_t> &block = m_blocks.back();
        block.reserve(std::max(block.capacity() * 2, block.size() + length));
        return;
    }
    // Blocks start small, so that small results stay small, and double up to BlockSize.
    const std::size_t previous = m_blocks.empty() ? 0 : m_blocks.back().capacity();
    const std::size_t size =
        std::max(std::min(std::max(previous * 2, FirstBlockSize), BlockSize), needed * 2);
    std::vector<std::uint8_t> block;
    block.reserve(size);
    if (rowBytes) {
        // The row begun so far moves along.
        std::vector<std::uint8_t> &last = m_blocks.back();
        block.insert(block.end(), last.begin() + std::ptrdiff_t(m_rowStart), last.end());
        last.resize(m_rowStart);
    }
    m_blocks.push_back(std::move(block));
    m_rowStart = 0;
}

inline std::uint8_t *RowStore::space(std::size_t length)
{
    if (m_blocks.empty() || m_blocks.back().size() + length > m_blocks.back().capacity())
        newBlock(length);
    std::vector<std::uint8_t> &block = m_blocks.back();
    const std::size_t at = block.size();
    block.resize(at + length);
    return block.data() + at;
}

void RowStore::appendBytes(const void *bytes, std::size_t length)
{
    if (length)
        std::memcpy(space(length), bytes, length);
}

void RowStore::appendVarint(std::uint64_t value)
{
    std::uint8_t buffer[10];
    int n = 0;
    while (value >= 0x80) {
        buffer[n++] = std::uint8_t(value | 0x80);
        value >>= 7;
    }
    buffer[n++] = std::uint8_t(value);
    appendBytes(buffer, std::size_t(n));
}

void RowStore::beginRow()
{
    m_rowStart = m_blocks.empty() ? 0 : m_blocks.back().size();
    m_cellsInRow = 0;
}

void RowStore::addNull()
{
    *space(1) = TagNull;
    ++m_cellsInRow;
}

void RowStore::addInt(qint64 value)
{
    *space(1) = TagInt;
    appendVarint(zigzag(value));
    ++m_cellsInRow;
}

void RowStore::addDouble(double value)
{
    *space(1) = TagDouble;
    appendBytes(&value, sizeof value);
    ++m_cellsInRow;
}

void RowStore::addBool(bool value)
{
    *space(1) = value ? TagTrue : TagFalse;
    ++m_cellsInRow;
}

void RowStore::addText(const char *utf8, qsizetype length)
{
    if (length < 0)
        length = utf8 ? qsizetype(std::strlen(utf8)) : 0;
    *space(1) = TagText;
    appendVarint(std::uint64_t(length));
    appendBytes(utf8, std::size_t(length));
    ++m_cellsInRow;
}

void RowStore::addBlob(const char *bytes, qsizetype length)
{
    if (length < 0)
        length = 0;
    *space(1) = TagBlob;
    appendVarint(std::uint64_t(length));
    appendBytes(bytes, std::size_t(length));
    ++m_cellsInRow;
}

void RowStore::endRow()
{
    // A caller that added too few cells gets NULLs, too many are dropped, so that every row
    // can always be walked cell by cell.
    while (m_cellsInRow < m_columnCount)
        addNull();
    if (m_blocks.empty())
        newBlock(0); // a row without columns
    std::vector<std::uint8_t> &block = m_blocks.back();
    if (m_cellsInRow > m_columnCount) {
        const std::uint8_t *p = block.data() + m_rowStart;
        for (int i = 0; i < m_columnCount; ++i)
            p = skipCell(p);
        block.resize(std::size_t(p - block.data()));
    }
    m_rowOffsets.push_back((std::uint64_t(m_blocks.size() - 1) << 32) | std::uint64_t(m_rowStart));
    m_rowStart = block.size();
    m_cellsInRow = 0;
}

const std::uint8_t *RowStore::cell(qint64 row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= m_columnCount)
        return nullptr;
    const std::uint64_t offset = m_rowOffsets[std::size_t(row)];
    const std::uint8_t *p = (offset & EditedBit)
                                ? m_edited[std::size_t(offset & ~EditedBit)].data()
                                : m_blocks[std::size_t(offset >> 32)].data() + (offset & 0xffffffffu);
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

void RowStore::appendRow(const QList<QVariant> &values)
{
    beginRow();
    for (int i = 0; i < m_columnCount; ++i)
        addVariant(i < values.size() ? values[i] : QVariant());
    endRow();
}

void RowStore::setRow(qint64 row, const QList<QVariant> &values)
{
    if (row < 0 || row >= rowCount())
        return;
    // Encode at the end of the cell blocks, then move the bytes to the row's own buffer.
    beginRow();
    for (int i = 0; i < m_columnCount; ++i)
        addVariant(i < values.size() ? values[i] : QVariant());
    std::vector<std::uint8_t> &block = m_blocks.back();
    std::vector<std::uint8_t> encoded(block.begin() + std::ptrdiff_t(m_rowStart), block.end());
    block.resize(m_rowStart);
    m_cellsInRow = 0;

    std::uint64_t &offset = m_rowOffsets[std::size_t(row)];
    if (offset & EditedBit) {
        m_edited[std::size_t(offset & ~EditedBit)] = std::move(encoded);
    } else {
        m_edited.push_back(std::move(encoded));
        offset = EditedBit | std::uint64_t(m_edited.size() - 1);
    }
}

void RowStore::removeRow(qint64 row)
{
    if (row < 0 || row >= rowCount())
        return;
    const std::uint64_t offset = m_rowOffsets[std::size_t(row)];
    if (offset & EditedBit)
        std::vector<std::uint8_t>().swap(m_edited[std::size_t(offset & ~EditedBit)]);
    m_rowOffsets.erase(m_rowOffsets.begin() + std::ptrdiff_t(row));
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
    std::size_t total = sizeof(*this) + m_rowOffsets.capacity() * sizeof(std::uint64_t) +
                        (m_blocks.capacity() + m_edited.capacity()) * sizeof(std::vector<std::uint8_t>);
    for (const auto &block : m_blocks)
        total += block.capacity();
    for (const auto &row : m_edited)
        total += row.capacity();
    return qsizetype(total);
}

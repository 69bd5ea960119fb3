#pragma once

#include "connection/dataaccess/CellSink.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QVariant>

#include <cstdint>
#include <vector>

// Compact storage for result rows: each row is a run of encoded cells in one byte buffer
// (a kind byte, then the payload), so a million rows hold little more than their text.
// Values are decoded on demand: NULL -> invalid QVariant, Int -> qlonglong, Double ->
// double, Bool -> bool, Text -> QString (invalid UTF-8 replaced), Blob -> QByteArray.
class RowStore final : public CellSink
{
public:
    enum class CellKind : std::uint8_t { Null, Int, Double, Bool, Text, Blob };

    explicit RowStore(int columnCount);

    int columnCount() const { return m_columnCount; }
    qint64 rowCount() const;

    // Appending one row: beginRow, exactly columnCount add* calls, endRow.
    void beginRow() override;
    void addNull() override;
    void addInt(qint64 value) override;
    void addDouble(double value) override;
    void addBool(bool value) override;
    void addText(const char *utf8, qsizetype length) override;
    void addBlob(const char *bytes, qsizetype length) override;
    void endRow() override;

    CellKind kind(qint64 row, int column) const;
    QVariant value(qint64 row, int column) const;
    // Size of a Text or Blob payload in bytes without decoding it; 0 for other kinds.
    qsizetype payloadSize(qint64 row, int column) const;
    // The stored bytes of a Text (UTF-8 as received) or Blob cell; empty for other kinds.
    // Valid until the store is changed.
    QByteArrayView payload(qint64 row, int column) const;

    // Editing support for the result grid.
    void appendRow(const QList<QVariant> &values);
    void setRow(qint64 row, const QList<QVariant> &values);
    void removeRow(qint64 row);
    // The values of one row, decoded.
    QList<QVariant> rowValues(qint64 row) const;

    qsizetype memoryUsage() const;

private:
    const std::uint8_t *cell(qint64 row, int column) const;
    void addVariant(const QVariant &value);
    std::uint8_t *space(std::size_t length);
    void newBlock(std::size_t length);
    void appendBytes(const void *bytes, std::size_t length);
    void appendVarint(std::uint64_t value);

    int m_columnCount;
    // The cells, in blocks that are never reallocated once full, so memory grows by little
    // more than the rows themselves; a row never spans two blocks.
    std::vector<std::vector<std::uint8_t>> m_blocks;
    // Where each row starts: block index in the upper 32 bits, position in the lower ones.
    // Entries with the top bit set point into m_edited instead.
    std::vector<std::uint64_t> m_rowOffsets;
    // Rows replaced by edits.
    std::vector<std::vector<std::uint8_t>> m_edited;
    std::size_t m_rowStart = 0; // where the row being appended begins in the last block
    int m_cellsInRow = 0;
};

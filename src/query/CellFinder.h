#pragma once

#include "db/fetch/RowStore.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <optional>
#include <vector>

// A cell of the rows searched: the row as shown, the column.
struct CellPosition
{
    qint64 row = -1;
    int column = -1;

    bool operator==(const CellPosition &) const = default;
};

// Finds a text in the cells of a result, cell by cell in reading order (row by row, left to
// right), as the grid shows them: text, numbers and True/False; NULL and binary values are never
// found. Without match case, letters are compared ignoring their case.
//
// Rows in the order they are stored are searched block by block, straight through the row
// store's memory (also its spilled blocks, read a window at a time), without a value being
// decoded; rows in another order (a sort or filter of the grid) one by one.
class CellFinder
{
public:
    CellFinder(const QString &text, bool matchCase);

    bool isEmpty() const { return m_needle.isEmpty(); }

    // The next matching cell after from (before it when backwards), going round past the end
    // (the start) once and ending on from itself; nothing when no cell matches. A from of row -1
    // starts before the first cell (after the last when backwards). rows counts the rows shown;
    // order, when given, holds the stored row of each. Any thread while the rows searched stay
    // unchanged; throws AppError with cancelledText() on cancel.
    std::optional<CellPosition> find(const RowStore &store, qint64 rows, const std::vector<int> *order,
                                     CellPosition from, bool backwards,
                                     const std::atomic<bool> *cancel = nullptr) const;

    // Whether the cell just read matches.
    bool matches(const RowStore::CellReader &cell) const;

private:
    // First match in [begin, end) at or after from; null when none.
    const char *search(const char *begin, const char *end) const;
    bool matchesText(QByteArrayView text) const;
    // Searches rows [first, end) for the first (or last) match strictly after (before) the limit.
    std::optional<CellPosition> scan(const RowStore &store, const std::vector<int> *order, qint64 first,
                                     qint64 end, CellPosition after, CellPosition before, bool last,
                                     const std::atomic<bool> *cancel) const;
    std::optional<CellPosition> scanRuns(const RowStore &store, qint64 first, qint64 end, CellPosition after,
                                         CellPosition before, bool last,
                                         const std::atomic<bool> *cancel) const;

    QString m_text;
    QByteArray m_needle; // UTF-8; lower case (ASCII) when case is ignored
    bool m_matchCase;
    bool m_ascii;    // the needle is ASCII: bytes are compared directly
    bool m_numbers;  // the needle may be part of a number's text
    bool m_booleans; // ... or of True or False
};

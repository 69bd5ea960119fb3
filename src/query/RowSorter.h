#pragma once

#include "db/DataAccess.h"
#include "db/fetch/RowStore.h"

#include <QList>
#include <QLocale>

#include <atomic>
#include <vector>

// One column of a sort, in the order the user added them.
struct SortColumn
{
    int column = 0;
    bool descending = false;

    bool operator==(const SortColumn &) const = default;
};

// How the grid's own sort orders values (valueorder): text by this collation (C: code point
// order), NULL where the result's database puts it.
struct SortRules
{
    QLocale collation = QLocale::c();
    bool nullsLargest = false;
};

// The row numbers of the store given in order, ordered by the columns: by the first, rows equal
// there by the second, and so on; rows equal in every column keep the order they had (a stable
// sort). The rows themselves are read, never copied. Runs on any thread while the rows stay
// unchanged; throws AppError with cancelledText() as soon as *cancel turns true.
std::vector<int> sortRows(const RowStore &rows, const QList<FieldInfo> &fields, std::vector<int> order,
                          const QList<SortColumn> &columns, const SortRules &rules,
                          const std::atomic<bool> *cancel = nullptr);

// Throws AppError with cancelledText() when *cancel is true (cancel may be null).
void throwIfCancelled(const std::atomic<bool> *cancel);

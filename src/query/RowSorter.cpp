#include "query/RowSorter.h"

#include "db/fetch/Fetch.h"
#include "query/ValueOrder.h"

#include <QCollatorSortKey>

#include <algorithm>
#include <numeric>

using namespace valueorder;

namespace {

struct KeyColumn
{
    int column = 0;
    bool descending = false;
    Sense sense = Sense::Text;
    std::vector<CellKey> keys;
    // Text by a collation: the collation's keys, found through CellKey::integer.
    std::vector<QCollatorSortKey> textKeys;
};

} // namespace

void throwIfCancelled(const std::atomic<bool> *cancel)
{
    if (cancel && cancel->load(std::memory_order_relaxed))
        throw AppError(cancelledText());
}

std::vector<int> sortRows(const RowStore &rows, const QList<FieldInfo> &fields, std::vector<int> order,
                          const QList<SortColumn> &columns, const SortRules &rules,
                          const std::atomic<bool> *cancel)
{
    if (columns.isEmpty() || order.size() < 2)
        return order;
    const TextOrder text(rules.collation);
    std::vector<KeyColumn> keyColumns;
    int lastColumn = -1;
    for (const SortColumn &c : columns) {
        if (c.column < 0 || c.column >= rows.columnCount())
            continue;
        KeyColumn k;
        k.column = c.column;
        k.descending = c.descending;
        k.sense = senseOf(c.column < fields.size() ? fields[c.column].type : AdoType::Empty);
        k.keys.resize(order.size());
        keyColumns.push_back(std::move(k));
        lastColumn = qMax(lastColumn, c.column);
    }
    if (keyColumns.empty())
        return order;

    // Each key is worked out once; only the cells up to the last sort column are read.
    for (size_t i = 0; i < order.size(); ++i) {
        if ((i & 4095) == 0)
            throwIfCancelled(cancel);
        RowStore::CellReader reader(rows.rowBytes(order[i]));
        for (int column = 0; column <= lastColumn; ++column) {
            reader.read();
            for (KeyColumn &k : keyColumns) {
                if (k.column != column)
                    continue;
                CellKey key = keyOf(k.sense, reader);
                if (key.cls == ValueClass::Text && !text.byBytes()) {
                    key.integer = qint64(k.textKeys.size());
                    k.textKeys.push_back(text.sortKey(key.bytes));
                }
                k.keys[i] = key;
            }
        }
    }

    std::vector<int> positions(order.size());
    std::iota(positions.begin(), positions.end(), 0);
    quint32 calls = 0;
    const bool nullsLargest = rules.nullsLargest;
    std::stable_sort(positions.begin(), positions.end(), [&](int a, int b) {
        if ((++calls & 0xffff) == 0)
            throwIfCancelled(cancel);
        for (const KeyColumn &k : keyColumns) {
            const CellKey &x = k.keys[size_t(a)];
            const CellKey &y = k.keys[size_t(b)];
            int c = compareClasses(x.cls, y.cls, nullsLargest);
            if (c == 0 && x.cls != ValueClass::Null) {
                if (x.cls == ValueClass::Text && !text.byBytes())
                    c = k.textKeys[size_t(x.integer)].compare(k.textKeys[size_t(y.integer)]);
                else
                    c = compare(x, y, text, nullsLargest);
            }
            if (c != 0)
                return k.descending ? c > 0 : c < 0;
        }
        return false;
    });
    std::vector<int> sorted(order.size());
    for (size_t i = 0; i < positions.size(); ++i)
        sorted[i] = order[size_t(positions[i])];
    return sorted;
}

#include "query/CellFinder.h"

#include "query/CellValues.h"
#include "query/RowSorter.h"

#include <charconv>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

inline unsigned char lower(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

bool sameIgnoringAsciiCase(const char *a, const char *needle, qsizetype n)
{
    for (qsizetype i = 0; i < n; ++i) {
        if (lower(static_cast<unsigned char>(a[i])) != static_cast<unsigned char>(needle[i]))
            return false;
    }
    return true;
}

bool less(const CellPosition &a, const CellPosition &b)
{
    return a.row < b.row || (a.row == b.row && a.column < b.column);
}

constexpr CellPosition beforeAll{-1, std::numeric_limits<int>::max()};
constexpr CellPosition afterAll{std::numeric_limits<qint64>::max(), 0};

} // namespace

CellFinder::CellFinder(const QString &text, bool matchCase)
    : m_text(text), m_needle(text.toUtf8()), m_matchCase(matchCase)
{
    m_ascii = true;
    for (const char c : std::as_const(m_needle)) {
        if (static_cast<unsigned char>(c) >= 0x80)
            m_ascii = false;
    }
    if (!m_matchCase && m_ascii) {
        for (char &c : m_needle)
            c = char(lower(static_cast<unsigned char>(c)));
    }
    m_numbers = !m_needle.isEmpty();
    for (const char c : std::as_const(m_needle)) {
        if (!std::strchr("0123456789.-+eE", c) || c == '\0')
            m_numbers = false;
    }
    auto within = [this](const QString &word) {
        return word.contains(m_text, m_matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive);
    };
    m_booleans = !m_text.isEmpty() && (within(QStringLiteral("True")) || within(QStringLiteral("False")));
}

const char *CellFinder::search(const char *begin, const char *end) const
{
    const qsizetype n = m_needle.size();
    if (n == 0 || end - begin < n)
        return nullptr;
    const char *needle = m_needle.constData();
    // Letters compare equal whatever their case once bit 0x20 is set in both; everything found so
    // is checked exactly. Where the case matters nothing is set.
    const bool fold = !m_matchCase;
    const unsigned char mask = fold ? 0x20 : 0;
    const unsigned char first = static_cast<unsigned char>(needle[0]) | mask;
    const unsigned char last = static_cast<unsigned char>(needle[n - 1]) | mask;
    auto exact = [&](const char *p) {
        return fold ? sameIgnoringAsciiCase(p, needle, n) : std::memcmp(p, needle, size_t(n)) == 0;
    };
    const char *p = begin;
    const char *stop = end - n + 1; // candidates start before this
#if defined(__SSE2__)
    const __m128i firsts = _mm_set1_epi8(char(first));
    const __m128i lasts = _mm_set1_epi8(char(last));
    const __m128i masks = _mm_set1_epi8(char(mask));
    while (stop - p >= 16) {
        const __m128i a = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p)), masks);
        const __m128i b = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p + n - 1)), masks);
        unsigned bits =
            unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, firsts), _mm_cmpeq_epi8(b, lasts))));
        while (bits) {
            const char *candidate = p + __builtin_ctz(bits);
            if (exact(candidate))
                return candidate;
            bits &= bits - 1;
        }
        p += 16;
    }
#endif
    for (; p < stop; ++p) {
        if ((static_cast<unsigned char>(*p) | mask) == first &&
            (static_cast<unsigned char>(p[n - 1]) | mask) == last && exact(p))
            return p;
    }
    return nullptr;
}

bool CellFinder::matchesText(QByteArrayView text) const
{
    if (m_matchCase || m_ascii)
        return search(text.data(), text.data() + text.size()) != nullptr;
    return QString::fromUtf8(text).contains(m_text, Qt::CaseInsensitive);
}

bool CellFinder::matches(const RowStore::CellReader &cell) const
{
    switch (cell.kind()) {
    case RowStore::CellKind::Text:
        return matchesText(cell.payload());
    case RowStore::CellKind::Int: {
        if (!m_numbers)
            return false;
        char digits[24];
        const std::to_chars_result r = std::to_chars(digits, digits + sizeof digits, cell.integer());
        return matchesText(QByteArrayView(digits, r.ptr - digits));
    }
    case RowStore::CellKind::Double:
        return m_numbers && matchesText(CellValues::text(cell.real()).toUtf8());
    case RowStore::CellKind::Bool:
        return m_booleans && matchesText(cell.boolean() ? QByteArrayView("True") : QByteArrayView("False"));
    default:
        return false;
    }
}

std::optional<CellPosition> CellFinder::scanRuns(const RowStore &store, qint64 first, qint64 end,
                                                 CellPosition after, CellPosition before, bool last,
                                                 const std::atomic<bool> *cancel) const
{
    const int columns = store.columnCount();
    const qsizetype n = m_needle.size();
    // The cell of a run that holds a match, when the match lies inside one text.
    auto cellAt = [&](const RowStore::RowRun &run, const char *hit) -> std::optional<CellPosition> {
        qint64 low = run.first;
        qint64 high = run.end;
        while (high - low > 1) {
            const qint64 middle = low + (high - low) / 2;
            if (store.rowBytes(middle).data() <= hit)
                low = middle;
            else
                high = middle;
        }
        RowStore::CellReader reader(store.rowBytes(low));
        for (int column = 0; column < columns; ++column) {
            reader.read();
            if (reader.cellEnd() <= hit)
                continue;
            const QByteArrayView text = reader.payload();
            if (reader.kind() == RowStore::CellKind::Text && hit >= text.data() &&
                hit + n <= text.data() + text.size())
                return CellPosition{low, column};
            return std::nullopt;
        }
        return std::nullopt;
    };
    auto wanted = [&](const CellPosition &p) { return less(after, p) && less(p, before); };

    if (!last) {
        for (qint64 row = first; row < end;) {
            throwIfCancelled(cancel);
            const RowStore::RowRun run = store.rowRun(row);
            const qint64 runEnd = qMin(run.end, end);
            const char *begin = row == run.first ? run.bytes.data() : store.rowBytes(row).data();
            const QByteArrayView lastRow = store.rowBytes(runEnd - 1);
            const char *stop = lastRow.data() + lastRow.size();
            for (const char *hit = search(begin, stop); hit; hit = search(hit + 1, stop)) {
                const std::optional<CellPosition> cell = cellAt(run, hit);
                if (cell && wanted(*cell))
                    return cell;
                if (cell && !less(*cell, before))
                    return std::nullopt;
            }
            row = runEnd;
        }
        return std::nullopt;
    }
    for (qint64 row = end - 1; row >= first;) {
        throwIfCancelled(cancel);
        const RowStore::RowRun run = store.rowRun(row);
        const qint64 runFirst = qMax(run.first, first);
        const char *begin = runFirst == run.first ? run.bytes.data() : store.rowBytes(runFirst).data();
        const QByteArrayView lastRow = store.rowBytes(row);
        const char *stop = lastRow.data() + lastRow.size();
        std::optional<CellPosition> found;
        for (const char *hit = search(begin, stop); hit; hit = search(hit + 1, stop)) {
            const std::optional<CellPosition> cell = cellAt(run, hit);
            if (cell && wanted(*cell))
                found = cell;
        }
        if (found)
            return found;
        row = runFirst - 1;
    }
    return std::nullopt;
}

std::optional<CellPosition> CellFinder::scan(const RowStore &store, const std::vector<int> *order,
                                             qint64 first, qint64 end, CellPosition after,
                                             CellPosition before, bool last,
                                             const std::atomic<bool> *cancel) const
{
    if (first >= end)
        return std::nullopt;
    // Straight through the store's memory when rows and cells can be told from the bytes alone.
    if (!order && !m_numbers && !m_booleans && (m_matchCase || m_ascii))
        return scanRuns(store, first, end, after, before, last, cancel);

    const int columns = store.columnCount();
    auto stored = [order](qint64 row) { return order ? qint64((*order)[size_t(row)]) : row; };
    auto wanted = [&](const CellPosition &p) { return less(after, p) && less(p, before); };
    if (!last) {
        for (qint64 row = first; row < end; ++row) {
            if ((row & 1023) == 0)
                throwIfCancelled(cancel);
            RowStore::CellReader reader(store.rowBytes(stored(row)));
            for (int column = 0; column < columns; ++column) {
                reader.read();
                if (matches(reader) && wanted({row, column}))
                    return CellPosition{row, column};
            }
        }
        return std::nullopt;
    }
    for (qint64 row = end - 1; row >= first; --row) {
        if ((row & 1023) == 0)
            throwIfCancelled(cancel);
        RowStore::CellReader reader(store.rowBytes(stored(row)));
        std::optional<CellPosition> found;
        for (int column = 0; column < columns; ++column) {
            reader.read();
            if (matches(reader) && wanted({row, column}))
                found = CellPosition{row, column};
        }
        if (found)
            return found;
    }
    return std::nullopt;
}

std::optional<CellPosition> CellFinder::find(const RowStore &store, qint64 rows,
                                             const std::vector<int> *order, CellPosition from, bool backwards,
                                             const std::atomic<bool> *cancel) const
{
    if (m_needle.isEmpty() || rows <= 0)
        return std::nullopt;
    if (from.row >= rows)
        from = CellPosition{};
    if (!backwards) {
        const CellPosition start = from.row < 0 ? beforeAll : from;
        if (auto found = scan(store, order, qMax<qint64>(start.row, 0), rows, start, afterAll, false, cancel))
            return found;
        if (from.row < 0)
            return std::nullopt;
        // Round from the first cell up to from itself.
        return scan(store, order, 0, from.row + 1, beforeAll, CellPosition{from.row, from.column + 1}, false,
                    cancel);
    }
    const CellPosition start = from.row < 0 ? afterAll : from;
    if (auto found =
            scan(store, order, 0, from.row < 0 ? rows : from.row + 1, beforeAll, start, true, cancel))
        return found;
    if (from.row < 0)
        return std::nullopt;
    return scan(store, order, from.row, rows, CellPosition{from.row, from.column - 1}, afterAll, true,
                cancel);
}

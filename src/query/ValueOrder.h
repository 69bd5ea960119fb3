#pragma once

#include "db/DataAccess.h"
#include "db/fetch/RowStore.h"

#include <QByteArrayView>
#include <QCollator>
#include <QLocale>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

// How the grid orders and compares the values of a column the way a database does: numbers as
// numbers (also those that arrive as text, exact decimals keeping every digit), dates and times
// as instants, text by a collation, binary values byte by byte. Across kinds the order is the
// one SQLite uses: NULL, numbers, dates, text, binary values; NULL is the smallest value except
// on PostgreSQL, which puts it after every other.
namespace valueorder {

enum class ValueClass : std::uint8_t { Null, Number, Instant, Text, Binary };

// What a column's type says its text means.
enum class Sense : std::uint8_t { Number, DateTime, Text };
Sense senseOf(AdoType type);

// A cell made comparable.
struct CellKey
{
    ValueClass cls = ValueClass::Null;
    // Number: integers stored as such are compared exactly among themselves.
    bool isInteger = false;
    double number = 0; // NaN is larger than every other number
    // Number: the integer; Instant: microseconds from 1970-01-01 (UTC when the text had an offset).
    qint64 integer = 0;
    QByteArrayView bytes; // Text and Binary; a Number that came as text keeps its digits here
};

// The key of the cell a reader has just read.
CellKey keyOf(Sense sense, const RowStore::CellReader &cell);

// A date, a time or both as the databases write them ("2024-03-05", "2024-03-05 14:07:09.25+01",
// "2024-03-05T14:07:09Z", "0044-03-15 BC", "838:59:59", "infinity"): microseconds from 1970 in
// UTC, the offset applied when one is given. Nothing for other text.
std::optional<qint64> parseInstant(QByteArrayView text);
// A number as a database writes it ("12.50", "-1E+3", " 7 ", "NaN"); nothing for other text.
std::optional<double> parseNumber(QByteArrayView text);
// Two plain decimal texts compared digit by digit; 0 when they are equal or either is no plain
// decimal (an exponent, a word).
int compareDecimalText(QByteArrayView a, QByteArrayView b);

// How text is ordered: UTF-8 byte by byte (code point order, the C collation) or by a locale's
// collation. One object per thread.
class TextOrder
{
public:
    explicit TextOrder(const QLocale &collation);
    bool byBytes() const { return !m_collator; }
    int compare(QByteArrayView a, QByteArrayView b) const;
    // The collation's key of a text (not for byte order).
    QCollatorSortKey sortKey(QByteArrayView text) const;

private:
    std::unique_ptr<QCollator> m_collator;
};

// Orders two keys of the same column, text compared by order. Negative, 0 or positive.
int compare(const CellKey &a, const CellKey &b, const TextOrder &order, bool nullsLargest);

// The class order alone, and the number order alone (NaN last, exact decimals digit by digit).
int compareClasses(ValueClass a, ValueClass b, bool nullsLargest);
int compareNumbers(const CellKey &a, const CellKey &b);

// Where NULL goes in the database's own ORDER BY: after every other value only on PostgreSQL.
inline bool nullsLargest(SqlDialect dialect)
{
    return dialect == SqlDialect::PostgreSql;
}

} // namespace valueorder

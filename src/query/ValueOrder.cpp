#include "query/ValueOrder.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace valueorder {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

QByteArrayView trimmed(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == ' ')
        ++begin;
    while (end > begin && text[end - 1] == ' ')
        --end;
    return text.sliced(begin, end - begin);
}

bool equalsIgnoringCase(QByteArrayView text, const char *word)
{
    const qsizetype n = qsizetype(std::strlen(word));
    if (text.size() != n)
        return false;
    for (qsizetype i = 0; i < n; ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != word[i])
            return false;
    }
    return true;
}

class Reader
{
public:
    explicit Reader(QByteArrayView text) : m_p(text.data()), m_end(text.data() + text.size()) {}

    bool atEnd() const { return m_p == m_end; }
    char peek() const { return m_p < m_end ? *m_p : '\0'; }
    bool take(char c)
    {
        if (m_p < m_end && *m_p == c) {
            ++m_p;
            return true;
        }
        return false;
    }
    // Between min and max digits.
    bool digits(int min, int max, qint64 &value)
    {
        value = 0;
        int n = 0;
        while (n < max && m_p < m_end && isDigit(*m_p)) {
            value = value * 10 + (*m_p++ - '0');
            ++n;
        }
        return n >= min;
    }
    // The digits after a decimal point, in microseconds (rounded).
    qint64 micros()
    {
        qint64 value = 0;
        int n = 0;
        while (m_p < m_end && isDigit(*m_p)) {
            if (n < 7)
                value = value * 10 + (*m_p - '0');
            ++n;
            ++m_p;
        }
        for (int i = n; i < 7; ++i)
            value *= 10;
        return (value + 5) / 10;
    }
    // The rest of the text is word (lower case), in any case.
    bool rest(const char *word)
    {
        const qsizetype n = qsizetype(std::strlen(word));
        if (m_end - m_p != n || !equalsIgnoringCase(QByteArrayView(m_p, n), word))
            return false;
        m_p = m_end;
        return true;
    }

private:
    const char *m_p;
    const char *m_end;
};

constexpr qint64 microsPerSecond = 1000000;
constexpr qint64 microsPerDay = 86400 * microsPerSecond;

// Days from 1970-01-01 of a date of the proleptic Gregorian calendar (year 0 is 1 BC).
qint64 daysFromCivil(qint64 year, int month, int day)
{
    year -= month <= 2;
    const qint64 era = (year >= 0 ? year : year - 399) / 400;
    const qint64 yearOfEra = year - era * 400;
    const qint64 dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const qint64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// hh:mm[:ss[.f]] in microseconds; hours may run past 24 (a duration) when anyHours is set.
bool readTime(Reader &in, bool anyHours, qint64 &micros)
{
    qint64 hours = 0;
    qint64 minutes = 0;
    qint64 seconds = 0;
    if (!in.digits(1, anyHours ? 9 : 2, hours) || !in.take(':') || !in.digits(2, 2, minutes))
        return false;
    qint64 fraction = 0;
    if (in.take(':')) {
        if (!in.digits(2, 2, seconds))
            return false;
        if (in.take('.'))
            fraction = in.micros();
    }
    if ((!anyHours && hours > 24) || minutes > 59 || seconds > 60)
        return false;
    micros = ((hours * 60 + minutes) * 60 + seconds) * microsPerSecond + fraction;
    return true;
}

// An offset from UTC (" +01", "-03:00", "+0530", "Z"), in microseconds; false when malformed.
bool readOffset(Reader &in, qint64 &micros)
{
    micros = 0;
    if (in.take('Z') || in.take('z'))
        return true;
    const char sign = in.peek();
    if (sign != '+' && sign != '-')
        return true;
    in.take(sign);
    qint64 hours = 0;
    qint64 minutes = 0;
    qint64 seconds = 0;
    if (!in.digits(2, 2, hours))
        return false;
    const bool colon = in.take(':');
    if ((colon || isDigit(in.peek())) && !in.digits(2, 2, minutes))
        return false;
    if (colon && in.take(':') && !in.digits(2, 2, seconds))
        return false;
    micros = ((hours * 60 + minutes) * 60 + seconds) * microsPerSecond;
    if (sign == '-')
        micros = -micros;
    return true;
}

bool isPlainDecimal(QByteArrayView text, bool &negative, QByteArrayView &integer, QByteArrayView &fraction)
{
    text = trimmed(text);
    qsizetype i = 0;
    negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    qsizetype begin = i;
    while (i < text.size() && isDigit(text[i]))
        ++i;
    integer = text.sliced(begin, i - begin);
    fraction = QByteArrayView();
    if (i < text.size() && text[i] == '.') {
        begin = ++i;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        fraction = text.sliced(begin, i - begin);
    }
    if (i != text.size() || (integer.isEmpty() && fraction.isEmpty()))
        return false;
    while (!integer.isEmpty() && integer.front() == '0')
        integer = integer.sliced(1);
    while (!fraction.isEmpty() && fraction.back() == '0')
        fraction.chop(1);
    return true;
}

int sign(qsizetype value)
{
    return value < 0 ? -1 : value > 0 ? 1 : 0;
}

int compareBytes(QByteArrayView a, QByteArrayView b)
{
    const qsizetype n = qMin(a.size(), b.size());
    if (n > 0) {
        if (const int c = std::memcmp(a.data(), b.data(), size_t(n)))
            return c;
    }
    return sign(a.size() - b.size());
}

} // namespace

Sense senseOf(AdoType type)
{
    if (isNumberType(type) || type == AdoType::Boolean)
        return Sense::Number;
    if (isDateTimeType(type))
        return Sense::DateTime;
    return Sense::Text;
}

std::optional<qint64> parseInstant(QByteArrayView text)
{
    text = trimmed(text);
    if (equalsIgnoringCase(text, "infinity") || equalsIgnoringCase(text, "+infinity"))
        return std::numeric_limits<qint64>::max();
    if (equalsIgnoringCase(text, "-infinity"))
        return std::numeric_limits<qint64>::min();
    Reader in(text);
    const bool negative = in.take('-');
    qint64 year = 0;
    qint64 micros = 0;
    qint64 offset = 0;
    if (in.digits(1, 6, year) && in.take('-')) {
        qint64 month = 0;
        qint64 day = 0;
        if (!in.digits(1, 2, month) || !in.take('-') || !in.digits(1, 2, day) || month > 12 || day > 31)
            return std::nullopt;
        if (negative)
            year = -year;
        qint64 time = 0;
        if (in.take(' ') || in.take('T')) {
            if (isDigit(in.peek()) && !readTime(in, false, time))
                return std::nullopt;
        }
        in.take(' ');
        if (!readOffset(in, offset))
            return std::nullopt;
        if (in.rest(" bc") || in.rest("bc"))
            year = 1 - year;
        else
            in.rest(" ad");
        if (!in.atEnd())
            return std::nullopt;
        // MySQL's zero dates (month or day 0) come just before the first day of their year.
        const qint64 days = daysFromCivil(year, int(qMax<qint64>(month, 1)), int(qMax<qint64>(day, 1))) -
                            (month == 0 || day == 0 ? 1 : 0);
        return days * microsPerDay + time - offset;
    }
    // A time of day, or a duration ("-838:59:59").
    Reader time(text);
    const bool minus = time.take('-');
    if (!readTime(time, true, micros))
        return std::nullopt;
    time.take(' ');
    if (!readOffset(time, offset) || !time.atEnd())
        return std::nullopt;
    return (minus ? -micros : micros) - offset;
}

std::optional<double> parseNumber(QByteArrayView text)
{
    text = trimmed(text);
    if (!text.isEmpty() && text.front() == '+')
        text = text.sliced(1);
    if (text.isEmpty())
        return std::nullopt;
    double value = 0;
    const char *end = text.data() + text.size();
    const std::from_chars_result r = std::from_chars(text.data(), end, value);
    if (r.ec == std::errc::result_out_of_range) {
        // Beyond the doubles: the sign and the exponent tell which end.
        const bool negative = text.front() == '-';
        const bool tiny = text.contains("e-") || text.contains("E-");
        return tiny ? (negative ? -0.0 : 0.0)
                    : (negative ? -std::numeric_limits<double>::infinity()
                                : std::numeric_limits<double>::infinity());
    }
    if (r.ec != std::errc() || r.ptr != end)
        return std::nullopt;
    return value;
}

int compareDecimalText(QByteArrayView a, QByteArrayView b)
{
    bool negativeA = false;
    bool negativeB = false;
    QByteArrayView integerA, fractionA, integerB, fractionB;
    if (!isPlainDecimal(a, negativeA, integerA, fractionA) ||
        !isPlainDecimal(b, negativeB, integerB, fractionB))
        return 0;
    const bool zeroA = integerA.isEmpty() && fractionA.isEmpty();
    const bool zeroB = integerB.isEmpty() && fractionB.isEmpty();
    negativeA = negativeA && !zeroA;
    negativeB = negativeB && !zeroB;
    if (negativeA != negativeB)
        return negativeA ? -1 : 1;
    int magnitude = sign(integerA.size() - integerB.size());
    if (magnitude == 0)
        magnitude = compareBytes(integerA, integerB);
    if (magnitude == 0)
        magnitude = compareBytes(fractionA, fractionB);
    magnitude = sign(magnitude);
    return negativeA ? -magnitude : magnitude;
}

TextOrder::TextOrder(const QLocale &collation)
{
    if (collation.language() != QLocale::C)
        m_collator = std::make_unique<QCollator>(collation);
}

int TextOrder::compare(QByteArrayView a, QByteArrayView b) const
{
    if (!m_collator)
        return compareBytes(a, b);
    return m_collator->compare(QString::fromUtf8(a), QString::fromUtf8(b));
}

QCollatorSortKey TextOrder::sortKey(QByteArrayView text) const
{
    return m_collator->sortKey(QString::fromUtf8(text));
}

CellKey keyOf(Sense sense, const RowStore::CellReader &cell)
{
    CellKey key;
    switch (cell.kind()) {
    case RowStore::CellKind::Null:
        break;
    case RowStore::CellKind::Int:
        key.cls = ValueClass::Number;
        key.isInteger = true;
        key.integer = cell.integer();
        key.number = double(cell.integer());
        break;
    case RowStore::CellKind::Double:
        key.cls = ValueClass::Number;
        key.number = cell.real();
        break;
    case RowStore::CellKind::Bool:
        key.cls = ValueClass::Number;
        key.isInteger = true;
        key.integer = cell.boolean() ? 1 : 0;
        key.number = double(key.integer);
        break;
    case RowStore::CellKind::Text:
        key.cls = ValueClass::Text;
        key.bytes = cell.payload();
        if (sense == Sense::Number) {
            if (const std::optional<double> number = parseNumber(key.bytes)) {
                key.cls = ValueClass::Number;
                key.number = *number;
            }
        } else if (sense == Sense::DateTime) {
            if (const std::optional<qint64> instant = parseInstant(key.bytes)) {
                key.cls = ValueClass::Instant;
                key.integer = *instant;
            }
        }
        break;
    case RowStore::CellKind::Blob:
        key.cls = ValueClass::Binary;
        key.bytes = cell.payload();
        break;
    }
    return key;
}

int compareClasses(ValueClass a, ValueClass b, bool nullsLargest)
{
    if (a == b)
        return 0;
    if (nullsLargest && (a == ValueClass::Null || b == ValueClass::Null))
        return a == ValueClass::Null ? 1 : -1;
    return int(a) < int(b) ? -1 : 1;
}

int compareNumbers(const CellKey &a, const CellKey &b)
{
    if (a.isInteger && b.isInteger)
        return a.integer < b.integer ? -1 : a.integer > b.integer ? 1 : 0;
    const bool nanA = std::isnan(a.number);
    const bool nanB = std::isnan(b.number);
    if (nanA || nanB)
        return nanA == nanB ? 0 : nanA ? 1 : -1;
    if (a.number < b.number)
        return -1;
    if (a.number > b.number)
        return 1;
    // Equal as doubles: exact decimals of many digits may still differ.
    if (!a.bytes.isEmpty() && !b.bytes.isEmpty())
        return compareDecimalText(a.bytes, b.bytes);
    return 0;
}

int compare(const CellKey &a, const CellKey &b, const TextOrder &order, bool nullsLargest)
{
    if (const int c = compareClasses(a.cls, b.cls, nullsLargest))
        return c;
    switch (a.cls) {
    case ValueClass::Null:
        return 0;
    case ValueClass::Number:
        return compareNumbers(a, b);
    case ValueClass::Instant:
        return a.integer < b.integer ? -1 : a.integer > b.integer ? 1 : 0;
    case ValueClass::Text:
        return sign(order.compare(a.bytes, b.bytes));
    case ValueClass::Binary:
        return sign(compareBytes(a.bytes, b.bytes));
    }
    return 0;
}

} // namespace valueorder

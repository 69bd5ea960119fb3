#include "export/DateTimeText.h"

namespace {

class Reader
{
public:
    Reader(const char *text, qsizetype length) : m_p(text), m_end(text + length) {}

    bool atEnd() const { return m_p == m_end; }
    bool take(char c)
    {
        if (m_p < m_end && *m_p == c) {
            ++m_p;
            return true;
        }
        return false;
    }
    bool peekDigit() const { return m_p < m_end && *m_p >= '0' && *m_p <= '9'; }
    // Exactly count digits.
    bool number(int count, int &value)
    {
        value = 0;
        for (int i = 0; i < count; ++i) {
            if (!peekDigit())
                return false;
            value = value * 10 + (*m_p++ - '0');
        }
        return true;
    }
    // Digits after a decimal point, as a fraction.
    double fraction()
    {
        double value = 0;
        double scale = 0.1;
        while (peekDigit()) {
            value += (*m_p++ - '0') * scale;
            scale /= 10;
        }
        return value;
    }

private:
    const char *m_p;
    const char *m_end;
};

bool isLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

bool readDate(Reader &in, DateTimeParts &parts)
{
    if (!in.number(4, parts.year) || !in.take('-') || !in.number(2, parts.month) || !in.take('-') ||
        !in.number(2, parts.day))
        return false;
    return parts.year >= 1900 && parts.year <= 9999 && parts.month >= 1 && parts.month <= 12 &&
           parts.day >= 1 && parts.day <= daysInMonth(parts.year, parts.month);
}

bool readTime(Reader &in, DateTimeParts &parts)
{
    if (!in.number(2, parts.hour) || !in.take(':') || !in.number(2, parts.minute))
        return false;
    int second = 0;
    if (in.take(':')) {
        if (!in.number(2, second))
            return false;
        parts.second = second;
        if (in.take('.'))
            parts.second += in.fraction();
    }
    return parts.hour <= 23 && parts.minute <= 59 && second <= 59;
}

// "Z", or a sign and hours with optional minutes and seconds, with or without colons.
bool readZone(Reader &in)
{
    if (in.take('Z'))
        return true;
    if (!in.take('+') && !in.take('-'))
        return false;
    int value = 0;
    if (!in.number(2, value))
        return false;
    for (int part = 0; part < 2 && !in.atEnd(); ++part) {
        in.take(':');
        if (!in.number(2, value))
            return false;
    }
    return true;
}

} // namespace

std::optional<DateTimeParts> parseDateTimeText(const char *text, qsizetype length)
{
    Reader in(text, length);
    DateTimeParts parts;
    // A date has a hyphen in its fifth place, a time a colon in its third.
    const bool date = length >= 5 && text[4] == '-';
    if (date) {
        if (!readDate(in, parts))
            return std::nullopt;
        parts.hasDate = true;
        if (in.atEnd())
            return parts;
        if (!in.take(' ') && !in.take('T'))
            return std::nullopt;
    }
    if (!readTime(in, parts))
        return std::nullopt;
    parts.hasTime = true;
    if (!in.atEnd() && !readZone(in))
        return std::nullopt;
    if (!in.atEnd())
        return std::nullopt;
    return parts;
}

#include "export/CellText.h"

#include <charconv>
#include <cmath>

namespace celltext {

namespace {

const char kReplacement[] = "\xEF\xBF\xBD";

// The length of the well-formed sequence at p (1 to 4 bytes), or 0 when it is ill-formed.
int wellFormedLength(const unsigned char *p, const unsigned char *end)
{
    const unsigned c = p[0];
    if (c < 0x80)
        return 1;
    if (c < 0xC2 || c > 0xF4)
        return 0;
    const int need = c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    if (end - p < need)
        return 0;
    // The second byte's range excludes overlong forms, surrogates and code points past U+10FFFF.
    const unsigned low = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
    const unsigned high = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
    if (p[1] < low || p[1] > high)
        return 0;
    for (int i = 2; i < need; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
    }
    return need;
}

// The bytes one U+FFFD replaces at an ill-formed sequence: its lead byte and the continuation
// bytes that still fitted it.
int illFormedLength(const unsigned char *p, const unsigned char *end)
{
    const unsigned c = p[0];
    if (c < 0xC2 || c > 0xF4)
        return 1;
    const int need = c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    const unsigned low = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
    const unsigned high = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
    int i = 1;
    if (end - p > 1 && p[1] >= low && p[1] <= high) {
        i = 2;
        while (i < need && end - p > i && (p[i] & 0xC0) == 0x80)
            ++i;
    }
    return i;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

bool isValidUtf8(const char *text, qsizetype length)
{
    const auto *p = reinterpret_cast<const unsigned char *>(text);
    const auto *end = p + length;
    while (p < end) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        const int n = wellFormedLength(p, end);
        if (n == 0)
            return false;
        p += n;
    }
    return true;
}

void appendValidUtf8(std::string &out, const char *text, qsizetype length)
{
    const auto *begin = reinterpret_cast<const unsigned char *>(text);
    const auto *end = begin + length;
    const auto *run = begin;
    const auto *p = begin;
    while (p < end) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        const int n = wellFormedLength(p, end);
        if (n > 0) {
            p += n;
            continue;
        }
        out.append(reinterpret_cast<const char *>(run), size_t(p - run));
        out.append(kReplacement, 3);
        p += illFormedLength(p, end);
        run = p;
    }
    out.append(reinterpret_cast<const char *>(run), size_t(end - run));
}

void appendJsonString(std::string &out, const char *text, qsizetype length)
{
    static const char hex[] = "0123456789abcdef";
    out.push_back('"');
    const auto *p = reinterpret_cast<const unsigned char *>(text);
    const auto *end = p + length;
    const auto *run = p;
    auto flush = [&](const unsigned char *upTo) {
        out.append(reinterpret_cast<const char *>(run), size_t(upTo - run));
    };
    while (p < end) {
        const unsigned c = *p;
        if (c >= 0x20 && c != '"' && c != '\\' && c < 0x80) {
            ++p;
            continue;
        }
        if (c >= 0x80) {
            const int n = wellFormedLength(p, end);
            if (n > 0) {
                p += n;
                continue;
            }
            flush(p);
            out.append(kReplacement, 3);
            p += illFormedLength(p, end);
            run = p;
            continue;
        }
        flush(p);
        switch (c) {
        case '"':
            out.append("\\\"");
            break;
        case '\\':
            out.append("\\\\");
            break;
        case '\n':
            out.append("\\n");
            break;
        case '\r':
            out.append("\\r");
            break;
        case '\t':
            out.append("\\t");
            break;
        case '\b':
            out.append("\\b");
            break;
        case '\f':
            out.append("\\f");
            break;
        default:
            out.append("\\u00");
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        }
        ++p;
        run = p;
    }
    flush(end);
    out.push_back('"');
}

bool appendJsonNumber(std::string &out, const char *text, qsizetype length)
{
    const char *p = text;
    const char *end = text + length;
    while (p < end && *p == ' ')
        ++p;
    while (end > p && end[-1] == ' ')
        --end;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+'))
        negative = *p++ == '-';
    const char *integer = p;
    while (p < end && isDigit(*p))
        ++p;
    const char *integerEnd = p;
    const char *fraction = p;
    const char *fractionEnd = p;
    if (p < end && *p == '.') {
        fraction = ++p;
        while (p < end && isDigit(*p))
            ++p;
        fractionEnd = p;
    }
    if (integer == integerEnd && fraction == fractionEnd)
        return false;
    const char *exponent = p;
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p < end && (*p == '+' || *p == '-'))
            ++p;
        const char *digits = p;
        while (p < end && isDigit(*p))
            ++p;
        if (p == digits)
            return false;
    }
    if (p != end)
        return false;

    if (negative)
        out.push_back('-');
    // JSON allows no leading zeros, and needs a digit on each side of the point.
    while (integerEnd - integer > 1 && *integer == '0')
        ++integer;
    if (integer == integerEnd)
        out.push_back('0');
    else
        out.append(integer, size_t(integerEnd - integer));
    if (fraction != fractionEnd) {
        out.push_back('.');
        out.append(fraction, size_t(fractionEnd - fraction));
    }
    out.append(exponent, size_t(end - exponent));
    return true;
}

void appendDouble(std::string &out, double value)
{
    if (std::isnan(value)) {
        out.append("NaN");
        return;
    }
    if (std::isinf(value)) {
        out.append(value > 0 ? "Infinity" : "-Infinity");
        return;
    }
    char buffer[32];
    const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, size_t(r.ptr - buffer));
}

void appendInteger(std::string &out, qint64 value)
{
    char buffer[24];
    const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, size_t(r.ptr - buffer));
}

void appendBase64(std::string &out, const char *bytes, qsizetype length)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const auto *p = reinterpret_cast<const unsigned char *>(bytes);
    out.reserve(out.size() + size_t((length + 2) / 3 * 4));
    qsizetype i = 0;
    for (; i + 3 <= length; i += 3) {
        const unsigned v = unsigned(p[i]) << 16 | unsigned(p[i + 1]) << 8 | p[i + 2];
        out.push_back(alphabet[v >> 18]);
        out.push_back(alphabet[(v >> 12) & 63]);
        out.push_back(alphabet[(v >> 6) & 63]);
        out.push_back(alphabet[v & 63]);
    }
    if (i < length) {
        const unsigned v = unsigned(p[i]) << 16 | (i + 1 < length ? unsigned(p[i + 1]) << 8 : 0u);
        out.push_back(alphabet[v >> 18]);
        out.push_back(alphabet[(v >> 12) & 63]);
        out.push_back(i + 1 < length ? alphabet[(v >> 6) & 63] : '=');
        out.push_back('=');
    }
}

} // namespace celltext

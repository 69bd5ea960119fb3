// How cell values become the bytes of an exported file: UTF-8 made well-formed, JSON strings and
// numbers, base64, and which field types hold numbers or dates.
#pragma once

#include "db/AdoType.h"

#include <QtGlobal>

#include <string>

namespace celltext {

// True when the bytes are well-formed UTF-8.
bool isValidUtf8(const char *text, qsizetype length);
// Appends the text with each ill-formed sequence (its maximal subpart) replaced by U+FFFD, the
// way decoders that replace errors read it.
void appendValidUtf8(std::string &out, const char *text, qsizetype length);
// The length of a text handed over as length -1: up to its terminating NUL.
inline qsizetype lengthOf(const char *text, qsizetype length)
{
    return length >= 0 ? length : qsizetype(std::char_traits<char>::length(text));
}

// A JSON string in double quotes: quote, backslash and control characters escaped, ill-formed
// UTF-8 replaced.
void appendJsonString(std::string &out, const char *text, qsizetype length);
// The text of an exact number ("12.50", "-.5", "1E+3", " 007 ") as a JSON number that keeps
// every digit ("12.50", "-0.5", "1E+3", "7"). False, with nothing appended, when the text is no
// decimal number (NaN, Infinity, words).
bool appendJsonNumber(std::string &out, const char *text, qsizetype length);

// The shortest decimal text that reads back as the same double; NaN and the infinities as
// "NaN", "Infinity" and "-Infinity".
void appendDouble(std::string &out, double value);
void appendInteger(std::string &out, qint64 value);
void appendBase64(std::string &out, const char *bytes, qsizetype length);

} // namespace celltext

#pragma once

#include <QtGlobal>

#include <optional>

// A date, a time of day or both, read from the text a database sends for its date and time
// types: "2024-03-05", "14:07:09.25", "2024-03-05 14:07:09" or with "T", with or without a zone
// offset ("+01", "-03:00", "Z"), which is left aside: the wall-clock time the database shows is
// what a worksheet cell holds. Only values a worksheet date can hold are read (years 1900 to
// 9999, real calendar dates, hours 0 to 23); anything else ("infinity", BC dates, MySQL's zero
// date, durations past 24 hours) gives nothing and stays text.
struct DateTimeParts
{
    bool hasDate = false;
    bool hasTime = false;
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    double second = 0;
};

std::optional<DateTimeParts> parseDateTimeText(const char *text, qsizetype length);

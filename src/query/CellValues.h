#pragma once

#include "db/DataAccess.h"

#include <QLocale>
#include <QString>
#include <QVariant>

// The rules by which a cell's stored value becomes text to edit and typed text becomes a value
// to store, and by which two stored values are told apart.
namespace CellValues {

// The typed value made into the value to store in a field of the given type and name. Text for a
// number is read in the given locale (the language of the interface) or in the C form, never
// with group separators; empty text there means NULL. Throws AppError, naming the text and the
// column, when the text is not a value of that type, so that nothing is sent.
QVariant parse(AdoType type, const QString &column, const QVariant &typed, const QLocale &locale);

// The whole value as text, as the grid shows it before cutting it to one line.
QString text(const QVariant &value);
// The text a cell editor starts from: the whole stored value, numbers in the given locale.
QString editText(AdoType type, const QVariant &value, const QLocale &locale);

// True for a character that a one-line editor cannot keep: line and paragraph breaks, tabs.
bool breaksLine(QChar c);
// True when the text can be edited in a one-line editor without anything being cut or
// flattened: no line or paragraph breaks, no tabs, at most maxLength characters.
bool fitsOneLine(const QString &text, int maxLength);

// True when two values read from the same column are the same stored value. Floating-point
// values are compared at the precision of their type, since one value may have travelled as
// text and the other in binary.
bool same(AdoType type, const QVariant &a, const QVariant &b);

// True when "column = value" is a reliable test in the database's SQL for a column of this
// type. Approximate numbers, long text (JSON, XML and arrays among it) and binary values are
// compared by reading them back instead.
bool comparableOnServer(AdoType type, SqlDialect dialect);

// The locale numbers are typed in for an interface language ("pt-BR" or "en-US").
QLocale localeForLanguage(const QString &language);

} // namespace CellValues

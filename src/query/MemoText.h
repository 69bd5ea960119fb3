#pragma once

#include <QString>

#include <optional>

// Writing back what the user changed in the memo editor, and nothing else. A plain-text editor
// keeps line breaks as paragraph separators (U+2029) whatever they were stored as (CRLF, CR,
// LF), and reading its text as plain text would also turn U+2028 into LF and no-break spaces
// into blanks. Instead the editor's raw text as loaded is compared with its raw text now, and
// only the changed span is replaced in the stored text; line breaks typed in it take the
// stored text's own line end.
namespace MemoText {

// The stored text with the span the user changed replaced. shownRaw is the editor's raw text
// right after the stored text was loaded into it, editedRaw its raw text now. Nothing when the
// editor's text does not map onto the stored one, so that the changed span cannot be found.
std::optional<QString> merge(const QString &stored, const QString &shownRaw, const QString &editedRaw);

// Why an edit is refused when merge() finds no span.
QString unplacedEditText();

} // namespace MemoText

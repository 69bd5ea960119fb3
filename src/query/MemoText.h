#pragma once

#include <QString>

// Writing back what the user changed in the memo editor, and nothing else. A plain-text editor
// keeps line breaks as paragraph separators (U+2029) whatever they were stored as (CRLF, CR,
// LF), and reading its text as plain text would also turn U+2028 into LF and no-break spaces
// into blanks. Instead the editor's raw text as loaded is compared with its raw text now, and
// only the changed span is replaced in the stored text; line breaks typed in it take the
// stored text's own line end.
namespace MemoText {

// The stored text with the span the user changed replaced. shownRaw is the editor's raw text
// right after the stored text was loaded into it, editedRaw its raw text now.
QString merge(const QString &stored, const QString &shownRaw, const QString &editedRaw);

} // namespace MemoText

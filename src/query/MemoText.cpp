#include "query/MemoText.h"

#include "common/LineEnds.h"

#include <QList>

#include <algorithm>
#include <optional>

namespace {

constexpr char16_t ParagraphSeparator = 0x2029;
constexpr char16_t LineSeparator = 0x2028;
// Qt's marks of the start and end of a frame: a plain-text document breaks its line there.
constexpr char16_t BeginningOfFrame = 0xFDD0;
constexpr char16_t EndOfFrame = 0xFDD1;

// The characters the editor shows as a paragraph separator.
bool isBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar(ParagraphSeparator) || c == QChar(BeginningOfFrame) ||
           c == QChar(EndOfFrame);
}

// Where each character of the editor's raw text starts in the stored text, plus the end: a
// CRLF pair is one paragraph separator in the editor. Nothing when the editor changed the text
// in some other way.
std::optional<QList<qsizetype>> positions(const QString &stored, const QString &raw)
{
    QList<qsizetype> at;
    at.reserve(raw.size() + 1);
    qsizetype i = 0;
    for (qsizetype j = 0; j < raw.size(); ++j) {
        if (i >= stored.size())
            return std::nullopt;
        at.append(i);
        if (raw[j] == QChar(ParagraphSeparator) && isBreak(stored[i])) {
            const bool crlf = stored[i] == u'\r' && i + 1 < stored.size() && stored[i + 1] == u'\n';
            i += crlf ? 2 : 1;
        } else if (raw[j] == stored[i]) {
            ++i;
        } else {
            return std::nullopt;
        }
    }
    if (i != stored.size())
        return std::nullopt;
    at.append(i);
    return at;
}

// Line breaks typed by the user: a paragraph break (Enter) or a line break (Shift+Enter).
QString withLineEnds(QString typed, const QString &lineEnd)
{
    typed.replace(QChar(ParagraphSeparator), lineEnd);
    typed.replace(QChar(LineSeparator), lineEnd);
    return typed;
}

} // namespace

namespace MemoText {

QString unplacedEditText()
{
    return QStringLiteral("The memo editor cannot tell which part of the stored text was changed, so the "
                          "change was not made to the field; its stored text stays as it was.");
}

std::optional<QString> merge(const QString &stored, const QString &shownRaw, const QString &editedRaw)
{
    if (editedRaw == shownRaw)
        return stored;
    const QString end = mostCommonLineEnd(stored);
    // Where the editor's text cannot be laid over the stored one, nothing tells which stored
    // characters the user changed: writing the editor's whole text would rewrite the rest too.
    const std::optional<QList<qsizetype>> at = positions(stored, shownRaw);
    if (!at)
        return std::nullopt;
    const qsizetype shortest = std::min(shownRaw.size(), editedRaw.size());
    qsizetype prefix = 0;
    while (prefix < shortest && shownRaw[prefix] == editedRaw[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shortest - prefix &&
           shownRaw[shownRaw.size() - 1 - suffix] == editedRaw[editedRaw.size() - 1 - suffix])
        ++suffix;
    const qsizetype from = (*at)[prefix];
    const qsizetype to = (*at)[shownRaw.size() - suffix];
    return stored.left(from) + withLineEnds(editedRaw.mid(prefix, editedRaw.size() - suffix - prefix), end) +
           stored.mid(to);
}

} // namespace MemoText

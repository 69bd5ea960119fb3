#include "editor/SqlScanner.h"

namespace {

bool isAsciiLetter(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

SqlScanner::SqlScanner(SqlDialect dialect, QStringView text)
    : m_dialect(dialect)
    , m_text(text)
    , m_mysql(dialect == SqlDialect::MySql)
    , m_postgres(dialect == SqlDialect::PostgreSql)
    , m_brackets(dialect == SqlDialect::SqlServer || dialect == SqlDialect::Access ||
                 dialect == SqlDialect::Sqlite)
    , m_backquotes(dialect == SqlDialect::MySql || dialect == SqlDialect::Sqlite)
    , m_nestedComments(dialect == SqlDialect::PostgreSql || dialect == SqlDialect::SqlServer)
{
}

bool SqlScanner::startsWord(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80)
        return isAsciiLetter(u) || isDigit(u) || u == u'_';
    return c.isLetterOrNumber() || c.isSurrogate();
}

bool SqlScanner::continuesWord(QChar c)
{
    return startsWord(c) || c == u'$';
}

bool SqlScanner::isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f' || c == u'\v';
}

qsizetype SqlScanner::lineEnd(qsizetype from) const
{
    const qsizetype at = m_text.indexOf(u'\n', from);
    return at < 0 ? m_text.size() : at;
}

qsizetype SqlScanner::skipQuoted(qsizetype from, char16_t close, bool backslash) const
{
    const qsizetype size = m_text.size();
    qsizetype k = from;
    while (k < size) {
        const char16_t c = m_text[k].unicode();
        if (backslash && c == u'\\') {
            k += 2;
            continue;
        }
        if (c == close) {
            if (k + 1 < size && m_text[k + 1] == close) {
                k += 2;
                continue;
            }
            return k + 1;
        }
        ++k;
    }
    return size;
}

qsizetype SqlScanner::skipBlockComment(qsizetype from) const
{
    int nesting = 1;
    qsizetype k = from;
    while (k + 1 < m_text.size()) {
        if (m_text[k] == u'*' && m_text[k + 1] == u'/') {
            k += 2;
            if (--nesting == 0)
                return k;
            continue;
        }
        if (m_nestedComments && m_text[k] == u'/' && m_text[k + 1] == u'*') {
            k += 2;
            ++nesting;
            continue;
        }
        ++k;
    }
    return m_text.size();
}

// $$ or $tag$ … the same tag; -1 when the "$" at pos starts none (a parameter such as $1).
qsizetype SqlScanner::skipDollarQuote(qsizetype pos) const
{
    const qsizetype size = m_text.size();
    qsizetype k = pos + 1;
    if (k < size && m_text[k] != u'$') {
        if (isDigit(m_text[k].unicode()) || !startsWord(m_text[k]))
            return -1;
        while (k < size && startsWord(m_text[k]))
            ++k;
    }
    if (k >= size || m_text[k] != u'$')
        return -1;
    const QStringView tag = m_text.mid(pos, k - pos + 1);
    const qsizetype close = m_text.indexOf(tag, k + 1);
    return close < 0 ? size : close + tag.size();
}

SqlScanner::Token SqlScanner::scan(qsizetype pos, qsizetype *end) const
{
    const qsizetype size = m_text.size();
    if (pos >= size) {
        *end = size;
        return Token::End;
    }
    const QChar c = m_text[pos];
    const char16_t u = c.unicode();
    if (isBlank(c)) {
        qsizetype k = pos + 1;
        while (k < size && isBlank(m_text[k]))
            ++k;
        *end = k;
        return Token::Blank;
    }
    const char16_t next = pos + 1 < size ? m_text[pos + 1].unicode() : 0;
    // MySQL takes "--" for a comment only before a blank or a control character.
    if (u == u'-' && next == u'-' && (!m_mysql || pos + 2 >= size || m_text[pos + 2].unicode() <= 0x20)) {
        *end = lineEnd(pos);
        return Token::Comment;
    }
    if (u == u'#' && m_mysql) {
        *end = lineEnd(pos);
        return Token::Comment;
    }
    if (u == u'/' && next == u'*') {
        *end = skipBlockComment(pos + 2);
        const bool code = m_mysql && pos + 2 < size &&
                          (m_text[pos + 2] == u'!' ||
                           (m_text[pos + 2] == u'M' && pos + 3 < size && m_text[pos + 3] == u'!'));
        return code ? Token::Code : Token::Comment;
    }
    if (u == u'\'') {
        // PostgreSQL reads backslash escapes in E'…' strings only.
        const bool escapeString = m_postgres && pos > 0 &&
                                  (m_text[pos - 1] == u'E' || m_text[pos - 1] == u'e') &&
                                  (pos == 1 || !continuesWord(m_text[pos - 2]));
        *end = skipQuoted(pos + 1, u'\'', m_mysql || escapeString);
        return Token::String;
    }
    if (u == u'"') {
        *end = skipQuoted(pos + 1, u'"', m_mysql);
        return m_mysql ? Token::String : Token::QuotedName;
    }
    if ((u == u'`' && m_backquotes) || (u == u'[' && m_brackets)) {
        *end = skipQuoted(pos + 1, u == u'[' ? u']' : u'`', false);
        return Token::QuotedName;
    }
    if (u == u'$' && m_postgres && (pos == 0 || !continuesWord(m_text[pos - 1]))) {
        const qsizetype after = skipDollarQuote(pos);
        if (after >= 0) {
            *end = after;
            return Token::String;
        }
    }
    if (startsWord(c)) {
        qsizetype k = pos + 1;
        while (k < size && continuesWord(m_text[k]))
            ++k;
        *end = k;
        return Token::Word;
    }
    *end = pos + 1;
    return Token::Symbol;
}

QString SqlScanner::name(qsizetype start, qsizetype end) const
{
    const QStringView token = m_text.mid(start, end - start);
    if (token.isEmpty())
        return QString();
    const QChar open = token.front();
    if (open != u'"' && open != u'`' && open != u'[')
        return token.toString();
    const QChar close = open == u'[' ? QChar(u']') : open;
    QStringView inner = token.mid(1);
    if (inner.endsWith(close))
        inner.chop(1);
    QString result = inner.toString();
    result.replace(QString(2, close), QString(close));
    return result;
}

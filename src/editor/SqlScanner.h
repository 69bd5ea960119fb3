#pragma once

#include "db/DataAccess.h"

#include <QStringView>

// The tokens of SQL text by the rules of one dialect: what is a comment, a string, a name in
// quotes, a word. The statement splitter and the completion read text through it.
class SqlScanner
{
public:
    enum class Token {
        End,        // no more text
        Blank,      // white space
        Comment,    // -- …, # … (MySQL), /* … */ (nested on PostgreSQL and SQL Server)
        Code,       // MySQL's /*! … */ and /*M! … */, whose text the server runs
        Word,       // a keyword, an unquoted name or a number
        QuotedName, // "…" ([…] on SQL Server, Access and SQLite; `…` on MySQL and SQLite)
        String,     // '…', MySQL's "…", PostgreSQL's E'…' and $tag$…$tag$
        Symbol,     // any other single character
    };

    SqlScanner(SqlDialect dialect, QStringView text);

    // The token that starts at pos, and where it ends. A quote or comment left open runs to the
    // end of the text.
    Token scan(qsizetype pos, qsizetype *end) const;

    // Letters of any script, digits and "_" make words; "$" may follow the first character.
    static bool startsWord(QChar c);
    static bool continuesWord(QChar c);
    static bool isBlank(QChar c);

    // The name a QuotedName or Word token stands for: quotes taken off and doubled quotes made
    // single; a Word as written.
    QString name(qsizetype start, qsizetype end) const;

    SqlDialect dialect() const { return m_dialect; }
    QStringView text() const { return m_text; }

private:
    qsizetype skipQuoted(qsizetype from, char16_t close, bool backslash) const;
    qsizetype skipBlockComment(qsizetype from) const;
    qsizetype skipDollarQuote(qsizetype pos) const;
    qsizetype lineEnd(qsizetype from) const;

    SqlDialect m_dialect;
    QStringView m_text;
    bool m_mysql;
    bool m_postgres;
    bool m_brackets;
    bool m_backquotes;
    bool m_nestedComments;
};

#include "editor/StatementSplitter.h"

#include "editor/SqlScanner.h"

#include <QStringView>

namespace {

constexpr auto isBlank = &SqlScanner::isBlank;

class Scanner
{
public:
    Scanner(SqlDialect dialect, const QString &script)
        : m_tokens(dialect, script)
        , m_text(script.constData())
        , m_size(script.size())
        , m_mysql(dialect == SqlDialect::MySql)
        , m_postgres(dialect == SqlDialect::PostgreSql)
        , m_sqlServer(dialect == SqlDialect::SqlServer)
        , m_delimiter(m_sqlServer ? QString() : QStringLiteral(";"))
    {
    }

    QList<SqlStatement> run()
    {
        while (m_pos < m_size)
            step();
        finish(m_size);
        return std::move(m_statements);
    }

private:
    // A word of the statement, compared with a keyword in capitals.
    bool wordIs(qsizetype from, qsizetype length, const char *keyword) const
    {
        qsizetype k = 0;
        for (; k < length; ++k) {
            const char16_t c = m_text[from + k].unicode();
            const char expected = keyword[k];
            if (expected == 0)
                return false;
            if (c != char16_t(expected) && c != char16_t(expected + ('a' - 'A')))
                return false;
        }
        return keyword[k] == 0;
    }

    bool isAnyOf(qsizetype from, qsizetype length, std::initializer_list<const char *> keywords) const
    {
        for (const char *keyword : keywords) {
            if (wordIs(from, length, keyword))
                return true;
        }
        return false;
    }

    bool atLineStart(qsizetype at) const
    {
        for (qsizetype k = at - 1; k >= 0; --k) {
            const QChar c = m_text[k];
            if (c == u'\n')
                return true;
            if (!isBlank(c))
                return false;
        }
        return true;
    }

    qsizetype lineEnd(qsizetype from) const
    {
        qsizetype k = from;
        while (k < m_size && m_text[k] != u'\n')
            ++k;
        return k;
    }

    bool matchesAt(qsizetype at, const QString &what) const
    {
        return at + what.size() <= m_size && QStringView(m_text + at, what.size()) == what;
    }

    // The next word after blanks, as (start, length); length 0 when something else comes first.
    std::pair<qsizetype, qsizetype> nextWord(qsizetype from) const
    {
        qsizetype k = from;
        while (k < m_size && isBlank(m_text[k]))
            ++k;
        qsizetype e = k;
        while (e < m_size && SqlScanner::continuesWord(m_text[e]))
            ++e;
        return {k, e - k};
    }

    void significant(qsizetype from, qsizetype to)
    {
        if (m_start < 0)
            m_start = from;
        m_end = to;
    }

    void finish(qsizetype terminatorEnd, SqlStatement::Kind kind = SqlStatement::Kind::Sql)
    {
        if (m_start >= 0) {
            SqlStatement statement;
            statement.start = m_start;
            statement.end = m_end;
            statement.terminatorEnd = terminatorEnd;
            statement.kind = kind;
            m_statements.append(statement);
        }
        m_start = -1;
        m_end = 0;
        m_words = 0;
        m_routineKnown = false;
        m_routine = false;
        m_depth = 0;
        m_parens = 0;
        m_copy = CopyState::None;
    }

    void step()
    {
        const char16_t u = m_text[m_pos].unicode();
        // A DELIMITER of the user's ends a statement wherever it stands; ";" only outside bodies
        // and parentheses.
        if (!m_delimiter.isEmpty() && u == m_delimiter[0].unicode() &&
            (m_delimiter.size() == 1 || matchesAt(m_pos, m_delimiter)) &&
            (m_customDelimiter || (m_depth == 0 && m_parens == 0))) {
            qsizetype after = m_pos + m_delimiter.size();
            if (m_copy == CopyState::FromStdin)
                after = skipCopyData(after);
            finish(after);
            m_pos = after;
            return;
        }
        if (u == u'\\' && m_postgres && m_start < 0 && atLineStart(m_pos)) {
            // A psql command runs to the end of its line.
            const qsizetype stop = lineEnd(m_pos);
            qsizetype e = stop;
            while (e > m_pos && isBlank(m_text[e - 1]))
                --e;
            significant(m_pos, e);
            finish(stop, SqlStatement::Kind::ClientCommand);
            m_pos = stop;
            return;
        }
        qsizetype end = 0;
        switch (m_tokens.scan(m_pos, &end)) {
        case SqlScanner::Token::End:
        case SqlScanner::Token::Blank:
        case SqlScanner::Token::Comment:
            break;
        case SqlScanner::Token::Code:
        case SqlScanner::Token::String:
        case SqlScanner::Token::QuotedName:
            significant(m_pos, end);
            break;
        case SqlScanner::Token::Word:
            word(end);
            return;
        case SqlScanner::Token::Symbol:
            if (m_postgres) {
                if (u == u'(')
                    ++m_parens;
                else if (u == u')' && m_parens > 0)
                    --m_parens;
            }
            significant(m_pos, end);
            break;
        }
        m_pos = end;
    }

    void word(qsizetype end)
    {
        const qsizetype from = m_pos;
        qsizetype k = end;
        // A DELIMITER such as $$ may follow a word without a blank ("END$$").
        if (m_customDelimiter) {
            const qsizetype at = QStringView(m_text + from + 1, end - from - 1).indexOf(m_delimiter);
            if (at >= 0)
                k = from + 1 + at;
        }
        const qsizetype length = k - from;

        if (m_sqlServer && wordIs(from, length, "GO") && atLineStart(from) && goLine(k)) {
            const qsizetype stop = lineEnd(k);
            finish(stop);
            m_pos = stop;
            return;
        }
        if (m_mysql && m_start < 0 && wordIs(from, length, "DELIMITER") && atLineStart(from)) {
            const qsizetype stop = lineEnd(k);
            qsizetype d = k;
            while (d < stop && isBlank(m_text[d]))
                ++d;
            qsizetype e = d;
            while (e < stop && !isBlank(m_text[e]))
                ++e;
            if (e > d && d > k) {
                m_delimiter = QString(m_text + d, e - d);
                m_customDelimiter = m_delimiter != QLatin1StringView(";");
                m_pos = stop;
                return;
            }
        }

        significant(from, k);
        m_pos = k;
        ++m_words;
        if (m_words == 1) {
            m_createOrAlter = isAnyOf(from, length, {"CREATE", "ALTER"});
            m_copy = m_postgres && wordIs(from, length, "COPY") ? CopyState::Copy : CopyState::None;
            // MariaDB's anonymous block: BEGIN NOT ATOMIC … END.
            if (m_mysql && wordIs(from, length, "BEGIN")) {
                const auto [w, l] = nextWord(k);
                if (wordIs(w, l, "NOT")) {
                    m_routineKnown = m_routine = true;
                    m_depth = 1;
                    return;
                }
            }
        }
        if (m_copy == CopyState::Copy && wordIs(from, length, "FROM")) {
            const auto [w, l] = nextWord(k);
            if (wordIs(w, l, "STDIN"))
                m_copy = CopyState::FromStdin;
        }
        if (!m_routineKnown) {
            if (!m_createOrAlter || m_words > 8 ||
                isAnyOf(from, length, {"TABLE", "VIEW", "INDEX", "SCHEMA", "DATABASE", "USER", "ROLE"})) {
                m_routineKnown = true;
            } else if (isAnyOf(from, length, {"TRIGGER", "PROCEDURE", "FUNCTION", "EVENT"})) {
                m_routineKnown = m_routine = true;
            }
            return;
        }
        if (!m_routine)
            return;
        if (wordIs(from, length, "BEGIN")) {
            const auto [w, l] = nextWord(k);
            if (!isAnyOf(
                    w, l,
                    {"TRANSACTION", "TRAN", "WORK", "DEFERRED", "IMMEDIATE", "EXCLUSIVE", "DISTRIBUTED"}))
                ++m_depth;
        } else if (wordIs(from, length, "CASE")) {
            ++m_depth;
        } else if (wordIs(from, length, "END")) {
            const auto [w, l] = nextWord(k);
            if (isAnyOf(w, l, {"IF", "LOOP", "WHILE", "REPEAT", "FOR"}))
                return; // closes what was never counted
            if (wordIs(w, l, "CASE")) {
                significant(from, w + l);
                m_pos = w + l; // END CASE closes one CASE
            }
            if (m_depth > 0)
                --m_depth;
        }
    }

    // The rest of a line after GO: blanks, a repeat count, a comment.
    bool goLine(qsizetype from) const
    {
        qsizetype k = from;
        const qsizetype stop = lineEnd(from);
        if (k < stop && !isBlank(m_text[k]) && m_text[k] != u'-')
            return false;
        while (k < stop && isBlank(m_text[k]))
            ++k;
        while (k < stop && m_text[k].isDigit())
            ++k;
        while (k < stop && isBlank(m_text[k]))
            ++k;
        return k == stop || (k + 1 < stop && m_text[k] == u'-' && m_text[k + 1] == u'-');
    }

    // The rows psql sends after COPY … FROM stdin: every line up to one that reads "\.".
    qsizetype skipCopyData(qsizetype from) const
    {
        qsizetype k = lineEnd(from);
        while (k < m_size) {
            const qsizetype lineStart = k + 1;
            const qsizetype stop = lineEnd(lineStart);
            qsizetype e = stop;
            while (e > lineStart && m_text[e - 1] == u'\r')
                --e;
            if (e - lineStart == 2 && m_text[lineStart] == u'\\' && m_text[lineStart + 1] == u'.')
                return stop;
            k = stop;
        }
        return m_size;
    }

    enum class CopyState { None, Copy, FromStdin };

    SqlScanner m_tokens;
    const QChar *m_text;
    qsizetype m_size;
    const bool m_mysql;
    const bool m_postgres;
    const bool m_sqlServer;
    QString m_delimiter;
    bool m_customDelimiter = false;

    qsizetype m_pos = 0;
    QList<SqlStatement> m_statements;
    // The statement being read.
    qsizetype m_start = -1;
    qsizetype m_end = 0;
    int m_words = 0;
    bool m_createOrAlter = false;
    bool m_routineKnown = false;
    bool m_routine = false;
    int m_depth = 0;
    int m_parens = 0;
    CopyState m_copy = CopyState::None;
};

} // namespace

QList<SqlStatement> StatementSplitter::split(const QString &script) const
{
    QList<SqlStatement> statements = Scanner(m_dialect, script).run();
    const QChar *text = script.constData();
    qsizetype counted = 0;
    int line = 1;
    for (SqlStatement &statement : statements) {
        for (; counted < statement.start; ++counted) {
            if (text[counted] == u'\n')
                ++line;
        }
        statement.line = line;
        statement.text = script.mid(statement.start, statement.end - statement.start);
    }
    return statements;
}

std::optional<SqlStatement> StatementSplitter::statementAt(const QString &script, qsizetype offset) const
{
    return statementAt(split(script), script, offset);
}

std::optional<SqlStatement> StatementSplitter::statementAt(const QList<SqlStatement> &statements,
                                                           const QString &script, qsizetype offset)
{
    const SqlStatement *before = nullptr;
    const SqlStatement *after = nullptr;
    for (const SqlStatement &statement : statements) {
        if (offset >= statement.start && offset < statement.end)
            return statement;
        if (statement.start >= offset) {
            after = &statement;
            break;
        }
        before = &statement;
    }
    const auto sameLine = [&script](qsizetype from, qsizetype to) {
        return !QStringView(script).mid(from, to - from).contains(u'\n');
    };
    if (before && offset <= before->terminatorEnd)
        return *before;
    if (before && sameLine(before->end, offset))
        return *before;
    if (after && sameLine(offset, after->start))
        return *after;
    if (before)
        return *before;
    if (after)
        return *after;
    return std::nullopt;
}

#include "query/ShapedStatement.h"

#include "db/SqlDialectRules.h"

#include <QSet>

namespace shaping {

namespace {

bool isWordStart(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_';
}

bool isWordPart(QChar c)
{
    return isWordStart(c) || (c >= u'0' && c <= u'9') || c == u'$';
}

// Walks SQL text token by token, past blanks, comments, strings and quoted names.
class Tokens
{
public:
    enum class Kind { End, Word, Semicolon, Open, Other };

    Tokens(const QString &sql, SqlDialect dialect) : m_sql(sql), m_dialect(dialect) {}

    Kind next()
    {
        skipBlanks();
        m_start = m_pos;
        if (m_pos >= m_sql.size())
            return Kind::End;
        const QChar c = m_sql[m_pos];
        if (isWordStart(c)) {
            // E'...' is a string with backslash escapes on PostgreSQL.
            if ((c == u'E' || c == u'e') && peek(1) == u'\'') {
                ++m_pos;
                skipQuoted(u'\'', true);
                return Kind::Other;
            }
            while (m_pos < m_sql.size() && isWordPart(m_sql[m_pos]))
                ++m_pos;
            return Kind::Word;
        }
        ++m_pos;
        switch (c.unicode()) {
        case u';':
            return Kind::Semicolon;
        case u'(':
            return Kind::Open;
        case u'\'':
            --m_pos;
            skipQuoted(u'\'', m_dialect == SqlDialect::MySql);
            return Kind::Other;
        case u'"':
            --m_pos;
            skipQuoted(u'"', m_dialect == SqlDialect::MySql);
            return Kind::Other;
        case u'`':
            --m_pos;
            skipQuoted(u'`', false);
            return Kind::Other;
        case u'[':
            if (m_dialect == SqlDialect::SqlServer || m_dialect == SqlDialect::Access) {
                const qsizetype end = m_sql.indexOf(u']', m_pos);
                m_pos = end < 0 ? m_sql.size() : end + 1;
            }
            return Kind::Other;
        case u'$':
            if (m_dialect == SqlDialect::PostgreSql)
                skipDollarQuoted();
            return Kind::Other;
        default:
            return Kind::Other;
        }
    }

    QString word() const { return m_sql.mid(m_start, m_pos - m_start).toUpper(); }
    qsizetype start() const { return m_start; }

private:
    QChar peek(qsizetype offset) const
    {
        return m_pos + offset < m_sql.size() ? m_sql[m_pos + offset] : QChar();
    }

    void skipBlanks()
    {
        for (;;) {
            while (m_pos < m_sql.size() && m_sql[m_pos].isSpace())
                ++m_pos;
            const bool dash = peek(0) == u'-' && peek(1) == u'-';
            const bool hash = m_dialect == SqlDialect::MySql && peek(0) == u'#';
            if (dash || hash) {
                const qsizetype end = m_sql.indexOf(u'\n', m_pos);
                m_pos = end < 0 ? m_sql.size() : end + 1;
                continue;
            }
            if (peek(0) == u'/' && peek(1) == u'*') {
                const qsizetype end = m_sql.indexOf(QLatin1String("*/"), m_pos + 2);
                m_pos = end < 0 ? m_sql.size() : end + 2;
                continue;
            }
            return;
        }
    }

    // From the opening quote to past the closing one; a doubled quote stands for one.
    void skipQuoted(QChar quote, bool backslashEscapes)
    {
        ++m_pos;
        while (m_pos < m_sql.size()) {
            const QChar c = m_sql[m_pos++];
            if (backslashEscapes && c == u'\\') {
                ++m_pos;
            } else if (c == quote) {
                if (peek(0) != quote)
                    return;
                ++m_pos;
            }
        }
    }

    // $tag$ ... $tag$; a lone $ (a parameter, $1) is left as it is.
    void skipDollarQuoted()
    {
        qsizetype end = m_pos;
        while (end < m_sql.size() && isWordPart(m_sql[end]) && m_sql[end] != u'$')
            ++end;
        if (end >= m_sql.size() || m_sql[end] != u'$')
            return;
        const QString tag = m_sql.mid(m_pos - 1, end - m_pos + 2);
        if (tag.size() > 2 && tag[1].isDigit())
            return;
        const qsizetype close = m_sql.indexOf(tag, end + 1);
        m_pos = close < 0 ? m_sql.size() : close + tag.size();
    }

    const QString &m_sql;
    SqlDialect m_dialect;
    qsizetype m_pos = 0;
    qsizetype m_start = 0;
};

QString castToText(const QString &column, SqlDialect dialect)
{
    switch (dialect) {
    case SqlDialect::MySql:
        return QStringLiteral("CAST(%1 AS CHAR)").arg(column);
    case SqlDialect::SqlServer:
        return QStringLiteral("CAST(%1 AS NVARCHAR(MAX))").arg(column);
    case SqlDialect::Standard:
        return QStringLiteral("CAST(%1 AS VARCHAR(4000))").arg(column);
    default:
        return QStringLiteral("CAST(%1 AS TEXT)").arg(column);
    }
}

} // namespace

PlainRead plainRead(const QString &sql, SqlDialect dialect)
{
    static const QSet<QString> writing = {
        QStringLiteral("INSERT"), QStringLiteral("UPDATE"),  QStringLiteral("DELETE"),
        QStringLiteral("MERGE"),  QStringLiteral("INTO"),    QStringLiteral("CREATE"),
        QStringLiteral("DROP"),   QStringLiteral("ALTER"),   QStringLiteral("TRUNCATE"),
        QStringLiteral("GRANT"),  QStringLiteral("REVOKE"),  QStringLiteral("CALL"),
        QStringLiteral("EXEC"),   QStringLiteral("EXECUTE"), QStringLiteral("COPY"),
        QStringLiteral("LOCK")};
    PlainRead read;
    Tokens tokens(sql, dialect);
    Tokens::Kind kind = tokens.next();
    while (kind == Tokens::Kind::Open)
        kind = tokens.next();
    if (kind != Tokens::Kind::Word ||
        (tokens.word() != QLatin1String("SELECT") && tokens.word() != QLatin1String("WITH"))) {
        read.refusal = Refusal::NotAQuery;
        return read;
    }
    qsizetype end = -1;
    for (; kind != Tokens::Kind::End; kind = tokens.next()) {
        if (end >= 0) {
            if (kind != Tokens::Kind::Semicolon) {
                read.refusal = Refusal::NotOneStatement;
                return read;
            }
            continue;
        }
        if (kind == Tokens::Kind::Semicolon)
            end = tokens.start();
        else if (kind == Tokens::Kind::Word && writing.contains(tokens.word())) {
            read.refusal = Refusal::Writes;
            return read;
        }
    }
    read.statement = end >= 0 ? sql.left(end) : sql;
    while (!read.statement.isEmpty() && read.statement.back().isSpace())
        read.statement.chop(1);
    return read;
}

Statement wrap(const QString &statement, const QList<FieldInfo> &fields, const QList<ColumnFilter> &filters,
               const QList<SortColumn> &sort, SqlDialect dialect,
               const std::function<QString(int)> &placeholder)
{
    const SqlDialectRules &rules = SqlDialectRules::of(dialect);
    QSet<QString> seen;
    QSet<QString> repeated;
    for (const FieldInfo &field : fields) {
        // Unquoted names meet ignoring case on most databases: treat them so everywhere.
        const QString key = field.name.toLower();
        if (seen.contains(key))
            repeated.insert(key);
        seen.insert(key);
    }
    auto nameOf = [&](int column) { return rules.quoteIdentifier(fields.value(column).name); };
    auto unique = [&](int column) { return !repeated.contains(fields.value(column).name.toLower()); };

    Statement out;
    // The statement on lines of its own: a comment at its end stays closed by the line break.
    out.sql = QStringLiteral("SELECT * FROM (\n") + statement + QStringLiteral("\n) AS q");
    QStringList conditions;
    for (const ColumnFilter &f : filters) {
        if (f.column() < 0 || f.column() >= fields.size())
            continue;
        if (!unique(f.column())) {
            out.refusal = Refusal::RepeatedName;
            return out;
        }
        QString column = nameOf(f.column());
        QString op;
        switch (f.op()) {
        case ColumnFilter::Op::IsNull:
            conditions.append(column + QStringLiteral(" IS NULL"));
            continue;
        case ColumnFilter::Op::IsNotNull:
            conditions.append(column + QStringLiteral(" IS NOT NULL"));
            continue;
        case ColumnFilter::Op::Equal:
            op = QStringLiteral("=");
            break;
        case ColumnFilter::Op::NotEqual:
            op = QStringLiteral("<>");
            break;
        case ColumnFilter::Op::Less:
            op = QStringLiteral("<");
            break;
        case ColumnFilter::Op::LessEqual:
            op = QStringLiteral("<=");
            break;
        case ColumnFilter::Op::Greater:
            op = QStringLiteral(">");
            break;
        case ColumnFilter::Op::GreaterEqual:
            op = QStringLiteral(">=");
            break;
        case ColumnFilter::Op::Like:
        case ColumnFilter::Op::NotLike:
            op = f.op() == ColumnFilter::Op::Like ? QStringLiteral("LIKE") : QStringLiteral("NOT LIKE");
            if (!isCharacterType(fields[f.column()].type))
                column = castToText(column, dialect);
            break;
        }
        out.params.append(f.parameter());
        QString condition = column + u' ' + op + u' ' + placeholder(int(out.params.size()));
        if (f.isLike())
            condition += QStringLiteral(" ESCAPE ") + rules.stringLiteral(ColumnFilter::escapeCharacter());
        conditions.append(condition);
    }
    if (!conditions.isEmpty())
        out.sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    QStringList order;
    for (const SortColumn &s : sort) {
        if (s.column < 0 || s.column >= fields.size())
            continue;
        const QString column = unique(s.column) ? nameOf(s.column) : QString::number(s.column + 1);
        order.append(s.descending ? column + QStringLiteral(" DESC") : column);
    }
    if (!order.isEmpty())
        out.sql += QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));
    return out;
}

} // namespace shaping

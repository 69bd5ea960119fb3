#include "export/RerunCheck.h"

#include <QSet>
#include <QStringList>

namespace {

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

// The index after the quoted part that starts at i with quote, the quote doubled inside; -1
// when it does not end.
qsizetype skipQuoted(const QString &text, qsizetype i, QChar close)
{
    for (qsizetype j = i + 1; j < text.size(); ++j) {
        if (text[j] != close)
            continue;
        if (j + 1 < text.size() && text[j + 1] == close && close != u']') {
            ++j;
            continue;
        }
        return j + 1;
    }
    return -1;
}

// A PostgreSQL dollar quote ($$ or $tag$) starting at i: the index after its end, i when there
// is none here, -1 when it does not end.
qsizetype skipDollarQuoted(const QString &text, qsizetype i)
{
    qsizetype j = i + 1;
    while (j < text.size() && (text[j].isLetterOrNumber() || text[j] == u'_') && !text[j].isDigit())
        ++j;
    if (j >= text.size() || text[j] != u'$')
        return i;
    const QString tag = text.mid(i, j - i + 1);
    const qsizetype end = text.indexOf(tag, j + 1);
    return end < 0 ? -1 : end + tag.size();
}

} // namespace

bool rerunMayChangeData(const QString &sql)
{
    static const QSet<QString> reads = {QStringLiteral("SELECT"), QStringLiteral("WITH"),
                                        QStringLiteral("VALUES"), QStringLiteral("TABLE"),
                                        QStringLiteral("SHOW"),   QStringLiteral("DESCRIBE"),
                                        QStringLiteral("DESC"),   QStringLiteral("EXPLAIN")};
    static const QSet<QString> writes = {
        QStringLiteral("INSERT"), QStringLiteral("UPDATE"), QStringLiteral("DELETE"),
        QStringLiteral("MERGE"),  QStringLiteral("INTO"),   QStringLiteral("CREATE"),
        QStringLiteral("DROP"),   QStringLiteral("ALTER"),  QStringLiteral("TRUNCATE"),
        QStringLiteral("CALL"),   QStringLiteral("EXEC"),   QStringLiteral("EXECUTE"),
        QStringLiteral("DO"),     QStringLiteral("COPY"),   QStringLiteral("GRANT"),
        QStringLiteral("REVOKE"), QStringLiteral("LOCK")};

    QString first;
    int statements = 0;
    bool inStatement = false;
    for (qsizetype i = 0; i < sql.size();) {
        const QChar c = sql[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == u'-' && i + 1 < sql.size() && sql[i + 1] == u'-') {
            const qsizetype end = sql.indexOf(u'\n', i);
            i = end < 0 ? sql.size() : end + 1;
        } else if (c == u'/' && i + 1 < sql.size() && sql[i + 1] == u'*') {
            const qsizetype end = sql.indexOf(QStringLiteral("*/"), i + 2);
            if (end < 0)
                return true;
            i = end + 2;
        } else if (c == u';') {
            inStatement = false;
            ++i;
        } else {
            if (!inStatement) {
                inStatement = true;
                if (++statements > 1)
                    return true;
            }
            if (c == u'\'' || c == u'"' || c == u'`' || c == u'[') {
                i = skipQuoted(sql, i, c == u'[' ? QChar(u']') : c);
                if (i < 0)
                    return true;
            } else if (c == u'$') {
                const qsizetype end = skipDollarQuoted(sql, i);
                if (end < 0)
                    return true;
                i = end > i ? end : i + 1;
            } else if (isWordChar(c)) {
                const qsizetype start = i;
                while (i < sql.size() && isWordChar(sql[i]))
                    ++i;
                const QString word = sql.mid(start, i - start).toUpper();
                if (first.isEmpty())
                    first = word;
                if (writes.contains(word))
                    return true;
            } else {
                ++i;
            }
        }
    }
    return !reads.contains(first);
}

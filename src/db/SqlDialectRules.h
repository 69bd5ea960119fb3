#pragma once

#include "db/DataAccess.h"

#include <QByteArrayView>
#include <QSet>
#include <QString>
#include <QStringList>

// How one SQL dialect writes names and text: its quote characters, which names stand
// unquoted, its reserved words and its string literals. The backends, the composed SQL, the
// record editor, the statistics texts and the editor's highlighting all take them from here.
class SqlDialectRules
{
public:
    static const SqlDialectRules &of(SqlDialect dialect);

    SqlDialect dialect() const { return m_dialect; }

    // The name unchanged when it is plain, otherwise enclosed (see enclose).
    QString quoteIdentifier(const QString &name) const;
    // The name in the dialect's quotes ("...", [...] or `...`), the closing quote doubled inside.
    QString enclose(const QString &name) const;
    // A name that needs no quotes: an ASCII letter or "_", then ASCII letters, digits or "_",
    // and no reserved word. PostgreSQL folds unquoted names to lower case, so there only lower
    // case letters are plain ("$" may follow the first character there and on MySQL).
    bool isPlain(const QString &name) const;
    // Letter case is ignored.
    bool isReserved(const QString &word) const;
    // The reserved words in lower case, sorted.
    const QStringList &reservedWords() const { return m_words; }
    // 'text' with every ' doubled; MySQL also reads backslashes as escapes, so those are
    // doubled too there.
    QString stringLiteral(const QString &text) const;
    // Bytes as a literal of the dialect's binary type: X'0aff' (0x0aff on SQL Server, '\x0aff'::bytea
    // on PostgreSQL).
    QString binaryLiteral(QByteArrayView bytes) const;
    // TRUE or FALSE, or 1 and 0 where the dialect has no such words (SQLite, SQL Server).
    QString booleanLiteral(bool value) const;

private:
    SqlDialectRules(SqlDialect dialect, QStringList words);

    SqlDialect m_dialect;
    QStringList m_words;
    QSet<QString> m_wordSet;
};

#pragma once

#include <Qsci/qscilexersql.h>

#include <QByteArray>
#include <QStringList>

// The highlighting dialects of the SQL editor.
enum class SqlHighlightDialect { Standard, MSSQL7, MSSQL2K, MySQL, Postgres, Sqlite };

// The SQL highlighter: QsciLexerSQL with keyword, function and exception lists per dialect.
// Keywords use keyword set 1 (style Keyword), function names set 5 (KeywordSet5) and
// exception names set 6 (KeywordSet6). The lexer lower-cases words before matching, so the
// lists are lower case and matching ignores letter case.
class SqlLexer : public QsciLexerSQL
{
    Q_OBJECT

public:
    static constexpr int KeywordsSet = 1;
    static constexpr int FunctionsSet = 5;
    static constexpr int ExceptionsSet = 6;
    static constexpr int FunctionStyle = KeywordSet5;
    static constexpr int ExceptionStyle = KeywordSet6;

    explicit SqlLexer(QObject *parent = nullptr);

    // Changes the word lists; an editor showing the lexer must be told to reload them.
    void setDialect(SqlHighlightDialect dialect);
    SqlHighlightDialect dialect() const { return m_dialect; }

    const char *keywords(int set) const override;
    // The words of one keyword set, for inspection.
    QStringList keywordList(int set) const;

private:
    SqlHighlightDialect m_dialect = SqlHighlightDialect::Standard;
    QByteArray m_keywords;
    QByteArray m_functions;
    QByteArray m_exceptions;
};

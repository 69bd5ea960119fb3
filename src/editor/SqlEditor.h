#pragma once

#include <Qsci/qsciscintilla.h>

// The highlighting dialects of the SQL editor.
enum class SqlHighlightDialect { Standard, MSSQL7, MSSQL2K, MySQL, Postgres, Sqlite };

// SynEdit1: the SQL editor (subsystem 6): whole text get/replace, clear, append lines,
// a change notification (QsciScintilla::textChanged) and the choice of dialect.
class SqlEditor : public QsciScintilla
{
    Q_OBJECT

public:
    explicit SqlEditor(QWidget *parent = nullptr);

    void setDialect(SqlHighlightDialect dialect);
    SqlHighlightDialect dialect() const { return m_dialect; }
    void appendLine(const QString &line);

private:
    SqlHighlightDialect m_dialect = SqlHighlightDialect::Standard;
};

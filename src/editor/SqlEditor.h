#pragma once

#include "editor/SqlLexer.h"

#include <Qsci/qsciscintilla.h>

#include <QColor>

// The SQL editor of the SQL page: whole text get/replace (text/setText), clear,
// appended lines, a change notification (QsciScintilla::textChanged) and the choice of
// highlighting dialect.
class SqlEditor : public QsciScintilla
{
    Q_OBJECT

public:
    // The highlighter's colours.
    static QColor commentColor() { return QColor(0, 128, 0); }
    static QColor exceptionColor() { return QColor(255, 0, 0); }
    static QColor functionColor() { return QColor(128, 128, 128); }
    static QColor keywordColor() { return QColor(0, 0, 128); }
    static QColor numberColor() { return QColor(128, 0, 128); }
    static QColor stringColor() { return QColor(128, 0, 0); }
    // The editor's background: white, or the palette's base on a dark palette.
    static QColor paperColor();

    explicit SqlEditor(QWidget *parent = nullptr);

    void setDialect(SqlHighlightDialect dialect);
    SqlHighlightDialect dialect() const { return m_lexer->dialect(); }
    SqlLexer *sqlLexer() const { return m_lexer; }

    // Adds a line at the end: the first line of an empty editor, else after a line break.
    void appendLine(const QString &line);

    void setText(const QString &text) override;
    void clear() override;

private:
    void applyStyles();
    void fitLineNumberMargin();

    SqlLexer *m_lexer = nullptr;
    // An empty editor that has been given one empty line; the next line goes below it.
    bool m_emptyLineAppended = false;
    int m_marginDigits = 0;
};

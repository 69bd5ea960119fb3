#include "editor/SqlEditor.h"

#include "shell/Contrast.h"

#include <QApplication>
#include <QFont>
#include <QPalette>

namespace {

QFont editorFont(int pointSize)
{
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSize(pointSize);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

} // namespace

SqlEditor::SqlEditor(QWidget *parent) : QsciScintilla(parent)
{
    setUtf8(true);
    setEolMode(EolUnix);
    m_lexer = new SqlLexer(this);
    applyStyles();
    setLexer(m_lexer);

    SendScintilla(SCI_SETFONTQUALITY, SC_EFF_QUALITY_NON_ANTIALIASED);
    setFont(editorFont(10));
    setEdgeMode(EdgeNone);
    setTabWidth(4);
    setAutoIndent(true);
    setBraceMatching(SloppyBraceMatch);
    const QColor paper = paperColor();
    const bool whitePaper = paper == QColor(Qt::white);
    const QColor text = QApplication::palette().color(QPalette::WindowText);
    setMatchedBraceBackgroundColor(whitePaper ? QColor(0xD6, 0xE8, 0xFF)
                                              : contrast::blend(paper, text, 0.25));
    setUnmatchedBraceForegroundColor(QColor(255, 0, 0));
    // The horizontal scroll range follows the longest line instead of a fixed 2000 pixels.
    SendScintilla(SCI_SETSCROLLWIDTH, 1);
    SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1);
    setCaretLineVisible(true);
    setCaretLineBackgroundColor(whitePaper ? QColor(0xF3, 0xF6, 0xFB) : contrast::blend(paper, text, 0.08));
    setCaretForegroundColor(QApplication::palette().color(QPalette::WindowText));

    // Line numbers only; no symbol or fold margins.
    setMarginType(0, NumberMargin);
    setMarginLineNumbers(0, true);
    setMarginsFont(editorFont(8));
    const QColor margin = whitePaper ? QColor(0xF0, 0xF0, 0xF0) : contrast::blend(paper, text, 0.05);
    setMarginsBackgroundColor(margin);
    setMarginsForegroundColor(contrast::readableOn(QColor(0x80, 0x80, 0x80), text, {margin}, 3.0));
    setMarginWidth(1, 0);
    setMarginWidth(2, 0);
    setFolding(NoFoldStyle);
    fitLineNumberMargin();
    connect(this, &QsciScintilla::linesChanged, this, &SqlEditor::fitLineNumberMargin);
    connect(this, &QsciScintilla::textChanged, this, [this] {
        if (length() > 0)
            m_emptyLineAppended = false;
    });
}

void SqlEditor::applyStyles()
{
    const QColor text = QApplication::palette().color(QPalette::WindowText);
    const QColor paper = paperColor();
    m_lexer->setDefaultFont(editorFont(10));
    m_lexer->setFont(editorFont(10), -1);
    m_lexer->setDefaultColor(text);
    m_lexer->setColor(text, -1);
    m_lexer->setDefaultPaper(paper);
    m_lexer->setPaper(paper, -1);

    // The highlighting colours are made for white paper; on dark paper each is lightened
    // toward the text colour until it reads.
    auto ink = [&](const QColor &colour) {
        return paper == QColor(Qt::white) ? colour : contrast::readableOn(colour, text, {paper});
    };
    for (int style :
         {SqlLexer::Comment, SqlLexer::CommentLine, SqlLexer::CommentDoc, SqlLexer::CommentLineHash,
          SqlLexer::PlusComment, SqlLexer::CommentDocKeyword, SqlLexer::CommentDocKeywordError})
        m_lexer->setColor(ink(commentColor()), style);
    m_lexer->setColor(ink(keywordColor()), SqlLexer::Keyword);
    m_lexer->setColor(ink(functionColor()), SqlLexer::FunctionStyle);
    m_lexer->setColor(ink(exceptionColor()), SqlLexer::ExceptionStyle);
    m_lexer->setColor(ink(numberColor()), SqlLexer::Number);
    m_lexer->setColor(ink(stringColor()), SqlLexer::SingleQuotedString);
    m_lexer->setColor(ink(stringColor()), SqlLexer::DoubleQuotedString);
}

QColor SqlEditor::paperColor()
{
    // White, as the window colour of a light desktop; the palette's base where the window text
    // is light, which would not read on white.
    const QPalette palette = QApplication::palette();
    return contrast::isDark(palette) ? palette.color(QPalette::Base) : QColor(Qt::white);
}

void SqlEditor::setDialect(SqlHighlightDialect dialect)
{
    m_lexer->setDialect(dialect);
    // The lexer's word lists are copied into the editor; hand over the new ones and restyle.
    for (int set = 1; set <= 8; ++set) {
        const char *words = m_lexer->keywords(set);
        SendScintilla(SCI_SETKEYWORDS, set - 1, words ? words : "");
    }
    SendScintilla(SCI_SETPROPERTY, "lexer.sql.backticks.identifier",
                  m_lexer->quotedIdentifiers() ? "1" : "0");
    SendScintilla(SCI_COLOURISE, 0, -1);
}

void SqlEditor::appendLine(const QString &line)
{
    if (length() == 0) {
        QsciScintilla::setText(m_emptyLineAppended ? QStringLiteral("\n") + line : line);
        m_emptyLineAppended = line.isEmpty();
    } else {
        append(QStringLiteral("\n") + line);
    }
}

void SqlEditor::setText(const QString &text)
{
    m_emptyLineAppended = false;
    QsciScintilla::setText(text);
}

void SqlEditor::clear()
{
    m_emptyLineAppended = false;
    QsciScintilla::clear();
}

void SqlEditor::fitLineNumberMargin()
{
    int digits = 2;
    for (int n = lines(); n >= 100; n /= 10)
        ++digits;
    if (digits == m_marginDigits)
        return;
    m_marginDigits = digits;
    setMarginWidth(0, QString(digits + 1, QLatin1Char('9')));
}

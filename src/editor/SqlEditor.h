#pragma once

#include "editor/SqlLexer.h"

#include <Qsci/qsciscintilla.h>

#include <QColor>
#include <QHash>
#include <QTimer>

class CompletionSource;
class EditorFindBar;
class QueryHistory;
struct WorkbenchTexts;

// The SQL editor of the SQL page: whole text get/replace (text/setText), clear,
// appended lines, a change notification (QsciScintilla::textChanged) and the choice of
// highlighting dialect.
//
// Beyond that it is a workbench: completion while typing and on Ctrl+Space (from a
// CompletionSource), a brief highlight of the statement that runs, a mark on an error's place,
// a find and replace bar (Ctrl+F, F3, Shift+F3), Ctrl+Up and Ctrl+Down through the history of
// what ran, and .sql files opened and saved. Places in the text are QString indexes into text().
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

    // How long the statement that runs stays highlighted.
    static constexpr int FlashMs = 600;

    explicit SqlEditor(QWidget *parent = nullptr);
    ~SqlEditor() override;

    void setDialect(SqlHighlightDialect dialect);
    SqlHighlightDialect dialect() const { return m_lexer->dialect(); }
    SqlLexer *sqlLexer() const { return m_lexer; }

    // Adds a line at the end: the first line of an empty editor, else after a line break.
    void appendLine(const QString &line);

    void setText(const QString &text) override;
    void clear() override;
    // Replaces the whole text as one step the user can undo.
    void replaceText(const QString &text);

    // The caret, and the selection (from == to when none), as indexes into text().
    qsizetype cursorIndex() const;
    std::pair<qsizetype, qsizetype> selectionIndexes() const;

    // Completion: none until a source is given.
    void setCompletionSource(CompletionSource *source) { m_completion = source; }
    // Shows the list for the word at the caret; explicit (Ctrl+Space) shows it also before
    // anything is typed. False when there is nothing to offer.
    bool showCompletion(bool explicitRequest);
    bool completionShown() const { return isListActive(); }
    // The labels the list shows, in order (empty when it is closed).
    QStringList completionLabels() const { return isListActive() ? m_offered : QStringList(); }
    // Puts the item with this label in place of the word typed, as choosing it in the list does.
    void chooseCompletion(const QString &label);

    // Highlights [from, to) for FlashMs.
    void flashRange(qsizetype from, qsizetype to);
    bool flashing() const { return m_flashTimer.isActive(); }
    // Marks where the database placed an error: the word at offset (-1 unknown) and its line
    // (from 1; 0 unknown), and moves the caret there. The mark goes with the next edit.
    void markError(qsizetype offset, int line);
    void clearMarks();
    // The marks there are, for tests: each as [from, to) of the given indicator.
    QList<std::pair<qsizetype, qsizetype>> indicatorRanges(int indicator) const;
    bool lineMarked(int line) const; // from 1
    static constexpr int FlashIndicator = 8;
    static constexpr int ErrorIndicator = 9;

    // Ctrl+Up and Ctrl+Down step through this history, newest first.
    void setHistory(const QueryHistory *history) { m_history = history; }
    void stepHistory(int direction);

    EditorFindBar *findBar() const { return m_findBar; }

    // .sql files through the Prompt: the text is replaced (a step to undo) by the file's, which
    // keeps its line ends; Save writes the text as it is, in UTF-8. A failure is shown in a
    // message dialog. False when cancelled or failed.
    bool openFile();
    bool saveFile(); // to the file opened or saved last, or as saveFileAs() when there is none
    bool saveFileAs();
    QString fileName() const { return m_fileName; }

    void setTexts(const WorkbenchTexts &texts);

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void applyStyles();
    void fitLineNumberMargin();
    void defineMarks();
    void onCharAdded(int ch);
    void onUserListChosen(int id, const QString &label);
    // Conversions between indexes into text() and Scintilla's byte positions.
    int positionOf(qsizetype index) const;
    qsizetype indexOf(int position) const;
    bool writeTo(const QString &fileName);

    SqlLexer *m_lexer = nullptr;
    // An empty editor that has been given one empty line; the next line goes below it.
    bool m_emptyLineAppended = false;
    int m_marginDigits = 0;

    CompletionSource *m_completion = nullptr;
    QHash<QString, QString> m_completionTexts; // label -> text, of the list on show
    QStringList m_offered;
    qsizetype m_completionStart = 0;

    QTimer m_flashTimer;
    bool m_errorMarked = false;
    int m_errorMarker = -1;

    const QueryHistory *m_history = nullptr;
    int m_historyIndex = -1; // the entry on show while stepping; -1 when not stepping
    QString m_draft;         // the text before stepping began
    bool m_replacing = false;

    EditorFindBar *m_findBar = nullptr;

    QString m_fileName;
    bool m_fileByteOrderMark = false;
    const WorkbenchTexts *m_texts = nullptr;
};

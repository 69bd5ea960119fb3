#pragma once

#include <QFrame>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QsciScintilla;
struct WorkbenchTexts;

// Find and replace in an editor: a bar over the editor's top right corner. Return in the find
// field finds the next match, Shift+Return the one before; Escape closes the bar and gives the
// editor its focus back.
class EditorFindBar : public QFrame
{
    Q_OBJECT

public:
    explicit EditorFindBar(QsciScintilla *editor);

    // Shows the bar with the editor's selected text (when it is one line) in the find field.
    void open();
    void close();
    // Finds the next (or previous) match of the find field's text from the caret, wrapping at the
    // end; false, with "Not found" on the bar, when there is none.
    bool find(bool forward);
    // Replaces the match that is selected and selects the next one.
    void replace();
    // Replaces every match, as one step to undo; returns how many.
    int replaceAll();

    void setTexts(const WorkbenchTexts &texts);
    // Keeps the bar in the editor's top right corner.
    void place();

    QLineEdit *findField() const { return m_find; }
    QLineEdit *replaceField() const { return m_replace; }
    QCheckBox *matchCaseBox() const { return m_matchCase; }
    QString status() const;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool selectionMatches() const;

    QsciScintilla *m_editor;
    QLineEdit *m_find = nullptr;
    QLineEdit *m_replace = nullptr;
    QPushButton *m_previous = nullptr;
    QPushButton *m_next = nullptr;
    QPushButton *m_replaceOne = nullptr;
    QPushButton *m_replaceAll = nullptr;
    QCheckBox *m_matchCase = nullptr;
    QToolButton *m_close = nullptr;
    QLabel *m_status = nullptr;
    QString m_notFound;
    QString m_replacedCount;
};

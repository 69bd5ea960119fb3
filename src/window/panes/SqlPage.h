#pragma once

#include "editor/SqlLexer.h"
#include "query/RecordNavigator.h"

#include <QStringList>
#include <QWidget>

class QPlainTextEdit;
class Query;
class ResultGrid;
class ResultModel;
class SqlEditor;

// The SQL page: the hidden scratch text in which statements are composed line by line, the SQL
// editor, the result grid over the query's rows and the record navigator below it. The
// navigator's buttons and the grid's record keys, and a double-click or Return on a grid cell,
// are handed on as requests: the window runs them as commands.
class SqlPage : public QWidget
{
    Q_OBJECT

public:
    explicit SqlPage(Query &query, QWidget *parent = nullptr);

    SqlEditor *editor() const { return m_editor; }
    ResultGrid *grid() const { return m_grid; }
    ResultModel *model() const { return m_model; }
    RecordNavigator *navigator() const { return m_navigator; }

    QStringList scratchLines() const;
    void setScratchLines(const QStringList &lines);
    void clearScratch();

    // Without a connection: scratch text, editor and grid hidden, the texts emptied.
    void reset();
    // With a connection: the editor highlighting the dialect, and the grid.
    void showEditor(SqlHighlightDialect dialect);
    QList<QWidget *> focusOrder() const;

signals:
    void editorChanged();
    void memoRequested();
    void recordAction(RecordNavigator::Button button);

private:
    QPlainTextEdit *m_scratch = nullptr;
    SqlEditor *m_editor = nullptr;
    ResultGrid *m_grid = nullptr;
    ResultModel *m_model = nullptr;
    RecordNavigator *m_navigator = nullptr;
};

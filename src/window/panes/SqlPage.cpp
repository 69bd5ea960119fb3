#include "window/panes/SqlPage.h"

#include "editor/SqlEditor.h"
#include "query/ResultGrid.h"
#include "query/ResultModel.h"
#include "shell/Accessibility.h"
#include "window/panes/Fonts.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QVBoxLayout>

SqlPage::SqlPage(Query &query, QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_scratch = new QPlainTextEdit(this);
    m_scratch->setObjectName(QStringLiteral("scratchText"));
    m_scratch->setFont(fonts::lucidaConsole(9));
    m_scratch->setFixedHeight(89);
    m_scratch->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_scratch->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_scratch->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_scratch->hide();
    m_editor = new SqlEditor(this);
    m_editor->setObjectName(QStringLiteral("sqlEditor"));
    m_editor->setFixedHeight(150);
    m_grid = new ResultGrid(this);
    m_grid->setObjectName(QStringLiteral("resultGrid"));
    m_model = new ResultModel(&query, this);
    m_grid->setModel(m_model);
    m_navigator = new RecordNavigator(this);
    m_navigator->setObjectName(QStringLiteral("navigator"));
    m_navigator->setFixedHeight(25);
    m_navigator->setEditor(m_model->editor());
    m_navigator->setGrid(m_grid);
    layout->addWidget(m_scratch);
    layout->addWidget(m_editor);
    layout->addWidget(m_grid, 1);
    // Keeps the navigator at the bottom while the grid is hidden.
    layout->addStretch(0);
    layout->addWidget(m_navigator);

    // The editor and the grid keep Tab for themselves; Ctrl+Tab leaves them.
    a11y::releaseTabFocus(m_editor);
    a11y::releaseTabFocus(m_grid);

    connect(m_editor, &QsciScintilla::textChanged, this, &SqlPage::editorChanged);
    connect(m_grid, &QAbstractItemView::doubleClicked, this, &SqlPage::memoRequested);
    // The key goes on to the grid, which may have its own use for it on other cells.
    a11y::onKeys(m_grid, {Qt::Key_Return, Qt::Key_Enter}, [this] {
        emit memoRequested();
        return false;
    });
    const auto hand = [this](RecordNavigator::Button button) { emit recordAction(button); };
    m_navigator->setDispatcher(hand);
    m_grid->setRecordDispatcher(hand);
}

QStringList SqlPage::scratchLines() const
{
    QStringList lines;
    if (m_scratch->document()->isEmpty())
        return lines;
    for (QTextBlock block = m_scratch->document()->begin(); block.isValid(); block = block.next())
        lines.append(block.text());
    return lines;
}

void SqlPage::setScratchLines(const QStringList &lines)
{
    m_scratch->clear();
    for (const QString &line : lines)
        m_scratch->appendPlainText(line);
}

void SqlPage::clearScratch()
{
    m_scratch->clear();
}

QList<QWidget *> SqlPage::focusOrder() const
{
    QList<QWidget *> order{m_editor, m_grid};
    for (int i = 0; i < RecordNavigator::ButtonCount; ++i)
        order.append(m_navigator->button(i));
    return order;
}

void SqlPage::reset()
{
    m_scratch->hide();
    m_editor->hide();
    m_grid->hide();
    m_scratch->clear();
    m_editor->clear();
}

void SqlPage::showEditor(SqlHighlightDialect dialect)
{
    m_scratch->hide();
    m_editor->show();
    m_editor->setDialect(dialect);
    m_grid->show();
}

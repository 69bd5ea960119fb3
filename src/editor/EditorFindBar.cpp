#include "editor/EditorFindBar.h"

#include "shell/texts/WorkbenchTexts.h"

#include <Qsci/qsciscintilla.h>

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

EditorFindBar::EditorFindBar(QsciScintilla *editor) : QFrame(editor), m_editor(editor)
{
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::NoFocus);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 2, 2);
    layout->setSpacing(4);
    m_find = new QLineEdit;
    m_find->setClearButtonEnabled(true);
    m_find->setMinimumWidth(160);
    m_previous = new QPushButton;
    m_next = new QPushButton;
    m_replace = new QLineEdit;
    m_replace->setMinimumWidth(120);
    m_replaceOne = new QPushButton;
    m_replaceAll = new QPushButton;
    m_matchCase = new QCheckBox;
    m_status = new QLabel;
    m_close = new QToolButton;
    m_close->setText(QStringLiteral(u"×"));
    m_close->setAutoRaise(true);
    for (QWidget *w : std::initializer_list<QWidget *>{m_find, m_previous, m_next, m_replace, m_replaceOne,
                                                       m_replaceAll, m_matchCase, m_status, m_close})
        layout->addWidget(w);
    for (QPushButton *button : {m_previous, m_next, m_replaceOne, m_replaceAll})
        button->setAutoDefault(false);
    m_find->installEventFilter(this);
    m_replace->installEventFilter(this);

    connect(m_next, &QPushButton::clicked, this, [this] { find(true); });
    connect(m_previous, &QPushButton::clicked, this, [this] { find(false); });
    connect(m_replaceOne, &QPushButton::clicked, this, &EditorFindBar::replace);
    connect(m_replaceAll, &QPushButton::clicked, this, &EditorFindBar::replaceAll);
    connect(m_close, &QToolButton::clicked, this, &EditorFindBar::close);
    connect(m_find, &QLineEdit::textChanged, m_status, &QLabel::clear);
    setTexts(englishWorkbenchTexts());
    hide();
}

void EditorFindBar::setTexts(const WorkbenchTexts &texts)
{
    m_find->setPlaceholderText(texts.findLabel);
    m_find->setAccessibleName(texts.findFieldName);
    m_replace->setPlaceholderText(texts.replaceLabel);
    m_replace->setAccessibleName(texts.replaceFieldName);
    m_previous->setText(texts.findPrevious);
    m_previous->setToolTip(texts.findPrevious + QStringLiteral(" (Shift+F3)"));
    m_next->setText(texts.findNext);
    m_next->setToolTip(texts.findNext + QStringLiteral(" (F3)"));
    m_replaceOne->setText(texts.replace);
    m_replaceAll->setText(texts.replaceAll);
    m_matchCase->setText(texts.matchCase);
    m_close->setAccessibleName(texts.closeFind);
    m_close->setToolTip(texts.closeFind + QStringLiteral(" (Esc)"));
    setAccessibleName(texts.findBarName);
    if (!m_status->text().isEmpty())
        m_status->setText(m_status->text() == m_notFound ? texts.notFound : QString());
    m_notFound = texts.notFound;
    m_replacedCount = texts.replacedCount;
    if (isVisible())
        place();
}

void EditorFindBar::place()
{
    adjustSize();
    const QRect area = m_editor->viewport()->geometry();
    const int width = std::min(sizeHint().width(), area.width());
    resize(width, sizeHint().height());
    move(area.right() - width, area.top());
}

void EditorFindBar::open()
{
    const QString selected = m_editor->selectedText();
    if (!selected.isEmpty() && !selected.contains(QLatin1Char('\n')))
        m_find->setText(selected);
    show();
    place();
    raise();
    m_find->setFocus();
    m_find->selectAll();
}

void EditorFindBar::close()
{
    hide();
    m_editor->setFocus();
}

QString EditorFindBar::status() const
{
    return m_status->text();
}

bool EditorFindBar::find(bool forward)
{
    const QString text = m_find->text();
    if (text.isEmpty())
        return false;
    // From the end of the selection forward, from its start backward, so a match already
    // selected is passed over.
    const int from = int(m_editor->SendScintilla(forward ? QsciScintilla::SCI_GETSELECTIONEND
                                                         : QsciScintilla::SCI_GETSELECTIONSTART));
    int line = 0, index = 0;
    m_editor->lineIndexFromPosition(from, &line, &index);
    const bool found =
        m_editor->findFirst(text, false, m_matchCase->isChecked(), false, true, forward, line, index);
    m_status->setText(found ? QString() : m_notFound);
    return found;
}

bool EditorFindBar::selectionMatches() const
{
    const QString selected = m_editor->selectedText();
    return !selected.isEmpty() &&
           selected.compare(m_find->text(),
                            m_matchCase->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0;
}

void EditorFindBar::replace()
{
    if (selectionMatches())
        m_editor->replaceSelectedText(m_replace->text());
    find(true);
}

int EditorFindBar::replaceAll()
{
    const QString text = m_find->text();
    if (text.isEmpty())
        return 0;
    int count = 0;
    m_editor->beginUndoAction();
    bool found = m_editor->findFirst(text, false, m_matchCase->isChecked(), false, false, true, 0, 0, false);
    while (found) {
        m_editor->replace(m_replace->text());
        ++count;
        found = m_editor->findNext();
    }
    m_editor->endUndoAction();
    m_status->setText(count == 0 ? m_notFound : m_replacedCount.arg(count));
    return count;
}

bool EditorFindBar::event(QEvent *event)
{
    // Escape belongs to the bar while it has the focus, not to a shortcut of the window.
    if (event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        event->accept();
        return true;
    }
    return QFrame::event(event);
}

bool EditorFindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        event->accept();
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Escape) {
            close();
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (watched == m_replace)
                replace();
            else
                find(!(key->modifiers() & Qt::ShiftModifier));
            return true;
        }
        if (key->key() == Qt::Key_F3) {
            find(!(key->modifiers() & Qt::ShiftModifier));
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

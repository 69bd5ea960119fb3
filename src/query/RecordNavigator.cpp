#include "query/RecordNavigator.h"

#include "query/DeleteRecord.h"
#include "query/ResultGrid.h"
#include "query/RowEditor.h"
#include "shell/Accessibility.h"
#include "shell/Contrast.h"
#include "shell/Guard.h"
#include "shell/ImageList.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

namespace {

// The buttons' pictures, drawn on a 16-pixel grid in the button text's colour; the coloured
// marks are lightened on a dark palette.
void drawButton(QPainter &p, const QPalette &palette, RecordNavigator::Button button)
{
    const QColor ink = palette.color(QPalette::ButtonText);
    const bool dark = contrast::isDark(palette);
    auto mark = [dark](const QColor &colour) { return dark ? colour.lighter(190) : colour; };
    auto triangle = [&p](qreal tipX, qreal baseX) {
        QPainterPath path;
        path.moveTo(baseX, 3.5);
        path.lineTo(tipX, 8);
        path.lineTo(baseX, 12.5);
        path.closeSubpath();
        p.drawPath(path);
    };
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    switch (button) {
    case RecordNavigator::First:
        p.drawRect(QRectF(4, 3.5, 1.6, 9));
        triangle(6.5, 11.5);
        break;
    case RecordNavigator::Prior:
        triangle(5.5, 10.5);
        break;
    case RecordNavigator::Next:
        triangle(10.5, 5.5);
        break;
    case RecordNavigator::Last:
        triangle(9.5, 4.5);
        p.drawRect(QRectF(10.4, 3.5, 1.6, 9));
        break;
    case RecordNavigator::Insert:
        p.drawRect(QRectF(7, 3, 2, 10));
        p.drawRect(QRectF(3, 7, 10, 2));
        break;
    case RecordNavigator::Delete:
        p.drawRect(QRectF(3, 7, 10, 2));
        break;
    case RecordNavigator::Edit: {
        QPainterPath path;
        path.moveTo(3, 11.5);
        path.lineTo(8, 4);
        path.lineTo(13, 11.5);
        path.closeSubpath();
        p.drawPath(path);
        break;
    }
    case RecordNavigator::Post: {
        p.setPen(QPen(mark(QColor(0, 128, 0)), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        QPainterPath path;
        path.moveTo(3, 8.5);
        path.lineTo(6.5, 12);
        path.lineTo(13, 4);
        p.drawPath(path);
        break;
    }
    case RecordNavigator::Cancel:
        p.setPen(QPen(mark(QColor(192, 0, 0)), 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    case RecordNavigator::Refresh: {
        const QColor blue = mark(QColor(0, 80, 160));
        p.setPen(QPen(blue, 1.8, Qt::SolidLine, Qt::FlatCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(3, 3, 10, 10), 90 * 16, 270 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(blue);
        QPainterPath head;
        head.moveTo(7, 0.8);
        head.lineTo(11, 3);
        head.lineTo(7, 5.2);
        head.closeSubpath();
        p.drawPath(head);
        break;
    }
    default:
        break;
    }
}

} // namespace

RecordNavigator::RecordNavigator(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < ButtonCount; ++i) {
        auto *button = new QToolButton(this);
        button->setIcon(imagelist::drawnIcon(
            [i](QPainter &p, const QPalette &palette) { drawButton(p, palette, Button(i)); }));
        button->setIconSize(QSize(16, 16));
        button->setFixedSize(25, 25);
        connect(button, &QToolButton::clicked, this, [this, i] {
            guarded([this, i] {
                if (m_dispatcher)
                    m_dispatcher(Button(i));
                else
                    click(Button(i));
            });
        });
        m_buttons.append(button);
        layout->addWidget(button);
    }
    layout->addStretch();
    updateButtons();
}

void RecordNavigator::setHints(const QStringList &hints)
{
    // Each button is named by its hint, so that a screen reader says what it does.
    for (int i = 0; i < m_buttons.size(); ++i)
        a11y::setHint(m_buttons[i], hints.value(i));
}

QStringList RecordNavigator::hints() const
{
    QStringList result;
    for (const QToolButton *button : m_buttons)
        result.append(button->toolTip());
    return result;
}

QToolButton *RecordNavigator::button(int index) const
{
    return m_buttons.value(index);
}

void RecordNavigator::setEditor(RowEditor *editor)
{
    if (m_editor)
        disconnect(m_editor, nullptr, this, nullptr);
    m_editor = editor;
    if (m_editor) {
        connect(m_editor, &RowEditor::reset, this, &RecordNavigator::updateButtons);
        connect(m_editor, &RowEditor::rowInserted, this, &RecordNavigator::updateButtons);
        connect(m_editor, &RowEditor::rowRemoved, this, &RecordNavigator::updateButtons);
        connect(m_editor, &RowEditor::currentRowChanged, this, &RecordNavigator::updateButtons);
        connect(m_editor, &RowEditor::stateChanged, this, &RecordNavigator::updateButtons);
        connect(m_editor, &RowEditor::rowsArrived, this, &RecordNavigator::updateButtons);
        connect(m_editor, &RowEditor::fetchEnded, this, &RecordNavigator::updateButtons);
    }
    updateButtons();
}

void RecordNavigator::setGrid(ResultGrid *grid)
{
    if (m_grid)
        disconnect(m_grid, nullptr, this, nullptr);
    m_grid = grid;
    if (m_grid)
        connect(m_grid, &ResultGrid::cellEditingChanged, this, &RecordNavigator::updateButtons);
    updateButtons();
}

void RecordNavigator::click(Button button)
{
    if (!m_editor)
        return;
    if (m_grid) {
        if (button == Cancel)
            m_grid->discardEditor();
        else if (!m_grid->commitEditor())
            return;
    }
    switch (button) {
    case First:
        m_editor->first();
        break;
    case Prior:
        m_editor->prior();
        break;
    case Next:
        m_editor->next();
        break;
    case Last:
        m_editor->last();
        break;
    case Insert:
        m_editor->insert();
        break;
    case Delete:
        deleteCurrentRecord(*m_editor, this);
        break;
    case Edit:
        m_editor->edit();
        break;
    case Post:
        m_editor->post();
        break;
    case Cancel:
        m_editor->cancel();
        break;
    case Refresh:
        m_editor->refresh();
        break;
    default:
        break;
    }
    updateButtons();
}

void RecordNavigator::updateButtons()
{
    const bool open = m_editor && m_editor->isOpen();
    const qint64 rows = open ? m_editor->rowCount() : 0;
    const qint64 current = open ? m_editor->currentRow() : -1;
    const bool browsing =
        !open || (m_editor->state() == RowEditor::State::Browse && !(m_grid && m_grid->isEditingCell()));
    const bool onRecord = rows > 0 && current >= 0;
    // While rows still arrive the result cannot be edited yet: moving is all there is.
    const bool editable = open && !m_editor->isFetching();
    m_buttons[First]->setEnabled(onRecord && current > 0);
    m_buttons[Prior]->setEnabled(onRecord && current > 0);
    m_buttons[Next]->setEnabled(onRecord && current < rows - 1);
    m_buttons[Last]->setEnabled(onRecord && current < rows - 1);
    m_buttons[Insert]->setEnabled(editable);
    m_buttons[Delete]->setEnabled(editable && onRecord);
    m_buttons[Edit]->setEnabled(editable && onRecord && browsing);
    m_buttons[Post]->setEnabled(open && !browsing);
    m_buttons[Cancel]->setEnabled(open && !browsing);
    m_buttons[Refresh]->setEnabled(open);
}

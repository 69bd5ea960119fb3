#include "query/GridFindBar.h"

#include "shell/Language.h"
#include "shell/texts/UiTexts.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

GridFindBar::GridFindBar(QWidget *parent)
    : QWidget(parent)
    , m_label(new QLabel(this))
    , m_text(new QLineEdit(this))
    , m_previous(new QToolButton(this))
    , m_next(new QToolButton(this))
    , m_matchCase(new QCheckBox(this))
    , m_status(new QLabel(this))
    , m_close(new QToolButton(this))
{
    setAutoFillBackground(true);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(4);
    m_label->setBuddy(m_text);
    m_text->setClearButtonEnabled(true);
    m_text->setMinimumWidth(180);
    m_previous->setArrowType(Qt::UpArrow);
    m_next->setArrowType(Qt::DownArrow);
    m_close->setText(QStringLiteral(u"\u2715"));
    m_close->setAutoRaise(true);
    layout->addWidget(m_label);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_previous);
    layout->addWidget(m_next);
    layout->addWidget(m_matchCase);
    layout->addWidget(m_status, 1);
    layout->addWidget(m_close);
    m_text->installEventFilter(this);
    connect(m_text, &QLineEdit::returnPressed, this, [this] { emit findRequested(false); });
    connect(m_next, &QToolButton::clicked, this, [this] { emit findRequested(false); });
    connect(m_previous, &QToolButton::clicked, this, [this] { emit findRequested(true); });
    connect(m_close, &QToolButton::clicked, this, &GridFindBar::closeRequested);
    connect(m_text, &QLineEdit::textChanged, this, [this] { m_status->clear(); });
    applyLanguage();
}

void GridFindBar::applyLanguage()
{
    const GridTexts &t = uiTexts().grid;
    m_label->setText(t.findLabel);
    m_text->setPlaceholderText(t.findPlaceholder);
    m_text->setAccessibleName(t.findPlaceholder);
    m_previous->setToolTip(t.findPrevious + QStringLiteral(" (Shift+F3)"));
    m_previous->setAccessibleName(t.findPrevious);
    m_next->setToolTip(t.findNext + QStringLiteral(" (F3)"));
    m_next->setAccessibleName(t.findNext);
    m_matchCase->setText(t.matchCase);
    m_close->setToolTip(t.closeFind);
    m_close->setAccessibleName(t.closeFind);
}

QString GridFindBar::text() const
{
    return m_text->text();
}

bool GridFindBar::matchCase() const
{
    return m_matchCase->isChecked();
}

void GridFindBar::setStatus(const QString &status)
{
    m_status->setText(status);
    m_status->setAccessibleName(status);
}

QString GridFindBar::status() const
{
    return m_status->text();
}

void GridFindBar::activate()
{
    applyLanguage();
    m_text->setFocus(Qt::ShortcutFocusReason);
    m_text->selectAll();
}

void GridFindBar::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        emit closeRequested();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool GridFindBar::eventFilter(QObject *watched, QEvent *event)
{
    // Shift+Return searches backwards; the box would take it for Return.
    if (watched == m_text && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            key->modifiers() & Qt::ShiftModifier) {
            emit findRequested(true);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

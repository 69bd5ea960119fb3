#include "window/panes/StatusBarPane.h"

#include "shell/Accessibility.h"

#include <QKeySequence>
#include <QLabel>
#include <QStatusBar>
#include <QToolButton>

StatusBarPane::StatusBarPane(QStatusBar *bar) : QObject(bar)
{
    bar->setFixedHeight(19);
    m_text = new QLabel(bar);
    m_text->setObjectName(QStringLiteral("statusText"));
    bar->addWidget(m_text);
    m_cancel = new QToolButton(bar);
    m_cancel->setObjectName(QStringLiteral("cancelFetchButton"));
    m_cancel->setAutoRaise(true);
    m_cancel->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_cancel->setFixedHeight(17);
    m_cancel->hide();
    bar->addWidget(m_cancel);
    bar->addWidget(new QWidget(bar), 1);
    connect(m_cancel, &QToolButton::clicked, this, &StatusBarPane::cancelRequested);
}

void StatusBarPane::setText(const QString &text)
{
    m_text->setText(text);
}

QString StatusBarPane::text() const
{
    return m_text->text();
}

void StatusBarPane::setCancelVisible(bool visible)
{
    m_cancel->setVisible(visible);
}

void StatusBarPane::setCancelTexts(const QString &text, const QString &hint)
{
    m_cancel->setText(text);
    // After the text, which replaces the shortcut with its mnemonic.
    m_cancel->setShortcut(QKeySequence(Qt::Key_Escape));
    a11y::setHint(m_cancel, hint);
}

#include "window/panes/MessagesPage.h"

#include "shell/TimeStamp.h"
#include "window/panes/Fonts.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QVBoxLayout>

MessagesPage::MessagesPage(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_log = new QPlainTextEdit(this);
    m_log->setObjectName(QStringLiteral("messageLog"));
    m_log->setReadOnly(true);
    m_log->setFont(fonts::lucidaConsole(8));
    m_log->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_log->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto *bottom = new QWidget(this);
    bottom->setFixedHeight(36);
    m_clear = new QPushButton(QStringLiteral("Clear"), bottom);
    m_clear->setObjectName(QStringLiteral("clearLogButton"));
    m_clear->setGeometry(10, 5, 75, 25);
    layout->addWidget(m_log, 1);
    layout->addWidget(bottom);
    connect(m_clear, &QPushButton::clicked, this, &MessagesPage::clearRequested);
}

void MessagesPage::log(const QString &text)
{
    m_log->appendPlainText(dateTimeToIso8601(QDateTime::currentDateTime()) + u'|' + text);
    // A long line would leave the view scrolled sideways, hiding the time stamps, also later when
    // the view is resized and keeps its cursor in sight: the cursor waits at the line's start.
    m_log->moveCursor(QTextCursor::End);
    m_log->moveCursor(QTextCursor::StartOfBlock);
    m_log->horizontalScrollBar()->setValue(0);
}

void MessagesPage::clear()
{
    m_log->clear();
}

QList<QWidget *> MessagesPage::focusOrder() const
{
    return {m_log, m_clear};
}

void MessagesPage::setClearText(const QString &text)
{
    m_clear->setText(text);
}

#include "window/panes/ReportPage.h"

#include <QPrinter>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

ReportPage::ReportPage(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_view = new QTextBrowser(this);
    m_view->setObjectName(QStringLiteral("reportView"));
    m_view->setOpenExternalLinks(false);
    auto *bottom = new QWidget(this);
    bottom->setFixedHeight(36);
    m_print = new QPushButton(QStringLiteral("Print"), bottom);
    m_print->setObjectName(QStringLiteral("printButton"));
    m_print->setGeometry(10, 5, 75, 25);
    layout->addWidget(m_view, 1);
    layout->addWidget(bottom);
    connect(m_print, &QPushButton::clicked, this, &ReportPage::printRequested);
}

void ReportPage::showHtml(const QString &html)
{
    m_view->setHtml(html);
}

void ReportPage::clear()
{
    m_view->clear();
}

bool ReportPage::isEmpty() const
{
    return m_view->document()->isEmpty();
}

void ReportPage::print(QPrinter *printer) const
{
    m_view->document()->print(printer);
}

void ReportPage::setPrintEnabled(bool enabled)
{
    m_print->setEnabled(enabled);
}

QList<QWidget *> ReportPage::focusOrder() const
{
    return {m_view, m_print};
}

void ReportPage::setPrintText(const QString &text)
{
    m_print->setText(text);
}

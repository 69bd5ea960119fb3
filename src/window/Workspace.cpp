#include "window/Workspace.h"

#include "shell/Prompt.h"
#include "window/panes/MessagesPage.h"

#include <QMainWindow>
#include <QTabWidget>

Workspace::Workspace(QMainWindow &window, QTabWidget &pages, Session &session_, CataloguePane &catalogue_,
                     StructurePage &structure_, SqlPage &sql_, MessagesPage &messages_, ReportPage &report_,
                     StatusBarPane &status_)
    : session(session_)
    , catalogue(catalogue_)
    , structure(structure_)
    , sql(sql_)
    , messages(messages_)
    , report(report_)
    , status(status_)
    , m_window(window)
    , m_pages(pages)
{
}

QWidget *Workspace::window() const
{
    return &m_window;
}

void Workspace::setCaption(const QString &caption)
{
    m_window.setWindowTitle(caption);
}

void Workspace::showPage(Page page)
{
    m_pages.setCurrentIndex(int(page));
}

Page Workspace::activePage() const
{
    return Page(m_pages.currentIndex());
}

void Workspace::setReportTabVisible(bool visible)
{
    m_pages.setTabVisible(int(Page::Report), visible);
}

void Workspace::log(const QString &text)
{
    messages.log(text);
}

void Workspace::reportError(const QString &text)
{
    prompt().beep();
    showPage(Page::Messages);
    log(text);
}

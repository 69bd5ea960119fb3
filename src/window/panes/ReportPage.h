#pragma once

#include <QWidget>

class QPrinter;
class QPushButton;
class QTextBrowser;

// The report page: the structure report as its stylesheet shows it, and the button that prints it.
// Its tab shows only while a report is on show.
class ReportPage : public QWidget
{
    Q_OBJECT

public:
    explicit ReportPage(QWidget *parent = nullptr);

    void showHtml(const QString &html);
    void clear();
    bool isEmpty() const;
    void print(QPrinter *printer) const;
    void setPrintEnabled(bool enabled);
    void setPrintText(const QString &text);
    QList<QWidget *> focusOrder() const;

signals:
    void printRequested();

private:
    QTextBrowser *m_view = nullptr;
    QPushButton *m_print = nullptr;
};

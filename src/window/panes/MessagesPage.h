#pragma once

#include <QWidget>

class QPlainTextEdit;
class QPushButton;

// The Messages page: the message log, each line a time stamp, a bar and the text, and the button
// that clears it.
class MessagesPage : public QWidget
{
    Q_OBJECT

public:
    explicit MessagesPage(QWidget *parent = nullptr);

    void log(const QString &text);
    void clear();
    void setClearText(const QString &text);
    QList<QWidget *> focusOrder() const;

signals:
    void clearRequested();

private:
    QPlainTextEdit *m_log = nullptr;
    QPushButton *m_clear = nullptr;
};

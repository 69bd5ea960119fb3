#pragma once

#include <QObject>

class QLabel;
class QStatusBar;
class QToolButton;

// The status bar: one simple text and, while rows arrive, the button that stops the fetch (also
// Escape).
class StatusBarPane : public QObject
{
    Q_OBJECT

public:
    explicit StatusBarPane(QStatusBar *bar);

    void setText(const QString &text);
    QString text() const;
    void setCancelVisible(bool visible);
    void setCancelTexts(const QString &text, const QString &hint);

signals:
    void cancelRequested();

private:
    QLabel *m_text = nullptr;
    QToolButton *m_cancel = nullptr;
};

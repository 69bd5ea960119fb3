#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;

// The result grid's find bar: the text to find, Previous and Next, Match case, what the last
// search found, and Close. Return finds the next cell, Shift+Return the previous one, Escape
// closes the bar. It only asks; the grid searches.
class GridFindBar : public QWidget
{
    Q_OBJECT

public:
    explicit GridFindBar(QWidget *parent = nullptr);

    QString text() const;
    bool matchCase() const;
    void setStatus(const QString &status);
    QString status() const;
    QLineEdit *textBox() const { return m_text; }
    // Takes the focus with the text selected.
    void activate();
    void applyLanguage();

signals:
    void findRequested(bool backwards);
    void closeRequested();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLabel *m_label;
    QLineEdit *m_text;
    QToolButton *m_previous;
    QToolButton *m_next;
    QCheckBox *m_matchCase;
    QLabel *m_status;
    QToolButton *m_close;
};

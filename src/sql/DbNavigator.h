#pragma once

#include <QStringList>
#include <QWidget>

class QToolButton;

// DBNavigator1: ten buttons acting on the current record of the result grid, in this order:
// first, prior, next, last, insert, delete, edit, post, cancel, refresh.
class DbNavigator : public QWidget
{
    Q_OBJECT

public:
    explicit DbNavigator(QWidget *parent = nullptr);

    // The hints of the ten buttons, in button order.
    void setHints(const QStringList &hints);
    QStringList hints() const;
    QToolButton *button(int index) const;

private:
    QList<QToolButton *> m_buttons;
};

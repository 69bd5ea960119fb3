#include "sql/DbNavigator.h"

#include <QHBoxLayout>
#include <QToolButton>

DbNavigator::DbNavigator(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < 10; ++i) {
        auto *button = new QToolButton(this);
        m_buttons.append(button);
        layout->addWidget(button);
    }
    layout->addStretch();
}

void DbNavigator::setHints(const QStringList &hints)
{
    for (int i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->setToolTip(hints.value(i));
}

QStringList DbNavigator::hints() const
{
    QStringList result;
    for (const QToolButton *button : m_buttons)
        result.append(button->toolTip());
    return result;
}

QToolButton *DbNavigator::button(int index) const
{
    return m_buttons.value(index);
}

#pragma once

#include <QAction>
#include <QToolButton>

// Chooses a command the way the user does, through its signal, whatever state the commands
// were left in.
inline void press(QAction *item)
{
    item->setEnabled(true);
    item->trigger();
}

inline void press(QToolButton *button)
{
    button->setEnabled(true);
    button->click();
}

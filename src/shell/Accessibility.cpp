#include "shell/Accessibility.h"

#include "shell/Guard.h"

#include <QKeyEvent>
#include <QKeySequence>
#include <QObject>
#include <QShortcut>
#include <QWidget>

namespace a11y {

namespace {

class KeyFilter : public QObject
{
public:
    KeyFilter(QWidget *widget, QList<int> keys, std::function<bool()> handler)
        : QObject(widget), m_keys(std::move(keys)), m_handler(std::move(handler))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress || watched != parent() ||
            !static_cast<QWidget *>(watched)->hasFocus())
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier || !m_keys.contains(key->key()))
            return false;
        bool handled = false;
        guarded([&] { handled = m_handler(); });
        return handled;
    }

private:
    QList<int> m_keys;
    std::function<bool()> m_handler;
};

// The next (or previous) widget in the window's focus chain that Tab would stop at, outside
// the widget and its own parts.
QWidget *tabStopBeside(QWidget *widget, bool forward)
{
    QWidget *w = widget;
    for (;;) {
        w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
        if (!w || w == widget)
            return nullptr;
        if (!widget->isAncestorOf(w) && w->isVisible() && w->isEnabled() &&
            (w->focusPolicy() & Qt::TabFocus) && w->window() == widget->window())
            return w;
    }
}

} // namespace

void setHint(QWidget *widget, const QString &hint)
{
    widget->setToolTip(hint);
    widget->setAccessibleName(hint);
}

void onKeys(QWidget *widget, const QList<int> &keys, std::function<bool()> handler)
{
    widget->installEventFilter(new KeyFilter(widget, keys, std::move(handler)));
}

void releaseTabFocus(QWidget *widget)
{
    auto bind = [widget](const QKeySequence &keys, bool forward) {
        auto *shortcut = new QShortcut(keys, widget);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        QObject::connect(shortcut, &QShortcut::activated, widget, [widget, forward] {
            if (QWidget *target = tabStopBeside(widget, forward))
                target->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        });
    };
    bind(QKeySequence(Qt::CTRL | Qt::Key_Tab), true);
    bind(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), false);
}

} // namespace a11y

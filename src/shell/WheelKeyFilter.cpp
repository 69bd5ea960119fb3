#include "shell/WheelKeyFilter.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWheelEvent>
#include <QWidget>

WheelKeyFilter::WheelKeyFilter(QObject *parent) : QObject(parent)
{
}

bool WheelKeyFilter::keepsWheel(const QWidget *widget)
{
    for (const QWidget *w = widget; w; w = w->parentWidget()) {
        if (w->property(kNoWheelRewrite).toBool())
            return true;
        if (w->inherits("QFileDialog") || w->inherits("QAbstractPrintDialog") ||
            w->inherits("QPageSetupDialog") || w->inherits("DataLinkDialog"))
            return true;
    }
    return false;
}

bool WheelKeyFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Wheel || !watched->isWidgetType())
        return false;
    auto *widget = static_cast<QWidget *>(watched);
    if (keepsWheel(widget))
        return false;
    const auto *wheel = static_cast<QWheelEvent *>(event);
    // Scroll-phase notifications of a touchpad carry no distance: no step, but no scrolling either.
    if (wheel->angleDelta().isNull() && wheel->pixelDelta().isNull())
        return true;
    const int key = wheel->angleDelta().y() > 0 ? Qt::Key_Up : Qt::Key_Down;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
    return true;
}

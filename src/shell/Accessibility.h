#pragma once

#include <QList>
#include <QString>

#include <functional>

class QWidget;

// Helpers that make the window usable with a screen reader and from the keyboard alone.
namespace a11y {

// A control known only by its picture: its hint is both its tooltip and the name that
// assistive technology reads.
void setHint(QWidget *widget, const QString &hint);

// Runs handler when one of keys (without modifiers other than the keypad's) is pressed while
// widget itself has the focus. The key goes on to the widget unless handler returns true.
void onKeys(QWidget *widget, const QList<int> &keys, std::function<bool()> handler);

// Ctrl+Tab and Ctrl+Shift+Tab move the focus on from a widget that keeps Tab for itself (a text
// editor, an editable grid), so the keyboard is never caught in it.
void releaseTabFocus(QWidget *widget);

} // namespace a11y

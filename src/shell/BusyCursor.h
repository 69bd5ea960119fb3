#pragma once

#include <QApplication>

// The busy cursor for the span of an operation, restored on every way out. Qt::WaitCursor is
// the hourglass; Qt::BusyCursor the pointer with an hourglass that SQL work shows.
class BusyCursor
{
public:
    explicit BusyCursor(Qt::CursorShape shape = Qt::WaitCursor) { QApplication::setOverrideCursor(shape); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

#pragma once

#include <QCursor>
#include <QGuiApplication>

// While it lives, the mouse pointer says that the program waits for the device: Qt's busy cursor,
// the arrow with an hourglass, since the window stays usable meanwhile (Clear Text, Exit).
// The pointer comes back however the wait ends, the window's closing included.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::BusyCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

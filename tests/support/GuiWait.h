#pragma once

#include "ui/qt/DeviceScreen.h"
#include "ui/qt/DialogView.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QString>

#include <functional>

namespace tessadorn::test {

// For the tests through the real Qt view, on the GUI thread: processes events until the
// condition holds; false when it did not within `limitMs` (the test then fails).
inline bool pumpUntil(const std::function<bool()>& condition, int limitMs) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > limitMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// The text of a label in the dialog on top of the screen; empty when the control is no label.
inline QString labelText(DeviceScreen& screen, int id) {
    auto* label = qobject_cast<QLabel*>(screen.topDialog()->controlWidget(id));
    return label ? label->text() : QString();
}

} // namespace tessadorn::test

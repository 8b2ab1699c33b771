#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

// Drives a modal window from a test: the step runs once the window is shown, from inside
// its own event loop. Never a sleep.
namespace ModalDriver {

// Calls step(window) as soon as a visible top-level window of type T exists.
template<typename T> void whenShown(std::function<void(T *)> step, int tries = 2000)
{
    QTimer::singleShot(0, [step, tries] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (T *t = qobject_cast<T *>(w); t && t->isVisible()) {
                step(t);
                return;
            }
        }
        if (tries > 0)
            QTimer::singleShot(1, [step, tries] { whenShown<T>(step, tries - 1); });
    });
}

} // namespace ModalDriver

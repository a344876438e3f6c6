#pragma once

#include <QString>

namespace velmora::startup {

// What the start step needs of the start window. The window holds the server selector in its
// small box, shows that the step is working, shows messages and opens the main window.
class StartStepWindow {
public:
    virtual ~StartStepWindow() = default;

    // The server selector as the box holds it ("1" primary, "2" fallback, "3" abandon).
    virtual QString selectorText() const = 0;
    virtual void setSelectorText(const QString& text) = 0;

    // The step begins: "WAIT.........." on the window's surface, the Start button disabled, a busy
    // cursor.
    virtual void beginWait() = 0;
    // The step ended, on whatever path: the Start button enabled and the cursor back. The WAIT
    // text stays on the surface.
    virtual void endWait() = 0;

    // A message box with an OK button. The step shows its messages before endWait().
    virtual void showMessage(const QString& text) = 0;
    // Shows the main window: the first time it is created (which loads its lists from the
    // directory files), later the same window is brought forward.
    virtual void showMainWindow() = 0;
};

} // namespace velmora::startup

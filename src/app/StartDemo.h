#pragma once

#include <QString>

namespace velmora::ui {
class WindowRegistry;
}

namespace velmora::app {

// The unattended demo run: opens the start window, presses "Click here - Start!" (the start step
// downloads the addresses and the print-shop directory from the web service and opens the order
// pad), then saves pictures of the start window and the order pad as DIR/start1.png and
// DIR/velmora.png and prints their paths. Nobody is there to answer a message box, so messages
// are written to the error output instead of shown. Returns 0 when the order pad came up with
// print shops and no message was needed, 1 otherwise.
int startAndScreenshot(ui::WindowRegistry& registry, const QString& directory);

} // namespace velmora::app

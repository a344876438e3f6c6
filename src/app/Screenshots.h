#pragma once

#include <QString>

class QWidget;

namespace velmora::ui {
class WindowRegistry;
}

namespace velmora::app {

// Opens every window of the program in turn through the registry, lets it paint (and its web
// panes load, within a bounded wait) and saves a picture of it as DIR/<window>.png. Returns the
// number of pictures that could not be saved, each reported on the error output.
int takeScreenshots(ui::WindowRegistry& registry, const QString& directory);

// Lets the window paint and waits until none of its web panes is loading any more, at most
// limitMs.
void waitUntilSettled(QWidget* window, int limitMs);

} // namespace velmora::app

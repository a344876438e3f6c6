#pragma once

#include <QString>

namespace velmora::ui {
class WindowRegistry;
}

namespace velmora::app {

// Opens every window of the program in turn through the registry, lets it paint (and its web
// panes load, within a bounded wait) and saves a picture of it as DIR/<window>.png. Returns the
// number of pictures that could not be saved, each reported on the error output.
int takeScreenshots(ui::WindowRegistry& registry, const QString& directory);

} // namespace velmora::app

#pragma once

#include <QString>

namespace velmora::app {

// The program's version: the project version of the build.
QString programVersion();

// When the only argument is --version, prints "velmora VERSION" on stdout (as the command-line
// parser's version option does) and returns true. Needs no application object and no display.
bool answerVersionRequest(int argc, char** argv);

} // namespace velmora::app

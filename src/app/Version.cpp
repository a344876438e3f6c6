#include "Version.h"

#include <cstdio>
#include <cstring>

namespace velmora::app {

QString programVersion() {
    return QStringLiteral(VELMORA_VERSION);
}

bool answerVersionRequest(int argc, char** argv) {
    if (argc != 2 || std::strcmp(argv[1], "--version") != 0)
        return false;
    std::printf("velmora %s\n", VELMORA_VERSION);
    std::fflush(stdout);
    return true;
}

} // namespace velmora::app

#include "ui/ProgramNames.h"

#include <QApplication>

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
// Every window test may create a web pane. The distribution's QtWebEngine (Chromium, not built for
// AddressSanitizer) frees some of its own objects with a sized delete of another size; ASan
// reports that inside libQt6WebEngineCore as new-delete-type-mismatch and aborts. That one check
// is off for the window tests only; every other check stays on, and the tests without windows
// keep it too.
extern "C" const char* __asan_default_options() {
    return "new_delete_type_mismatch=0";
}
#endif

int main(int argc, char** argv) {
    // Tests never need a display; the web engine runs without its sandbox because CI runs as root.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu --disable-background-networking");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The window tests run under the program's own names.
    velmora::ui::setProgramNames();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

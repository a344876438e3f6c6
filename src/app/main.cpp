#include "Screenshots.h"
#include "StartDemo.h"

#include "data/AppConfig.h"
#include "data/DataDir.h"
#include "data/FreshDataDir.h"
#include "platform/TlsTrust.h"
#include "ui/ProgramNames.h"
#include "ui/WindowRegistry.h"
#include "ui/components/DialogHooks.h"
#include "ui/components/Dialogs.h"
#include "ui/windows/start1.h"

#include <QApplication>
#include <QProcessEnvironment>

#include <cstdio>

#if defined(__SANITIZE_ADDRESS__)
// The distribution's QtWebEngine (Chromium, not built for AddressSanitizer) frees some of its own
// objects with a sized delete of another size; ASan reports that inside libQt6WebEngineCore as
// new-delete-type-mismatch and aborts. That one check is off for this program only; every other
// check stays on.
extern "C" const char* __asan_default_options() {
    return "new_delete_type_mismatch=0";
}
#endif

namespace {

// Hidden options of the scripts, taken off before the regular options are read:
//   --screenshots DIR       (screenshot script) opens every window, saves a picture of each into
//                           DIR and ends;
//   --demo-screenshots DIR  (demo without a display) presses Start, saves the start window and
//                           the order pad it opened into DIR and ends.
QString takeDirectoryOption(QStringList& arguments, const QString& option) {
    const qsizetype at = arguments.indexOf(option);
    if (at < 1 || at + 1 >= arguments.size())
        return {};
    const QString directory = arguments.at(at + 1);
    arguments.remove(at, 2);
    return directory;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    velmora::ui::setProgramNames();
    QApplication app(argc, argv);

    QStringList arguments = QCoreApplication::arguments();
    const QString screenshotDir = takeDirectoryOption(arguments, QStringLiteral("--screenshots"));
    const QString demoDir = takeDirectoryOption(arguments, QStringLiteral("--demo-screenshots"));
    // Unattended, nobody could close a message box: messages are collected and printed instead.
    if (!demoDir.isEmpty() || !screenshotDir.isEmpty())
        velmora::ui::DialogHooks::setActive(true);

    const velmora::Result<velmora::data::AppConfig> config =
        velmora::data::AppConfig::load(arguments, QProcessEnvironment::systemEnvironment());
    if (!config) {
        std::fprintf(stderr, "%s\n\n%s\n", qPrintable(config.error()),
                     qPrintable(velmora::data::AppConfig::usage()));
        return 2;
    }

    // A missing or empty data directory gets the files of a fresh installation.
    const velmora::data::DataDir dataDir(config->dataDir);
    const velmora::Result<QStringList> seeded = velmora::data::seedDataDirectory(dataDir);
    if (!seeded)
        velmora::ui::Dialogs::message(nullptr, seeded.error());
    QStringList warnings = config->warnings;
    // Before the first request: every HTTPS request of the run takes the trusted set as it is.
    if (!config->trustedCertificates.isEmpty()) {
        const velmora::Result<int> trusted =
            velmora::platform::trustCertificatesFrom(config->trustedCertificates);
        if (!trusted)
            warnings.append(trusted.error());
    }
    if (!warnings.isEmpty())
        velmora::ui::Dialogs::message(nullptr, warnings.join(u'\n'));

    velmora::ui::WindowContext context;
    context.dataDir = dataDir;
    context.primaryServer = config->primaryServer;
    context.fallbackServer = config->fallbackServer;
    context.viewer = config->viewer;
    context.requestTimeoutMs = config->requestTimeoutMs;
    context.maxBodyBytes = config->maxBodyBytes;
    velmora::ui::WindowRegistry registry(context);

    if (!screenshotDir.isEmpty()) {
        QApplication::setQuitOnLastWindowClosed(false);
        return velmora::app::takeScreenshots(registry, screenshotDir) == 0 ? 0 : 1;
    }
    if (!demoDir.isEmpty()) {
        QApplication::setQuitOnLastWindowClosed(false);
        return velmora::app::startAndScreenshot(registry, demoDir);
    }

    // The program ends when its last window closes.
    QApplication::setQuitOnLastWindowClosed(true);
    registry.open<velmora::ui::start1>();
    return QApplication::exec();
}

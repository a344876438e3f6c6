#include "Screenshots.h"

#include "data/AppConfig.h"
#include "data/DataDir.h"
#include "data/FreshDataDir.h"
#include "ui/WindowRegistry.h"
#include "ui/components/Dialogs.h"
#include "ui/windows/start1.h"

#include <QApplication>
#include <QProcessEnvironment>

#include <cstdio>

namespace {

// A hidden option of the screenshot script: "--screenshots DIR" opens every window, saves a
// picture of each into DIR and ends. It is taken off before the regular options are read.
QString takeScreenshotOption(QStringList& arguments) {
    const qsizetype at = arguments.indexOf(QStringLiteral("--screenshots"));
    if (at < 1 || at + 1 >= arguments.size())
        return {};
    const QString directory = arguments.at(at + 1);
    arguments.remove(at, 2);
    return directory;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QCoreApplication::setApplicationName(QStringLiteral("velmora"));
    QCoreApplication::setOrganizationName(QStringLiteral("velmora"));
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Velmora"));

    QStringList arguments = QCoreApplication::arguments();
    const QString screenshotDir = takeScreenshotOption(arguments);

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
    if (!config->warnings.isEmpty())
        velmora::ui::Dialogs::message(nullptr, config->warnings.join(u'\n'));

    velmora::ui::WindowRegistry registry({dataDir, config->primaryServer, config->fallbackServer, config->viewer,
                                          config->requestTimeoutMs, config->maxBodyBytes});

    if (!screenshotDir.isEmpty()) {
        QApplication::setQuitOnLastWindowClosed(false);
        return velmora::app::takeScreenshots(registry, screenshotDir) == 0 ? 0 : 1;
    }

    // The program ends when its last window closes.
    QApplication::setQuitOnLastWindowClosed(true);
    registry.open<velmora::ui::start1>();
    return QApplication::exec();
}

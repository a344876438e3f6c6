#include "Screenshots.h"
#include "StartDemo.h"

#include "data/AppConfig.h"
#include "data/DataDir.h"
#include "data/FreshDataDir.h"
#include "order/PendingOrder.h"
#include "platform/TlsTrust.h"
#include "ui/ProgramNames.h"
#include "ui/WindowRegistry.h"
#include "ui/components/DialogHooks.h"
#include "ui/components/Dialogs.h"
#include "ui/windows/start1.h"

#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
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

// --help and --version are answered on standard output before anything needs a window system,
// so both work without a display. The other options are read once the application exists.
// Returns the exit code, or -1 when the program is to start.
int answerInformationOptions(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOption(help);
    parser.addOption(version);
    // Other options are unknown to this parser; their errors are reported later.
    (void)parser.parse(arguments);
    if (parser.isSet(help)) {
        std::fputs(qPrintable(velmora::data::AppConfig::usage()), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("velmora %s\n", VELMORA_VERSION);
        std::fflush(stdout);
        return 0;
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    velmora::ui::setProgramNames();
    if (const int answered = answerInformationOptions(argc, argv); answered >= 0)
        return answered;

    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QCoreApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));
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
    // A submission cut short by a crash is settled before anything reads the files: the user is
    // told whether that order was saved.
    for (const QString& message : velmora::order::settleDataDirectory(dataDir))
        velmora::ui::Dialogs::message(nullptr, message);
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

#include "StartDemo.h"

#include "Screenshots.h"

#include "ui/CaptionButton.h"
#include "ui/WindowRegistry.h"
#include "ui/components/DialogHooks.h"
#include "ui/components/EditCombo.h"
#include "ui/windows/start1.h"
#include "ui/windows/velmora.h"

#include <QDir>
#include <QPixmap>

#include <cstdio>

namespace velmora::app {
namespace {

constexpr int kSettleMs = 8000;

bool save(QWidget* window, const QString& file) {
    if (!window->grab().save(file)) {
        std::fprintf(stderr, "velmora: cannot save %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

} // namespace

int startAndScreenshot(ui::WindowRegistry& registry, const QString& directory) {
    if (!QDir().mkpath(directory)) {
        std::fprintf(stderr, "velmora: cannot create %s\n", qPrintable(directory));
        return 1;
    }
    ui::DialogHooks::setActive(true);

    ui::start1& start = registry.open<ui::start1>();
    waitUntilSettled(&start, kSettleMs);
    start.start0->click();

    const QStringList messages = ui::DialogHooks::shownMessages();
    for (const QString& message : messages)
        std::fprintf(stderr, "velmora: message: %s\n", qPrintable(message));

    ui::velmora* pad = registry.find<ui::velmora>();
    if (pad == nullptr) {
        std::fprintf(stderr, "velmora: the start step did not open the order pad\n");
        return 1;
    }
    waitUntilSettled(pad, kSettleMs);
    bool saved = save(&start, QDir(directory).filePath(QStringLiteral("start1.png")));
    saved = save(pad, QDir(directory).filePath(QStringLiteral("velmora.png"))) && saved;

    const int shops = pad->Combo3->ListCount();
    std::printf("print shops in the order pad: %d\n", shops);
    return saved && shops > 0 && messages.isEmpty() ? 0 : 1;
}

} // namespace velmora::app

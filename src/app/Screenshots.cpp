#include "Screenshots.h"

#include "ui/WindowRegistry.h"
#include "ui/components/BrowserPane.h"
#include "ui/components/DialogHooks.h"
#include "ui/components/EditCombo.h"
#include "ui/components/FlexGrid.h"
#include "ui/windows/Help.h"
#include "ui/windows/hipus.h"
#include "ui/windows/hipus1.h"
#include "ui/windows/hipus2.h"
#include "ui/windows/ktovot.h"
#include "ui/windows/mismach.h"
#include "ui/windows/start1.h"
#include "ui/windows/tavla.h"
#include "ui/windows/velmora.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QThread>
#include <QWebEnginePage>

#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

namespace velmora::app {
namespace {

void processEventsFor(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

} // namespace

// Waits until no web pane of the window is loading any more, at most `limitMs`; then a little
// longer, so that what loaded is painted.
void waitUntilSettled(QWidget* window, int limitMs) {
    const QList<ui::BrowserPane*> panes = window->findChildren<ui::BrowserPane*>();
    QDeadlineTimer deadline(limitMs);
    processEventsFor(300);
    while (!deadline.hasExpired()) {
        bool loading = false;
        for (const ui::BrowserPane* pane : panes)
            loading = loading || pane->page()->isLoading();
        if (!loading)
            break;
        processEventsFor(50);
    }
    processEventsFor(700);
}

int takeScreenshots(ui::WindowRegistry& registry, const QString& directory) {
    if (!QDir().mkpath(directory)) {
        std::fprintf(stderr, "velmora: cannot create %s\n", qPrintable(directory));
        return 1;
    }
    using Opener = std::function<QWidget*()>;
    const std::vector<std::pair<QString, Opener>> windows{
        {QStringLiteral("start1"),
         [&] {
             return &registry.open<ui::start1>();
         }},
        // The order pad with the first print shop chosen, as the user chooses it: the list and
        // the status line show the entry from its start, the pane the shop's e-mail link.
        {QStringLiteral("velmora"),
         [&] {
             ui::velmora& pad = registry.open<ui::velmora>();
             pad.Combo3->setListIndex(0);
             return &pad;
         }},
        {QStringLiteral("hipus"),
         [&] {
             return &registry.open<ui::hipus>();
         }},
        {QStringLiteral("hipus1"),
         [&] {
             return &registry.open<ui::hipus1>();
         }},
        {QStringLiteral("hipus2"),
         [&] {
             return &registry.open<ui::hipus2>();
         }},
        // The previous-orders table after a search by the first project of the list.
        {QStringLiteral("tavla"),
         [&] {
             ui::hipus1& projects = registry.open<ui::hipus1>();
             projects.Commandh1_Click();
             projects.hide();
             return static_cast<QWidget*>(&registry.open<ui::tavla>());
         }},
        // The document window with the order of the table's first row shown again (no viewer is
        // set for the screenshots).
        {QStringLiteral("mismach"),
         [&] {
             ui::tavla& table = registry.open<ui::tavla>();
             table.MSFlexGrid1->setRow(1);
             table.Commandt1_Click();
             table.hide();
             return static_cast<QWidget*>(registry.find<ui::mismach>());
         }},
        // The address book as the order pad opens it for the second recipient row: every line
        // of the address list, numbered.
        {QStringLiteral("ktovot"),
         [&] {
             registry.ensure<ui::velmora>().Command13_Click();
             return static_cast<QWidget*>(registry.find<ui::ktovot>());
         }},
        {QStringLiteral("Help"),
         [&] {
             registry.showHelp(registry.helpPage(1));
             return static_cast<QWidget*>(registry.find<ui::Help>());
         }},
    };

    int failures = 0;
    for (const auto& [name, open] : windows) {
        QWidget* window = open();
        waitUntilSettled(window, 8000);
        const QString file = QDir(directory).filePath(name + QStringLiteral(".png"));
        if (!window->grab().save(file)) {
            std::fprintf(stderr, "velmora: cannot save %s\n", qPrintable(file));
            ++failures;
        } else {
            std::printf("%s\n", qPrintable(file));
        }
        // Only one window at a time on the screen, so no window covers another in its picture.
        window->hide();
    }
    for (const QString& message : ui::DialogHooks::shownMessages())
        std::fprintf(stderr, "velmora: message: %s\n", qPrintable(message));
    return failures;
}

} // namespace velmora::app

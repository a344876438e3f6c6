#include "ui/WindowRegistry.h"

#include "data/DataFiles.h"
#include "platform/Inet.h"
#include "ui/windows/Help.h"
#include "ui/windows/mismach.h"
#include "ui/windows/start1.h"
#include "ui/windows/velmora.h"

#include <QLineEdit>

namespace velmora::ui {

WindowRegistry::WindowRegistry(WindowContext context, QObject* parent)
    : QObject(parent)
    , m_context(std::move(context)) {
    if (!m_context.launcher.hasDocumentWindow()) {
        m_context.launcher.setDocumentWindow([this](const QString& file, const QString& orderNumber) {
            showDocument(file, orderNumber);
            return true;
        });
    }
}

WindowRegistry::~WindowRegistry() {
    // Windows have no parent (they are top-level); the ones still open go with the registry.
    const auto windows = m_windows.values();
    for (const QPointer<QWidget>& window : windows)
        delete window.data();
}

void WindowRegistry::adopt(const QMetaObject* type, QWidget* window) {
    // A closed window is destroyed; the QPointer then reads null and the next use recreates it.
    window->setAttribute(Qt::WA_DeleteOnClose);
    m_windows.insert(type, window);
}

void WindowRegistry::bringForward(QWidget* window) {
    if (window->isMinimized())
        window->showNormal();
    else
        window->show();
    window->raise();
    window->activateWindow();
}

platform::Inet* WindowRegistry::makeTransfer(QWidget* window) const {
    auto* inet = new platform::Inet(window);
    inet->setRequestTimeout(m_context.requestTimeoutMs);
    inet->setMaxBodySize(m_context.maxBodyBytes);
    return inet;
}

void WindowRegistry::showHelp(const QString& page) {
    Help& help = ensure<Help>();
    help.showPage(page);
    bringForward(&help);
}

void WindowRegistry::showDocument(const QString& file, const QString& orderNumber) {
    mismach& window = ensure<mismach>();
    window.showDocument(file, orderNumber);
    bringForward(&window);
}

QString WindowRegistry::helpPage(int number) const {
    return m_context.dataDir.file(data::files::helpPage(number));
}

QString WindowRegistry::serverSelector() {
    return ensure<start1>().serverSelector();
}

startup::Servers WindowRegistry::servers() const {
    return {m_context.primaryServer, m_context.fallbackServer};
}

void WindowRegistry::useServer(startup::Server server) {
    ensure<start1>().Text1->setText(startup::selectorFor(server));
    if (velmora* pad = find<velmora>())
        pad->showServerInUse(server, servers().base(server));
}

} // namespace velmora::ui

#pragma once

#include "data/AppConfig.h"
#include "data/DataDir.h"
#include "platform/ProgramLauncher.h"
#include "startup/ServerFailover.h"

#include <QHash>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

namespace velmora::platform {
class Inet;
}

namespace velmora::ui {

// What every window needs to know about the run.
struct WindowContext {
    data::DataDir dataDir; // the data files, the help pages and the e-mail page all live here
    QString primaryServer; // base addresses of the web service's servers (empty: none)
    QString fallbackServer;
    QString viewer; // the document viewer; empty for the program's document window (mismach)
    int requestTimeoutMs = data::AppConfig::kDefaultTimeoutMs;
    qint64 maxBodyBytes = data::AppConfig::kDefaultMaxBodyBytes;
    // Starts the viewer on a document; tests put one in that records the call instead. A launcher
    // without a document window of its own gets the registry's (showDocument).
    platform::ProgramLauncher launcher;
};

// Holds the program's windows. Each window exists at most once: it is created on first use,
// shown not modal, and brought forward when it is opened again. A window the user closes is
// destroyed, and the next use creates it afresh (running its load step again). Windows are
// constructed as W(WindowRegistry&).
class WindowRegistry : public QObject {
    Q_OBJECT
public:
    explicit WindowRegistry(WindowContext context, QObject* parent = nullptr);
    ~WindowRegistry() override;

    WindowRegistry(const WindowRegistry&) = delete;
    WindowRegistry& operator=(const WindowRegistry&) = delete;

    const WindowContext& context() const { return m_context; }
    const data::DataDir& dataDir() const { return m_context.dataDir; }

    // Creates the window if needed, shows it not modal and brings it forward.
    template <typename W> W& open() {
        W& window = ensure<W>();
        bringForward(&window);
        return window;
    }

    // The window, created hidden if it does not exist yet.
    template <typename W> W& ensure() {
        if (W* existing = find<W>())
            return *existing;
        auto* window = new W(*this);
        adopt(&W::staticMetaObject, window);
        return *window;
    }

    // The window if it exists, otherwise nullptr.
    template <typename W> W* find() const {
        return static_cast<W*>(m_windows.value(&W::staticMetaObject).data());
    }

    // Closes the window if it exists (it is destroyed).
    template <typename W> void close() {
        if (W* window = find<W>())
            window->close();
    }

    // A transfer component with the configured time-out and body cap, owned by the window.
    platform::Inet* makeTransfer(QWidget* window) const;

    // Shows the page (a file path or an http:// address) in the one help window.
    void showHelp(const QString& page);

    // Shows an order document in the one document window (mismach), its title naming the order,
    // and brings the window forward.
    void showDocument(const QString& file, const QString& orderNumber);

    // The path of a help page (help1.htm ... help5.htm) beside the program, that is in the data
    // directory.
    QString helpPage(int number) const;

    // The server selector as its box holds it ("1" primary, "2" fallback). Reading it while no
    // start window exists creates one hidden, which starts with "1".
    QString serverSelector();

    // The servers of the run, as the settings give them.
    startup::Servers servers() const;

    // The other server answered where the selected one gave no answer: the selector names it
    // from now on, and the order pad's status line says which server is in use.
    void useServer(startup::Server server);

private:
    void adopt(const QMetaObject* type, QWidget* window);
    static void bringForward(QWidget* window);

    WindowContext m_context;
    QHash<const QMetaObject*, QPointer<QWidget>> m_windows;
};

} // namespace velmora::ui

#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace velmora::ui {

// Lets tests drive windows that show message boxes, file dialogs and print dialogs without any
// modal dialog appearing. While the hooks are active, Dialogs records every message instead of
// showing it and answers each file dialog (open or save: a save dialog takes the first path) and
// each print dialog with the next answer queued for its kind (an empty queue answers "cancel").
// Use the Scope in a test: it activates the hooks and clears everything when it ends.
class DialogHooks {
public:
    static bool active();
    static void setActive(bool on);
    // Forgets the recorded messages and file dialogs, the queued answers and the message observer.
    static void reset();

    // Queues the answer of the next file dialog: the chosen full paths.
    static void setNextFiles(const QStringList& paths);
    // Queues a cancelled file dialog.
    static void setNextCancel();
    // Queues the answer of the next print dialog: print, into a PDF file at the path (a test has
    // no printer); an empty path cancels.
    static void setNextPrintFile(const QString& path);
    static int shownPrintDialogs();

    static QStringList shownMessages();
    // Called with each message as it is recorded, that is at the moment it would be shown.
    static void onMessage(std::function<void(const QString&)> observer);
    // The filter of every file dialog that was asked for, in Qt's syntax.
    static QStringList shownFileDialogs();

    class Scope {
    public:
        Scope();
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
    };

private:
    friend class Dialogs;
    static void recordMessage(const QString& text);
    // The queued answer, or nullopt when the queue is empty (an unexpected dialog: cancel).
    static std::optional<QStringList> takeFileAnswer(const QString& qtFilter);
    // The queued print answer, or an empty text (cancel).
    static QString takePrintAnswer();
};

} // namespace velmora::ui

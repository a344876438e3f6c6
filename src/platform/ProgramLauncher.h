#pragma once

#include "data/Result.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace velmora::platform {

// Shows an order document: in the document viewer named in the settings, or, when the settings
// name none, in the program's own document window. Returns at once; nothing waits for the viewer.
// The viewer gets the file as one argument of an argument list: no shell sees the command, so
// blanks or shell characters in a path are passed on literally.
class ProgramLauncher {
public:
    // Starts a program with its arguments, detached; true when it could be started.
    using StartDetached = std::function<bool(const QString& program, const QStringList& arguments)>;
    // Shows the file in the program's document window, whose title names the order (the order
    // number as the journal holds it, « 4201»; empty when not known); true when shown.
    using ShowInWindow = std::function<bool(const QString& file, const QString& orderNumber)>;

    // Starts programs with QProcess; no document window until setDocumentWindow() gives one.
    ProgramLauncher();
    ProgramLauncher(StartDetached start, ShowInWindow show);

    // The window set up by the user interface, which knows it (the window registry).
    void setDocumentWindow(ShowInWindow show);
    bool hasDocumentWindow() const { return static_cast<bool>(m_show); }

    // Starts program with the arguments. A failure names the program.
    Status startProgram(const QString& program, const QStringList& arguments) const;

    // Shows the file: with the configured viewer when there is one, otherwise in the document
    // window. A missing file is reported and nothing is started or shown.
    Status openDocument(const QString& viewer, const QString& file, const QString& orderNumber = {}) const;

private:
    StartDetached m_start;
    ShowInWindow m_show;
};

} // namespace velmora::platform

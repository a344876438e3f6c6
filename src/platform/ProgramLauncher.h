#pragma once

#include "data/Result.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

namespace velmora::platform {

// Starts the document viewer on a file and returns at once; nothing waits for the viewer.
// The viewer gets the file as one argument of an argument list: no shell sees the command, so
// blanks or shell characters in a path are passed on literally.
class ProgramLauncher {
public:
    // Starts a program with its arguments, detached; true when it could be started.
    using StartDetached = std::function<bool(const QString& program, const QStringList& arguments)>;
    // Hands a URL to the desktop (the system's default program for it); true on success.
    using OpenWithDesktop = std::function<bool(const QUrl& url)>;

    ProgramLauncher();
    ProgramLauncher(StartDetached start, OpenWithDesktop open);

    // Starts program with the arguments. A failure names the program.
    Status startProgram(const QString& program, const QStringList& arguments) const;

    // Shows the file: with the configured viewer when there is one, otherwise with the system's
    // default program for the file's type. A missing file is reported and nothing is started.
    Status openDocument(const QString& viewer, const QString& file) const;

private:
    StartDetached m_start;
    OpenWithDesktop m_open;
};

} // namespace velmora::platform

#pragma once

#include "data/DataDir.h"
#include "startup/DirectoryDownload.h"
#include "startup/DownloadTarget.h"
#include "startup/ServerSelector.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace velmora::platform {
class Inet;
}

namespace velmora::startup {

class StartStepWindow;

// Shown when neither server answers the address requests.
inline constexpr char kProblemsOfInternet[] = "Problems of Internet!!!";
// Written on the start window's surface while the step runs.
inline constexpr char kWaitText[] = "WAIT..........";
// The directory page goes to ruf29.dat in parts of at most this many bytes.
inline constexpr int kDirectoryChunk = 80;

enum class StartEnding {
    MainWindow, // the main window was shown, after any messages
    Abandoned,  // the selector said 3, or named no server: no main window
    Busy,       // a start step was already running; this one did nothing
};

enum class DirectoryOutcome {
    NotRequested, // the step ended before the directory request
    Replaced,     // ruf25.dat and ruf27.dat rebuilt from the page just received
    KeptPrevious, // the request or the page failed; ruf25.dat and ruf27.dat are as they were
};

struct StartOutcome {
    StartEnding ending = StartEnding::MainWindow;
    bool noServer = false; // neither server answered an address request
    DirectoryOutcome directory = DirectoryOutcome::NotRequested;
    QStringList messages; // what the window showed, in order
};

// The start step behind the start window's "Click here - Start!" button:
//   1. "WAIT.........." and the button disabled;
//   2. the start-page address "/in1.html" into url00.dat, 3. the second address "/in3.html" into
//      url01.dat, each from the server the selector names; the primary server's silence (a reply
//      under three characters, failures included) switches the selector to "2" for the rest of
//      the step, the fallback server's silence ends the step with "Problems of Internet!!!"; a
//      server whose HTTPS certificate is not accepted is silent, and the reason is a message;
//   4. the directory page, asynchronously with the window's transfer component, into ruf29.dat;
//      a primary server that gives no answer to it (refused, reset, time-out; not an HTTP error)
//      hands it to the fallback server, which then serves the rest of the run;
//   5. waiting for it while the user interface runs; a selector of 3 abandons the step;
//   6. the split into ruf25.dat and ruf27.dat;
//   7. the step's messages ("Problems of Internet!!!" and the others), each waiting for its OK
//      while the Start button is still disabled;
//   8. the Start button enabled again and the main window shown.
// The previous ruf29.dat, ruf25.dat and ruf27.dat stay whenever the directory request fails (no
// answer, time-out, an HTTP error, a transfer error, a body cut short) or the page holds no print
// shop: the user is told, and the order pad opens with the print shops it had. A good page
// replaces ruf29.dat in one rename, then ruf25.dat and ruf27.dat.
//
// The window's transfer component delivers its state notification to onStateChanged(), which
// appends the completed body to ruf29.dat.
class StartStep : public QObject {
    Q_OBJECT
public:
    StartStep(platform::Inet& inet, data::DataDir dataDir, QString primaryHost, QString fallbackHost,
              StartStepWindow& window, QObject* parent = nullptr);

    // Runs the whole step. The user interface keeps running during the requests, so the window
    // must stay alive until this returns.
    StartOutcome run();
    bool isRunning() const { return m_running; }

    // The state notification of the transfer component: with state 12 the body goes to ruf29.dat
    // in chunks of kDirectoryChunk until a chunk comes back empty. Other states are only noted.
    void onStateChanged(int state);

signals:
    // Just before each request goes out (the URL as requested).
    void requesting(velmora::startup::StartRequest request, const QString& url);

private:
    enum class Stage { Done, NoServer, Abandon, BadSelector };

    Stage runSteps(StartOutcome& outcome);
    // The server the selector names now; Abandon or BadSelector when it names none.
    Stage currentServer(Server& server) const;
    Stage fetchAddress(StartRequest request, const QString& fileName, StartOutcome& outcome);
    Stage downloadDirectory(StartOutcome& outcome);
    // Polls the transfer component until it is done, letting the user interface run between
    // polls. False as soon as the selector says 3.
    bool waitForTransfer();
    QString host(Server server) const;
    QString urlFor(StartRequest request, Server server) const;

    platform::Inet& m_inet;
    data::DataDir m_dataDir;
    QString m_primaryHost;
    QString m_fallbackHost;
    StartStepWindow& m_window;

    bool m_running = false;
    DownloadTarget m_target;
    QByteArray m_page; // the directory page as received, split before ruf29.dat is replaced
    int m_lastState = 0;
};

} // namespace velmora::startup

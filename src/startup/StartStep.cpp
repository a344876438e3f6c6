#include "startup/StartStep.h"

#include "data/DataFiles.h"
#include "platform/Inet.h"
#include "startup/ServerFailover.h"
#include "startup/StartStepWindow.h"

#include <QCoreApplication>
#include <QUrl>

namespace velmora::startup {
namespace {

const QString kKeptPrevious = QStringLiteral(u"רשימת מכוני ההעתקות הקודמת נשארה כפי שהייתה.");

QString transferFailed(const QString& url, const QString& why) {
    const QString reason = why.isEmpty() ? QStringLiteral(u"הבקשה \"%1\" נכשלה.").arg(url) : why;
    return QStringLiteral(u"לא ניתן היה להוריד את רשימת מכוני ההעתקות מהשרת.\n%1\n%2")
        .arg(reason, kKeptPrevious);
}

QString pageWithoutShops(const QString& url) {
    return QStringLiteral(u"הדף שהתקבל מ-\"%1\" אינו מכיל אף מכון העתקות.\n%2").arg(url, kKeptPrevious);
}

QString fileProblem(const QString& error) {
    return error + u'\n' + kKeptPrevious;
}

QString badSelector(const QString& selector) {
    return QStringLiteral(u"בורר השרת (התיבה הקטנה בפינה השמאלית התחתונה של החלון) צריך להכיל 1 (השרת "
                          u"הראשי) או 2 (שרת הגיבוי), ולא \"%1\".")
        .arg(selector);
}

} // namespace

StartStep::StartStep(platform::Inet& inet, data::DataDir dataDir, QString primaryHost, QString fallbackHost,
                     StartStepWindow& window, QObject* parent)
    : QObject(parent)
    , m_inet(inet)
    , m_dataDir(std::move(dataDir))
    , m_primaryHost(std::move(primaryHost))
    , m_fallbackHost(std::move(fallbackHost))
    , m_window(window) {}

StartOutcome StartStep::run() {
    StartOutcome outcome;
    if (m_running) {
        outcome.ending = StartEnding::Busy;
        return outcome;
    }
    m_running = true;
    m_window.beginWait();

    const Stage stage = runSteps(outcome);
    switch (stage) {
    case Stage::Done:
        break;
    case Stage::NoServer:
        outcome.noServer = true;
        outcome.messages.prepend(QString::fromLatin1(kProblemsOfInternet));
        break;
    case Stage::BadSelector:
        outcome.messages.append(badSelector(m_window.selectorText()));
        outcome.ending = StartEnding::Abandoned;
        break;
    case Stage::Abandon:
        outcome.ending = StartEnding::Abandoned;
        break;
    }

    // What the user must know comes first, while the step still holds the Start button; then the
    // ending: the button back and the order pad.
    m_target.close();
    for (const QString& message : std::as_const(outcome.messages))
        m_window.showMessage(message);
    m_running = false;
    m_window.endWait();
    if (outcome.ending == StartEnding::MainWindow)
        m_window.showMainWindow();
    return outcome;
}

StartStep::Stage StartStep::runSteps(StartOutcome& outcome) {
    const Stage startPage = fetchAddress(StartRequest::StartPage, data::files::kStartAddress, outcome);
    if (startPage != Stage::Done)
        return startPage;
    // The selector carries over: after a switch the primary server is not asked again.
    const Stage secondAddress =
        fetchAddress(StartRequest::SecondAddress, data::files::kSecondAddress, outcome);
    if (secondAddress != Stage::Done)
        return secondAddress;
    return downloadDirectory(outcome);
}

StartStep::Stage StartStep::currentServer(Server& server) const {
    const QString selector = m_window.selectorText();
    if (selectorAbandonsStart(selector))
        return Stage::Abandon;
    const std::optional<Server> named = selectedServer(selector);
    if (!named)
        return Stage::BadSelector;
    server = *named;
    return Stage::Done;
}

StartStep::Stage StartStep::fetchAddress(StartRequest request, const QString& fileName,
                                         StartOutcome& outcome) {
    for (;;) {
        Server server = Server::Primary;
        if (const Stage stage = currentServer(server); stage != Stage::Done)
            return stage;
        const QString url = urlFor(request, server);
        // A failed request comes back empty, which is no answer like any reply under three
        // characters; so does a server the settings leave out, which is not asked at all.
        QByteArray reply;
        if (!url.isEmpty()) {
            emit requesting(request, url);
            const platform::FetchResult fetched = m_inet.fetch(url);
            if (fetched.ok)
                reply = fetched.body;
            // A server whose certificate is not accepted counts as silent, but the user is told
            // why: it is a server to be fixed, not a network that is down.
            if (fetched.certificateRejected && !outcome.messages.contains(fetched.errorText))
                outcome.messages.append(fetched.errorText);
        }
        if (!isAnswer(reply)) {
            if (server == Server::Fallback)
                return Stage::NoServer;
            m_window.setSelectorText(QStringLiteral("2"));
            continue;
        }
        // A reply without an address leaves the file as it was; a file that cannot be written
        // is worth a word but does not stop the download.
        const Result<AddressUpdate> stored = storeAddress(m_dataDir, fileName, reply);
        if (!stored)
            outcome.messages.append(stored.error());
        return Stage::Done;
    }
}

StartStep::Stage StartStep::downloadDirectory(StartOutcome& outcome) {
    bool retried = false;
    for (;;) {
        Server server = Server::Primary;
        if (const Stage stage = currentServer(server); stage != Stage::Done)
            return stage;
        const QString url = urlFor(StartRequest::Directory, server);

        // A download abandoned by an earlier step may still be running on the component; it ends
        // (at the latest at its time-out) before this one starts, and its body goes nowhere.
        if (!waitForTransfer())
            return Stage::Abandon;

        // ruf29.dat receives the page, but like ruf25.dat and ruf27.dat it keeps the previous
        // directory until a whole page with print shops has arrived.
        outcome.directory = DirectoryOutcome::KeptPrevious;
        const Status opened =
            m_target.open(m_dataDir.file(data::files::kDirectoryPage), DownloadTarget::Replace::OnCommit);
        if (!opened) {
            outcome.messages.append(fileProblem(opened.error()));
            return Stage::Done;
        }
        m_page.clear();
        m_lastState = platform::Inet::icNone;
        emit requesting(StartRequest::Directory, url);
        if (!m_inet.Execute(url, QStringLiteral("get /"))) {
            m_target.close();
            outcome.messages.append(transferFailed(url, QString()));
            return Stage::Done;
        }
        const bool waited = waitForTransfer();
        if (!waited || selectorAbandonsStart(m_window.selectorText())) {
            m_target.close();
            return Stage::Abandon;
        }

        if (m_lastState != platform::Inet::icResponseCompleted) {
            m_target.close();
            // The primary server stopped answering since the addresses came: the directory comes
            // from the fallback server, which serves the rest of the run, as after an address
            // request. An HTTP error is an answer and is not asked again.
            // When that one gives no answer either, the selector goes back to the primary server.
            const bool noAnswer = gotNoAnswer(false, m_inet.ResponseCode());
            if (!retried && noAnswer && server == Server::Primary && !m_fallbackHost.isEmpty()) {
                retried = true;
                m_window.setSelectorText(selectorFor(Server::Fallback));
                continue;
            }
            if (retried && noAnswer)
                m_window.setSelectorText(selectorFor(Server::Primary));
            outcome.messages.append(transferFailed(url, m_inet.ResponseInfo()));
            return Stage::Done;
        }
        const DirectoryFiles files = splitDirectory(m_page);
        m_page.clear();
        if (files.records == 0) {
            m_target.close();
            outcome.messages.append(pageWithoutShops(url));
            return Stage::Done;
        }
        if (const Status committed = m_target.commit(); !committed) {
            outcome.messages.append(fileProblem(committed.error()));
            return Stage::Done;
        }
        const Result<DirectoryUpdate> replaced = replaceDirectoryFiles(m_dataDir, files);
        if (!replaced)
            outcome.messages.append(fileProblem(replaced.error()));
        else
            outcome.directory = DirectoryOutcome::Replaced;
        return Stage::Done;
    }
}

bool StartStep::waitForTransfer() {
    // The component's time-out ends every transfer, so waiting for events cannot hang.
    while (m_inet.StillExecuting()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (selectorAbandonsStart(m_window.selectorText()))
            return false;
    }
    return true;
}

void StartStep::onStateChanged(int state) {
    m_lastState = state;
    if (state != platform::Inet::icResponseCompleted || !m_target.isOpen())
        return;
    for (QByteArray chunk = m_inet.GetChunk(kDirectoryChunk); !chunk.isEmpty();
         chunk = m_inet.GetChunk(kDirectoryChunk)) {
        m_target.append(chunk);
        m_page.append(chunk);
    }
}

QString StartStep::host(Server server) const {
    return server == Server::Primary ? m_primaryHost : m_fallbackHost;
}

QString StartStep::urlFor(StartRequest request, Server server) const {
    return serverUrl(host(server), startRequestPath(request, server)).toString(QUrl::FullyEncoded);
}

} // namespace velmora::startup

#include "order/OrderSubmitter.h"

#include "data/Cp1255.h"
#include "data/DataFiles.h"
#include "data/FileIo.h"
#include "order/OrderDocument.h"
#include "order/PendingOrder.h"
#include "order/ServerExchange.h"
#include "order/ShopCode.h"
#include "order/Submission.h"
#include "order/SubmissionWriter.h"
#include "platform/Inet.h"
#include "startup/ServerFailover.h"
#include "startup/ServerSelector.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSaveFile>

namespace velmora::order {
namespace {

QString notSubmitted(const QString& what, const QString& detail) {
    QString text = what + QStringLiteral(u" ההזמנה לא נשמרה.");
    if (!detail.isEmpty())
        text += u'\n' + detail;
    return text;
}

QString selectorMessage(const QString& selector) {
    return notSubmitted(
        QStringLiteral(u"בורר השרתים בחלון הפתיחה מכיל \"%1\"; יש לרשום בו 1 (השרת הראשי) או 2 (השרת המשני).")
            .arg(selector),
        {});
}

} // namespace

OrderSubmitter::OrderSubmitter(SubmissionSetup setup, SubmissionWindow window, platform::Inet& inet,
                               QObject* parent)
    : QObject(parent)
    , m_setup(std::move(setup))
    , m_window(std::move(window))
    , m_inet(&inet) {}

// The download target, if any, goes unsaved with it: sbl.htm keeps its old content.
OrderSubmitter::~OrderSubmitter() = default;

SubmissionOutcome OrderSubmitter::submit() {
    // The disabled button is the user's guard; this one also holds when the handler is called
    // some other way while a submission waits for the server.
    if (m_running)
        return SubmissionOutcome::AlreadyRunning;
    m_running = true;
    m_window.setSubmitEnabled(false);

    const QPointer<OrderSubmitter> alive(this);
    const SubmissionOutcome outcome = run();
    if (!alive)
        return SubmissionOutcome::Abandoned;

    dropTarget();
    m_running = false;
    m_window.setSubmitEnabled(true);
    emit finished(outcome);
    return outcome;
}

std::optional<startup::Server> OrderSubmitter::selectedServer(QString& problem) const {
    const QString selector = m_window.serverSelector();
    const std::optional<startup::Server> server = startup::selectedServer(selector);
    if (!server)
        problem = selectorMessage(selector);
    return server;
}

QString OrderSubmitter::requestUrl(SubmissionRequest request, startup::Server server) const {
    const QByteArray code = shopCode(data::toCp1255(m_window.printShopText()));
    const QByteArray path = request == SubmissionRequest::OrderNumber ? orderNumberPath(server, code)
                                                                      : templatePath(server, code);
    const startup::Servers servers{m_setup.primaryServer, m_setup.fallbackServer};
    return startup::serverUrl(servers.base(server), path).toString(QUrl::FullyEncoded);
}

platform::FetchResult OrderSubmitter::fetchOrderNumber(startup::Server server) {
    const QString url = requestUrl(SubmissionRequest::OrderNumber, server);
    if (url.isEmpty())
        return startup::noSuchServer(server);
    const QPointer<OrderSubmitter> alive(this);
    emit requestStarted(SubmissionRequest::OrderNumber, url);
    if (!alive)
        return {};
    if (!m_inet) {
        platform::FetchResult gone;
        gone.errorText = QStringLiteral(u"רכיב התקשורת אינו זמין.");
        return gone;
    }
    return m_inet->fetch(url);
}

platform::FetchResult OrderSubmitter::downloadTemplate(startup::Server server) {
    const QString url = requestUrl(SubmissionRequest::Template, server);
    if (url.isEmpty())
        return startup::noSuchServer(server);
    m_received.clear();
    m_bodyComplete = false;
    const QPointer<OrderSubmitter> alive(this);
    emit requestStarted(SubmissionRequest::Template, url);
    if (!alive)
        return {};
    platform::FetchResult result;
    if (!m_inet || !m_inet->Execute(url, QStringLiteral("get /"))) {
        // Not a silent server: nothing was asked, so nothing is retried elsewhere.
        result.httpStatus = -1;
        result.errorText = QStringLiteral(u"רכיב התקשורת עסוק בבקשה אחרת.");
        return result;
    }
    // The time-out of the transfer component ends the wait in every case.
    while (alive && m_inet && m_inet->StillExecuting())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (!alive)
        return {};
    result.ok = m_bodyComplete;
    result.httpStatus = m_inet ? m_inet->ResponseCode() : 0;
    if (!result.ok)
        result.errorText = m_inet ? m_inet->ResponseInfo() : QString();
    return result;
}

template <typename Request>
platform::FetchResult OrderSubmitter::withFailover(startup::Server server, Request request) {
    const QPointer<OrderSubmitter> alive(this);
    platform::FetchResult first = request(server);
    if (!alive || !startup::gotNoAnswer(first))
        return first;
    const startup::Server other = startup::otherServer(server);
    if (!startup::Servers{m_setup.primaryServer, m_setup.fallbackServer}.has(other))
        return first;
    platform::FetchResult second = request(other);
    if (!alive)
        return second;
    if (!startup::gotNoAnswer(second)) {
        if (m_window.useServer)
            m_window.useServer(other);
        return second;
    }
    second.errorText = first.errorText + u'\n' + second.errorText;
    return second;
}

SubmissionOutcome OrderSubmitter::run() {
    const QPointer<OrderSubmitter> alive(this);
    const data::DataDir& dir = m_setup.dataDir;

    // Read once: later changes to the fields do not reach this order.
    const OrderForm form = m_window.readForm();
    if (const OrderCheck check = checkOrder(form); check != OrderCheck::Passed) {
        m_window.showMessage(checkMessage(check));
        return SubmissionOutcome::Refused;
    }
    OrderRecord record = cleanRecord(buildRecord(form));

    // A submission cut short earlier (a crash, a full disk) is settled before this one asks for
    // a number: the user hears what became of it.
    if (const Result<ResumedOrder> earlier = resumePendingOrder(dir); !earlier) {
        m_window.showMessage(notSubmitted(earlier.error(), {}));
        return SubmissionOutcome::Failed;
    } else if (!earlier->message.isEmpty()) {
        m_window.showMessage(earlier->message);
    }

    // The order number.
    QString problem;
    std::optional<startup::Server> server = selectedServer(problem);
    if (!server) {
        m_window.showMessage(problem);
        return SubmissionOutcome::Failed;
    }
    const platform::FetchResult reply =
        withFailover(*server, [this](startup::Server on) { return fetchOrderNumber(on); });
    if (!alive)
        return SubmissionOutcome::Abandoned;
    // A failure is not a page: it must not turn into order number 0.
    if (!reply.ok) {
        m_window.showMessage(notSubmitted(QStringLiteral(u"לא התקבל מספר הזמנה מהשרת."), reply.errorText));
        return SubmissionOutcome::Failed;
    }
    const double number = parseOrderNumber(reply.body);
    if (number == kNotServed) {
        m_window.showMessage(notServedMessage());
        return SubmissionOutcome::NotServed;
    }
    setOrderNumber(record, number);

    // The template, into a download target that becomes sbl.htm only when all is well, from the
    // server the selector names now (the other one when the order number came from there).
    server = selectedServer(problem);
    if (!server) {
        m_window.showMessage(problem);
        return SubmissionOutcome::Failed;
    }
    const QString templateFile = dir.file(data::files::kTemplate);
    m_target = std::make_unique<QSaveFile>(templateFile);
    if (!m_target->open(QIODevice::WriteOnly)) {
        const QString error = m_target->errorString();
        dropTarget();
        m_window.showMessage(
            notSubmitted(QStringLiteral(u"לא ניתן לכתוב את תבנית ההזמנה %1.").arg(templateFile), error));
        return SubmissionOutcome::Failed;
    }
    // A failed transfer delivers no body, so the target is still empty for a second attempt.
    const platform::FetchResult download =
        withFailover(*server, [this](startup::Server on) { return downloadTemplate(on); });
    if (!alive)
        return SubmissionOutcome::Abandoned;
    if (!download.ok) {
        dropTarget();
        m_window.showMessage(notSubmitted(QStringLiteral(u"תבנית ההזמנה של מכון ההעתקות לא התקבלה מהשרת."),
                                          download.errorText));
        return SubmissionOutcome::Failed;
    }

    // The learning step reads the lists' indexes now: nothing runs between here and the writes.
    const SubmittedOrder order{record, m_received, settingsValues(form),
                               learnedEntries(record, m_window.listIndexes())};
    const Result<QByteArray> document = prepareSubmittedOrder(dir, order);
    if (!document) {
        dropTarget();
        m_window.showMessage(
            notSubmitted(QStringLiteral(u"לא ניתן להכין את מסמך ההזמנה."), document.error()));
        return SubmissionOutcome::Failed;
    }
    // Before sbl.htm or the journal is touched: can every file of the order be written?
    if (const Status writable = checkOrderCanBeWritten(dir, order, *document); !writable) {
        dropTarget();
        m_window.showMessage(writable.error());
        return SubmissionOutcome::Failed;
    }
    if (const Status committed = data::commitSaveFile(*m_target, m_received); !committed) {
        dropTarget();
        m_window.showMessage(notSubmitted(
            QStringLiteral(u"לא ניתן לכתוב את תבנית ההזמנה %1.").arg(templateFile), committed.error()));
        return SubmissionOutcome::Failed;
    }
    dropTarget();

    const Result<WrittenOrder> written = writePreparedOrder(dir, order, *document);
    if (!written) {
        m_window.showMessage(written.error());
        return SubmissionOutcome::Failed;
    }
    if (!written->archiveProblem.isEmpty())
        m_window.showMessage(written->archiveProblem);

    // The order is submitted; a viewer that cannot be started does not undo that.
    if (const Status shown = m_setup.launcher.openDocument(m_setup.viewer, documentPath(dir),
                                                           data::fromCp1255(record.slot(Slot::OrderNumber)));
        !shown) {
        m_window.showMessage(
            QStringLiteral(u"ההזמנה נשמרה, אך לא ניתן לפתוח את מסמך ההזמנה:\n%1").arg(shown.error()));
    }
    return SubmissionOutcome::Submitted;
}

void OrderSubmitter::transferStateChanged(int state) {
    if (state != platform::Inet::icResponseCompleted || !m_target || !m_target->isOpen() || !m_inet)
        return;
    for (;;) {
        const QByteArray chunk = m_inet->GetChunk(kChunkSize);
        if (chunk.isEmpty())
            break;
        // A failed write is remembered by the target; commit() then refuses to replace sbl.htm.
        m_target->write(chunk);
        m_received.append(chunk);
    }
    m_bodyComplete = true;
}

void OrderSubmitter::dropTarget() {
    if (m_target && m_target->isOpen())
        m_target->cancelWriting();
    m_target.reset();
}

} // namespace velmora::order

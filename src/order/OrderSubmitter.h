#pragma once

#include "data/DataDir.h"
#include "order/OrderForm.h"
#include "platform/FetchResult.h"
#include "platform/ProgramLauncher.h"
#include "startup/ServerSelector.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QSaveFile;

namespace velmora::platform {
class Inet;
}

namespace velmora::order {

// What the submission needs from the order pad. The window supplies these; the submission never
// sees a widget.
struct SubmissionWindow {
    // Every field of the order, read once when the submission starts.
    std::function<OrderForm()> readForm;
    // The print-shop list's edit text, read again for each request (the shop code comes from it).
    std::function<QString()> printShopText;
    // The selected indexes of the account, project and recipient lists, read when the learning
    // step reaches them.
    std::function<ListIndexes()> listIndexes;
    // The start window's server selector ("1" primary, "2" fallback), read for each request.
    std::function<QString()> serverSelector;
    // The other server answered a request that the selected one left without an answer: the
    // selector is to name it from now on, and the status line to say so.
    std::function<void(startup::Server server)> useServer;
    // The submit button.
    std::function<void(bool enabled)> setSubmitEnabled;
    // A message box with the text and an OK button.
    std::function<void(const QString& text)> showMessage;
};

struct SubmissionSetup {
    data::DataDir dataDir;
    QString primaryServer; // base address (see data/ServerAddress.h); empty: no such server
    QString fallbackServer;
    QString viewer; // empty: the program's document window (the launcher's)
    platform::ProgramLauncher launcher;
};

enum class SubmissionOutcome {
    Submitted,      // in the journal and every file written (a viewer that did not start is reported)
    Refused,        // a check failed; nothing written
    NotServed,      // the shop takes no orders through the program; nothing written
    Failed,         // a request or a file step failed and was reported
    AlreadyRunning, // another submission is under way; this one did not start
    Abandoned,      // the submitter was destroyed during a wait (its window closed)
};

enum class SubmissionRequest { OrderNumber, Template };

// Submits the order on the order pad, from the checks to the document in the viewer:
//   1. the submit button is disabled for the whole run, and a second call while one runs does
//      nothing;
//   2. the fields are read once; the four checks (status line, first file name, account,
//      project) stop at the first failure with its message;
//   3. the record is built and cleaned;
//   4. the order number is asked from the server the selector names, for the shop code of the
//      print-shop list as it reads at that moment; -25000 means the shop is not served;
//   5. the shop's template is downloaded asynchronously ("get /"): the transfer component's
//      state 12 hands the body over in chunks of 80 to the download target while the submission
//      waits with the user interface running;
//   6. sbl.htm is replaced by the body; the journal record, the counter, vl1.html with its copy
//      in the archive, const.dat, the learned entries and vl.url are written (writeSubmittedOrder);
//      a copy that cannot be archived is reported and the order goes on;
//   7. the document viewer is started on vl1.html, not waited for (or, without one, the
//      document window shows it with the order number in its title);
//   8. the button is enabled again, whatever happened.
//
// A request that gets no answer at all from the selected server (refused, reset, time-out) is
// made once more on the other configured server; when that one answers, it serves the rest of
// the run (useServer). An answer with an HTTP error status is not retried. An order number that
// a server took while its reply was lost is never used: the number from the other server follows
// it (the servers share their numbers), which leaves a gap and never a repeat.
//
// Nothing is written unless the order can be submitted: a request that fails (no answer from
// either server, an HTTP error status) is reported and leaves every file as it was — a failed order-number
// request does not become order number 0, and a failed template download leaves sbl.htm as it
// was. The download target is a temporary file beside sbl.htm that replaces it in one rename once
// the body is complete and the document can be made from it. A reply page that does arrive is
// taken as it is: a page without a number gives order number 0.
class OrderSubmitter : public QObject {
    Q_OBJECT
public:
    // The transfer component belongs to the window; its StateChanged notification must reach
    // transferStateChanged() (the window's Inet1_StateChanged handler passes it on).
    OrderSubmitter(SubmissionSetup setup, SubmissionWindow window, platform::Inet& inet,
                   QObject* parent = nullptr);
    ~OrderSubmitter() override;

    // Runs one submission to its end and returns how it ended. The user interface keeps
    // processing events during the requests.
    SubmissionOutcome submit();
    bool isRunning() const { return m_running; }

    // State 12 while a download target is open: the body is appended to it in chunks of at most
    // 80 bytes, nothing between them, until an empty chunk. Every other state, and any
    // notification while no target is open, is ignored.
    void transferStateChanged(int state);

    static constexpr int kChunkSize = 80;

signals:
    // Just before each request goes out, with its address.
    void requestStarted(velmora::order::SubmissionRequest request, const QString& url);
    // After the submit button is enabled again.
    void finished(velmora::order::SubmissionOutcome outcome);

private:
    SubmissionOutcome run();
    // The server the selector names now, or the message to show when it names none.
    std::optional<startup::Server> selectedServer(QString& problem) const;
    // The address of the request on that server for the shop text as it reads now; empty when
    // the settings leave the server out.
    QString requestUrl(SubmissionRequest request, startup::Server server) const;
    // The order-number request on the server (blocking).
    platform::FetchResult fetchOrderNumber(startup::Server server);
    // The template request on the server, into the open download target; the result's body
    // stays empty (the body is in m_received).
    platform::FetchResult downloadTemplate(startup::Server server);
    // The request on the server; when it gets no answer at all, once more on the other
    // configured server, which is then taken for the rest of the run. The result of the last
    // attempt; both failures' texts when neither server answered.
    template <typename Request> platform::FetchResult withFailover(startup::Server server, Request request);
    void dropTarget();

    SubmissionSetup m_setup;
    SubmissionWindow m_window;
    QPointer<platform::Inet> m_inet;
    bool m_running = false;

    // The download target of the running template request.
    std::unique_ptr<QSaveFile> m_target;
    QByteArray m_received;
    bool m_bodyComplete = false;
};

} // namespace velmora::order

#pragma once

#include "data/DataDir.h"
#include "data/Result.h"
#include "startup/DownloadTarget.h"
#include "startup/ServerFailover.h"

#include <QByteArrayView>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringView>

#include <optional>

namespace velmora::platform {
class Inet;
}

// Every search leaves an order template in sbl.htm for showing its orders again: the print-shop
// search downloads the chosen shop's template, the project and account searches copy the local
// template sbpro.htm.
namespace velmora::history {

// sbpro.htm copied to sbl.htm field by field (a comma ends a field and is dropped, quotes around
// a field are dropped), one CR LF line per field, up to the first field holding "***". sbl.htm is
// replaced as a whole. Without sbpro.htm, sbl.htm is emptied (it must not keep another shop's
// template for this search's orders) and the error names sbpro.htm.
Status copyLocalTemplate(const data::DataDir& dir);

// The address of the print shop's template on the server the selector names ("1" primary, "2"
// fallback): "/cgi-bin/sb" + code + ".htm" on the primary, "/sb" + code + ".htm" on the fallback,
// the code being the three characters after the selection's first "kod". Empty when the selector
// names neither server.
QString shopTemplateUrl(QStringView selectorText, const QString& primaryHost, const QString& fallbackHost,
                        QByteArrayView selection);

// The same for a server of the run; empty when the settings leave it out.
QString shopTemplateUrl(startup::Server server, const startup::Servers& servers, QByteArrayView selection);

// The message for a selector that names neither server.
QString selectorProblem(QStringView selectorText);

// The template request of the print-shop search: sbl.htm is emptied and kept open as the
// download target, the transfer component runs "get /" and the caller waits with the user
// interface running; the component's state 12 appends the body to sbl.htm in parts of at most
// 80 bytes with nothing between them. After a failure sbl.htm holds what arrived (normally
// nothing), so a later re-show reports a damaged template instead of using another shop's.
//
// The transfer component belongs to the window; its StateChanged notification must reach
// onStateChanged().
class ShopTemplateRequest : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        Received,  // the whole body is in sbl.htm
        Failed,    // the transfer failed (state 11); see message()
        FileError, // sbl.htm could not be written; see message()
        Busy,      // a request of this object is still waiting; nothing was done
        Abandoned, // the object was destroyed during the wait (its window closed)
    };

    ShopTemplateRequest(platform::Inet& inet, data::DataDir dir, QObject* parent = nullptr);

    // Runs the request to its end.
    Outcome run(const QString& url);
    // Runs the request for the selected print shop on the server; when it gets no answer at all
    // (refused, reset, time-out), once more on the other configured server. An answer with an
    // HTTP error status is not retried.
    Outcome runWithFailover(startup::Server server, const startup::Servers& servers,
                            QByteArrayView selection);
    // The other server, when it answered where the first one did not (after runWithFailover);
    // it is to serve the rest of the run.
    std::optional<startup::Server> switchedTo() const { return m_switchedTo; }
    bool isWaiting() const { return m_waiting; }
    // For Failed: "[" + the component's response information + "]טעות! תלחץ עוד פעם!"; for
    // FileError: what went wrong with sbl.htm.
    const QString& message() const { return m_message; }

    void onStateChanged(int state);

    static constexpr int kChunkSize = 80;

private:
    QPointer<platform::Inet> m_inet;
    data::DataDir m_dir;
    startup::DownloadTarget m_target;
    bool m_waiting = false;
    int m_lastState = 0;
    bool m_noAnswer = false; // the last run's server gave no HTTP answer at all
    QString m_info;          // the transfer component's description of the last failure
    std::optional<startup::Server> m_switchedTo;
    QString m_message;
};

} // namespace velmora::history

#pragma once

#include "platform/FetchResult.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class QNetworkAccessManager;

namespace velmora::platform {

class HttpTransfer;

// The program's Internet transfer component: HTTP (or HTTPS) GET to the web service, on the user-
// interface thread, with a time-out for the whole transfer and a cap on the body size. Bodies are
// bytes, handed over exactly as received.
//
// Blocking use: OpenURL(url) returns the body, or an empty reply on any failure (refused, unknown
// host, time-out, HTTP status outside 2xx, body over the cap, malformed address). The wait runs a
// local event loop, so windows keep repainting and other events are handled meanwhile. Callers
// that must tell a failure from an empty page use fetch(url) instead.
//
// Asynchronous use, in this order:
//   1. Execute(url, "get /") starts the GET and returns at once (false only when a transfer of
//      this component is still running; that transfer goes on undisturbed).
//   2. The caller polls StillExecuting() and lets the event loop run between polls:
//        while (inet.StillExecuting())
//            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
//      The time-out guarantees that the transfer ends, so waiting for events cannot hang.
//   3. Exactly once per Execute, StateChanged(state) arrives: icResponseCompleted (12) when the
//      body is complete, icError (11) on any failure, with ResponseInfo() describing it. It is
//      delivered while StillExecuting() is still true, so a handler on 12 reads the body with
//      GetChunk(n) until it returns empty before the caller's poll sees the end.
//   4. StillExecuting() turns false after the handlers have returned.
// The body stays readable with GetChunk until the next Execute. A failure never delivers a body.
// Destroying the component during either kind of request is safe: the request is dropped, a
// blocked OpenURL returns an empty reply and no notification follows.
class Inet : public QObject {
    Q_OBJECT
public:
    enum State { icNone = 0, icError = 11, icResponseCompleted = 12 };

    static constexpr int kDefaultTimeoutMs = 20000;
    static constexpr qint64 kDefaultMaxBodyBytes = 8 * 1024 * 1024;

    explicit Inet(QObject* parent = nullptr);
    ~Inet() override;

    void setRequestTimeout(int ms);
    int requestTimeout() const { return m_timeoutMs; }
    void setMaxBodySize(qint64 bytes);
    qint64 maxBodySize() const { return m_maxBody; }

    // Blocking GET; the richer answer.
    FetchResult fetch(const QString& url);
    // Blocking GET; the body, or empty bytes on any failure.
    QByteArray OpenURL(const QString& url);

    // Starts an asynchronous GET. The operation text is the one the callers pass ("get /"); any
    // operation other than GET is reported as a failure (state 11), like any other error.
    bool Execute(const QString& url, const QString& operation);
    bool StillExecuting() const { return m_executing; }
    // The next part of the received body, at most size bytes; empty once the body is exhausted.
    QByteArray GetChunk(int size);
    // Description of the last Execute's failure (Hebrew, names the address); empty after success.
    QString ResponseInfo() const { return m_responseInfo; }
    // The last state notified (icNone before the first Execute ends) and the HTTP status of the
    // last Execute (0 when the server gave no HTTP answer).
    int LastState() const { return m_state; }
    int ResponseCode() const { return m_httpStatus; }

signals:
    void StateChanged(int state);

private:
    void onExecuteFinished();

    QNetworkAccessManager* m_manager;
    int m_timeoutMs = kDefaultTimeoutMs;
    qint64 m_maxBody = kDefaultMaxBodyBytes;

    QPointer<HttpTransfer> m_transfer;
    bool m_executing = false;
    int m_state = icNone;
    int m_httpStatus = 0;
    QString m_responseInfo;
    QByteArray m_body;
    qsizetype m_readPos = 0;
};

} // namespace velmora::platform

#pragma once

#include "RequestHeads.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>

// A loopback HTTP server for the failure cases that the web service cannot show: an HTTP error
// on one path, a reply that never comes, a body cut off in the middle, a body over the size cap.
// Each path may get its own answer; every other path gets the default answer (404 unless set).
// It runs on the test's own thread: the waits of the code under test keep its events flowing.
class StubHttpServer : public QObject {
public:
    enum class Mode {
        Answer, // the status line, headers and body, then the connection closes
        Silent, // the request is taken and never answered
        CutOff, // the headers promise more than the body that comes, then the connection closes
        Raw,    // the body is sent as it stands, headers included, then the connection closes
    };
    struct Route {
        Route(int status_ = 200, QByteArray body_ = {}, Mode mode_ = Mode::Answer,
              QByteArray reason_ = "Status", QByteArray extraHeaders_ = {})
            : status(status_)
            , body(std::move(body_))
            , mode(mode_)
            , reason(std::move(reason_))
            , extraHeaders(std::move(extraHeaders_)) {}
        int status;
        QByteArray body;
        Mode mode;
        QByteArray reason;
        QByteArray extraHeaders; // whole header lines, each ended by CR LF
    };

    // With Mode::Silent no request is ever answered.
    explicit StubHttpServer(Mode defaultMode = Mode::Answer) {
        m_default.mode = defaultMode;
        listenForRequestHeads(m_server, this, [this](QTcpSocket* socket, const QByteArray& requestLine) {
            const QByteArray path = requestPath(requestLine);
            m_requestLines.append(requestLine);
            m_paths.append(path);
            if (m_onRequest)
                m_onRequest(path);
            answer(socket, m_routes.value(path, m_default));
        });
    }

    void route(const QByteArray& path, Route answer) { m_routes.insert(path, std::move(answer)); }
    void route(const QByteArray& path, int status, const QByteArray& body) {
        route(path, Route{status, body});
    }
    // The answer to every path without a route of its own.
    void setResponse(int status, const QByteArray& reason, const QByteArray& body,
                     const QByteArray& extraHeaders = {}) {
        m_default = Route{status, body, Mode::Answer, reason, extraHeaders};
    }
    void setRawResponse(const QByteArray& raw) { m_default = Route{200, raw, Mode::Raw}; }

    // Called with the path of each request as it arrives, before the answer goes out.
    void onRequest(std::function<void(const QByteArray&)> callback) { m_onRequest = std::move(callback); }

    // "127.0.0.1:PORT", as the program's server settings hold it.
    QString hostPort() const { return QStringLiteral("127.0.0.1:%1").arg(m_server.serverPort()); }
    QString url(const QString& path = QStringLiteral("/")) const {
        return QStringLiteral("http://") + hostPort() + path;
    }
    QList<QByteArray> requestLines() const { return m_requestLines; }
    QList<QByteArray> requestedPaths() const { return m_paths; }

private:
    static void answer(QTcpSocket* socket, const Route& route) {
        if (route.mode == Mode::Silent)
            return;
        if (route.mode == Mode::Raw) {
            socket->write(route.body);
        } else {
            const qsizetype promised = route.body.size() + (route.mode == Mode::CutOff ? 1000 : 0);
            socket->write("HTTP/1.1 " + QByteArray::number(route.status) + ' ' + route.reason + "\r\n" +
                          route.extraHeaders + "Content-Length: " + QByteArray::number(promised) +
                          "\r\nConnection: close\r\n\r\n" + route.body);
        }
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    Route m_default{404, "404 Not Found\r\n"};
    QHash<QByteArray, Route> m_routes;
    QList<QByteArray> m_requestLines;
    QList<QByteArray> m_paths;
    std::function<void(const QByteArray&)> m_onRequest;
};

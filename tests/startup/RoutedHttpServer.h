#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>

// A loopback HTTP server for the start step's failure cases that the web service cannot show: an
// HTTP error on one path, a reply that never comes, a body cut off in the middle. Each path gets
// its own answer; a path without one gets 404. It runs on the test's thread: the start step's
// waits keep its events flowing.
class RoutedHttpServer : public QObject {
public:
    enum class Mode {
        Answer, // the status and body, then the connection closes
        Silent, // the request is taken and never answered
        CutOff, // the headers promise more than the body that comes, then the connection closes
    };
    struct Route {
        int status = 200;
        QByteArray body;
        Mode mode = Mode::Answer;
    };

    RoutedHttpServer() {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] { accept(); });
    }

    void route(const QByteArray& path, Route answer) { m_routes.insert(path, std::move(answer)); }
    void route(const QByteArray& path, int status, const QByteArray& body) {
        route(path, Route{status, body});
    }

    // Called with the path of each request as it arrives, before the answer goes out.
    void onRequest(std::function<void(const QByteArray&)> callback) { m_onRequest = std::move(callback); }

    // "127.0.0.1:PORT", as the program's server settings hold it.
    QString hostPort() const { return QStringLiteral("127.0.0.1:%1").arg(m_server.serverPort()); }
    QList<QByteArray> requestedPaths() const { return m_paths; }

private:
    void accept() {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            auto* buffer = new QByteArray;
            QObject::connect(socket, &QObject::destroyed, [buffer] { delete buffer; });
            QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
                buffer->append(socket->readAll());
                if (!buffer->contains("\r\n\r\n"))
                    return;
                const QByteArray path = buffer->left(buffer->indexOf("\r\n")).split(' ').value(1);
                buffer->clear();
                m_paths.append(path);
                if (m_onRequest)
                    m_onRequest(path);
                answer(socket, m_routes.value(path, Route{404, "404 Not Found\r\n"}));
            });
        }
    }

    static void answer(QTcpSocket* socket, const Route& route) {
        if (route.mode == Mode::Silent)
            return;
        const qsizetype promised = route.body.size() + (route.mode == Mode::CutOff ? 1000 : 0);
        socket->write("HTTP/1.1 " + QByteArray::number(route.status) + " Status\r\nContent-Length: " +
                      QByteArray::number(promised) + "\r\nConnection: close\r\n\r\n" + route.body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QByteArray, Route> m_routes;
    QList<QByteArray> m_paths;
    std::function<void(const QByteArray&)> m_onRequest;
};
